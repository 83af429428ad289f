#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dui/controls/native_window.h"
#include "platform/file_drop.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

using dui::ExNativeWindow;
namespace headless = plat::headless;

// Messages that reached the child class's own procedure, i.e. were not
// consumed by the wrapper.
std::vector<plat::UINT>& ClassLog() {
    static std::vector<plat::UINT> log;
    return log;
}

plat::LRESULT ChildClassProc(plat::HWND hwnd, plat::UINT message, plat::WPARAM wparam,
                             plat::LPARAM lparam) {
    ClassLog().push_back(message);
    return plat::DefWindowProc(hwnd, message, wparam, lparam);
}

bool ClassSaw(plat::UINT message) {
    for (plat::UINT seen : ClassLog()) {
        if (seen == message) return true;
    }
    return false;
}

constexpr const char* kChildClass = "SeedNativeChild";

class NativeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        ClassLog().clear();
        plat::WNDCLASSEX top_class;
        top_class.lpfnWndProc = plat::DefWindowProc;
        top_class.lpszClassName = "SeedNativeTop";
        ASSERT_NE(plat::RegisterClassEx(&top_class), 0);
        plat::WNDCLASSEX child_class;
        child_class.lpfnWndProc = ChildClassProc;
        child_class.lpszClassName = kChildClass;
        ASSERT_NE(plat::RegisterClassEx(&child_class), 0);
        top = plat::CreateWindowEx(0, "SeedNativeTop", "top", plat::WS_POPUP | plat::WS_VISIBLE, 100,
                                   100, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
    }

    plat::HWND CreateChild(ExNativeWindow& native) {
        return native.Create(top, 0, kChildClass, "child", plat::WS_CHILD | plat::WS_VISIBLE, 50, 40,
                             200, 150, 7);
    }

    void Pump() { headless::PumpMessages(); }

    plat::HWND top = nullptr;
};

TEST_F(NativeWindowTest, HandlersGetClientCoordinatesAndModifiersAndConsumeWhenNonzero) {
    ExNativeWindow native;
    plat::HWND child = CreateChild(native);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(native.Style() & plat::WS_CLIPSIBLINGS);

    int seen_x = -1, seen_y = -1, seen_modifiers = -1;
    native.OnLeftButtonDown([&](int x, int y, int modifiers) {
        seen_x = x;
        seen_y = y;
        seen_modifiers = modifiers;
        return intptr_t{1};
    });
    native.OnLeftButtonUp([](int, int, int) { return intptr_t{0}; });   // passes on
    headless::KeyDown(plat::VK_CONTROL);
    headless::Click(child, {12, 34});
    Pump();
    EXPECT_EQ(seen_x, 12);
    EXPECT_EQ(seen_y, 34);
    EXPECT_EQ(seen_modifiers, dui::kModifierControl);
    EXPECT_FALSE(ClassSaw(plat::WM_LBUTTONDOWN));
    EXPECT_TRUE(ClassSaw(plat::WM_LBUTTONUP));
    headless::KeyUp(plat::VK_CONTROL);

    int key = 0;
    uint32_t character = 0;
    int wheel = 0;
    int focus_events = 0;
    native.OnFocusGot([&] { ++focus_events; return intptr_t{0}; });
    native.OnKeyDown([&](int virtual_key, int) { key = virtual_key; return intptr_t{1}; });
    native.OnCharacter([&](uint32_t code) { character = code; return intptr_t{1}; });
    native.OnWheel([&](int delta, int) { wheel = delta; return intptr_t{1}; });
    EXPECT_TRUE(native.Focus());
    EXPECT_EQ(focus_events, 1);
    headless::PressKey('Q', "q");
    headless::Wheel(child, {5, 5}, -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(key, 'Q');
    EXPECT_EQ(character, static_cast<uint32_t>('q'));
    EXPECT_EQ(wheel, -plat::WHEEL_DELTA);
    EXPECT_FALSE(ClassSaw(plat::WM_KEYDOWN));
    EXPECT_TRUE(ClassSaw(plat::WM_KEYUP));   // no handler: the class gets it
}

TEST_F(NativeWindowTest, EnterOnFirstMoveLeaveWhenThePointerGoesEvenWithOnlyALeaveHandler) {
    ExNativeWindow native;
    plat::HWND child = CreateChild(native);
    int leaves = 0;
    native.OnMouseLeave([&] { ++leaves; return intptr_t{0}; });
    headless::MouseMove(child, {10, 10});
    Pump();
    EXPECT_TRUE(native.MouseInside());
    headless::MouseMove(top, {5, 5});
    Pump();
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(native.MouseInside());

    int enters = 0;
    native.OnMouseEnter([&] { ++enters; return intptr_t{0}; });
    headless::MouseMove(child, {10, 10});
    headless::MouseMove(child, {11, 12});
    Pump();
    EXPECT_EQ(enters, 1);
    headless::MouseLeaveAll();
    Pump();
    EXPECT_EQ(leaves, 2);
}

TEST_F(NativeWindowTest, DroppedFilesArriveWholeAndOnlyWhereFilesAreAccepted) {
    ExNativeWindow native;
    plat::HWND child = CreateChild(native);
    std::vector<std::string> received;
    native.OnFilesDropped([&](const std::vector<std::string>& files) {
        received = files;
        return intptr_t{1};
    });
    // GBK path of far more than 260 bytes.
    std::string long_path = "/home/用户";
    while (long_path.size() < 700) long_path += "/很长的目录名字";
    long_path += "/影片.mkv";

    EXPECT_FALSE(plat::input::QueueFileDrop(child, {5, 5}, {long_path}));
    EXPECT_TRUE(native.AcceptFiles(true));
    ASSERT_TRUE(plat::input::QueueFileDrop(child, {5, 5}, {long_path, "/tmp/b"}));
    Pump();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], long_path);
    EXPECT_EQ(received[1], "/tmp/b");

    EXPECT_FALSE(native.AcceptFiles(false));
    EXPECT_FALSE(plat::input::QueueFileDrop(child, {5, 5}, {"/tmp/c"}));
}

TEST(FileDrop, QueriesFollowTheWindowsContract) {
    headless::Reset();
    plat::WNDCLASSEX window_class;
    window_class.lpfnWndProc = plat::DefWindowProc;
    window_class.lpszClassName = "SeedDropTop";
    ASSERT_NE(plat::RegisterClassEx(&window_class), 0);
    plat::HWND window = plat::CreateWindowEx(plat::WS_EX_ACCEPTFILES, "SeedDropTop", "", plat::WS_POPUP,
                                             0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(plat::input::QueueFileDrop(window, {3, 4}, {"", "abcdef", std::string("a\0b", 3)}));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, window, plat::WM_DROPFILES, plat::WM_DROPFILES, plat::PM_REMOVE));
    const auto drop = reinterpret_cast<plat::HDROP>(msg.wParam);
    EXPECT_EQ(plat::DragQueryFile(drop, plat::kDragQueryCount, nullptr, 0), 1u);   // unusable names dropped
    EXPECT_EQ(plat::DragQueryFile(drop, 0, nullptr, 0), 6u);
    char small[4];
    EXPECT_EQ(plat::DragQueryFile(drop, 0, small, sizeof small), 3u);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(plat::DragQueryFile(drop, 1, small, sizeof small), 0u);
    plat::POINT point{};
    EXPECT_TRUE(plat::DragQueryPoint(drop, &point));
    EXPECT_EQ(point, (plat::POINT{3, 4}));
    plat::DragFinish(drop);
    EXPECT_EQ(plat::DragQueryFile(drop, plat::kDragQueryCount, nullptr, 0), 0u);

    // Drops nobody finishes do not pile up.
    for (int i = 0; i < 1000; ++i) plat::input::QueueFileDrop(window, {0, 0}, {"x"});
    int alive = 0;
    while (plat::PeekMessage(&msg, window, plat::WM_DROPFILES, plat::WM_DROPFILES, plat::PM_REMOVE)) {
        if (plat::DragQueryFile(reinterpret_cast<plat::HDROP>(msg.wParam), plat::kDragQueryCount, nullptr, 0) > 0) {
            ++alive;
        }
    }
    EXPECT_LE(alive, 32);
    EXPECT_GT(alive, 0);
}

TEST_F(NativeWindowTest, DestroyClearsTheHandleAndCreateBuildsANewWindow) {
    ExNativeWindow native;
    plat::HWND first = CreateChild(native);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreateChild(native), first);   // one window per object
    native.Destroy();
    EXPECT_EQ(native.Handle(), nullptr);
    EXPECT_FALSE(plat::IsWindow(first));
    EXPECT_FALSE(native.Visible(true));
    EXPECT_FALSE(native.Move(0, 0, 10, 10));
    EXPECT_EQ(native.Send(plat::WM_USER), 0);

    int downs = 0;
    native.OnLeftButtonDown([&](int, int, int) { return intptr_t{++downs}; });
    plat::HWND second = CreateChild(native);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    headless::Click(second, {1, 1});
    Pump();
    EXPECT_EQ(downs, 1);

    // The parent going away takes the child and clears the handle too.
    plat::DestroyWindow(top);
    EXPECT_EQ(native.Handle(), nullptr);
    EXPECT_EQ(ExNativeWindow::FromHandle(second), nullptr);
}

TEST_F(NativeWindowTest, HookFirstThenReflectedChildMessagesThenHandlers) {
    ExNativeWindow parent;
    plat::HWND parent_window = CreateChild(parent);
    plat::HWND button = plat::CreateWindowEx(0, kChildClass, "", plat::WS_CHILD, 0, 0, 10, 10, parent_window,
                                             reinterpret_cast<plat::HMENU>(42), nullptr, nullptr);
    int reflected_code = 0, reflected_id = 0;
    ExNativeWindow::SetReflectedHandler(button, [&](plat::HWND child, int code, int id, intptr_t) {
        EXPECT_EQ(child, button);
        reflected_code = code;
        reflected_id = id;
        return intptr_t{5};
    });
    EXPECT_EQ(plat::SendMessage(parent_window, plat::WM_COMMAND, plat::MAKEWPARAM(42, 3),
                                reinterpret_cast<plat::LPARAM>(button)),
              5);
    EXPECT_EQ(reflected_code, 3);
    EXPECT_EQ(reflected_id, 42);

    dui::NotifyHeader header{button, 42, 9};
    EXPECT_EQ(plat::SendMessage(parent_window, plat::WM_NOTIFY, 42, reinterpret_cast<plat::LPARAM>(&header)), 5);
    EXPECT_EQ(reflected_code, 9);

    int handled = 0;
    parent.OnKeyDown([&](int, int) { return intptr_t{++handled}; });
    ExNativeWindow::SetMessageHook(parent_window, [](plat::HWND, uint32_t message, uintptr_t, intptr_t) {
        return intptr_t{message == plat::WM_KEYDOWN ? 77 : 0};
    });
    EXPECT_EQ(plat::SendMessage(parent_window, plat::WM_KEYDOWN, 'A', 0), 77);
    EXPECT_EQ(handled, 0);
    ExNativeWindow::SetMessageHook(parent_window, nullptr);
    EXPECT_EQ(plat::SendMessage(parent_window, plat::WM_KEYDOWN, 'A', 0), 1);
}

TEST_F(NativeWindowTest, PaintHandlerDrawsIntoTheWindow) {
    ExNativeWindow native;
    plat::HWND child = CreateChild(native);
    plat::RECT painted{};
    native.OnPaint([&](dui::ExCanvas& canvas, const plat::RECT& rect) {
        painted = rect;
        canvas.Clear(0xFFFF0000);
        return intptr_t{1};
    });
    native.Redraw(std::nullopt, true);
    EXPECT_EQ(painted, (plat::RECT{0, 0, 200, 150}));
    EXPECT_EQ(headless::Pixel(top, 60, 50), 0xFFFF0000u);
    EXPECT_NE(child, nullptr);
}

TEST_F(NativeWindowTest, CursorOverTheClientAreaAndTheWaitCursor) {
    ExNativeWindow native;
    plat::HWND child = CreateChild(native);
    native.Cursor(plat::IDC_HAND);
    headless::MouseMove(child, {10, 10});
    Pump();
    EXPECT_EQ(plat::GetCursor(), plat::LoadCursor(nullptr, plat::IDC_HAND));
    ExNativeWindow::WaitCursor(true);
    headless::MouseMove(child, {11, 10});
    Pump();
    EXPECT_EQ(plat::GetCursor(), plat::LoadCursor(nullptr, plat::IDC_WAIT));
    ExNativeWindow::WaitCursor(false);
}

TEST_F(NativeWindowTest, AHandlerMayDestroyItsOwnObject) {
    auto native = std::make_unique<ExNativeWindow>();
    plat::HWND child = CreateChild(*native);
    native->OnLeftButtonDown([&](int, int, int) {
        native.reset();
        return intptr_t{1};
    });
    headless::Click(child, {3, 3});
    Pump();
    EXPECT_EQ(native, nullptr);
    EXPECT_FALSE(plat::IsWindow(child));
}

TEST_F(NativeWindowTest, AttachAndDetachAnExistingWindow) {
    plat::HWND child = plat::CreateWindowEx(0, kChildClass, "", plat::WS_CHILD | plat::WS_VISIBLE, 0, 0, 50, 50,
                                            top, nullptr, nullptr, nullptr);
    const auto original = plat::GetWindowLongPtr(child, plat::GWLP_WNDPROC);
    ExNativeWindow first;
    ExNativeWindow second;
    ASSERT_TRUE(first.Attach(child));
    EXPECT_FALSE(second.Attach(child));
    EXPECT_EQ(ExNativeWindow::FromHandle(child), &first);
    first.Detach();
    EXPECT_EQ(plat::GetWindowLongPtr(child, plat::GWLP_WNDPROC), original);
    EXPECT_TRUE(second.Attach(child));
    {
        ExNativeWindow scoped;   // an adopted window outlives its wrapper
        second.Detach();
        ASSERT_TRUE(scoped.Attach(child));
    }
    EXPECT_TRUE(plat::IsWindow(child));
    EXPECT_EQ(plat::GetWindowLongPtr(child, plat::GWLP_WNDPROC), original);
}

}  // namespace
