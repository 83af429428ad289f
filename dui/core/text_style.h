#pragma once

#include <optional>
#include <string_view>

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
