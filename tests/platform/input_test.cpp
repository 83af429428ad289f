// Input routing: mouse packing, capture, double clicks, mouse-leave, the
// cursor, keys and key state, focus and activation, the input method.

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

using InputTest = PlatformTest;

TEST_F(InputTest, MouseMessagesCarryClientCoordinatesAndButtonFlags) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    headless::KeyDown(VK_SHIFT);
    headless::MouseDown(hwnd, {10, 20});
    headless::MouseMove(hwnd, {15, 25});
    headless::PumpMessages();
    const auto down = Messages(WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(down[0].lparam), 10);
    EXPECT_EQ(GET_Y_LPARAM(down[0].lparam), 20);
    EXPECT_EQ(down[0].wparam, MK_LBUTTON | MK_SHIFT);
    const auto moves = Messages(WM_MOUSEMOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().wparam, MK_LBUTTON | MK_SHIFT);
    EXPECT_LT(GetKeyState(VK_LBUTTON), 0);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
}

TEST_F(InputTest, SetCursorPrecedesEveryUncapturedMouseMessage) {
    HWND hwnd = MakeShown();
    headless::MouseMove(hwnd, {5, 5});
    headless::MouseDown(hwnd, {5, 5});
    headless::PumpMessages();
    EXPECT_EQ(Sequence({WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONDOWN}),
              (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE, WM_SETCURSOR, WM_LBUTTONDOWN}));
    const auto set_cursor = Messages(WM_SETCURSOR);
    EXPECT_EQ(LOWORD(static_cast<uintptr_t>(set_cursor[0].lparam)), HTCLIENT);
    EXPECT_EQ(HIWORD(static_cast<uintptr_t>(set_cursor[0].lparam)), WM_MOUSEMOVE);
    // The class cursor applies by default.
    EXPECT_EQ(headless::NativeWindow(hwnd).cursor, IDC_ARROW.value);
}

TEST_F(InputTest, CaptureRoutesInputOutsideTheWindowWithNegativeCoordinates) {
    HWND hwnd = MakeShown(100, 100, 200, 150);
    HWND other = MakeShown(400, 100, 100, 100);
    headless::MouseDown(hwnd, {10, 10});
    headless::PumpMessages();
    SetCapture(hwnd);
    Log().clear();
    headless::MouseMoveScreen({50, 60});     // outside every window
    headless::MouseMoveScreen({450, 150});   // over the other window
    headless::MouseUpScreen({450, 150});
    headless::PumpMessages();
    const auto moves = Messages(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].hwnd, hwnd);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lparam), -50);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lparam), -40);
    EXPECT_EQ(moves[1].hwnd, hwnd);
    EXPECT_EQ(Messages(WM_LBUTTONUP, hwnd).size(), 1u);
    EXPECT_TRUE(Messages(WM_MOUSEMOVE, other).empty());
    EXPECT_TRUE(Messages(WM_SETCURSOR).empty());
}

TEST_F(InputTest, CaptureChangesAreAnnounced) {
    HWND a = MakeShown();
    HWND b = MakeShown(400, 100);
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    const auto changed = Messages(WM_CAPTURECHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].hwnd, a);
    EXPECT_EQ(changed[0].lparam, reinterpret_cast<LPARAM>(b));
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Messages(WM_CAPTURECHANGED, b).size(), 1u);
    DestroyWindow(a);
    EXPECT_EQ(SetCapture(a), nullptr);
}

TEST_F(InputTest, WithoutCaptureTheWindowUnderThePointerGetsTheInput) {
    HWND a = MakeShown(100, 100, 200, 150);
    HWND b = MakeShown(400, 100, 100, 100);
    headless::MouseMove(a, {10, 10});
    headless::MouseMoveScreen({410, 120});
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_MOUSEMOVE, b).size(), 1u);
    EXPECT_EQ(Messages(WM_MOUSEMOVE, b)[0].lparam, MAKELPARAM(10, 20));
}

TEST_F(InputTest, ChildWindowsReceiveTheirOwnMouseMessages) {
    HWND top = MakeShown(100, 100, 200, 150);
    HWND child = MakeChild(top, 50, 40, 30, 30);
    headless::PumpMessages();
    Log().clear();
    headless::Click(top, {55, 45});
    headless::Click(top, {5, 5});
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_LBUTTONDOWN).size(), 2u);
    EXPECT_EQ(Messages(WM_LBUTTONDOWN)[0].hwnd, child);
    EXPECT_EQ(Messages(WM_LBUTTONDOWN)[0].lparam, MAKELPARAM(5, 5));
    EXPECT_EQ(Messages(WM_LBUTTONDOWN)[1].hwnd, top);
    // A disabled child takes no input.
    EnableWindow(child, 0);
    Log().clear();
    headless::Click(top, {55, 45});
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_LBUTTONDOWN).empty());
}

class DoubleClickTest : public InputTest {
protected:
    HWND window = nullptr;
    void SetUp() override {
        InputTest::SetUp();
        window = MakeShown(100, 100, 200, 150, "RecorderDbl");
    }
    std::vector<UINT> Presses() { return Sequence({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}); }
};

TEST_F(DoubleClickTest, SecondPressWithinTimeAndDistanceIsADoubleClick) {
    headless::Click(window, {20, 20});
    headless::AdvanceClock(500);
    headless::Click(window, {22, 18});
    headless::Click(window, {22, 18});   // the third press starts afresh
    headless::PumpMessages();
    EXPECT_EQ(Presses(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(DoubleClickTest, TooLateOrTooFarIsTwoPresses) {
    headless::Click(window, {20, 20});
    headless::AdvanceClock(501);
    headless::Click(window, {20, 20});
    headless::AdvanceClock(100);
    headless::Click(window, {23, 20});
    headless::PumpMessages();
    EXPECT_EQ(Presses(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
    EXPECT_EQ(GetDoubleClickTime(), 500u);
    EXPECT_EQ(GetSystemMetrics(SM_CXDOUBLECLK), 4);
}

TEST_F(DoubleClickTest, OnlyClassesWithDoubleClicksGetThemAndOnlyForTheSameButton) {
    HWND plain = MakeShown(400, 100, 100, 100);
    headless::Click(plain, {5, 5});
    headless::Click(plain, {5, 5});
    headless::Click(window, {5, 5}, MouseButton::Right);
    headless::Click(window, {5, 5});
    headless::Click(window, {5, 5}, MouseButton::Right);
    headless::Click(window, {5, 5}, MouseButton::Right);
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_LBUTTONDOWN, plain).size(), 2u);
    EXPECT_TRUE(Messages(WM_LBUTTONDBLCLK).empty());
    EXPECT_EQ(Messages(WM_RBUTTONDOWN, window).size(), 2u);
    EXPECT_EQ(Messages(WM_RBUTTONDBLCLK, window).size(), 1u);
}

TEST_F(InputTest, TrackedMouseLeaveIsPostedOnceWhenThePointerLeaves) {
    HWND top = MakeShown(100, 100, 200, 150);
    HWND child = MakeChild(top, 100, 0, 50, 50);
    headless::MouseMove(top, {10, 10});
    headless::PumpMessages();
    TRACKMOUSEEVENT track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = top;
    ASSERT_TRUE(TrackMouseEvent(&track));
    headless::MouseMove(top, {20, 20});
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_MOUSELEAVE).empty());
    headless::MouseMove(top, {110, 10});   // onto the child: the top-level is left
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_MOUSELEAVE).size(), 1u);
    EXPECT_EQ(Messages(WM_MOUSELEAVE)[0].hwnd, top);
    headless::MouseLeaveAll();
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_MOUSELEAVE).size(), 1u);
    (void)child;
}

TEST_F(InputTest, TrackingAWindowThePointerIsNotOverLeavesAtOnce) {
    HWND a = MakeShown(100, 100, 200, 150);
    HWND b = MakeShown(400, 100, 100, 100);
    headless::MouseMove(a, {10, 10});
    headless::PumpMessages();
    TRACKMOUSEEVENT track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = b;
    TrackMouseEvent(&track);
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_MOUSELEAVE).size(), 1u);
    EXPECT_EQ(Messages(WM_MOUSELEAVE)[0].hwnd, b);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = a;
    TrackMouseEvent(&track);
    headless::MouseLeaveAll();
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_MOUSELEAVE, a).size(), 1u);
}

TEST_F(InputTest, WheelGoesToTheFocusWindowWithScreenCoordinates) {
    HWND a = MakeShown(100, 100, 200, 150);
    HWND b = MakeShown(400, 100, 100, 100);
    SetFocus(b);
    headless::Wheel(a, {10, 20}, -240);
    headless::PumpMessages();
    const auto wheel = Messages(WM_MOUSEWHEEL);
    ASSERT_EQ(wheel.size(), 1u);
    EXPECT_EQ(wheel[0].hwnd, b);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wparam), -240);
    EXPECT_EQ(GET_X_LPARAM(wheel[0].lparam), 110);
    EXPECT_EQ(GET_Y_LPARAM(wheel[0].lparam), 120);
}

TEST_F(InputTest, AltTurnsKeysIntoSystemKeysAndCharacters) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::KeyDown(VK_MENU);
    headless::PressKey('A', "a");
    headless::KeyUp(VK_MENU);
    headless::PumpMessages();
    EXPECT_EQ(Sequence({WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_CHAR}),
              (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP,
                                 WM_SYSKEYUP}));
    const auto letter = Messages(WM_SYSKEYDOWN)[1];
    EXPECT_EQ(letter.wparam, static_cast<WPARAM>('A'));
    EXPECT_NE(letter.lparam & (LPARAM{1} << 29), 0);
    EXPECT_EQ(GetKeyState(VK_MENU) & 0x8000, 0);
}

TEST_F(InputTest, AltF4AsksTheWindowToClose) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::KeyDown(VK_MENU);
    headless::PressKey(VK_F4);
    headless::KeyUp(VK_MENU);
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_SYSCOMMAND).size(), 1u);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(InputTest, DisablingAWindowTakesItsFocusAndInput) {
    HWND top = MakeShown();
    HWND child = MakeChild(top, 0, 0, 50, 50);
    SetFocus(child);
    Log().clear();
    EXPECT_FALSE(EnableWindow(child, 0));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(Messages(WM_KILLFOCUS, child).size(), 1u);
    ASSERT_EQ(Messages(WM_ENABLE, child).size(), 1u);
    EXPECT_EQ(Messages(WM_ENABLE, child)[0].wparam, 0u);
    EXPECT_FALSE(IsWindowEnabled(child));
    EXPECT_NE(GetWindowLongPtr(child, GWL_STYLE) & WS_DISABLED, 0);
    // Through the style bit the same way back.
    SetWindowLongPtr(child, GWL_STYLE, GetWindowLongPtr(child, GWL_STYLE) & ~WS_DISABLED);
    EXPECT_TRUE(IsWindowEnabled(child));
    EXPECT_EQ(Messages(WM_ENABLE, child).back().wparam, 1u);
}

TEST_F(InputTest, KeyStateFollowsRetrievedMessagesAndAsyncStateFollowsInput) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::KeyDown(VK_CONTROL);
    EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    headless::PumpMessages();
    EXPECT_LT(GetKeyState(VK_CONTROL), 0);
    const int toggle = GetKeyState(VK_CONTROL) & 1;
    headless::KeyUp(VK_CONTROL);
    headless::PressKey(VK_CONTROL);
    headless::PumpMessages();
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    EXPECT_NE(GetKeyState(VK_CONTROL) & 1, toggle);
}

TEST_F(InputTest, FocusChangesSendKillFocusThenSetFocusWithTheOtherWindow) {
    HWND top = MakeShown();
    HWND child = MakeChild(top, 0, 0, 10, 10);
    SetFocus(top);
    Log().clear();
    EXPECT_EQ(SetFocus(child), top);
    const auto kill = Messages(WM_KILLFOCUS);
    const auto set = Messages(WM_SETFOCUS);
    ASSERT_EQ(kill.size(), 1u);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(kill[0].hwnd, top);
    EXPECT_EQ(kill[0].wparam, reinterpret_cast<WPARAM>(child));
    EXPECT_EQ(set[0].hwnd, child);
    EXPECT_EQ(set[0].wparam, reinterpret_cast<WPARAM>(top));
    EXPECT_EQ(Sequence({WM_KILLFOCUS, WM_SETFOCUS}), (std::vector<UINT>{WM_KILLFOCUS, WM_SETFOCUS}));
    EXPECT_EQ(GetFocus(), child);
    SetFocus(child);   // no change, no messages
    EXPECT_EQ(Messages(WM_SETFOCUS).size(), 1u);
    DestroyWindow(child);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(InputTest, ActivationMovesBetweenTopLevelWindowsAndFocusFollows) {
    HWND a = MakeShown(100, 100);
    HWND b = MakeShown(400, 100);
    ASSERT_EQ(GetActiveWindow(), b);
    Log().clear();
    SetForegroundWindow(a);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(headless::ActivatedNative(), a);
    const auto activate = Messages(WM_ACTIVATE);
    ASSERT_EQ(activate.size(), 2u);
    EXPECT_EQ(activate[0].hwnd, b);
    EXPECT_EQ(LOWORD(activate[0].wparam), WA_INACTIVE);
    EXPECT_EQ(activate[0].lparam, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(activate[1].hwnd, a);
    EXPECT_EQ(LOWORD(activate[1].wparam), WA_ACTIVE);
    // A click on the inactive window activates it first.
    Log().clear();
    headless::Click(b, {5, 5});
    headless::PumpMessages();
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(Sequence({WM_ACTIVATE, WM_LBUTTONDOWN}),
              (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN}));
    EXPECT_EQ(LOWORD(Messages(WM_ACTIVATE, b)[0].wparam), WA_CLICKACTIVE);
    // The system deactivating the program takes the focus away.
    headless::ActivateFromSystem(b, false);
    headless::PumpMessages();
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(InputTest, HidingTheActiveWindowActivatesItsOwner) {
    HWND owner = MakeShown(100, 100);
    HWND box = CreateWindowEx(0, "Recorder", "box", WS_POPUP, 150, 150, 50, 50, owner, nullptr,
                              nullptr, nullptr);
    ShowWindow(box, SW_SHOW);
    ASSERT_EQ(GetActiveWindow(), box);
    ShowWindow(box, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_EQ(GetFocus(), owner);
}

TEST_F(InputTest, ImeResultArrivesAsCompositionAndAsciiAsCharacters) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    std::string result;
    Hook() = [&](HWND window, UINT message, WPARAM, LPARAM lparam, LRESULT* out) {
        if (message != WM_IME_COMPOSITION || !(lparam & GCS_RESULTSTR)) return false;
        HIMC context = ImmGetContext(window);
        const LONG size = ImmGetCompositionString(context, GCS_RESULTSTR, nullptr, 0);
        result.assign(static_cast<size_t>(size), '\0');
        ImmGetCompositionString(context, GCS_RESULTSTR, result.data(), static_cast<DWORD>(size));
        ImmReleaseContext(window, context);
        *out = 0;
        return true;
    };
    headless::CommitIme(U8(u8"ab种子"));
    headless::PumpMessages();
    EXPECT_EQ(result, "种子");
    std::string chars;
    for (const Seen& seen : Messages(WM_CHAR)) chars.push_back(static_cast<char>(seen.wparam));
    EXPECT_EQ(chars, "ab");
}

TEST_F(InputTest, EveryCompositionOfALongCommitKeepsItsOwnResult) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    std::vector<std::string> results;
    Hook() = [&](HWND window, UINT message, WPARAM, LPARAM lparam, LRESULT* out) {
        if (message != WM_IME_COMPOSITION || !(lparam & GCS_RESULTSTR)) return false;
        char buffer[16] = {};
        const LONG size = ImmGetCompositionString(ImmGetContext(window), GCS_RESULTSTR, buffer, 16);
        results.emplace_back(buffer, static_cast<size_t>(size));
        *out = 0;
        return true;
    };
    std::string commit;
    for (int i = 0; i < 600; ++i) commit += U8(i % 2 ? u8"y文" : u8"x中");
    headless::CommitIme(commit);
    headless::PumpMessages();
    ASSERT_EQ(results.size(), 600u);
    for (size_t i = 0; i < results.size(); ++i) {
        ASSERT_EQ(results[i], i % 2 ? "文" : "中") << "composition " << i;
    }
    EXPECT_EQ(Messages(WM_CHAR).size(), 600u);
}

TEST_F(InputTest, UnreadCompositionBecomesCharactersLeadByteFirst) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::CommitIme(U8(u8"搜"));
    headless::PumpMessages();
    std::string chars;
    for (const Seen& seen : Messages(WM_CHAR)) chars.push_back(static_cast<char>(seen.wparam));
    EXPECT_EQ(chars, "搜");
}

TEST_F(InputTest, DetachedInputContextDropsNonAsciiText) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    HIMC saved = ImmAssociateContext(hwnd, nullptr);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(ImmGetContext(hwnd), nullptr);
    EXPECT_FALSE(headless::NativeWindow(hwnd).ime_enabled);
    headless::CommitIme(U8(u8"x中y"));
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_IME_COMPOSITION).empty());
    EXPECT_EQ(Messages(WM_CHAR).size(), 2u);
    EXPECT_EQ(ImmAssociateContext(hwnd, saved), nullptr);
    EXPECT_TRUE(headless::NativeWindow(hwnd).ime_enabled);
}

TEST_F(InputTest, CaretPlacesTheInputMethodWindowInTopLevelCoordinates) {
    HWND top = MakeShown(100, 100, 200, 150);
    HWND child = MakeChild(top, 20, 30, 100, 50);
    ASSERT_TRUE(CreateCaret(child, nullptr, 1, 15));
    ASSERT_TRUE(SetCaretPos(5, 6));
    EXPECT_EQ(headless::NativeWindow(top).ime_cursor, (RECT{25, 36, 26, 51}));
    POINT point;
    ASSERT_TRUE(GetCaretPos(&point));
    EXPECT_EQ(point, (POINT{5, 6}));
    EXPECT_TRUE(DestroyCaret());
    EXPECT_FALSE(SetCaretPos(1, 1));
}

TEST_F(InputTest, HostileInputIsBounded) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    // Malformed UTF-8 from the system becomes "?" rather than garbage.
    headless::PressKey('A', std::string("\xff\xfe", 2));
    std::string huge(4u << 20, 'x');
    headless::CommitIme(huge);
    for (int i = 0; i < 50000; ++i) headless::Click(hwnd, {1, 1});
    headless::PumpMessages();
    ASSERT_FALSE(Messages(WM_CHAR).empty());
    EXPECT_EQ(Messages(WM_CHAR)[0].wparam, static_cast<WPARAM>('?'));
    EXPECT_LE(Messages(WM_CHAR).size(), 64u * 1024 + 2);
    EXPECT_LE(Messages(WM_LBUTTONDOWN).size(), 10000u);
}

}  // namespace
}  // namespace platform_test
