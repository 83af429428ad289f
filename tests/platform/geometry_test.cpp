// Geometry and show state: moving and sizing, WM_GETMINMAXINFO when
// maximising and resizing, minimise/restore, drags, z-order, showing.

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

using GeometryTest = PlatformTest;

RECT WindowRect(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

TEST_F(GeometryTest, MoveWindowSendsMoveThenSizeAndTellsTheSystem) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    ASSERT_TRUE(MoveWindow(hwnd, 10, 20, 300, 250, 1));
    EXPECT_EQ(Sequence({WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE, WM_SIZE}));
    EXPECT_EQ(Messages(WM_SIZE)[0].lparam, MAKELPARAM(300, 250));
    EXPECT_EQ(Messages(WM_SIZE)[0].wparam, SIZE_RESTORED);
    EXPECT_EQ(WindowRect(hwnd), (RECT{10, 20, 310, 270}));
    EXPECT_EQ(headless::NativeWindow(hwnd).rect, (RECT{10, 20, 310, 270}));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client, (RECT{0, 0, 300, 250}));
    // An unchanged rectangle sends nothing.
    Log().clear();
    MoveWindow(hwnd, 10, 20, 300, 250, 1);
    EXPECT_TRUE(Log().empty());
    // Absurd sizes are bounded.
    MoveWindow(hwnd, 0, 0, 1 << 30, -5, 1);
    EXPECT_EQ(WindowRect(hwnd), (RECT{0, 0, 8192, 0}));
}

TEST_F(GeometryTest, SetWindowPosFlagsKeepWhatTheySay) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    SetWindowPos(hwnd, nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(WindowRect(hwnd), (RECT{5, 6, 205, 156}));
    SetWindowPos(hwnd, nullptr, 0, 0, 50, 60, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(WindowRect(hwnd), (RECT{5, 6, 55, 66}));
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(headless::NativeWindow(hwnd).top_most);
    EXPECT_NE(GetWindowLongPtr(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(headless::NativeWindow(hwnd).top_most);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(GeometryTest, NewWindowsStartOnTopAndActivationRaises) {
    HWND first = MakeTopLevel(0, 0, 100, 100);
    HWND second = MakeTopLevel(50, 50, 100, 100);
    ShowWindow(first, SW_SHOWNA);
    ShowWindow(second, SW_SHOWNA);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), second);
    SetForegroundWindow(first);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), first);
}

TEST_F(GeometryTest, TopMostWindowWinsTheHitTest) {
    HWND below = MakeShown(100, 100, 200, 200);
    HWND above = MakeShown(150, 150, 50, 50);
    SetWindowPos(above, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(below);
    EXPECT_EQ(WindowFromPoint(POINT{160, 160}), above);
    EXPECT_EQ(WindowFromPoint(POINT{110, 110}), below);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), nullptr);
}

class MaximiseTest : public GeometryTest {
protected:
    MINMAXINFO answer{};
    bool answer_given = false;
    void SetUp() override {
        GeometryTest::SetUp();
        headless::SetWorkArea(RECT{0, 0, 1000, 700});
        Hook() = [this](HWND, UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
            if (message != WM_GETMINMAXINFO || !answer_given) return false;
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMaxSize = answer.ptMaxSize;
            info->ptMaxPosition = answer.ptMaxPosition;
            info->ptMinTrackSize = answer.ptMinTrackSize;
            info->ptMaxTrackSize = answer.ptMaxTrackSize;
            *result = 0;
            return true;
        };
    }
};

TEST_F(MaximiseTest, MaximiseFillsTheWorkAreaByDefaultAndRestoreReturns) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(hwnd));
    EXPECT_EQ(WindowRect(hwnd), (RECT{0, 0, 1000, 700}));
    EXPECT_EQ(Messages(WM_SIZE).back().wparam, SIZE_MAXIMIZED);
    EXPECT_EQ(headless::NativeWindow(hwnd).state, ShowState::Maximised);
    EXPECT_EQ(Messages(WM_GETMINMAXINFO).size(), 1u);
    SendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_EQ(WindowRect(hwnd), (RECT{100, 100, 300, 250}));
    EXPECT_EQ(Messages(WM_SIZE).back().wparam, SIZE_RESTORED);
    EXPECT_EQ(headless::NativeWindow(hwnd).state, ShowState::Normal);
}

TEST_F(MaximiseTest, MaximisedRectangleComesFromMinMaxInfoClampedByTrackingLimits) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    answer_given = true;
    answer.ptMaxSize = POINT{1014, 714};
    answer.ptMaxPosition = POINT{-7, -7};
    answer.ptMinTrackSize = POINT{100, 40};
    answer.ptMaxTrackSize = POINT{900, 2000};
    ShowWindow(hwnd, SW_MAXIMIZE);
    EXPECT_EQ(WindowRect(hwnd), (RECT{-7, -7, 893, 707}));
    ShowWindow(hwnd, SW_RESTORE);
    answer.ptMaxSize = POINT{10, 10};
    ShowWindow(hwnd, SW_MAXIMIZE);
    EXPECT_EQ(WindowRect(hwnd), (RECT{-7, -7, 93, 33}));
}

TEST_F(MaximiseTest, MinimiseAndRestoreRememberTheMaximisedState) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    ShowWindow(hwnd, SW_MAXIMIZE);
    Log().clear();
    SendMessage(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_FALSE(IsZoomed(hwnd));
    EXPECT_EQ(Messages(WM_SIZE).back().wparam, SIZE_MINIMIZED);
    EXPECT_EQ(headless::NativeWindow(hwnd).state, ShowState::Minimised);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_TRUE(IsZoomed(hwnd));
    EXPECT_EQ(Messages(WM_SIZE).back().wparam, SIZE_MAXIMIZED);
    EXPECT_EQ(WindowRect(hwnd), (RECT{0, 0, 1000, 700}));
    // The system restoring a minimised window comes back the same way.
    ShowWindow(hwnd, SW_MINIMIZE);
    input::QueueShowState(hwnd, ShowState::Normal);
    headless::PumpMessages();
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(MaximiseTest, ResizeFromAnEdgeStartsASystemDragWithTheTrackingLimits) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    answer_given = true;
    answer.ptMaxSize = POINT{1000, 700};
    answer.ptMinTrackSize = POINT{21, 20};
    answer.ptMaxTrackSize = POINT{1012, 712};
    headless::MouseDown(hwnd, {199, 149});
    headless::PumpMessages();
    SendMessage(hwnd, WM_SYSCOMMAND, SC_SIZE + WMSZ_BOTTOMRIGHT, 0);
    const auto drags = headless::DragRequests();
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_TRUE(drags[0].resize);
    EXPECT_EQ(drags[0].edge, WMSZ_BOTTOMRIGHT);
    EXPECT_EQ(drags[0].screen, (POINT{299, 249}));
    EXPECT_EQ(drags[0].min_track, (SIZE{21, 20}));
    EXPECT_EQ(drags[0].max_track, (SIZE{1012, 712}));
    // The system reports the outcome.
    headless::ConfigureFromSystem(hwnd, RECT{100, 100, 400, 300});
    headless::PumpMessages();
    EXPECT_EQ(WindowRect(hwnd), (RECT{100, 100, 400, 300}));
    EXPECT_EQ(Messages(WM_SIZE).back().lparam, MAKELPARAM(300, 200));
}

TEST_F(GeometryTest, CaptionPressMovesOnlyWhileTheButtonIsHeldAndNotWhenMaximised) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_TRUE(headless::DragRequests().empty());
    headless::MouseDown(hwnd, {20, 10});
    headless::PumpMessages();
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    ASSERT_EQ(headless::DragRequests().size(), 1u);
    EXPECT_FALSE(headless::DragRequests()[0].resize);
    EXPECT_EQ(Messages(WM_SYSCOMMAND).back().wparam, SC_MOVE | HTCAPTION);
    // The system took the button: no second drag from the same press.
    EXPECT_GE(GetAsyncKeyState(VK_LBUTTON), 0);
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(headless::DragRequests().size(), 1u);
    ShowWindow(hwnd, SW_MAXIMIZE);
    headless::MouseDown(hwnd, {20, 10});
    headless::PumpMessages();
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    EXPECT_EQ(headless::DragRequests().size(), 1u);
}

TEST_F(GeometryTest, BorderHitsBecomeResizeCommands) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTLEFT, 0);
    SendMessage(hwnd, WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, 0);
    const auto commands = Messages(WM_SYSCOMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wparam, SC_SIZE + WMSZ_LEFT);
    EXPECT_EQ(commands[1].wparam, SC_SIZE + WMSZ_BOTTOMRIGHT);
}

TEST_F(GeometryTest, ShowWindowSendsShowWindowActivatesAndRequestsPaint) {
    HWND hwnd = MakeTopLevel();
    Log().clear();
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(headless::NativeWindow(hwnd).visible);
    EXPECT_EQ(Sequence({WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}));
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_PAINT).size(), 1u);
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(headless::NativeWindow(hwnd).visible);
    EXPECT_EQ(Messages(WM_SHOWWINDOW).back().wparam, 0u);
    // SW_SHOWNA shows without activating.
    HWND other = MakeShown(400, 100);
    ShowWindow(hwnd, SW_SHOWNA);
    EXPECT_EQ(GetActiveWindow(), other);
}

TEST_F(GeometryTest, NoActivateWindowsShowWithoutTakingActivation) {
    HWND main = MakeShown(100, 100);
    HWND tip = MakeTopLevel(0, 0, 50, 20, "Recorder", WS_EX_NOACTIVATE | WS_EX_TOPMOST);
    ShowWindow(tip, SW_SHOW);
    SetWindowPos(tip, HWND_TOPMOST, 5, 5, 0, 0, SWP_NOSIZE);
    headless::Click(tip, {5, 5});
    headless::PumpMessages();
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(Messages(WM_LBUTTONDOWN, tip).size(), 1u);
}

TEST_F(GeometryTest, ChildVisibilityDependsOnItsAncestors) {
    HWND top = MakeTopLevel();
    HWND child = MakeChild(top, 0, 0, 10, 10);
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(top, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(child, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowVisible(top));
}

TEST_F(GeometryTest, WorkAreaAndMetricsComeFromTheScreen) {
    headless::SetScreenSize(SIZE{1280, 800});
    headless::SetWorkArea(RECT{0, 30, 1280, 800});
    RECT work{};
    ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work, (RECT{0, 30, 1280, 800}));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_FALSE(SystemParametersInfo(SPI_GETWORKAREA, 0, nullptr, 0));
}

TEST_F(GeometryTest, ScreenAndClientCoordinatesConvertThroughTheParentChain) {
    HWND top = MakeShown(100, 200, 300, 300);
    HWND child = MakeChild(top, 10, 20, 100, 100);
    HWND inner = MakeChild(child, 3, 4, 10, 10);
    POINT point{1, 1};
    ClientToScreen(inner, &point);
    EXPECT_EQ(point, (POINT{114, 225}));
    ScreenToClient(top, &point);
    EXPECT_EQ(point, (POINT{14, 25}));
    MoveWindow(top, 0, 0, 300, 300, 1);
    point = POINT{0, 0};
    ClientToScreen(inner, &point);
    EXPECT_EQ(point, (POINT{13, 24}));
}

}  // namespace
}  // namespace platform_test
