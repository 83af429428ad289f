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

enum CaptionAlignment : int { kCaptionLeft = 0, kCaptionCentre = 1, kCaptionRight = 2 };

// The optional arguments of ExGroupBox::CreateGroupBox, in their documented
// order; the defaults are what an argument left out means.
struct GroupBoxOptions {
    std::string caption;
    std::optional<Argb> caption_colour;        // black at 210
    std::optional<std::string> font_name;      // any font argument given: own font
    std::optional<float> font_size;            // 12 when another one is given
    std::optional<int> font_style;
    int text_effect = kTextEffectNone;
    Argb glow_colour = 0;                      // 0 = automatic
    int caption_align = kCaptionLeft;
    Argb fill_colour = 0;                      // 0 = not filled
    std::optional<Argb> frame_colour;          // black at 80
    std::optional<bool> rounded;               // the host's frame style
};

// A frame with a caption on its top edge, drawn behind other controls. The
// frame line stops short of the caption. Never focusable, never fading.
class ExGroupBox : public ExControl, private TextStyleAccessors<ExGroupBox> {
public:
    ExGroupBox() = default;
    ~ExGroupBox() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    ControlHandle CreateGroupBox(ControlParent parent, float left, float top, float width, float height,
                                 GroupBoxOptions options = {});

    // The caption's size in the control's font, measured 16 pixels narrower
    // than the control.
    void MeasureCaption();
    int CaptionWidth() const { return m_caption_width; }
    int CaptionHeight() const { return m_caption_height; }

    // Accessors: the setters store, repaint and return the value now held.
    const std::string& Caption() const { return m_caption; }
    const std::string& Caption(std::string_view text);
    const dui::TextStyle& TextStyle() const { return m_style; }
    Argb CaptionColour() const { return m_style.colour; }
    Argb CaptionColour(Argb value);
    int CaptionAlign() const { return m_caption_align; }
    int CaptionAlign(int value);
    using TextStyleAccessors::TextEffect;
    using TextStyleAccessors::GlowColour;
    Argb FillColour() const { return m_fill_colour; }
    Argb FillColour(Argb value);
    Argb FrameColour() const { return m_frame_colour; }
    Argb FrameColour(Argb value);
    bool Rounded() const { return m_rounded; }
    bool Rounded(bool value);
    const dui::Font& Font() const { return m_style.font; }

    void PaintFrame();

protected:
    void OnSized(float width, float height) override;

private:
    friend class TextStyleAccessors<ExGroupBox>;
    void TextStyleChanged(bool layout);
    void Repaint();

    std::string m_caption;
    int m_caption_align = kCaptionLeft;
    Argb m_fill_colour = 0;
    Argb m_frame_colour = 0;
    bool m_rounded = false;
    int m_caption_width = 0;
    int m_caption_height = 0;
};

}  // namespace dui
