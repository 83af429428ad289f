// The caption bar: title, caption buttons and double-click maximise.

#include "dui/core/host_window.h"

#include <gtest/gtest.h>

#include "dui/core/caption_button.h"
#include "platform/headless/headless.h"
#include "tests/dui/core/host_window/host_window_fixture.h"

namespace {

using dui::ControlHandle;
using dui::RectF;
using host_window_tests::HostWindowTest;
namespace headless = plat::headless;

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

}  // namespace
