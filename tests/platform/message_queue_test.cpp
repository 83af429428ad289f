// The message queue: ordering, nested loops and quit, timers, translation of
// keys into characters, painting order and the limits on hostile producers.

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

constexpr UINT kFirst = WM_USER + 1;
constexpr UINT kSecond = WM_USER + 2;
constexpr UINT kThird = WM_USER + 3;

// Runs a Windows-style loop; returns the quit code.
int RunLoop() {
    MSG msg;
    BOOL result;
    while ((result = GetMessage(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return static_cast<int>(msg.wParam);
}

using MessageQueueTest = PlatformTest;

TEST_F(MessageQueueTest, SentMessagesRunAtOncePostedOnesInOrderWhenRetrieved) {
    HWND hwnd = MakeTopLevel();
    Log().clear();
    PostMessage(hwnd, kFirst, 1, 0);
    PostMessage(hwnd, kSecond, 2, 0);
    SendMessage(hwnd, kThird, 3, 0);
    ASSERT_EQ(Sequence({kFirst, kSecond, kThird}), (std::vector<UINT>{kThird}));
    headless::PumpMessages();
    EXPECT_EQ(Sequence({kFirst, kSecond, kThird}), (std::vector<UINT>{kThird, kFirst, kSecond}));
}

TEST_F(MessageQueueTest, PeekWithoutRemoveLeavesTheMessageAndFiltersSelect) {
    HWND a = MakeTopLevel();
    HWND b = MakeTopLevel();
    PostMessage(a, kFirst, 0, 0);
    PostMessage(b, kSecond, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, kFirst);
    ASSERT_TRUE(PeekMessage(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, kSecond);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, kFirst, kFirst, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, a);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, kFirst, kSecond, PM_REMOVE));
}

TEST_F(MessageQueueTest, QuitEndsOnlyTheInnermostOfNestedLoops) {
    HWND hwnd = MakeTopLevel();
    std::vector<std::string> trace;
    Hook() = [&](HWND, UINT message, WPARAM wparam, LPARAM, LRESULT*) {
        if (message == kFirst) {
            trace.push_back("outer handler enters inner loop");
            PostMessage(hwnd, kSecond, 0, 0);
            const int code = RunLoop();
            trace.push_back("inner loop ended with " + std::to_string(code));
            return true;
        }
        if (message == kSecond) {
            PostQuitMessage(5);
            // Posted after the quit request, yet before it: posted messages
            // come first.
            PostMessage(hwnd, kThird, 0, 0);
            return true;
        }
        if (message == kThird) {
            trace.push_back("third " + std::to_string(wparam));
            return true;
        }
        return false;
    };
    PostMessage(hwnd, kFirst, 0, 0);
    headless::PushStep([] { PostQuitMessage(9); });
    EXPECT_EQ(RunLoop(), 9);
    EXPECT_EQ(trace, (std::vector<std::string>{"outer handler enters inner loop", "third 0",
                                               "inner loop ended with 5"}));
}

TEST_F(MessageQueueTest, LoopsNestToAnyDepth) {
    HWND hwnd = MakeTopLevel();
    int deepest = 0;
    Hook() = [&](HWND, UINT message, WPARAM wparam, LPARAM, LRESULT*) {
        if (message != kFirst) return false;
        const int depth = static_cast<int>(wparam);
        deepest = std::max(deepest, depth);
        if (depth < 50) PostMessage(hwnd, kFirst, depth + 1, 0);
        else PostQuitMessage(depth);
        const int code = RunLoop();
        PostQuitMessage(depth > 1 ? code - 1 : code);
        return true;
    };
    PostMessage(hwnd, kFirst, 1, 0);
    PostMessage(hwnd, kSecond, 0, 0);
    PostMessage(hwnd, kThird, 0, 0);
    EXPECT_EQ(RunLoop(), 1);
    EXPECT_EQ(deepest, 50);
}

TEST_F(MessageQueueTest, TimerFiresByTheClockAndIsCoalescedWhenLate) {
    HWND hwnd = MakeTopLevel();
    ASSERT_NE(SetTimer(hwnd, 42, 100, nullptr), 0u);
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_TIMER).empty());
    headless::AdvanceClock(99);
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_TIMER).empty());
    headless::AdvanceClock(1);
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_TIMER).size(), 1u);
    EXPECT_EQ(Messages(WM_TIMER)[0].wparam, 42u);
    // Ten intervals late still yields one WM_TIMER.
    headless::AdvanceClock(1000);
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_TIMER).size(), 2u);
}

TEST_F(MessageQueueTest, TimerWaitsForPostedMessagesAndPaint) {
    HWND hwnd = MakeShown();
    SetTimer(hwnd, 1, 10, nullptr);
    headless::AdvanceClock(10);
    PostMessage(hwnd, kFirst, 0, 0);
    InvalidateRect(hwnd, nullptr, 0);
    headless::PumpMessages();
    EXPECT_EQ(Sequence({kFirst, WM_PAINT, WM_TIMER}),
              (std::vector<UINT>{kFirst, WM_PAINT, WM_TIMER}));
}

TEST_F(MessageQueueTest, KilledTimerStopsAndResetTimerRestartsItsInterval) {
    HWND hwnd = MakeTopLevel();
    SetTimer(hwnd, 1, 100, nullptr);
    SetTimer(hwnd, 2, 100, nullptr);
    headless::AdvanceClock(60);
    SetTimer(hwnd, 2, 100, nullptr);   // re-armed: due at 160
    EXPECT_TRUE(KillTimer(hwnd, 1));
    EXPECT_FALSE(KillTimer(hwnd, 1));
    headless::AdvanceClock(50);        // 110
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_TIMER).empty());
    headless::AdvanceClock(50);        // 160
    headless::PumpMessages();
    ASSERT_EQ(Messages(WM_TIMER).size(), 1u);
    EXPECT_EQ(Messages(WM_TIMER)[0].wparam, 2u);
}

TEST_F(MessageQueueTest, FilteredWaitWakesOnlyForTimersItCanRetrieve) {
    HWND a = MakeTopLevel();
    HWND b = MakeTopLevel();
    SetTimer(b, 1, 10, nullptr);
    SetTimer(a, 2, 100, nullptr);
    headless::AdvanceClock(20);   // b's timer is due but filtered out
    headless::PushStep([a] { PostMessage(a, kFirst, 0, 0); });
    MSG msg;
    ASSERT_EQ(GetMessage(&msg, a, 0, 0), 1);
    EXPECT_EQ(msg.message, kFirst);
    EXPECT_EQ(headless::LastWaitDeadline(), std::optional<uint64_t>(100));
}

TEST_F(MessageQueueTest, TimerOfADestroyedWindowNeverFires) {
    HWND hwnd = MakeTopLevel();
    SetTimer(hwnd, 1, 10, nullptr);
    DestroyWindow(hwnd);
    Log().clear();
    headless::AdvanceClock(100);
    EXPECT_EQ(headless::PumpMessages(), 0);
    EXPECT_FALSE(SetTimer(hwnd, 1, 10, nullptr));
}

TEST_F(MessageQueueTest, TimerProcedureIsCalledInsteadOfTheWindowProcedure) {
    static int calls;
    calls = 0;
    HWND hwnd = MakeTopLevel();
    SetTimer(hwnd, 3, 10, [](HWND, UINT, UINT_PTR id, DWORD) { calls += static_cast<int>(id); });
    headless::AdvanceClock(10);
    headless::PumpMessages();
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(Messages(WM_TIMER).empty());
}

TEST_F(MessageQueueTest, KeyTranslatesToGbkCharactersLeadByteFirst) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::PressKey('A', "a");
    headless::PressKey(VK_OEM_3, U8(u8"中"));
    headless::PumpMessages();
    const std::string expected = std::string("a") + "中";
    std::string typed;
    for (const Seen& seen : Messages(WM_CHAR)) typed.push_back(static_cast<char>(seen.wparam));
    EXPECT_EQ(typed, expected);
    EXPECT_EQ(Messages(WM_CHAR).size(), 3u);
}

TEST_F(MessageQueueTest, ControlLettersAndEditingKeysTypeControlCharacters) {
    HWND hwnd = MakeShown();
    SetFocus(hwnd);
    headless::KeyDown(VK_CONTROL);
    headless::PressKey('V', "v");
    headless::KeyUp(VK_CONTROL);
    headless::PressKey(VK_RETURN);
    headless::PressKey(VK_BACK);
    headless::PressKey(VK_LEFT);
    headless::PumpMessages();
    std::vector<WPARAM> chars;
    for (const Seen& seen : Messages(WM_CHAR)) chars.push_back(seen.wparam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{0x16, '\r', '\b'}));
}

TEST_F(MessageQueueTest, PaintComesOnlyWhenTheQueueIsOtherwiseEmpty) {
    HWND hwnd = MakeShown();
    InvalidateRect(hwnd, nullptr, 0);
    PostMessage(hwnd, kFirst, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, kFirst);
    ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
}

TEST_F(MessageQueueTest, PaintIgnoredByItsProcedureDoesNotRepeatForever) {
    HWND hwnd = MakeShown();
    Hook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_PAINT;   // neither BeginPaint nor DefWindowProc
    };
    InvalidateRect(hwnd, nullptr, 0);
    EXPECT_EQ(headless::PumpMessages(), 1);
}

TEST_F(MessageQueueTest, PostingStopsAtTheQueueLimit) {
    HWND hwnd = MakeTopLevel();
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) accepted += PostMessage(hwnd, kFirst, 0, 0);
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(headless::PumpMessages(), 10000);
    EXPECT_TRUE(PostMessage(hwnd, kFirst, 0, 0));
}

TEST_F(MessageQueueTest, MessagesPostedToADestroyedWindowAreDropped) {
    HWND hwnd = MakeTopLevel();
    PostMessage(hwnd, kFirst, 0, 0);
    DestroyWindow(hwnd);
    Log().clear();
    EXPECT_EQ(headless::PumpMessages(), 0);
    EXPECT_FALSE(PostMessage(hwnd, kFirst, 0, 0));
    EXPECT_EQ(SendMessage(hwnd, kFirst, 0, 0), 0);
}

TEST_F(MessageQueueTest, GetMessageRunsScriptedStepsWhileBlocked) {
    HWND hwnd = MakeTopLevel();
    headless::PushStep([] { headless::AdvanceClock(5); });
    headless::PushStep([hwnd] { PostMessage(hwnd, kFirst, 11, 0); });
    MSG msg;
    ASSERT_EQ(GetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, kFirst);
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(headless::PendingSteps(), 0u);
    EXPECT_EQ(headless::Now(), 5u);
}

TEST_F(MessageQueueTest, BlockedLoopWithoutStepsReportsInsteadOfHanging) {
    std::vector<std::string> reasons;
    headless::SetBlockedHandler([&](const std::string& reason) {
        reasons.push_back(reason);
        PostQuitMessage(0);
    });
    MSG msg;
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), 0);
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_NE(reasons[0].find("no scripted step"), std::string::npos);
}

TEST_F(MessageQueueTest, AutoAdvanceRunsPendingTimersWithinItsBudget) {
    HWND hwnd = MakeTopLevel();
    int ticks = 0;
    Hook() = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == WM_TIMER && ++ticks == 3) PostQuitMessage(0);
        return false;
    };
    SetTimer(hwnd, 1, 50, nullptr);
    headless::SetAutoAdvanceBudget(1000);
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(headless::Now(), 150u);
}

}  // namespace
}  // namespace platform_test
