#include <gtest/gtest.h>

#include "dui/controls/controls_module.h"
#include "dui/controls/toggle_button.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::Argb;
namespace headless = plat::headless;

class ToggleButtonTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
        dui::TextControlOptions square;
        square.corner_style = 0;
        toggle.CreateTextControl(window, 20, 20, 80, 30, {}, square);
        toggle.BindEvent(plat::WM_PAINT, [this](const dui::ControlEvent&) { ++paints; });
    }

    Argb At(int x, int y) const { return toggle.Canvas()->GetPixel(x, y); }
    unsigned AlphaAt(int x, int y) const { return At(x, y) >> 24; }

    dui::ExToggleButton toggle;
    int paints = 0;
};

TEST_F(ToggleButtonTest, FaceOnlyWhenHoveredPressedOrChecked) {
    EXPECT_EQ(AlphaAt(0, 15), 0u);   // resting, unchecked: nothing
    EXPECT_EQ(AlphaAt(40, 5), 0u);

    toggle.Checked(true);
    Pump();
    EXPECT_GE(AlphaAt(0, 15), 80u);            // outer border, black at 80 over the fill
    EXPECT_LT((At(0, 15) >> 16) & 0xFF, 0x80u);
    EXPECT_GE(AlphaAt(1, 15), 81u);            // inner border, white over the fill
    EXPECT_EQ(At(1, 15) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_GT(AlphaAt(40, 3), AlphaAt(40, 26));   // raised: lighter at the bottom

    toggle.Checked(false);
    Pump();
    headless::MouseMove(window, {60, 35});
    Pump();
    EXPECT_EQ(toggle.State(), dui::kStateHover);
    EXPECT_GE(AlphaAt(0, 15), 80u);
    headless::MouseDown(window, {60, 35});
    Pump();
    EXPECT_LT(AlphaAt(40, 3), AlphaAt(40, 26));   // pressed: the gradient turns over
    headless::MouseUp(window, {60, 35});
    Pump();
    EXPECT_FALSE(toggle.Checked());   // a click does not check it

    toggle.Checked(true);
    toggle.Disabled(true);
    Pump();
    EXPECT_EQ(AlphaAt(0, 15), 0u);
}

TEST_F(ToggleButtonTest, SettingTheSameCheckedValueDoesNotRepaint) {
    Pump();
    paints = 0;
    toggle.Checked(false);
    Pump();
    EXPECT_EQ(paints, 0);
    toggle.Checked(true);
    Pump();
    EXPECT_EQ(paints, 1);
    toggle.Checked(true);
    Pump();
    EXPECT_EQ(paints, 1);
    toggle.Checked(false, dui::Repaint::No);
    Pump();
    EXPECT_EQ(paints, 1);
    toggle.Destroy();
    EXPECT_FALSE(toggle.Checked());
}

TEST_F(ToggleButtonTest, FocusRepaintsNothingButTheNextPaintShowsTheFocusFrame) {
    toggle.Checked(true);
    Pump();
    paints = 0;
    host->SetFocus(toggle.GetHandle(), false);
    Pump();
    EXPECT_EQ(paints, 0);
    EXPECT_LT(AlphaAt(2, 15), 150u);
    toggle.PaintNow();
    EXPECT_GE(AlphaAt(2, 15), 190u);   // black at 190 over the fill
    EXPECT_LT((At(2, 15) >> 16) & 0xFF, 0x40u);
}

TEST_F(ToggleButtonTest, RoundedCornersLeaveTheCornerPixelsOut) {
    dui::ExToggleButton rounded;
    dui::TextControlOptions options;
    options.corner_style = 7;
    rounded.CreateTextControl(window, 120, 20, 80, 30, {}, options);
    rounded.Checked(true);
    Pump();
    EXPECT_EQ(rounded.Canvas()->GetPixel(0, 0) >> 24, 0u);
    EXPECT_GT(rounded.Canvas()->GetPixel(0, 15) >> 24, 40u);
}

TEST_F(ToggleButtonTest, BadgeMarksTheTopRightCornerAndTheTooltipShowsOnResting) {
    const auto red = [&](int x, int y) { return (At(x, y) >> 16) & 0xFF; };
    const auto blue = [&](int x, int y) { return At(x, y) & 0xFF; };
    EXPECT_EQ(AlphaAt(74, 6), 0u);   // none by default

    toggle.Badge("20");
    Pump();
    EXPECT_GE(AlphaAt(74, 6), 200u);
    EXPECT_GT(blue(74, 6), red(74, 6));
    EXPECT_EQ(AlphaAt(30, 6), 0u);    // the rest of the face is untouched
    EXPECT_EQ(AlphaAt(74, 26), 0u);

    toggle.Badge(dui::ExToggleButton::kBadgeFailure);
    Pump();
    EXPECT_GE(AlphaAt(74, 6), 200u);
    EXPECT_GT(red(74, 6), blue(74, 6));

    toggle.Badge("");
    Pump();
    EXPECT_EQ(AlphaAt(74, 6), 0u);

    toggle.TooltipText("engine 2: 20 rows, 0.41 s");
    headless::MouseMove(window, {40, 35});   // enters: the host sets the tool
    Pump();
    headless::MouseMove(window, {41, 35});   // and rests in it
    Pump();
    Advance(1000);
    ASSERT_TRUE(headless::Tooltip().shown);
    EXPECT_EQ(headless::Tooltip().text, "engine 2: 20 rows, 0.41 s");
}

}  // namespace
