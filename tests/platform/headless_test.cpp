// The headless backend itself: reset, typing, pumping, scripted waits.

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

using HeadlessTest = PlatformTest;

TEST_F(HeadlessTest, ResetForgetsWindowsWithoutCallingTheirProcedures) {
    HWND hwnd = MakeShown();
    SetTimer(hwnd, 1, 10, nullptr);
    PostMessage(hwnd, WM_USER, 0, 0);
    headless::AdvanceClock(50);
    Log().clear();
    headless::Reset();
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(headless::Now(), 0u);
    EXPECT_EQ(headless::PumpMessages(), 0);
    // Classes are gone too: the name registers again.
    WNDCLASSEX again;
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "Recorder";
    EXPECT_NE(RegisterClassEx(&again), 0);
    HWND fresh = MakeTopLevel();
    EXPECT_NE(fresh, hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(HeadlessTest, TypeTextTypesLettersDigitsAndCapitals) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::TypeText("Ab 1.");
    headless::PumpMessages();
    std::string typed;
    for (const Seen& seen : Messages(WM_CHAR)) typed.push_back(static_cast<char>(seen.wparam));
    EXPECT_EQ(typed, "Ab 1.");
    EXPECT_EQ(Messages(WM_KEYDOWN)[0].wparam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(HeadlessTest, PumpStopsAtAQuitAndLeavesItForTheLoop) {
    HWND hwnd = MakeShown();
    PostMessage(hwnd, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessage(hwnd, WM_USER + 1, 0, 0);
    EXPECT_EQ(headless::PumpMessages(), 2);
    MSG msg;
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(HeadlessTest, SleepAdvancesTheVirtualClock) {
    const DWORD before = GetTickCount();
    Sleep(250);
    EXPECT_EQ(GetTickCount() - before, 250u);
    EXPECT_EQ(GetTickCount64(), 250u);
}

}  // namespace
}  // namespace platform_test
