// A wrapped native child on the real window system: a GtkDrawingArea child
// window gets a real click and key through XTest, and files dropped on it
// arrive whole.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "dui/controls/native_window.h"
#include "platform/backend.h"
#include "platform/gbk_text.h"
#include "platform/gtk/gtk_file_drop.h"
#include "platform/gtk/gtk_ptr.h"
#include "platform/gtk/gtk_top_level.h"
#include "platform/gtk/gtk_window_system.h"
#include "platform/gtk/widget_child.h"
#include "platform/platform.h"
#include "tests/support/x_input.h"

#include <X11/keysym.h>

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

using testing_support::PumpUntil;
using testing_support::Tap;

class NativeWindowGtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (testing_support::StartGtkBackend() == nullptr) GTEST_SKIP() << "needs an X display";
        plat::WNDCLASSEX top_class;
        top_class.lpfnWndProc = plat::DefWindowProc;
        top_class.lpszClassName = "SeedNativeGtkTop";
        ASSERT_NE(plat::RegisterClassEx(&top_class), 0);
        plat::WNDCLASSEX child_class;
        child_class.lpfnWndProc = plat::DefWindowProc;
        child_class.lpszClassName = "SeedNativeGtkArea";
        ASSERT_NE(plat::RegisterNativeChildClass(child_class, plat::gtk::CreateSurfaceChild), 0);
        testing_support::Button(1, false);
        top = plat::CreateWindowEx(0, "SeedNativeGtkTop", "native", plat::WS_POPUP | plat::WS_VISIBLE, 200,
                                   150, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        plat::SetForegroundWindow(top);
        ASSERT_TRUE(PumpUntil([&] { return testing_support::Mapped(top); })) << "window never mapped";
    }

    void TearDown() override {
        native.Destroy();
        plat::Shutdown();
    }

    // The drawing area is mapped where the child window is.
    bool ChildOnScreen(plat::HWND child) {
        auto* widget_child = static_cast<plat::gtk::WidgetChild*>(plat::GetNativeChild(child));
        if (widget_child == nullptr || !gtk_widget_get_mapped(widget_child->Widget())) return false;
        GtkAllocation allocation{};
        gtk_widget_get_allocation(widget_child->Widget(), &allocation);
        return allocation.x == 30 && allocation.y == 20 && allocation.width == 200;
    }

    plat::HWND top = nullptr;
    dui::ExNativeWindow native;
};

TEST_F(NativeWindowGtkTest, DrawingAreaChildGetsARealClickAndKey) {
    plat::HWND child = native.Create(top, 0, "SeedNativeGtkArea", "", plat::WS_CHILD | plat::WS_VISIBLE, 30, 20,
                                     200, 150);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ChildOnScreen(child); }));

    int down_x = -1, down_y = -1, ups = 0, key = 0;
    uint32_t character = 0;
    native.OnLeftButtonDown([&](int x, int y, int) {
        down_x = x;
        down_y = y;
        return intptr_t{1};
    });
    native.OnLeftButtonUp([&](int, int, int) {
        ++ups;
        return intptr_t{1};
    });
    native.OnKeyDown([&](int virtual_key, int) {
        key = virtual_key;
        return intptr_t{1};
    });
    native.OnCharacter([&](uint32_t code) {
        character = code;
        return intptr_t{1};
    });

    testing_support::PointerTo(200 + 30 + 15, 150 + 20 + 25);
    testing_support::Click(1);
    ASSERT_TRUE(PumpUntil([&] { return ups == 1; }));
    EXPECT_EQ(down_x, 15);
    EXPECT_EQ(down_y, 25);

    EXPECT_TRUE(native.Focus());
    GtkWidget* area = static_cast<plat::gtk::WidgetChild*>(plat::GetNativeChild(child))->Widget();
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_is_focus(area) != FALSE; }));
    Tap(XK_k);
    ASSERT_TRUE(PumpUntil([&] { return character != 0; }));
    EXPECT_EQ(key, 'K');
    EXPECT_EQ(character, static_cast<uint32_t>('k'));
}

TEST_F(NativeWindowGtkTest, ALongNonAsciiPathIsDroppedWhole) {
    plat::HWND child = native.Create(top, 0, "SeedNativeGtkArea", "", plat::WS_CHILD | plat::WS_VISIBLE, 30, 20,
                                     200, 150);
    ASSERT_NE(child, nullptr);
    std::vector<std::string> received;
    native.OnFilesDropped([&](const std::vector<std::string>& files) {
        received = files;
        return intptr_t{1};
    });
    std::string utf8_path = U8(u8"/tmp/种子");
    while (utf8_path.size() < 900) utf8_path += U8(u8"/非常长的中文目录名称");
    utf8_path += U8(u8"/电影 第1集.mkv");
    plat::gtk::CharPtr uri(g_filename_to_uri(utf8_path.c_str(), nullptr, nullptr));
    ASSERT_TRUE(uri);
    const std::string uri_list = std::string("http://example.com/not-a-file\r\n") + uri.get() + "\r\n";

    EXPECT_FALSE(plat::gtk::DeliverUriList(child, uri_list, {5, 5}));   // files not accepted yet
    native.AcceptFiles(true);
    ASSERT_TRUE(plat::gtk::DeliverUriList(child, uri_list, {5, 5}));
    ASSERT_TRUE(PumpUntil([&] { return !received.empty(); }));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_GT(received[0].size(), 260u);
    EXPECT_EQ(received[0], plat::Utf8ToGbkText(utf8_path));
}

}  // namespace
