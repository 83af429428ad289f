#include "dui/core/text_style.h"

#include "dui/core/control.h"
#include "dui/core/host_window.h"
#include "dui/core/image.h"

namespace dui {

Argb AutoContrastColour(const ExControl& control, Argb text_colour) {
    const ExHostWindow* host = control.Host();
    if (host == nullptr) return text_colour;
    // What is really under the control is the painted background; the raw
    // image would be off by the frame and the image mode.
    std::optional<ImageSource> source;
    if (const ExCanvas* cache = host->BackgroundCache(); cache != nullptr && cache->Width() > 0) {
        source.emplace(*cache);
    } else if (const ExImage* image = host->BackgroundImage()) {
        source.emplace(*image);
    }
    if (!source) return text_colour;
    const RectF& b = control.Bounds();
    constexpr float kFractions[] = {0.2f, 0.5f, 0.8f};
    int dark = 0;
    for (float f : kFractions) {
        for (float g : kFractions) {
            const int px = static_cast<int>(b.left + b.width * f);
            const int py = static_cast<int>(b.top + b.height * g);
            if (IsDarkColour(GetPixel(*source, px, py))) ++dark;
        }
    }
    const Argb alpha = text_colour & 0xFF000000u;
    return alpha | (dark > 4 ? 0x00FFFFFFu : 0u);
}

Argb StyledTextColour(const TextStyle& style, const ExControl& control) {
    return style.auto_contrast ? AutoContrastColour(control, style.colour) : style.colour;
}

void DrawStyledText(ExCanvas& canvas, const RectF& rect, std::string_view text,
                    const TextStyle& style, const ExControl& control) {
    if (text.empty()) return;
    canvas.DrawText(rect, text, style.font, StyledTextColour(style, control), style.format,
                    style.effect, GlowArgument(style.glow_colour));
}

RectF MeasureStyledText(std::string_view text, const TextStyle& style, const RectF& box) {
    if (text.empty()) return RectF{};
    return MeasureText(text, style.font, box, style.format).value_or(RectF{});
}

}  // namespace dui
