#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dui/controls/controls_module.h"
#include "dui/controls/label.h"
#include "dui/controls/text_control.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::Argb;
using dui::ControlHandle;
using dui::ExLabel;
using dui::ExTextControl;
using dui::RectF;
namespace headless = plat::headless;

// The box of the canvas pixels whose alpha exceeds `min_alpha`; empty when
// there are none.
struct PixelBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
    bool Empty() const { return count == 0; }
};

PixelBox InkBox(const dui::ExCanvas& canvas, int min_alpha = 60,
                RectF area = {0, 0, 1e6f, 1e6f}) {
    PixelBox box;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (!area.Contains(static_cast<float>(x), static_cast<float>(y))) continue;
            if (static_cast<int>(canvas.GetPixel(x, y) >> 24) <= min_alpha) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x);
            box.bottom = std::max(box.bottom, y);
            ++box.count;
        }
    }
    return box;
}

// The most opaque pixel of the canvas.
Argb StrongestPixel(const dui::ExCanvas& canvas) {
    Argb best = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const Argb p = canvas.GetPixel(x, y);
            if ((p >> 24) > (best >> 24)) best = p;
        }
    }
    return best;
}

// A text control without a face, so only caption, icon and focus cue ink the
// canvas; it can also veto the focus cue.
class BareTextControl : public ExTextControl {
public:
    bool veto_focus_cue = false;

protected:
    int FaceHook(dui::ExCanvas&, int) override { return 1; }
    int TextHook(dui::ExCanvas&, int, RectF&, RectF&) override { return veto_focus_cue ? 1 : 0; }
};

// PNG bytes of a solid square.
std::string SolidPng(int side, Argb colour) {
    dui::ExCanvas canvas(side, side);
    canvas.Clear(colour);
    return canvas.EncodePng();
}

class TextControlTest : public testing_support::HostFixture {
protected:
    template <class T = ExTextControl>
    T& AddTextControl(const RectF& r, std::string caption) {
        auto control = std::make_unique<T>();
        T& ref = *control;
        ref.CreateTextControl(window, r.left, r.top, r.width, r.height, std::move(caption));
        m_owned.push_back(std::move(control));
        return ref;
    }
    void TearDown() override {
        m_owned.clear();
        HostFixture::TearDown();
    }
    std::vector<std::unique_ptr<dui::ExControl>> m_owned;
};

// --- Hotkeys -----------------------------------------------------------------

TEST(HotkeyCharacterTest, FirstSingleAmpersandMarksTheLetter) {
    EXPECT_EQ(dui::HotkeyCharacter("是(&Y)"), uint32_t{'Y'});
    EXPECT_EQ(dui::HotkeyCharacter("no marker"), 0u);
    EXPECT_EQ(dui::HotkeyCharacter("trailing&"), 0u);
    EXPECT_EQ(dui::HotkeyCharacter("a && b"), 0u);
    EXPECT_EQ(dui::HotkeyCharacter("&&&x"), uint32_t{'x'});
    EXPECT_EQ(dui::HotkeyCharacter("&是"), 0u);
}

TEST_F(TextControlTest, CaptionHotkeyIsRegisteredAndAltClicksTheControl) {
    AttachHost();
    auto& yes = AddTextControl({10, 10, 80, 24}, "是(&Y)");
    int clicks = 0;
    yes.BindEvent(dui::EX_MSG_CLICK, [&](const dui::ControlEvent&) { ++clicks; });
    ASSERT_EQ(host->Hotkeys().size(), 1u);
    EXPECT_EQ(host->Hotkeys()[0].first, yes.GetHandle());
    EXPECT_EQ(host->Hotkeys()[0].second, uint32_t{'Y'});

    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'Y', 0);
    EXPECT_EQ(clicks, 1);

    // A new caption without a marker removes the hotkey; another one moves it.
    yes.Caption("是");
    EXPECT_TRUE(host->Hotkeys().empty());
    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'Y', 0);
    EXPECT_EQ(clicks, 1);
    yes.Caption("确定(&O)");
    ASSERT_EQ(host->Hotkeys().size(), 1u);
    EXPECT_EQ(host->Hotkeys()[0].second, uint32_t{'O'});
    plat::SendMessage(window, plat::WM_SYSKEYDOWN, 'o', 0);
    EXPECT_EQ(clicks, 2);
}

TEST_F(TextControlTest, HotkeyLetterIsUnderlinedNotShownAsAmpersand) {
    AttachHost();
    auto& marked = AddTextControl<BareTextControl>({10, 10, 120, 24}, "A&B");
    auto& plain = AddTextControl<BareTextControl>({10, 40, 120, 24}, "AB");
    const PixelBox with_marker = InkBox(*marked.Canvas());
    const PixelBox without = InkBox(*plain.Canvas());
    ASSERT_FALSE(with_marker.Empty());
    // Same two letters, the second underlined: as wide, at least as tall.
    EXPECT_EQ(with_marker.right - with_marker.left, without.right - without.left);
    EXPECT_GT(with_marker.count, without.count);
}

// --- States and fades ----------------------------------------------------------

TEST_F(TextControlTest, MouseEnterFadesToHoverInFourTicks) {
    AttachHost();
    auto& button = AddTextControl({100, 100, 80, 24}, "OK");
    headless::MouseMove(window, {120, 110});
    Pump();
    EXPECT_EQ(button.State(), dui::kStateHover);
    EXPECT_EQ(button.FadeAlpha(), 51);
    EXPECT_NE(button.FadeSnapshot(), nullptr);
    for (int expected : {102, 153, 204}) {
        Advance(60);
        EXPECT_EQ(button.FadeAlpha(), expected);
    }
    EXPECT_NE(button.FadeSnapshot(), nullptr);
    Advance(60);
    EXPECT_EQ(button.FadeAlpha(), 255);
    EXPECT_EQ(button.FadeSnapshot(), nullptr);

    headless::MouseMove(window, {300, 300});
    Pump();
    EXPECT_EQ(button.State(), dui::kStateNormal);
    EXPECT_EQ(button.FadeAlpha(), 51);
}

TEST_F(TextControlTest, PressReleaseAndFocusPaintTheirStates) {
    AttachHost();
    auto& button = AddTextControl({100, 100, 80, 24}, "OK");
    auto& other = AddTextControl({100, 140, 80, 24}, "Other");
    headless::MouseMove(window, {120, 110});
    headless::MouseDown(window, {120, 110});
    Pump();
    // The press also moves the focus; the pressed look is painted last.
    EXPECT_EQ(button.State(), dui::kStatePressed);
    EXPECT_EQ(button.FadeAlpha(), 153);
    headless::MouseUp(window, {120, 110});
    Pump();
    EXPECT_EQ(button.State(), dui::kStateHover);

    host->SetFocus(other.GetHandle());
    EXPECT_EQ(button.State(), dui::kStateNormal);
    EXPECT_EQ(button.FadeAlpha(), 102);
    EXPECT_EQ(other.State(), dui::kStateFocused);
    EXPECT_EQ(other.FadeAlpha(), 204);
}

TEST_F(TextControlTest, FaceColoursFollowTheState) {
    AttachHost();
    auto& button = AddTextControl({100, 100, 80, 24}, "");
    const auto& canvas = *button.Canvas();
    // Near the bottom the gradient is strongest: hover (153) is more opaque
    // than normal (102); the pressed gradient fades out towards the bottom.
    button.PaintState(dui::kStateNormal, 255);
    const Argb normal = canvas.GetPixel(40, 20);
    button.PaintState(dui::kStateHover, 255);
    const Argb hover = canvas.GetPixel(40, 20);
    button.PaintState(dui::kStatePressed, 255);
    const Argb pressed_bottom = canvas.GetPixel(40, 20);
    const Argb pressed_top = canvas.GetPixel(40, 3);
    EXPECT_GT(hover >> 24, normal >> 24);
    EXPECT_GT(pressed_top >> 24, pressed_bottom >> 24);
    // Outer border: black, separator line along the bottom row.
    button.PaintState(dui::kStateNormal, 255);
    EXPECT_LT(canvas.GetPixel(40, 0) & 0xFF, 0x80u);
    EXPECT_GT(canvas.GetPixel(40, 23) >> 24, 0u);
}

TEST_F(TextControlTest, DisabledControlShowsTheDisabledLookAtHalfOpacity) {
    AttachHost();
    auto& button = AddTextControl({100, 100, 80, 24}, "OK");
    const Argb enabled = button.Canvas()->GetPixel(40, 12);
    button.Disabled(true);
    Pump();
    EXPECT_EQ(button.State(), dui::kStateDisabled);
    EXPECT_EQ(button.Alpha(), 127);
    const Argb disabled = button.Canvas()->GetPixel(40, 12);
    EXPECT_LT(disabled >> 24, enabled >> 24);
    // Disabled controls ignore the mouse: no hover look.
    headless::MouseMove(window, {120, 110});
    Pump();
    EXPECT_EQ(button.State(), dui::kStateDisabled);
    button.Disabled(false);
    Pump();
    EXPECT_EQ(button.State(), dui::kStateNormal);
    // Composed at full opacity again, not at the halved fade alpha.
    EXPECT_EQ(button.Alpha(), 254);
    EXPECT_EQ(button.FadeAlpha(), 254);
    EXPECT_EQ(button.Canvas()->GetPixel(40, 12), enabled);
}

// --- Caption and icon layout ----------------------------------------------------

TEST_F(TextControlTest, PressedCaptionMovesOnePixelRightAndDown) {
    AttachHost();
    auto& button = AddTextControl<BareTextControl>({10, 10, 100, 30}, "Press");
    button.PaintState(dui::kStateNormal, 255);
    const PixelBox normal = InkBox(*button.Canvas());
    button.PaintState(dui::kStatePressed, 255);
    const PixelBox pressed = InkBox(*button.Canvas());
    ASSERT_FALSE(normal.Empty());
    EXPECT_EQ(pressed.left, normal.left + 1);
    EXPECT_EQ(pressed.top, normal.top + 1);
}

TEST_F(TextControlTest, CaptionIsCentredByDefault) {
    AttachHost();
    auto& button = AddTextControl<BareTextControl>({10, 10, 120, 40}, "Centre");
    const PixelBox box = InkBox(*button.Canvas());
    ASSERT_FALSE(box.Empty());
    EXPECT_NEAR((box.left + box.right) / 2.0, 60, 3);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, 20, 4);
}

TEST_F(TextControlTest, IconIsPlacedByItsPosition) {
    AttachHost();
    auto& button = AddTextControl<BareTextControl>({10, 10, 120, 40}, "");
    button.IconData(SolidPng(10, dui::ArgbOf(255, 255, 0, 0)));
    Pump();
    // Position 0 without a caption: centred.
    EXPECT_EQ(button.Canvas()->GetPixel(60, 20), dui::ArgbOf(255, 255, 0, 0));
    button.IconPosition(dui::kIconAtLeftEdge);
    button.OffsetX(3);
    Pump();
    EXPECT_EQ(button.Canvas()->GetPixel(1 + 3, 20), dui::ArgbOf(255, 255, 0, 0));
    EXPECT_EQ(button.Canvas()->GetPixel(60, 20), 0u);
    button.IconPosition(dui::kIconAtTop);
    button.OffsetY(0);
    Pump();
    EXPECT_EQ(button.Canvas()->GetPixel(60, 1), dui::ArgbOf(255, 255, 0, 0));
    EXPECT_EQ(button.Canvas()->GetPixel(60, 12), 0u);
}

TEST_F(TextControlTest, IconAboveTextWithGapKeepsBothApart) {
    AttachHost();
    auto& button = AddTextControl<BareTextControl>({10, 10, 120, 60}, "Tab");
    button.IconPosition(dui::kIconAboveText);
    button.Gap(4);
    button.IconData(SolidPng(16, dui::ArgbOf(255, 0, 0, 255)));
    Pump();
    const PixelBox icon = InkBox(*button.Canvas(), 250, {0, 0, 120, 60});
    const PixelBox all = InkBox(*button.Canvas());
    ASSERT_FALSE(icon.Empty());
    EXPECT_EQ(icon.bottom - icon.top + 1, 16);
    EXPECT_GT(all.bottom, icon.bottom + 4);  // the caption lies below the gap
}

TEST_F(TextControlTest, UndecodableIconStillLaysOutTheCaption) {
    AttachHost();
    auto& button = AddTextControl<BareTextControl>({10, 10, 120, 40}, "Text");
    const PixelBox before = InkBox(*button.Canvas());
    button.IconData(std::string("\x89PNG broken", 11));
    const PixelBox after = InkBox(*button.Canvas());
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.count, after.count);
}

// --- Colours ---------------------------------------------------------------------

TEST_F(TextControlTest, AutoContrastPicksWhiteOverDarkBackgrounds) {
    auto options = PlainOptions();
    options.background_colour = 0x101010;
    AttachHost(options);
    auto& button = AddTextControl<BareTextControl>({100, 100, 100, 30}, "Contrast");
    button.TextColour(dui::MakeArgb(0x000000, 180));
    button.AutoContrast(true);
    Pump();
    const Argb ink = StrongestPixel(*button.Canvas());
    EXPECT_EQ(ink & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_LE(ink >> 24, 180u);

    host->SetBackground(std::nullopt, 0xFFFFFF);
    Pump();
    button.PaintNow();
    EXPECT_EQ(StrongestPixel(*button.Canvas()) & 0xFFFFFF, 0u);
}

TEST_F(TextControlTest, KeyboardFocusDrawsADashedCueUnlessTheTextHookVetoes) {
    AttachHost();
    auto& first = AddTextControl<BareTextControl>({10, 10, 100, 30}, "");
    const RectF cue{3, 3, 94, 23};
    EXPECT_TRUE(InkBox(*first.Canvas(), 0, cue).Empty());
    headless::PressKey(plat::VK_TAB);
    Pump();
    ASSERT_EQ(host->KeyboardFocusMarker(), first.GetHandle());
    const PixelBox box = InkBox(*first.Canvas(), 0);
    ASSERT_FALSE(box.Empty());
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.top, 3);
    first.veto_focus_cue = true;
    first.PaintNow();
    EXPECT_TRUE(InkBox(*first.Canvas(), 0).Empty());
}

TEST_F(TextControlTest, FontSettersKeepTheOtherFontProperties) {
    AttachHost();
    auto& button = AddTextControl({10, 10, 100, 30}, "Font");
    EXPECT_FALSE(button.HasOwnFont());
    button.FontSize(20);
    button.FontStyle(dui::kFontBold);
    EXPECT_FLOAT_EQ(button.FontSize(), 20);
    EXPECT_EQ(button.FontStyle(), dui::kFontBold);
    // An unknown family falls back to the default font's family.
    EXPECT_EQ(button.FontName("NoSuchFamily-xyz"), dui::DefaultFont().Family());
    EXPECT_FLOAT_EQ(button.FontSize(), 20);
    EXPECT_TRUE(button.HasOwnFont());
    button.ReleaseFont();
    EXPECT_FALSE(button.HasOwnFont());
    EXPECT_EQ(button.Font(), dui::DefaultFont());
}

TEST_F(TextControlTest, DestroyForgetsHotkeyAndCaption) {
    AttachHost();
    auto& button = AddTextControl({10, 10, 100, 30}, "&Quit");
    ASSERT_EQ(host->Hotkeys().size(), 1u);
    button.Destroy();
    EXPECT_TRUE(host->Hotkeys().empty());
    EXPECT_TRUE(button.Caption().empty());
    // Setters on a destroyed control neither crash nor paint.
    button.Caption("again");
    button.PaintState(dui::kStateHover, 51);
}

// --- Labels -------------------------------------------------------------------

class LabelTest : public TextControlTest {
protected:
    ExLabel& AddLabel(const RectF& r, dui::LabelOptions options) {
        auto label = std::make_unique<ExLabel>();
        ExLabel& ref = *label;
        ref.CreateLabel(window, r.left, r.top, r.width, r.height, std::move(options));
        m_owned.push_back(std::move(label));
        return ref;
    }
    static dui::LabelOptions Text(std::string text) {
        dui::LabelOptions options;
        options.text = std::move(text);
        return options;
    }
};

TEST_F(LabelTest, CreatedNotFocusableAndMeasuredToOneLine) {
    AttachHost();
    auto& label = AddLabel({10, 10, 200, 24}, Text("Measured"));
    EXPECT_EQ(label.Kind(), dui::ControlKind::Label);
    EXPECT_FALSE(label.Focusable());
    EXPECT_EQ(label.MeasuredHeight(), dui::DefaultFont().Height());
    const int width = label.MeasuredWidth();
    EXPECT_GT(width, 20);
    label.LabelText("Measured and longer");
    EXPECT_GT(label.MeasuredWidth(), width);
    // A single line is measured within the control's width.
    label.Width(40.0f);
    EXPECT_LE(label.MeasuredWidth(), 40);
}

TEST_F(LabelTest, FontAndFormatSettersMeasureAgainColourSettersDoNot) {
    AttachHost();
    auto& label = AddLabel({10, 10, 400, 60}, Text("Measured again"));
    const int height = label.MeasuredHeight();
    EXPECT_FLOAT_EQ(label.FontSize(30), 30);
    EXPECT_GT(label.MeasuredHeight(), height);
    EXPECT_TRUE(label.HasOwnFont());
    const int big_width = label.MeasuredWidth();
    label.Font(dui::DefaultFont());
    EXPECT_LT(label.MeasuredWidth(), big_width);
    const int width = label.MeasuredWidth();
    EXPECT_EQ(label.TextColour(dui::MakeArgb(0xFF, 255)), dui::MakeArgb(0xFF, 255));
    EXPECT_EQ(label.GlowColour(dui::MakeArgb(0xFF00, 200)), dui::MakeArgb(0xFF00, 200));
    EXPECT_EQ(label.TextEffect(dui::kTextEffectGlow), dui::kTextEffectGlow);
    EXPECT_TRUE(label.AutoContrast(true));
    EXPECT_EQ(label.MeasuredWidth(), width);
    EXPECT_EQ(label.TextStyle().colour, dui::MakeArgb(0xFF, 255));
    // A whole style measures again as well.
    dui::TextStyle style = label.TextStyle();
    style.font = dui::CreateFont(dui::DefaultFont().Family(), 24, dui::kFontBold);
    label.TextStyle(style);
    EXPECT_GT(label.MeasuredWidth(), width);
}

TEST_F(LabelTest, GlowAddsInkAroundTheText) {
    AttachHost();
    auto plain_options = Text("Glow");
    plain_options.alignment = dui::StringAlignment::Center;
    auto glow_options = plain_options;
    glow_options.text_effect = dui::kTextEffectGlow;
    glow_options.glow_colour = dui::MakeArgb(0xFF0000, 200);  // blue
    auto& plain = AddLabel({10, 10, 120, 30}, plain_options);
    auto& glowing = AddLabel({10, 50, 120, 30}, glow_options);
    const PixelBox text = InkBox(*plain.Canvas(), 0);
    const PixelBox glow = InkBox(*glowing.Canvas(), 0);
    ASSERT_FALSE(text.Empty());
    EXPECT_GT(glow.count, text.count);
    EXPECT_LT(glow.left, text.left);
    // The glow's own colour shows beside the letters.
    const Argb beside = glowing.Canvas()->GetPixel(glow.left, (glow.top + glow.bottom) / 2);
    EXPECT_GT(beside & 0xFF, (beside >> 16) & 0xFF);
}

TEST_F(LabelTest, VerticalAndHorizontalAlignmentPlaceTheText) {
    AttachHost();
    auto& label = AddLabel({10, 10, 200, 60}, Text("Align"));
    const PixelBox centre = InkBox(*label.Canvas());
    label.VerticalAlignment(dui::kLabelTop);
    Pump();
    const PixelBox top = InkBox(*label.Canvas());
    label.VerticalAlignment(dui::kLabelBottom);
    Pump();
    const PixelBox bottom = InkBox(*label.Canvas());
    ASSERT_FALSE(centre.Empty());
    EXPECT_LT(top.top, centre.top);
    EXPECT_GT(bottom.top, centre.top);
    EXPECT_LE(top.top, 8);
    EXPECT_GE(bottom.bottom, 50);
    EXPECT_LT(top.left, 10);

    label.Alignment(dui::StringAlignment::Far);
    Pump();
    const PixelBox right = InkBox(*label.Canvas());
    EXPECT_GT(right.left, 150);
    EXPECT_LE(right.right, 197);
    label.Alignment(dui::StringAlignment::Center);
    Pump();
    const PixelBox middle = InkBox(*label.Canvas());
    EXPECT_NEAR((middle.left + middle.right) / 2.0, 100, 3);
}

TEST_F(LabelTest, WordWrapBreaksLinesAndClipsTheLastPartialLine) {
    AttachHost();
    const std::string text = "one two three four five six seven eight nine ten eleven twelve";
    auto& single = AddLabel({10, 10, 100, 60}, Text(text));
    auto options = Text(text);
    options.word_wrap = true;
    auto& wrapped = AddLabel({10, 80, 100, 60}, options);
    EXPECT_EQ(wrapped.FormatFlags(), dui::kLabelWrappedFlags);
    const PixelBox one = InkBox(*single.Canvas());
    const PixelBox many = InkBox(*wrapped.Canvas());
    EXPECT_LT(one.bottom - one.top, 20);
    EXPECT_GT(many.bottom - many.top, 35);
    EXPECT_LE(many.bottom, 57);  // nothing below the text rectangle
    wrapped.WordWrap(false);
    Pump();
    EXPECT_EQ(wrapped.FormatFlags(), dui::kLabelSingleLineFlags);
    EXPECT_LT(InkBox(*wrapped.Canvas()).bottom - InkBox(*wrapped.Canvas()).top, 20);
}

TEST_F(LabelTest, GradientBackgroundAndBorder) {
    AttachHost();
    dui::LabelOptions options;
    options.gradient_direction = static_cast<int>(dui::GradientMode::Vertical);
    options.gradient_colour1 = dui::ArgbOf(255, 255, 0, 0);
    options.gradient_colour2 = dui::ArgbOf(255, 0, 0, 255);
    options.border = dui::kBorderSolid;
    auto& label = AddLabel({10, 10, 50, 50}, options);
    const auto& canvas = *label.Canvas();
    EXPECT_GT((canvas.GetPixel(25, 3) >> 16) & 0xFF, canvas.GetPixel(25, 3) & 0xFF);
    EXPECT_GT(canvas.GetPixel(25, 45) & 0xFF, (canvas.GetPixel(25, 45) >> 16) & 0xFF);
    // The border stays visible over the background.
    EXPECT_NEAR(static_cast<int>(canvas.GetPixel(25, 0) & 0xFF), 0x64, 2);
    EXPECT_NEAR(static_cast<int>((canvas.GetPixel(25, 0) >> 16) & 0xFF), 0x64, 2);
    label.GradientDirection(dui::kNoGradient);
    Pump();
    EXPECT_EQ(canvas.GetPixel(25, 25), 0u);
}

TEST_F(LabelTest, DisabledLabelIsComposedAtHalfOpacity) {
    AttachHost();
    auto options = Text("■");
    options.text_colour = dui::ArgbOf(255, 0, 0, 0);
    auto& label = AddLabel({10, 10, 120, 30}, options);
    Pump();
    const PixelBox ink = InkBox(*label.Canvas(), 200);
    ASSERT_FALSE(ink.Empty());
    const int x = 10 + (ink.left + ink.right) / 2;
    const int y = 10 + (ink.top + ink.bottom) / 2;
    const uint32_t enabled = ScreenPixel(x, y) & 0xFF;
    label.Disabled(true);
    Pump();
    const uint32_t disabled = ScreenPixel(x, y) & 0xFF;
    EXPECT_LT(enabled, 0x30u);
    EXPECT_GT(disabled, 0x60u);
}

TEST_F(LabelTest, HostileSizesAndTextsDoNotBreakPainting) {
    AttachHost();
    auto& empty_box = AddLabel({10, 10, 0, 0}, Text("nothing to show"));
    EXPECT_EQ(empty_box.Canvas()->Width(), 0);
    auto options = Text(std::string(5000, 'W') + "\xFF\x80 broken GBK");
    options.word_wrap = true;
    options.font_size = 1e9f;
    auto& huge = AddLabel({10, 40, 100, 40}, options);
    EXPECT_LE(huge.FontSize(), 1000.0f);
    huge.FontSize(-5);
    huge.LabelText("");
    EXPECT_EQ(huge.MeasuredWidth(), 0);
}

// --- The title label -------------------------------------------------------------

class TitleLabelTest : public LabelTest {
protected:
    void SetUp() override {
        LabelTest::SetUp();
        ASSERT_TRUE(dui::ControlsStartup());
    }
    int InkOnScreen(int left, int top, int right, int bottom) const {
        int dark = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                if ((ScreenPixel(x, y) & 0xFF) < 0x80) ++dark;
            }
        }
        return dark;
    }
};

TEST_F(TitleLabelTest, HostCaptionShowsTheWindowTitleAndFollowsItsChanges) {
    auto options = PlainOptions();
    options.flags = dui::kFlagTitle;
    AttachHost(options);
    auto* label = dynamic_cast<ExLabel*>(host->TitleLabel());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->LabelText(), "test");
    EXPECT_EQ(label->TextColour() >> 24, 250u);
    EXPECT_EQ(label->GetParent(), ControlHandle::None);
    EXPECT_EQ(host->TopLevelList().first, label->GetHandle());
    EXPECT_EQ(label->Tag(), std::to_string(dui::Raw(label->GetHandle()) + 2));
    Pump();
    const int short_title = InkOnScreen(11, 11, 300, 31);
    EXPECT_GT(short_title, 10);

    plat::SetWindowText(window, "a considerably longer window title");
    Pump();
    EXPECT_EQ(label->LabelText(), "a considerably longer window title");
    EXPECT_GT(InkOnScreen(11, 11, 300, 31), short_title);
}

TEST_F(TitleLabelTest, TitleFollowsTheBackgroundWithAutoContrast) {
    auto options = PlainOptions();
    options.flags = dui::kFlagTitle;
    options.background_colour = 0x000000;
    AttachHost(options);
    auto* label = dynamic_cast<ExLabel*>(host->TitleLabel());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(StrongestPixel(*label->Canvas()) & 0xFFFFFF, 0xFFFFFFu);
    host->SetBackground(std::nullopt, 0xFFFFFF);
    Pump();
    EXPECT_EQ(StrongestPixel(*label->Canvas()) & 0xFFFFFF, 0u);
    // The application's restyle turns it off and keeps its own colour.
    label->AutoContrast(false);
    label->TextColour(dui::MakeArgb(0x0000FF, 190));
    Pump();
    EXPECT_EQ(StrongestPixel(*label->Canvas()) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
