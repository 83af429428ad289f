#include <gtest/gtest.h>

#include <memory>

#include "dui/controls/controls_module.h"
#include "dui/controls/group_box.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::Argb;
using dui::ExGroupBox;

class GroupBoxTest : public testing_support::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
        AttachHost();
    }

    unsigned AlphaAt(const ExGroupBox& box, int x, int y) const { return box.Canvas()->GetPixel(x, y) >> 24; }
};

TEST_F(GroupBoxTest, CaptionKeepsItsWholeMeasuredWidth) {
    ExGroupBox box;
    dui::GroupBoxOptions options;
    options.caption = "搜索结果 Results";
    options.rounded = false;
    box.CreateGroupBox(window, 10, 10, 300, 120, options);
    EXPECT_EQ(box.Kind(), dui::ControlKind::GroupBox);
    EXPECT_FALSE(box.Focusable());
    ASSERT_GT(box.CaptionWidth(), 40);

    // The caption as drawn without any room limit.
    auto reference = std::make_unique<dui::ExCanvas>(300, 120);
    dui::StringFormat format(dui::kFormatNoWrap);
    reference->DrawText({8, 2, 1000, static_cast<float>(box.CaptionHeight())}, box.Caption(), box.Font(),
                        box.CaptionColour(), format);
    for (int y = 2; y < 2 + box.CaptionHeight(); ++y) {
        for (int x = 8; x < 8 + box.CaptionWidth(); ++x) {
            ASSERT_EQ(box.Canvas()->GetPixel(x, y), reference->GetPixel(x, y)) << x << "," << y;
        }
    }
}

TEST_F(GroupBoxTest, FrameStopsShortOfTheCaptionAndFollowsTheCornerStyle) {
    ExGroupBox box;
    dui::GroupBoxOptions options;
    options.caption = "状态";
    options.rounded = false;
    options.fill_colour = 0x80FFFFFF;
    box.CreateGroupBox(window, 10, 10, 200, 100, options);
    const int edge = box.CaptionHeight() / 2 + 1;
    EXPECT_GE(AlphaAt(box, 3, edge), 80u);                       // the top edge
    EXPECT_LT(AlphaAt(box, 7, edge), 80u);                       // the gap before the caption
    EXPECT_LT(AlphaAt(box, 8 + box.CaptionWidth() + 1, edge), 80u);
    EXPECT_GE(AlphaAt(box, 8 + box.CaptionWidth() + 4, edge), 80u);
    EXPECT_GE(AlphaAt(box, 1, edge), 80u);                       // a square corner
    EXPECT_EQ(box.Canvas()->GetPixel(100, 60), 0x80FFFFFFu);    // filled inside

    box.Rounded(true);
    Pump();
    EXPECT_LT(AlphaAt(box, 1, edge), 60u);
    box.FillColour(0);
    Pump();
    EXPECT_EQ(AlphaAt(box, 100, 60), 0u);
}

TEST_F(GroupBoxTest, CaptionAlignmentPlacesTheCaption) {
    ExGroupBox box;
    dui::GroupBoxOptions options;
    options.caption = "右";
    options.caption_align = dui::kCaptionRight;
    box.CreateGroupBox(window, 10, 10, 200, 100, options);
    auto ink_left = [&] {
        for (int x = 0; x < 200; ++x) {
            for (int y = 2; y < box.CaptionHeight(); ++y) {
                if ((box.Canvas()->GetPixel(x, y) >> 24) > 100 && y != box.CaptionHeight() / 2 + 1) return x;
            }
        }
        return -1;
    };
    const int frame_width = 198;
    EXPECT_GE(ink_left(), frame_width - 8 - box.CaptionWidth() - 1);
    box.CaptionAlign(dui::kCaptionCentre);
    Pump();
    EXPECT_NEAR(ink_left(), (frame_width - 14 - box.CaptionWidth()) / 2 + 8, 3);

    box.Caption("一个长得多的标题");
    EXPECT_GT(box.CaptionWidth(), 60);
    box.Move(std::nullopt, std::nullopt, 40.0f);   // narrower: measured again
    EXPECT_LE(box.CaptionWidth(), 24);
}

TEST_F(GroupBoxTest, CaptionFontArgumentsAndGlowDrawTheCaption) {
    ExGroupBox plain;
    dui::GroupBoxOptions options;
    options.caption = "Glow";
    options.rounded = false;
    plain.CreateGroupBox(window, 10, 10, 200, 60, options);
    EXPECT_EQ(plain.Font(), dui::DefaultFont());

    ExGroupBox glowing;
    options.font_size = 20;
    glowing.CreateGroupBox(window, 10, 80, 200, 60, options);
    EXPECT_FLOAT_EQ(glowing.Font().Size(), 20);
    EXPECT_EQ(glowing.Font().Family(), dui::DefaultFont().Family());
    EXPECT_GT(glowing.CaptionHeight(), plain.CaptionHeight());
    auto caption_ink = [](const ExGroupBox& box) {
        int count = 0;
        for (int x = 6; x < 10 + box.CaptionWidth(); ++x) {
            for (int y = 0; y < box.CaptionHeight(); ++y) count += (box.Canvas()->GetPixel(x, y) >> 24) > 0;
        }
        return count;
    };
    Pump();
    const int without_glow = caption_ink(glowing);
    EXPECT_EQ(glowing.TextEffect(dui::kTextEffectGlow), dui::kTextEffectGlow);
    EXPECT_EQ(glowing.GlowColour(dui::MakeArgb(0xFF0000, 200)), dui::MakeArgb(0xFF0000, 200));
    EXPECT_EQ(glowing.TextStyle().effect, dui::kTextEffectGlow);
    Pump();
    EXPECT_GT(caption_ink(glowing), without_glow);
}

}  // namespace
