#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/font.h"
#include "dui/core/string_format.h"
#include "dui/core/text_style.h"

namespace dui {

// Vertical placement of a single-line label's text.
enum LabelVerticalAlignment : int { kLabelTop = 0, kLabelCentre = 1, kLabelBottom = 2 };

// Gradient direction of a label without a background.
inline constexpr int kNoGradient = -1;

// The optional arguments of CreateLabel, in their documented order; the
// defaults are what an argument left out means.
struct LabelOptions {
    std::string text;
    std::optional<Argb> text_colour;           // black at 210
    int gradient_direction = kNoGradient;      // 0..3 = GradientMode
    Argb gradient_colour1 = 0;                 // 0 = transparent
    Argb gradient_colour2 = 0;
    bool word_wrap = false;
    bool auto_contrast = false;
    std::optional<std::string> font_name;      // any font argument given: own font
    std::optional<float> font_size;            // 12 when another one is given
    std::optional<int> font_style;
    StringAlignment alignment = StringAlignment::Near;  // horizontal
    int line_alignment = kLabelCentre;         // single line only
    int text_effect = kTextEffectNone;
    Argb glow_colour = 0;                      // 0 = automatic
    int64_t border = kBorderNone;              // DrawBorder style
    bool visible = true;
};

// A control showing a text, single-line (vertically placed by the vertical
// alignment) or word-wrapped, over an optional gradient and border. Never
// focusable unless made so, never fading. It is the title label of every
// host window with a title and the container of a page set's pages.
class ExLabel : public ExControl, public TextStyleAccessors<ExLabel> {
public:
    ExLabel() = default;
    ~ExLabel() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    // Measures the text: wrapped text without a layout limit, a single line
    // in a box of the control's width and one font height.
    void Measure();
    int MeasuredWidth() const { return m_measured_width; }
    int MeasuredHeight() const { return m_measured_height; }

    ControlHandle CreateLabel(ControlParent parent, float left, float top, float width,
                              float height, LabelOptions options = {});

    // Accessors: the setters store, invalidate and return the value now
    // held; text, font and format setters measure again first. The text
    // style's own accessors (TextColour, Font, ...) come from
    // TextStyleAccessors.
    const std::string& LabelText() const { return m_text; }
    const std::string& LabelText(std::string_view text);
    Argb GradientColour1() const { return m_gradient_colour1; }
    Argb GradientColour1(Argb value);
    Argb GradientColour2() const { return m_gradient_colour2; }
    Argb GradientColour2(Argb value);
    int GradientDirection() const { return m_gradient_direction; }
    int GradientDirection(int value);
    StringTrimming Trimming() const { return m_style.format.trimming; }
    StringTrimming Trimming(StringTrimming value);
    uint32_t FormatFlags() const { return m_style.format.flags; }
    uint32_t FormatFlags(uint32_t flags);
    StringAlignment Alignment() const { return m_style.format.alignment; }
    StringAlignment Alignment(StringAlignment value);
    bool WordWrap() const { return m_word_wrap; }
    bool WordWrap(bool value);
    int VerticalAlignment() const { return m_vertical_alignment; }
    int VerticalAlignment(int value);
    int64_t Border() const { return m_border; }
    int64_t Border(int64_t style);

    void Paint();

protected:
    // Hooks for derived classes: the text rectangle just before drawing,
    // a pre-hook called first for every message (anything but kNotHandled
    // is the answer), and a call at the end of creation.
    virtual void TextRectHook(ExCanvas& canvas, RectF& text_rect);
    virtual intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam);
    virtual void CreateHook();

    void OnFocusIn(ControlHandle previous) override;
    void OnFocusOut(ControlHandle next) override;
    void OnSized(float width, float height) override;

private:
    friend class TextStyleAccessors<ExLabel>;
    void TextStyleChanged(bool layout);

    std::string m_text;
    int m_gradient_direction = kNoGradient;
    Argb m_gradient_colour1 = 0;
    Argb m_gradient_colour2 = 0;
    bool m_word_wrap = false;
    int m_vertical_alignment = kLabelCentre;
    int64_t m_border = kBorderNone;
    int m_measured_width = 0;
    int m_measured_height = 0;
};

// Format flags of a single-line and of a word-wrapped label.
inline constexpr uint32_t kLabelSingleLineFlags = kFormatNoWrap;
inline constexpr uint32_t kLabelWrappedFlags =
    kFormatNoFontFallback | kFormatMeasureTrailingSpaces | kFormatLineLimit | kFormatNoClip;

}  // namespace dui
