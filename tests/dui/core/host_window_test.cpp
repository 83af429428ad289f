#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include <string>

#include "dui/core/caption_button.h"
#include "dui/core/picture.h"
#include "dui/core/redraw_queue.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ControlHandle;
using dui::RectF;
using testing_support::RecordingControl;
namespace headless = plat::headless;

class HostWindowTest : public testing_support::HostFixture {
protected:
    plat::MINMAXINFO MinMax() {
        plat::MINMAXINFO info{};
        plat::SendMessage(window, plat::WM_GETMINMAXINFO, 0, reinterpret_cast<plat::LPARAM>(&info));
        return info;
    }
    int Edge(int x, int y) {
        return host->ResizeBorderFilter(plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(x, y));
    }
    void DoubleClick(int x, int y) {
        headless::Click(window, {x, y});
        headless::Click(window, {x, y});
        Pump();
    }
};

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// --- Creating and attaching -------------------------------------------------

TEST_F(HostWindowTest, WindowWithoutSizeIs380By250CentredOnWorkArea) {
    headless::SetWorkArea({100, 50, 1100, 850});
    plat::HWND created = dui::CreateHostWindow();
    ASSERT_NE(created, nullptr);
    plat::RECT rect{};
    plat::GetWindowRect(created, &rect);
    EXPECT_EQ(rect.right - rect.left, 380);
    EXPECT_EQ(rect.bottom - rect.top, 250);
    EXPECT_EQ(rect.left, 100 + (1000 - 380) / 2);
    EXPECT_EQ(rect.top, 50 + (800 - 250) / 2);
    plat::DestroyWindow(created);
}

TEST_F(HostWindowTest, AttachRefusesMissingWindowSameWindowAndWindowWithAHost) {
    AttachHost();
    EXPECT_FALSE(host->Attach(window));
    dui::ExHostWindow other;
    EXPECT_FALSE(other.Attach(window));
    EXPECT_FALSE(other.Attach(nullptr));
    EXPECT_EQ(dui::HostFromWindow(window), host.get());
}

TEST_F(HostWindowTest, StandardCaptionFollowsWindowStyle) {
    dui::AttachOptions options;
    options.background_colour = 0xFFFFFF;
    AttachHost(options);
    const int expected = dui::kFlagIcon | dui::kFlagTitle | dui::kFlagClose | dui::kFlagMaximise |
                         dui::kFlagMinimise | dui::kFlagShadow;
    EXPECT_EQ(host->Flags(), expected);
    ASSERT_EQ(host->CaptionButtons().size(), 3u);
    ASSERT_NE(host->IconControl(), nullptr);
    EXPECT_FALSE(host->IconControl()->Focusable());

    // Buttons from the right: close, maximise, minimise.
    const float w = 470;
    EXPECT_EQ(host->CaptionButtons()[0]->Bounds(), (RectF{w - 45, 7, 39, 19}));
    EXPECT_EQ(host->CaptionButtons()[1]->Bounds(), (RectF{w - 73, 7, 28, 19}));
    EXPECT_EQ(host->CaptionButtons()[2]->Bounds(), (RectF{w - 101, 7, 28, 19}));
    EXPECT_EQ(host->CaptionButtons()[0]->Kind(), dui::ControlKind::CaptionButton);

    // The title label carries its own handle plus 2 as its tag.
    const dui::ExControl* title = host->TitleLabel();
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Tag(), std::to_string(dui::Raw(title->GetHandle()) + 2));
    EXPECT_EQ(title->Bounds(), (RectF{29, 11, w - 101 - 29, 20}));

    // Minimum tracking width: buttons x 28, + 11 for close, + 35, + 1.
    EXPECT_EQ(MinMax().ptMinTrackSize.x, 3 * 28 + 11 + 35 + 1);
    EXPECT_EQ(MinMax().ptMinTrackSize.y, 40);
}

TEST_F(HostWindowTest, LayeredWindowWithoutCaptionTracksDownTo21By20) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    EXPECT_TRUE(host->Layered());
    EXPECT_EQ(MinMax().ptMinTrackSize.x, 21);
    EXPECT_EQ(MinMax().ptMinTrackSize.y, 20);
    headless::SetWorkArea({0, 0, 1000, 700});
    EXPECT_EQ(MinMax().ptMaxSize.x, 1014);
    EXPECT_EQ(MinMax().ptMaxPosition.y, -7);
}

TEST_F(HostWindowTest, SetTextRenamesTitleLabel) {
    dui::AttachOptions options;
    options.flags = dui::kFlagTitle;
    AttachHost(options);
    auto* title = static_cast<testing_support::TestTitleLabel*>(host->TitleLabel());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, "test");
    plat::SetWindowText(window, "renamed");
    EXPECT_EQ(title->text, "renamed");
}

// --- Mouse routing ----------------------------------------------------------

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

TEST_F(HostWindowTest, DoubleClickOnEmptyCaptionTogglesMaximiseAboveLine30) {
    auto options = PlainOptions();
    options.flags = dui::kFlagMaximise;
    // A draggable window starts a move on the first press, which (as the
    // system's move loop does) ends the double click.
    options.draggable = false;
    AttachHost(options);
    DoubleClick(200, 30);
    EXPECT_FALSE(plat::IsZoomed(window));
    DoubleClick(200, 29);
    EXPECT_TRUE(plat::IsZoomed(window));
    DoubleClick(200, 29);
    EXPECT_FALSE(plat::IsZoomed(window));
}

TEST_F(HostWindowTest, DoubleClickWithoutMaximiseFlagDoesNothing) {
    AttachHost();
    DoubleClick(200, 10);
    EXPECT_FALSE(plat::IsZoomed(window));
}

// --- Resize borders -----------------------------------------------------------

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

// --- Keyboard -----------------------------------------------------------------

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

// --- Caption buttons ------------------------------------------------------------

TEST_F(HostWindowTest, CloseButtonClosesAndDestroysWindowWithItsControls) {
    auto options = PlainOptions();
    options.flags = dui::kFlagClose;
    AttachHost(options);
    auto& a = AddControl({10, 40, 50, 30});
    const ControlHandle handle = a.GetHandle();
    headless::MouseMove(window, {470 - 30, 15});
    headless::Click(window, {470 - 30, 15});
    Pump();
    Pump();
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_FALSE(host->IsAttached());
    EXPECT_EQ(dui::ResolveControl(handle), nullptr);
    EXPECT_EQ(a.GetHandle(), ControlHandle::None);
}

TEST_F(HostWindowTest, MaximiseButtonTogglesBetweenMaximisedAndRestored) {
    auto options = PlainOptions();
    options.flags = dui::kFlagClose | dui::kFlagMaximise;
    AttachHost(options);
    const RectF button = host->CaptionButtons()[1]->Bounds();
    const int x = static_cast<int>(button.left + 10);
    headless::MouseMove(window, {x, 15});
    headless::Click(window, {x, 15});
    Pump();
    EXPECT_TRUE(plat::IsZoomed(window));
    const RectF moved = host->CaptionButtons()[1]->Bounds();
    const int x2 = static_cast<int>(moved.left + 10);
    headless::MouseMove(window, {x2, 15});
    headless::Click(window, {x2, 15});
    Pump();
    EXPECT_FALSE(plat::IsZoomed(window));
}

TEST_F(HostWindowTest, CaptionButtonTakesHoverAndPressedLooksButNeverFocus) {
    auto options = PlainOptions();
    options.flags = dui::kFlagClose | dui::kFlagMinimise;
    AttachHost(options);
    auto* minimise = static_cast<dui::ExCaptionButton*>(host->CaptionButtons()[1].get());
    const RectF bounds = minimise->Bounds();
    const plat::POINT over{static_cast<int>(bounds.left) + 10, 15};
    const uint32_t normal = minimise->Canvas()->GetPixel(14, 9);
    headless::MouseMove(window, over);
    Pump();
    EXPECT_EQ(minimise->CurrentLook(), dui::ExCaptionButton::kHover);
    EXPECT_NE(minimise->Canvas()->GetPixel(14, 9), normal);
    headless::MouseDown(window, over);
    Pump();
    EXPECT_EQ(minimise->CurrentLook(), dui::ExCaptionButton::kPressed);
    EXPECT_EQ(host->FocusedControl(), ControlHandle::None);
    headless::MouseUp(window, over);
    Pump();
    EXPECT_TRUE(plat::IsIconic(window));
}

// --- Composition ------------------------------------------------------------------

TEST_F(HostWindowTest, LaterSiblingsAreDrawnOnTop) {
    AttachHost();
    AddControl({20, 40, 60, 60}, nullptr, 0xFFFF0000);
    AddControl({50, 40, 60, 60}, nullptr, 0xFF0000FF);
    Pump();
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
    EXPECT_EQ(ScreenPixel(60, 50), 0xFF0000FFu);
    EXPECT_EQ(Channel(ScreenPixel(200, 200), 16), 254);  // white background
}

TEST_F(HostWindowTest, ChildrenAreClippedToTheirParent) {
    AttachHost();
    auto& parent = AddControl({20, 40, 60, 60}, nullptr, 0xFF00FF00);
    AddControl({60, 80, 60, 60}, parent.GetHandle(), 0xFFFF0000);
    Pump();
    EXPECT_EQ(ScreenPixel(70, 90), 0xFFFF0000u);   // inside the parent
    EXPECT_EQ(Channel(ScreenPixel(100, 120), 8), 254);  // outside: background
}

TEST_F(HostWindowTest, DisabledControlIsComposedAtItsHalvedAlpha) {
    AttachHost();
    auto& a = AddControl({20, 40, 60, 60}, nullptr, 0xFF000000);
    a.Disabled(true);
    Pump();
    const uint32_t pixel = ScreenPixel(30, 50);
    // Black at 127 over white: about half grey.
    EXPECT_NEAR(Channel(pixel, 16), 127, 3);
}

TEST_F(HostWindowTest, CustomDrawingControlReplacesItsCanvas) {
    AttachHost();
    auto& a = AddControl({20, 40, 60, 60}, nullptr, 0xFF000000);
    a.Answer(dui::EX_MSG_CUSTOMDRAW, 1);
    a.Invalidate();
    Pump();
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 254);
    a.Answer(dui::EX_MSG_CUSTOMDRAW, 0);
    a.Invalidate();
    Pump();
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 0);
}

TEST_F(HostWindowTest, MovedControlRedrawsOldAndNewPlace) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Move(100.0f, 100.0f);
    Pump();
    EXPECT_EQ(ScreenPixel(110, 110), 0xFFFF0000u);
    EXPECT_EQ(Channel(ScreenPixel(25, 45), 8), 254);
}

TEST_F(HostWindowTest, RedrawNowPushesAtOnceQueuedRedrawsWaitForTheFrame) {
    AttachHost();
    const int before = headless::PushCount(window);
    host->RedrawRect({0, 0, 10, 10}, dui::RedrawMode::Now);
    EXPECT_EQ(headless::PushCount(window), before + 1);
    host->RedrawRect({0, 0, 10, 10}, dui::RedrawMode::Append);
    host->RedrawRect({200, 200, 10, 10}, dui::RedrawMode::Front);
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_TRUE(host->FramePending());
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 2);
    EXPECT_FALSE(host->FramePending());
}

TEST_F(HostWindowTest, LayeredWindowPushesOncePerFrame) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    auto& b = AddControl({120, 40, 30, 30}, nullptr, 0xFF0000FF);
    Pump();
    const int before = headless::PushCount(window);
    a.Invalidate();
    b.Invalidate();
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);  // one per frame
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
}

// --- Animations -----------------------------------------------------------------

TEST_F(HostWindowTest, FadeInRunsOnTheWindowTimerUntilOpaque) {
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    host->SetBackground(std::nullopt, 0x000000, true);
    EXPECT_TRUE(host->Animating());
    a.ClearLog();
    headless::MouseMove(window, {30, 50});
    Pump();
    EXPECT_FALSE(a.Received(dui::EX_MSG_MOUSEENTER));  // input ignored while animating
    for (int tick = 0; tick < 6; ++tick) Advance(50);
    EXPECT_FALSE(host->Animating());
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
}

TEST_F(HostWindowTest, CloseAnimationFadesOutInFifteenFramesThenHidesAndDestroys) {
    AttachHost();
    host->CloseAnimation(dui::kAnimationFade);
    const int before = headless::PushCount(window);
    const uint64_t start = headless::Now();
    int pushes = -1;
    int alpha = -1;
    bool visible = true;
    host->OnMessage([&](plat::HWND w, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        if (message == plat::WM_DESTROY) {
            pushes = headless::PushCount(w) - before;
            alpha = headless::LayeredAlpha(w);
            visible = plat::IsWindowVisible(w) != 0;
        }
        return dui::kNotHandled;
    });
    plat::PostMessage(window, plat::WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_EQ(pushes, 16);  // 15 frames and the cleared window
    EXPECT_EQ(alpha, 0);
    EXPECT_FALSE(visible);
    EXPECT_GE(headless::Now() - start, 150u);
}

TEST_F(HostWindowTest, PlainWindowIsShapedLayeredWindowGetsShadowRings) {
    AttachHost();
    auto shape = headless::NativeWindow(window).shape;
    ASSERT_TRUE(shape.has_value());
    EXPECT_EQ(shape->rect, (plat::RECT{6, 6, 470 - 6, 390 - 6}));
    EXPECT_EQ(shape->ellipse_width, 5);

    controls.clear();
    plat::DestroyWindow(window);
    auto options = PlainOptions();
    options.layered_alpha = 255;
    AttachHost(options);
    EXPECT_FALSE(headless::NativeWindow(window).shape.has_value());
    // Rings at 5, 4, 3, 2 pixels from the edge fade out: 45, 25, 10, 5.
    EXPECT_NEAR(Channel(ScreenPixel(5, 200), 24), 45, 2);
    EXPECT_NEAR(Channel(ScreenPixel(4, 200), 24), 25, 2);
    EXPECT_NEAR(Channel(ScreenPixel(3, 200), 24), 10, 2);
    EXPECT_NEAR(Channel(ScreenPixel(2, 200), 24), 5, 2);
    EXPECT_EQ(Channel(ScreenPixel(1, 200), 24), 0);
    EXPECT_EQ(Channel(ScreenPixel(200, 200), 24), 254);
}

// --- Size, show, tooltips, modal loop ----------------------------------------------

TEST_F(HostWindowTest, ResizingRebuildsBuffersAndLaysOutTheCaptionAgain) {
    auto options = PlainOptions();
    options.flags = dui::kFlagClose;
    AttachHost(options);
    int reported_width = 0;
    host->OnSize([&](plat::HWND, int width, int) { reported_width = width; });
    plat::RECT rect{};
    plat::GetWindowRect(window, &rect);
    plat::MoveWindow(window, rect.left, rect.top, 600, 400, 1);
    Pump();
    EXPECT_EQ(reported_width, 600);
    ASSERT_NE(host->BackBuffer(), nullptr);
    EXPECT_EQ(host->BackBuffer()->Width(), 600);
    EXPECT_EQ(host->BackBuffer()->Height(), 400);
    EXPECT_EQ(host->CaptionButtons()[0]->Bounds().left, 600 - 45);
}

TEST_F(HostWindowTest, AnimatedShowEndsVisibleUnlayeredAndComposed) {
    AttachHost();
    AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    plat::ShowWindow(window, plat::SW_HIDE);
    host->Show(dui::kAnimationCentre);
    Pump();
    EXPECT_TRUE(plat::IsWindowVisible(window));
    EXPECT_FALSE(host->Animating());
    EXPECT_EQ(plat::GetWindowLongPtr(window, plat::GWL_EXSTYLE) & plat::WS_EX_LAYERED, 0);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFFFF0000u);
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

TEST_F(HostWindowTest, ModalLoopDropsInputForOtherWindowsAndEndsWithItsWindow) {
    AttachHost();
    auto& inside = AddControl({20, 40, 60, 30});
    dui::HostWindowOptions other_options;
    other_options.left = 0;
    other_options.top = 0;
    plat::HWND other = dui::CreateHostWindow(other_options);
    dui::ExHostWindow other_host;
    ASSERT_TRUE(other_host.Attach(other, PlainOptions()));
    plat::ShowWindow(other, plat::SW_SHOWNORMAL);
    RecordingControl outside;
    outside.Create(other, {20, 40, 60, 30}, dui::ControlKind::TextControl);

    headless::PushStep([&] {
        headless::Click(other, {30, 50});
        headless::Click(window, {30, 50});
    });
    headless::PushStep([&] { plat::PostMessage(window, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(window);
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_FALSE(outside.Received(dui::EX_MSG_CLICK));
    EXPECT_TRUE(inside.Received(dui::EX_MSG_CLICK));
    plat::DestroyWindow(other);
}

TEST_F(HostWindowTest, QuitDuringModalLoopIsLeftForTheProgramsLoop) {
    AttachHost();
    headless::PushStep([] { plat::PostQuitMessage(3); });
    dui::RunModalLoop(window);
    EXPECT_TRUE(plat::IsWindow(window));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(HostWindowTest, ModalLoopDisablesItsOwnerAndEnablesItAfterwards) {
    AttachHost();
    auto& behind = AddControl({20, 40, 60, 30});
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    dialog_options.left = 600;
    dialog_options.top = 0;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::ShowWindow(dialog, plat::SW_SHOWNORMAL);
    bool disabled_while_running = false;
    headless::PushStep([&] {
        disabled_while_running = !plat::IsWindowEnabled(window);
        headless::Click(window, {30, 50});
    });
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindow(dialog));
    EXPECT_TRUE(disabled_while_running);
    EXPECT_FALSE(behind.Received(dui::EX_MSG_CLICK));
    EXPECT_TRUE(plat::IsWindowEnabled(window));
}

TEST_F(HostWindowTest, ModalLoopEndedByQuitEnablesItsOwnerAndLeavesTheQuit) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    headless::PushStep([] { plat::PostQuitMessage(5); });
    dui::RunModalLoop(dialog, window);
    EXPECT_TRUE(plat::IsWindowEnabled(window));
    plat::MSG msg{};
    ASSERT_TRUE(plat::PeekMessage(&msg, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    plat::DestroyWindow(dialog);
}

TEST_F(HostWindowTest, ModalLoopWhoseOwnerIsDestroyedEnablesNothingStale) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::HWND replacement = nullptr;
    // Destroying the owner takes the owned dialog with it; a window created
    // meanwhile must not be taken for the owner.
    headless::PushStep([&] {
        plat::DestroyWindow(window);
        replacement = dui::CreateHostWindow();
        plat::EnableWindow(replacement, 0);
        plat::PostMessage(replacement, plat::WM_NULL, 0, 0);
    });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindow(dialog));
    EXPECT_FALSE(plat::IsWindowEnabled(replacement));
    plat::DestroyWindow(replacement);
}

TEST_F(HostWindowTest, ModalLoopOfAnAlreadyDisabledOwnerLeavesItDisabled) {
    AttachHost();
    plat::EnableWindow(window, 0);  // an outer modal loop holds it
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_FALSE(plat::IsWindowEnabled(window));
}

TEST_F(HostWindowTest, ModalLoopLetsInputReachAPopupTheDialogOwns) {
    AttachHost();
    dui::HostWindowOptions dialog_options;
    dialog_options.parent = window;
    dialog_options.left = 0;
    dialog_options.top = 0;
    plat::HWND dialog = dui::CreateHostWindow(dialog_options);
    plat::ShowWindow(dialog, plat::SW_SHOWNORMAL);
    dui::HostWindowOptions popup_options;
    popup_options.parent = dialog;
    popup_options.left = 700;
    popup_options.top = 500;
    popup_options.width = 120;
    popup_options.height = 80;
    plat::HWND popup = dui::CreateHostWindow(popup_options);
    dui::ExHostWindow popup_host;
    ASSERT_TRUE(popup_host.Attach(popup, PlainOptions()));
    plat::ShowWindow(popup, plat::SW_SHOWNORMAL);
    RecordingControl item;
    item.Create(popup, {10, 10, 100, 30}, dui::ControlKind::MenuItem);
    headless::PushStep([&] { headless::Click(popup, {20, 20}); });
    headless::PushStep([&] { plat::PostMessage(dialog, plat::WM_CLOSE, 0, 0); });
    dui::RunModalLoop(dialog, window);
    EXPECT_TRUE(item.Received(dui::EX_MSG_CLICK));
}

// --- Losing the pointer and the keyboard --------------------------------------------

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

// --- Frames ------------------------------------------------------------------------

TEST_F(HostWindowTest, FiftySetterCallsOnOneControlPresentOnce) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    const int before = headless::PushCount(window);
    const int paints = a.Count(plat::WM_PAINT);
    for (int i = 0; i < 50; ++i) {
        a.Colour(i % 2 == 0 ? 0xFF00FF00 : 0xFF0000FF);
        a.Invalidate();
    }
    EXPECT_TRUE(a.Dirty());
    EXPECT_EQ(headless::PushCount(window), before);
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_EQ(a.Count(plat::WM_PAINT), paints + 1);
    EXPECT_FALSE(a.Dirty());
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF0000FFu);
}

TEST_F(HostWindowTest, ChangesOfManyControlsAreComposedAndPresentedInOneFrame) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    auto& b = AddControl({300, 300, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    const int before = headless::PushCount(window);
    a.Colour(0xFF00FF00);
    a.Invalidate();
    b.Colour(0xFF0000FF);
    b.Invalidate();
    b.Move(200.0f, 200.0f);
    Pump();
    EXPECT_EQ(headless::PushCount(window), before + 1);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF00FF00u);
    EXPECT_EQ(ScreenPixel(210, 210), 0xFF0000FFu);
    EXPECT_EQ(Channel(ScreenPixel(310, 310), 8), 254);  // the old place is background
}

TEST_F(HostWindowTest, HiddenDirtyControlIsPaintedWhenShown) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Visible(false);
    a.Colour(0xFF0000FF);
    a.Invalidate();
    const int paints = a.Count(plat::WM_PAINT);
    Pump();
    EXPECT_EQ(a.Count(plat::WM_PAINT), paints);
    EXPECT_EQ(Channel(ScreenPixel(30, 50), 16), 254);  // white background
    a.Visible(true);
    Pump();
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF0000FFu);
}

TEST_F(HostWindowTest, PaintOfTheWindowComposesThePendingFrameFirst) {
    AttachHost();
    auto& a = AddControl({20, 40, 30, 30}, nullptr, 0xFFFF0000);
    Pump();
    a.Colour(0xFF00FF00);
    a.Invalidate();
    plat::UpdateWindow(window);  // no frame ran yet: nothing stale reaches the screen
    plat::InvalidateRect(window, nullptr, 0);
    plat::UpdateWindow(window);
    EXPECT_EQ(ScreenPixel(30, 50), 0xFF00FF00u);
    EXPECT_FALSE(host->FramePending());
}

// --- Redraw queue ------------------------------------------------------------------

TEST(RedrawQueueTest, AppendKeepsOrderFrontJumpsAheadCoveredRectsAreSkipped) {
    dui::ExRedrawQueue queue;
    queue.Add({0, 0, 10, 10}, dui::RedrawMode::Append);
    queue.Add({20, 0, 10, 10}, dui::RedrawMode::Append);
    queue.Add({40, 0, 10, 10}, dui::RedrawMode::Front);
    queue.Add({2, 2, 5, 5}, dui::RedrawMode::Append);  // inside the first
    queue.Add({0, 0, 0, 10}, dui::RedrawMode::Append);  // empty
    ASSERT_EQ(queue.Size(), 3u);
    EXPECT_EQ(queue.TakeFront()->left, 40);
    EXPECT_EQ(queue.TakeFront()->left, 0);
    EXPECT_EQ(queue.TakeFront()->left, 20);
    EXPECT_FALSE(queue.TakeFront().has_value());
}

TEST(RedrawQueueTest, OverfullQueueCollapsesIntoItsBounds) {
    dui::ExRedrawQueue queue;
    for (int i = 0; i <= static_cast<int>(dui::ExRedrawQueue::kMaxEntries); ++i) {
        queue.Add({float(i * 2), float(i), 1, 1}, dui::RedrawMode::Append);
    }
    ASSERT_EQ(queue.Size(), 1u);
    const RectF all = *queue.TakeFront();
    EXPECT_EQ(all.left, 0);
    EXPECT_EQ(all.Right(), dui::ExRedrawQueue::kMaxEntries * 2 + 1);
}

}  // namespace
