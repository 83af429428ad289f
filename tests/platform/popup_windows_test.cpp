// Window roles, the popup input grab and disabled owners on the headless
// backend.

#include "tests/platform/platform_fixture.h"

namespace platform_test {
namespace {

class PopupTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        m_owner = MakeShown(100, 100, 400, 300);
        m_child = MakeChild(m_owner, 10, 10, 100, 30);
        SetFocus(m_child);
        m_popup = MakePopup(m_owner, 600, 120);
        headless::PumpMessages();
        Log().clear();
    }

    HWND MakePopup(HWND owner, int x, int y) {
        HWND popup = CreateWindowEx(0, "Recorder", "popup", WS_POPUP, x, y, 120, 80, owner, nullptr,
                                    nullptr, nullptr);
        SetWindowRole(popup, WindowRole::PopupMenu);
        ShowWindow(popup, SW_SHOWNOACTIVATE);
        return popup;
    }

    // What a menu's loop does: runs until its window is gone.
    void RunUntilGone(HWND hwnd) {
        MSG msg;
        while (IsWindow(hwnd) && GetMessage(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
    }

    HWND m_owner = nullptr;
    HWND m_child = nullptr;
    HWND m_popup = nullptr;
};

TEST_F(PopupTest, RoleReachesTheBackendAndOnlyTopLevelsHaveOne) {
    EXPECT_EQ(GetWindowRole(m_popup), WindowRole::PopupMenu);
    EXPECT_EQ(headless::NativeWindow(m_popup).role, WindowRole::PopupMenu);
    SetWindowRole(m_child, WindowRole::Dialog);
    EXPECT_EQ(GetWindowRole(m_child), WindowRole::Normal);
    SetWindowRole(nullptr, WindowRole::Dialog);   // harmless
}

TEST_F(PopupTest, GrabNeedsAShownPopupAndSaysWhyNot) {
    EXPECT_FALSE(GrabPopupInput(m_owner));
    EXPECT_EQ(LastGrabFailure(), GrabFailure::NotAPopup);
    EXPECT_FALSE(GrabPopupInput(m_child));
    EXPECT_EQ(LastGrabFailure(), GrabFailure::NotAWindow);
    HWND hidden = CreateWindowEx(0, "Recorder", "hidden", WS_POPUP, 0, 0, 10, 10, m_owner, nullptr,
                                 nullptr, nullptr);
    SetWindowRole(hidden, WindowRole::PopupMenu);
    EXPECT_FALSE(GrabPopupInput(hidden));
    EXPECT_EQ(LastGrabFailure(), GrabFailure::NotShown);
    headless::RefusePopupGrabs(true);
    EXPECT_FALSE(GrabPopupInput(m_popup));
    EXPECT_EQ(LastGrabFailure(), GrabFailure::Refused);
    EXPECT_EQ(PopupInputHolder(), nullptr);
    headless::RefusePopupGrabs(false);
    EXPECT_TRUE(GrabPopupInput(m_popup));
    EXPECT_EQ(LastGrabFailure(), GrabFailure::None);
    EXPECT_EQ(PopupInputHolder(), m_popup);
    EXPECT_EQ(headless::NativePopupGrab(), m_popup);
}

TEST_F(PopupTest, OutsidePressDeactivatesThePopupAndReachesNoWindow) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    headless::PressOutsideProgram(POINT{1500, 900});
    headless::PumpMessages();
    const auto activations = Messages(WM_ACTIVATE, m_popup);
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(LOWORD(activations[0].wparam), WA_INACTIVE);
    EXPECT_EQ(activations[0].lparam, 0);
    EXPECT_TRUE(Messages(WM_LBUTTONDOWN).empty());
    EXPECT_TRUE(Messages(WM_LBUTTONUP).empty());
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);
    EXPECT_TRUE(Messages(WM_CAPTURECHANGED).empty());
}

TEST_F(PopupTest, PressOnTheOwnerIsDeliveredAndKeepsTheGrab) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    headless::Click(m_owner, POINT{200, 200});
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_LBUTTONDOWN, m_owner).size(), 1u);
    EXPECT_EQ(PopupInputHolder(), m_popup);
    EXPECT_TRUE(Messages(WM_CAPTURECHANGED, m_popup).empty());
}

TEST_F(PopupTest, KeysGoToTheGrabbingPopupWhereverTheFocusIs) {
    ASSERT_EQ(GetFocus(), m_child);
    ASSERT_TRUE(GrabPopupInput(m_popup));
    headless::PressKey(VK_ESCAPE);
    headless::PumpMessages();
    const auto keys = Messages(WM_KEYDOWN, m_popup);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wparam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_TRUE(Messages(WM_KEYDOWN, m_child).empty());
    ReleasePopupInput(m_popup);
    headless::PressKey(VK_ESCAPE);
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_KEYDOWN, m_child).size(), 1u);
}

TEST_F(PopupTest, AMenuLoopClosesOnAnOutsideClickAndOnEscape) {
    Hook() = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM, LRESULT*) {
        const bool deactivated = message == WM_ACTIVATE && LOWORD(wparam) == WA_INACTIVE;
        const bool escape = message == WM_KEYDOWN && wparam == VK_ESCAPE;
        if (GetWindowRole(hwnd) == WindowRole::PopupMenu && (deactivated || escape)) DestroyWindow(hwnd);
        return false;
    };
    ASSERT_TRUE(GrabPopupInput(m_popup));
    headless::PushStep([] { headless::PressOutsideProgram(POINT{5, 5}); });
    RunUntilGone(m_popup);
    EXPECT_FALSE(IsWindow(m_popup));
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);

    HWND second = MakePopup(m_owner, 600, 300);
    ASSERT_TRUE(GrabPopupInput(second));
    headless::PushStep([] { headless::PressKey(VK_ESCAPE); });
    RunUntilGone(second);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(headless::PendingSteps(), 0u);
}

TEST_F(PopupTest, BrokenGrabSendsCaptureChanged) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    headless::BreakPopupGrab();
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_CAPTURECHANGED, m_popup).size(), 1u);
    EXPECT_EQ(PopupInputHolder(), nullptr);
    // Later presses outside are ordinary input again: nothing is deactivated.
    headless::PressOutsideProgram(POINT{1500, 900});
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_ACTIVATE, m_popup).empty());
}

TEST_F(PopupTest, HidingOrDestroyingThePopupEndsTheGrab) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    ShowWindow(m_popup, SW_HIDE);
    EXPECT_EQ(Messages(WM_CAPTURECHANGED, m_popup).size(), 1u);
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);

    HWND other = MakePopup(m_owner, 600, 300);
    ASSERT_TRUE(GrabPopupInput(other));
    Log().clear();
    DestroyWindow(other);
    EXPECT_EQ(Sequence({WM_CAPTURECHANGED, WM_DESTROY}), (std::vector<UINT>{WM_CAPTURECHANGED, WM_DESTROY}));
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);
}

TEST_F(PopupTest, DestroyingTheOwnerEndsItsPopupsGrab) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    DestroyWindow(m_owner);
    EXPECT_FALSE(IsWindow(m_popup));
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);
}

TEST_F(PopupTest, ReleaseIsSilentAndIdempotent) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    EXPECT_TRUE(GrabPopupInput(m_popup));
    ReleasePopupInput(m_popup);
    ReleasePopupInput(m_popup);
    EXPECT_TRUE(Messages(WM_CAPTURECHANGED).empty());
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);
}

TEST_F(PopupTest, NestedGrabsHandBackAndCloseInnermostFirst) {
    HWND submenu = MakePopup(m_popup, 720, 140);
    ASSERT_TRUE(GrabPopupInput(m_popup));
    ASSERT_TRUE(GrabPopupInput(submenu));
    EXPECT_EQ(headless::NativePopupGrab(), submenu);
    ReleasePopupInput(submenu);
    EXPECT_EQ(PopupInputHolder(), m_popup);
    EXPECT_EQ(headless::NativePopupGrab(), m_popup);
    EXPECT_TRUE(Messages(WM_CAPTURECHANGED).empty());

    ASSERT_TRUE(GrabPopupInput(submenu));
    Log().clear();
    headless::PressOutsideProgram(POINT{1500, 900});
    headless::PumpMessages();
    const auto activations = Messages(WM_ACTIVATE);
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(activations[0].hwnd, submenu);
    EXPECT_EQ(activations[1].hwnd, m_popup);
    EXPECT_EQ(PopupInputHolder(), nullptr);
}

TEST_F(PopupTest, AnInnerPopupThatCannotTakeTheGrabBackLosesIt) {
    HWND submenu = MakePopup(m_popup, 720, 140);
    ASSERT_TRUE(GrabPopupInput(m_popup));
    ASSERT_TRUE(GrabPopupInput(submenu));
    headless::RefusePopupGrabs(true);
    DestroyWindow(submenu);
    EXPECT_EQ(Messages(WM_CAPTURECHANGED, m_popup).size(), 1u);
    EXPECT_EQ(PopupInputHolder(), nullptr);
    EXPECT_EQ(headless::NativePopupGrab(), nullptr);
}

TEST_F(PopupTest, LeavingThePopupRoleEndsTheGrab) {
    ASSERT_TRUE(GrabPopupInput(m_popup));
    SetWindowRole(m_popup, WindowRole::Normal);
    EXPECT_EQ(Messages(WM_CAPTURECHANGED, m_popup).size(), 1u);
    EXPECT_EQ(PopupInputHolder(), nullptr);
}

TEST_F(PopupTest, TooltipsAreNeverActivated) {
    HWND tip = CreateWindowEx(0, "Recorder", "tip", WS_POPUP, 700, 500, 80, 20, m_owner, nullptr,
                              nullptr, nullptr);
    SetWindowRole(tip, WindowRole::Tooltip);
    ShowWindow(tip, SW_SHOW);
    headless::Click(tip, POINT{5, 5});
    headless::PumpMessages();
    EXPECT_EQ(GetActiveWindow(), m_owner);
    EXPECT_TRUE(Messages(WM_ACTIVATE, tip).empty());
    EXPECT_FALSE(GrabPopupInput(tip));
}

class DisabledOwnerTest : public PopupTest {
protected:
    void SetUp() override {
        PopupTest::SetUp();
        m_dialog = CreateWindowEx(0, "Recorder", "dialog", WS_POPUP, 200, 150, 200, 100, m_owner,
                                  nullptr, nullptr, nullptr);
        SetWindowRole(m_dialog, WindowRole::Dialog);
        EnableWindow(m_owner, 0);
        ShowWindow(m_dialog, SW_SHOW);
        headless::PumpMessages();
        Log().clear();
    }
    HWND m_dialog = nullptr;
};

TEST_F(DisabledOwnerTest, ClickOnTheDisabledOwnerDoesNothing) {
    EXPECT_FALSE(headless::NativeWindow(m_owner).enabled);
    EXPECT_EQ(headless::NativeWindow(m_dialog).role, WindowRole::Dialog);
    headless::Click(m_owner, POINT{380, 280});   // beside the dialog
    headless::Click(m_child, POINT{5, 5});
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_LBUTTONDOWN).empty());
    EXPECT_TRUE(Messages(WM_LBUTTONUP).empty());
    EXPECT_EQ(GetActiveWindow(), m_dialog);
    EXPECT_TRUE(Messages(WM_ACTIVATE, m_owner).empty());
}

TEST_F(DisabledOwnerTest, SystemActivationOfTheOwnerBringsTheDialogForward) {
    headless::ActivateFromSystem(m_dialog, false);
    headless::ActivateFromSystem(m_owner, true);
    headless::PumpMessages();
    EXPECT_EQ(GetActiveWindow(), m_dialog);
    EXPECT_EQ(headless::ActivatedNative(), m_dialog);
    for (const Seen& seen : Messages(WM_ACTIVATE, m_owner)) EXPECT_EQ(LOWORD(seen.wparam), WA_INACTIVE);
}

TEST_F(DisabledOwnerTest, KeysDoNotReachTheDisabledOwner) {
    // Even with the focus put inside it, the disabled owner takes no keys.
    SetFocus(m_child);
    headless::PressKey('A', "a");
    headless::PumpMessages();
    EXPECT_TRUE(Messages(WM_KEYDOWN, m_child).empty());
    EXPECT_TRUE(Messages(WM_KEYDOWN, m_owner).empty());
}

TEST_F(DisabledOwnerTest, ReenablingRestoresInput) {
    DestroyWindow(m_dialog);
    EnableWindow(m_owner, 1);
    EXPECT_TRUE(headless::NativeWindow(m_owner).enabled);
    headless::Click(m_owner, POINT{380, 280});
    headless::PumpMessages();
    EXPECT_EQ(Messages(WM_LBUTTONDOWN, m_owner).size(), 1u);
}

}  // namespace
}  // namespace platform_test
