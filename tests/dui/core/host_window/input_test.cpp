// Input routing: presses, hover, resize borders, the keyboard, tooltips.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using dui::ControlHandle;
using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

TEST_F(HostWindowTest, PressAndReleaseOnSameControlClicks) {
    AttachHost();
    auto& a = AddControl({10, 40, 60, 30});
    ControlHandle clicked = ControlHandle::None;
    dui::ControlKind kind = dui::ControlKind::None;
    host->OnClick([&](plat::HWND, ControlHandle control, uintptr_t, intptr_t, dui::ControlKind k) {
        clicked = control;
        kind = k;
    });
    headless::MouseMove(window, {20, 50});
    headless::Click(window, {20, 50});
    Pump();
    auto clicks = a.Only({dui::EX_MSG_CLICK});
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].wparam, dui::Raw(a.GetHandle()));
    EXPECT_EQ(clicked, a.GetHandle());
    EXPECT_EQ(kind, dui::ControlKind::TextControl);
    EXPECT_EQ(host->FocusedControl(), a.GetHandle());
    EXPECT_EQ(host->PressedControl(), ControlHandle::None);
    EXPECT_NE(plat::GetCapture(), window);
}

TEST_F(HostWindowTest, ReleasingOutsidePressedControlGivesLeaveButNoClick) {
    AttachHost();
    auto& a = AddControl({10, 40, 60, 30});
    auto& b = AddControl({100, 40, 60, 30});
    headless::MouseMove(window, {20, 50});
    headless::MouseDown(window, {20, 50});
    Pump();
    EXPECT_EQ(plat::GetCapture(), window);
    a.ClearLog();
    headless::MouseMove(window, {110, 50});
    headless::MouseUp(window, {110, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_CLICK));
    EXPECT_FALSE(b.Received(dui::EX_MSG_CLICK));
    // While pressed, moves went to the pressed control only.
    EXPECT_TRUE(a.Received(plat::WM_MOUSEMOVE));
    EXPECT_FALSE(b.Received(plat::WM_MOUSEMOVE));
    auto leave = a.Only({dui::EX_MSG_MOUSELEAVE});
    ASSERT_EQ(leave.size(), 1u);
    EXPECT_EQ(leave[0].lparam, static_cast<intptr_t>(dui::Raw(b.GetHandle())));
    EXPECT_TRUE(b.Received(dui::EX_MSG_MOUSEENTER));
    EXPECT_EQ(host->HoverControl(), b.GetHandle());
}

TEST_F(HostWindowTest, DisabledControlLetsTheClickThroughToTheOneBelow) {
    AttachHost();
    auto& below = AddControl({10, 40, 100, 50});
    auto& above = AddControl({10, 40, 100, 50});
    above.Disabled(true);
    headless::MouseMove(window, {30, 60});
    headless::Click(window, {30, 60});
    Pump();
    EXPECT_TRUE(below.Received(dui::EX_MSG_CLICK));
    EXPECT_FALSE(above.Received(dui::EX_MSG_CLICK));
}

TEST_F(HostWindowTest, MovingBetweenControlsSendsLeaveThenEnter) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    auto& b = AddControl({60, 40, 50, 30});
    headless::MouseMove(window, {20, 50});
    Pump();
    a.ClearLog();
    headless::MouseMove(window, {70, 50});
    Pump();
    auto leave = a.Only({dui::EX_MSG_MOUSELEAVE});
    auto enter = b.Only({dui::EX_MSG_MOUSEENTER});
    ASSERT_EQ(leave.size(), 1u);
    ASSERT_EQ(enter.size(), 1u);
    EXPECT_EQ(leave[0].lparam, static_cast<intptr_t>(dui::Raw(b.GetHandle())));
    EXPECT_EQ(enter[0].lparam, static_cast<intptr_t>(dui::Raw(a.GetHandle())));
    EXPECT_EQ(host->HoverControl(), b.GetHandle());
}

TEST_F(HostWindowTest, PressIgnoredByUnfocusableControlUnlessItAccepts) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    a.Focusable(false);
    headless::Click(window, {20, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_CLICK));
    a.Answer(dui::EX_MSG_ACCEPTPRESS, 1);
    headless::Click(window, {20, 50});
    Pump();
    EXPECT_TRUE(a.Received(dui::EX_MSG_CLICK));
    EXPECT_EQ(host->FocusedControl(), ControlHandle::None);
}

TEST_F(HostWindowTest, DoubleClickReachesControlsAsButtonDownWithMarker) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    DoubleClick(20, 50);
    auto downs = a.Only({plat::WM_LBUTTONDOWN});
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[1].wparam, dui::DOUBLECLICK_MARKER);
}

TEST_F(HostWindowTest, ResizeBorderBands) {
    auto options = PlainOptions();
    options.resizable = true;
    AttachHost(options, 400, 300);
    EXPECT_EQ(Edge(8, 100), 0);
    EXPECT_EQ(Edge(7, 100), plat::WMSZ_LEFT);
    EXPECT_EQ(Edge(390, 100), 0);
    EXPECT_EQ(Edge(391, 100), plat::WMSZ_RIGHT);
    EXPECT_EQ(Edge(9, 7), plat::WMSZ_TOPLEFT);
    EXPECT_EQ(Edge(10, 7), plat::WMSZ_TOP);
    EXPECT_EQ(Edge(391, 7), plat::WMSZ_TOPRIGHT);
    EXPECT_EQ(Edge(100, 8), 0);
    EXPECT_EQ(Edge(100, 290), 0);
    EXPECT_EQ(Edge(9, 291), plat::WMSZ_BOTTOMLEFT);
    EXPECT_EQ(Edge(390, 291), plat::WMSZ_BOTTOM);
    EXPECT_EQ(Edge(391, 291), plat::WMSZ_BOTTOMRIGHT);
}

TEST_F(HostWindowTest, PressOnBorderStartsResizeAndNoBordersWhenNotResizable) {
    auto options = PlainOptions();
    options.resizable = true;
    AttachHost(options, 400, 300);
    auto& a = AddControl({0, 0, 400, 300});
    // The window's shape starts 6 pixels in; the band inside it is 6..7.
    headless::MouseDown(window, {7, 150});
    Pump();
    EXPECT_FALSE(a.Received(plat::WM_LBUTTONDOWN));
    bool resized = false;
    for (const auto& request : headless::DragRequests()) {
        if (request.resize && request.edge == plat::WMSZ_LEFT) resized = true;
    }
    EXPECT_TRUE(resized);
    headless::MouseUp(window, {7, 150});
    Pump();

    host->OnDestroy();
    auto fixed = PlainOptions();
    ASSERT_TRUE(host->Attach(window, fixed));
    EXPECT_EQ(Edge(7, 150), 0);
}

TEST_F(HostWindowTest, TabWalksQualifyingControlsInTreeOrderNestedOnesIncluded) {
    dui::AttachOptions options;
    options.flags = dui::kFlagClose;  // a caption button, never focused
    AttachHost(options);
    auto& a = AddControl({10, 40, 50, 30});
    auto& hidden = AddControl({10, 80, 50, 30});
    auto& b = AddControl({10, 120, 50, 30});
    auto& parent = AddControl({100, 40, 100, 100});
    auto& child = AddControl({110, 50, 20, 20}, parent.GetHandle());
    auto& disabled = AddControl({10, 160, 50, 30});
    hidden.Visible(false);
    disabled.Disabled(true);
    parent.Focusable(false);

    host->OnKeyDown(plat::VK_TAB, 0);
    EXPECT_EQ(host->FocusedControl(), a.GetHandle());
    EXPECT_EQ(host->KeyboardFocusMarker(), a.GetHandle());
    host->OnKeyDown(plat::VK_TAB, 0);
    EXPECT_EQ(host->FocusedControl(), b.GetHandle());
    host->OnKeyDown(plat::VK_TAB, 0);
    EXPECT_EQ(host->FocusedControl(), child.GetHandle());
    host->OnKeyDown(plat::VK_TAB, 0);
    EXPECT_EQ(host->FocusedControl(), a.GetHandle());
}

TEST_F(HostWindowTest, ShiftTabWalksBackwardsIntoAPageAndSkipsHiddenPages) {
    AttachHost();
    auto& first = AddControl({10, 40, 50, 30});
    auto& pages = AddControl({100, 40, 300, 300});
    pages.Focusable(false);
    auto& shown_page = AddControl({100, 40, 300, 300}, pages.GetHandle());
    shown_page.Focusable(false);
    auto& nested = AddControl({110, 50, 50, 30}, shown_page.GetHandle());
    auto& hidden_page = AddControl({100, 40, 300, 300}, pages.GetHandle());
    hidden_page.Focusable(false);
    auto& behind_hidden = AddControl({110, 100, 50, 30}, hidden_page.GetHandle());
    hidden_page.Visible(false);
    auto& last = AddControl({10, 100, 50, 30});
    (void)behind_hidden;

    host->SetFocus(last.GetHandle());
    headless::KeyDown(plat::VK_SHIFT);
    headless::PressKey(plat::VK_TAB);
    Pump();
    EXPECT_EQ(host->FocusedControl(), nested.GetHandle());
    headless::PressKey(plat::VK_TAB);
    Pump();
    EXPECT_EQ(host->FocusedControl(), first.GetHandle());
    headless::PressKey(plat::VK_TAB);  // wraps to the end
    Pump();
    EXPECT_EQ(host->FocusedControl(), last.GetHandle());
    headless::KeyUp(plat::VK_SHIFT);
    Pump();
    EXPECT_EQ(host->FocusChain(), (std::vector<ControlHandle>{first.GetHandle(),
                                                              nested.GetHandle(),
                                                              last.GetHandle()}));
}

TEST_F(HostWindowTest, KeyboardFocusChangesRunTheSameCallbacksAsPresses) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    auto& b = AddControl({10, 100, 50, 30});
    std::vector<std::pair<std::string, ControlHandle>> calls;
    host->OnFocusGot([&](plat::HWND, ControlHandle c, uintptr_t, intptr_t, dui::ControlKind) {
        calls.emplace_back("got", c);
    });
    host->OnFocusLost([&](plat::HWND, ControlHandle c, uintptr_t, intptr_t, dui::ControlKind) {
        calls.emplace_back("lost", c);
    });
    plat::SetFocus(window);
    headless::PressKey(plat::VK_TAB);
    headless::PressKey(plat::VK_TAB);
    Pump();
    using Call = std::pair<std::string, ControlHandle>;
    EXPECT_EQ(calls, (std::vector<Call>{{"got", a.GetHandle()},
                                        {"lost", a.GetHandle()},
                                        {"got", b.GetHandle()}}));
    auto lost = a.Only({dui::EX_MSG_KILLFOCUS});
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].lparam, static_cast<intptr_t>(dui::Raw(b.GetHandle())));
    auto got = b.Only({dui::EX_MSG_SETFOCUS});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].lparam, static_cast<intptr_t>(dui::Raw(a.GetHandle())));
}

TEST_F(HostWindowTest, TabWithoutQualifyingControlKeepsFocus) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    host->SetFocus(a.GetHandle());
    a.ClearLog();
    host->OnKeyDown(plat::VK_TAB, 0);
    EXPECT_EQ(host->FocusedControl(), a.GetHandle());
    EXPECT_FALSE(a.Received(dui::EX_MSG_KILLFOCUS));
}

TEST_F(HostWindowTest, EnterAndSpaceClickTheFocusedControlUnlessItTakesTheKey) {
    AttachHost();
    auto& a = AddControl({10, 40, 50, 30});
    host->SetFocus(a.GetHandle());
    plat::SetFocus(window);
    headless::PressKey(plat::VK_RETURN);
    headless::PressKey(plat::VK_SPACE, " ");
    Pump();
    EXPECT_EQ(a.Count(dui::EX_MSG_CLICK), 2);
    a.Answer(plat::WM_KEYDOWN, 0);
    headless::PressKey(plat::VK_RETURN);
    Pump();
    EXPECT_EQ(a.Count(dui::EX_MSG_CLICK), 2);
    EXPECT_TRUE(a.Received(plat::WM_KEYUP));
}

TEST_F(HostWindowTest, AltHotkeyClicksFirstRegisteredVisibleEnabledControl) {
    AttachHost();
    auto& lower = AddControl({10, 40, 50, 30});
    auto& upper = AddControl({10, 80, 50, 30});
    plat::SendMessage(window, dui::EX_MSG_HOTKEY, dui::Raw(lower.GetHandle()), 'a');
    EXPECT_EQ(plat::SendMessage(window, dui::EX_MSG_HOTKEY, dui::Raw(upper.GetHandle()), 'A'), 1);
    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'A', 0);
    EXPECT_EQ(lower.Count(dui::EX_MSG_CLICK), 1);
    EXPECT_EQ(upper.Count(dui::EX_MSG_CLICK), 0);
    lower.Visible(false);
    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'A', 0);
    EXPECT_EQ(upper.Count(dui::EX_MSG_CLICK), 1);
    // Character 0 removes the entry.
    host->RegisterHotkey(upper.GetHandle(), 0);
    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'A', 0);
    EXPECT_EQ(upper.Count(dui::EX_MSG_CLICK), 1);
}

TEST_F(HostWindowTest, HoveringAControlShowsItsTooltip) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30});
    a.TooltipText("tip");
    headless::MouseMove(window, {30, 50});
    Pump();
    headless::MouseMove(window, {31, 50});  // the pointer rests inside the tool
    Pump();
    Advance(plat::GetDoubleClickTime() + 50);
    EXPECT_TRUE(headless::Tooltip().shown);
    EXPECT_EQ(headless::Tooltip().text, "tip");
    a.Destroy();
    EXPECT_FALSE(headless::Tooltip().shown);
}

TEST_F(HostWindowTest, LosingWindowFocusEndsAPressWithoutAClick) {
    AttachHost();
    auto& a = AddControl({10, 40, 60, 30});
    plat::HWND other = dui::CreateHostWindow();
    plat::ShowWindow(other, plat::SW_SHOWNORMAL);
    headless::MouseMove(window, {20, 50});
    headless::MouseDown(window, {20, 50});
    Pump();
    ASSERT_EQ(host->PressedControl(), a.GetHandle());
    a.ClearLog();
    plat::SetFocus(other);
    Pump();
    EXPECT_EQ(host->PressedControl(), ControlHandle::None);
    EXPECT_NE(plat::GetCapture(), window);
    EXPECT_TRUE(a.Received(dui::EX_MSG_MOUSELEAVE));
    EXPECT_EQ(host->HoverControl(), ControlHandle::None);
    // The control learns that its window lost the keyboard, and keeps the
    // focus within the window.
    EXPECT_EQ(a.Count(plat::WM_KILLFOCUS), 1);
    EXPECT_FALSE(a.Received(dui::EX_MSG_KILLFOCUS));
    EXPECT_EQ(host->FocusedControl(), a.GetHandle());

    headless::MouseUp(window, {20, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_CLICK));

    plat::SetFocus(window);
    Pump();
    EXPECT_EQ(a.Count(plat::WM_SETFOCUS), 1);
    // The window that takes or gives back the focus is passed on.
    a.ClearLog();
    plat::SendMessage(window, plat::WM_KILLFOCUS, reinterpret_cast<uintptr_t>(other), 0);
    plat::SendMessage(window, plat::WM_SETFOCUS, reinterpret_cast<uintptr_t>(other), 0);
    auto changes = a.Only({plat::WM_KILLFOCUS, plat::WM_SETFOCUS});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].wparam, reinterpret_cast<uintptr_t>(other));
    EXPECT_EQ(changes[1].wparam, reinterpret_cast<uintptr_t>(other));
    plat::DestroyWindow(other);
}

TEST_F(HostWindowTest, LosingTheCaptureEndsAPressWithoutAClick) {
    AttachHost();
    auto& a = AddControl({10, 40, 60, 30});
    plat::HWND other = dui::CreateHostWindow();
    headless::MouseMove(window, {20, 50});
    headless::MouseDown(window, {20, 50});
    Pump();
    ASSERT_EQ(plat::GetCapture(), window);
    plat::SetCapture(other);
    EXPECT_EQ(host->PressedControl(), ControlHandle::None);
    EXPECT_TRUE(a.Received(dui::EX_MSG_MOUSELEAVE));
    plat::ReleaseCapture();
    headless::MouseUp(window, {20, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_CLICK));
    plat::DestroyWindow(other);
}

}  // namespace
