#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/font.h"
#include "dui/core/image.h"
#include "dui/core/string_format.h"
#include "dui/core/text_style.h"

namespace dui {

// Paint states of a text control. Any value outside 0..3 paints the disabled
// look; the control itself uses kStateDisabled while it is disabled.
inline constexpr int kStateNormal = 0;
inline constexpr int kStateHover = 1;
inline constexpr int kStatePressed = 2;
inline constexpr int kStateFocused = 3;
inline constexpr int kStateDisabled = -1;

// Where the icon goes relative to the caption.
enum IconPlacement : int {
    kIconLeftOfText = 0,    // the pair centred
    kIconRightOfText = 1,   // the pair centred
    kIconAboveText = 2,     // the pair centred vertically
    kIconBehindText = 3,    // both centred on the same point
    kIconAtLeftEdge = 4,    // text fills the rest
    kIconTextAtLeftEdge = 5,  // text at the left edge, icon after it
    kIconAtTop = 6,         // icon at the top, text below it
};

// Creation settings; everything not given takes the default noted.
struct TextControlOptions {
    std::optional<Argb> text_colour;       // default black at 210
    // Any font argument given: an own font, the others taking the default
    // font's family, 12 px and kFontRegular; none: the module default font.
    std::optional<std::string> font_name;
    std::optional<float> font_size;
    std::optional<int> font_style;         // kFont*
    int text_effect = kTextEffectNone;
    Argb glow_colour = 0;
    std::optional<int> corner_style;       // default: the host's frame style
    bool visible = true;
};

// A control with a caption, a font, a string format, an optional icon and a
// face that changes with the mouse and focus state, cross-fading between
// looks. Button classes derive from it and replace only the three hooks at
// the end (face, text and pre-hook).
//
// The caption's first "&" marks its Alt hotkey: the character after it is
// registered with the host on creation and whenever the caption changes
// ("&&" is a literal ampersand and marks nothing).
class ExTextControl : public ExControl, public TextStyleAccessors<ExTextControl> {
public:
    ExTextControl() = default;
    ~ExTextControl() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    // Focusable, fading every 60 ms.
    ControlHandle CreateTextControl(ControlParent parent, float left, float top, float width,
                                    float height, std::string caption = {},
                                    TextControlOptions options = {});

    // Accessors: the setters store, invalidate and return the value now held.
    // The text style's own accessors (TextColour, Font, ...) come from
    // TextStyleAccessors.
    const std::string& Caption() const { return m_caption; }
    std::string Caption(std::string text);
    int CornerStyle() const { return m_corner_style; }
    int CornerStyle(int value);
    // The icon's encoded bytes; they are decoded once, when set.
    const std::string& IconData() const { return m_icon_data; }
    const std::string& IconData(std::string_view bytes);
    int IconPosition() const { return m_icon_position; }
    int IconPosition(int value);
    int OffsetX() const { return m_offset_x; }
    int OffsetX(int value);
    int OffsetY() const { return m_offset_y; }
    int OffsetY(int value);
    int Gap() const { return m_gap; }
    int Gap(int value);

    // Stores the state, sets the fade alpha to `start_alpha` and paints the
    // new look, cross-fading from the old one.
    void PaintState(int state, int start_alpha);
    // The look last painted.
    int State() const { return m_state; }

protected:
    // Hooks for derived classes.
    // Face: nonzero when the class drew its own face (the default face is
    // then skipped).
    virtual int FaceHook(ExCanvas& canvas, int state);
    // Text: may move the text and icon rectangles; nonzero suppresses the
    // focus cue.
    virtual int TextHook(ExCanvas& canvas, int state, RectF& text_rect, RectF& icon_rect);
    // Called first for every message; anything but kNotHandled is the
    // answer and the class does nothing else.
    virtual intptr_t PreHook(uint32_t message, uintptr_t wparam, intptr_t lparam);
    // Drawn last, over the face, text and focus cue, unclipped.
    virtual void OverlayHook(ExCanvas& canvas, int state);

    intptr_t OnPointerDown(const PointerEvent& event) override;
    intptr_t OnPointerUp(const PointerEvent& event) override;
    void OnFocusIn(ControlHandle previous) override;
    void OnFocusOut(ControlHandle next) override;

private:
    friend class TextStyleAccessors<ExTextControl>;
    void TextStyleChanged(bool layout);
    void RegisterHotkey();
    void DrawDefaultFace(ExCanvas& canvas, int state);

    int m_state = kStateNormal;
    std::string m_caption;
    int m_corner_style = 0;
    std::string m_icon_data;
    std::optional<ExImage> m_icon;
    int m_icon_position = kIconLeftOfText;
    int m_offset_x = 0;
    int m_offset_y = 0;
    int m_gap = 0;
};

// The hotkey character a caption marks: the byte after its first "&" that
// is not part of "&&", or 0 when there is none or it is not a printable
// ASCII character.
uint32_t HotkeyCharacter(std::string_view caption);

}  // namespace dui
