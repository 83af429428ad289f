#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "dui/core/canvas.h"
#include "dui/core/font.h"
#include "dui/core/geometry.h"
#include "dui/core/string_format.h"

namespace dui {

class ExControl;

// How a control draws its text: one value shared by every text-bearing
// control (label, text control and the buttons built on it, edit box, report
// list), drawn by DrawStyledText alone. A control with more to say about
// its text (a selection colour, a placeholder) adds its own fields next to
// this value instead of copying these.
struct TextStyle {
    Font font;                          // the module default font unless own_font
    bool own_font = false;              // false: follows the module default font
    Argb colour = kDefaultTextColour;
    Argb glow_colour = 0;               // 0 = DrawText chooses from the colour
    int effect = kTextEffectNone;       // kTextEffect*
    StringFormat format;
    bool auto_contrast = false;         // white or black against the background

    static constexpr Argb kDefaultTextColour = 0xD2000000;  // black at 210
};

// The accessors of a text style that text-bearing controls share, a base
// of the control class `Owner`. Each setter stores, calls
// Owner::TextStyleChanged(bool layout) and returns the value now held;
// `layout` is true when the change can alter the text's size (a font, the
// format, the whole style), so that an owner that measures its text
// measures again.
template <class Owner>
class TextStyleAccessors {
public:
    const dui::TextStyle& TextStyle() const { return m_style; }
    const dui::TextStyle& TextStyle(dui::TextStyle style) {
        m_style = std::move(style);
        Changed(true);
        return m_style;
    }
    Argb TextColour() const { return m_style.colour; }
    Argb TextColour(Argb value) { return Store(&dui::TextStyle::colour, value, false); }
    Argb GlowColour() const { return m_style.glow_colour; }
    Argb GlowColour(Argb value) { return Store(&dui::TextStyle::glow_colour, value, false); }
    int TextEffect() const { return m_style.effect; }
    int TextEffect(int value) { return Store(&dui::TextStyle::effect, value, false); }
    bool AutoContrast() const { return m_style.auto_contrast; }
    bool AutoContrast(bool value) { return Store(&dui::TextStyle::auto_contrast, value, false); }
    std::string FontName() const { return m_style.font.Family(); }
    std::string FontName(std::string_view family) {
        return Font(CreateFont(family, m_style.font.Size(), m_style.font.Style())).Family();
    }
    int FontStyle() const { return m_style.font.Style(); }
    int FontStyle(int style) {
        return Font(CreateFont(m_style.font.Family(), m_style.font.Size(), style)).Style();
    }
    float FontSize() const { return m_style.font.Size(); }
    float FontSize(float size) {
        return Font(CreateFont(m_style.font.Family(), size, m_style.font.Style())).Size();
    }
    const dui::Font& Font() const { return m_style.font; }
    const dui::Font& Font(dui::Font font) {
        SetFont(std::move(font), true);
        Changed(true);
        return m_style.font;
    }
    const dui::StringFormat& StringFormat() const { return m_style.format; }
    const dui::StringFormat& StringFormat(dui::StringFormat format) {
        return Store(&dui::TextStyle::format, std::move(format), true);
    }

    // Back to the module default font; nothing is measured or drawn again.
    void ReleaseFont() { SetFont(DefaultFont(), false); }
    bool HasOwnFont() const { return m_style.own_font; }

protected:
    TextStyleAccessors() = default;
    ~TextStyleAccessors() = default;

    void SetFont(dui::Font font, bool own) {
        m_style.font = std::move(font);
        m_style.own_font = own;
    }

    // The font a control's creation arguments ask for: any of them given
    // makes an own font, the others taking the module default font's
    // family, 12 px and regular; none given keeps to the module default.
    void SetFontFromArguments(const std::optional<std::string>& family, std::optional<float> size,
                              std::optional<int> style) {
        if (!family && !size && !style) {
            SetFont(DefaultFont(), false);
            return;
        }
        SetFont(CreateFont(family ? *family : DefaultFont().Family(), size.value_or(kDefaultFontSize),
                           style.value_or(kFontRegular)),
                true);
    }

    static constexpr float kDefaultFontSize = 12;

    dui::TextStyle m_style;

private:
    void Changed(bool layout) { static_cast<Owner*>(this)->TextStyleChanged(layout); }

    template <class Field>
    const Field& Store(Field dui::TextStyle::*field, Field value, bool layout) {
        m_style.*field = std::move(value);
        Changed(layout);
        return m_style.*field;
    }
};

// The text colour a control with auto contrast draws with: white or black,
// keeping the alpha of `text_colour`, whichever stands out against what the
// host has painted under the control (nine samples; white when more than
// four are dark). Without a host background the colour is kept.
Argb AutoContrastColour(const ExControl& control, Argb text_colour);

// The colour the style draws with for this control.
Argb StyledTextColour(const TextStyle& style, const ExControl& control);

// The colour an optional glow colour field means: 0 lets DrawText choose.
inline std::optional<Argb> GlowArgument(Argb glow) {
    return glow == 0 ? std::nullopt : std::optional<Argb>(glow);
}

// Draws `text` (GBK) into `rect` of `canvas` with the style's font, format,
// colour (auto contrast taken against `control`'s place in its host), effect
// and glow.
void DrawStyledText(ExCanvas& canvas, const RectF& rect, std::string_view text,
                    const TextStyle& style, const ExControl& control);

// The box the text takes in the style's font and format, laid out in `box`
// (an empty box: no limit). Empty text measures empty.
RectF MeasureStyledText(std::string_view text, const TextStyle& style, const RectF& box);

}  // namespace dui
