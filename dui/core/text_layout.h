#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "dui/core/geometry.h"

namespace dui {

class Font;
struct StringFormat;

// How SetText lays a text out.
struct TextFlow {
    // Above 0: lines wrap at this width in pixels (between words, inside a
    // word that is wider); otherwise every paragraph is one line.
    float wrap_width = 0;
    // Line and paragraph separators are shown as glyphs and never break.
    bool single_paragraph = false;
    // Where the layout's left edge lies, in pixels from the left edge that
    // the format's tab stops are measured from.
    float left = 0;
};

// A selected byte range of a laid-out text, drawn with its own fill and
// text colour.
struct TextSelection {
    int from = 0;
    int to = 0;
    Argb fill = 0;
    Argb text = 0;
};

// A point of a text: the byte index of the character hit and, when the
// point lies on that character's trailing half, 1 (the caret goes after it).
struct TextHit {
    int index = 0;
    int trailing = 0;
};

// One visual line: its byte range and its logical extents in layout
// coordinates.
struct TextLine {
    int start = 0;
    int length = 0;
    RectF extents;
};

// A text laid out for one font. Either built for a layout rectangle as
// ExCanvas::DrawText draws it (GBK text, hot-key prefix, alignment,
// trimming and clip from the format), or set with SetText as a block of
// UTF-8 text whose top-left lies at (0, 0). In both, the font's underline
// and strikeout and the format's tab stops apply. Byte indices are into the
// UTF-8 text the layout holds; out-of-range indices are clamped. A layout
// moved from may only be assigned to or destroyed.
class TextLayout {
public:
    TextLayout();  // no text
    TextLayout(std::string_view text_gbk, const Font& font, const StringFormat& format,
               const RectF& layout_rect);
    ~TextLayout();
    TextLayout(TextLayout&&) noexcept;
    TextLayout& operator=(TextLayout&&) noexcept;
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // Lays out `utf8` (invalid sequences are shown as replacement
    // characters) with the font and the format's tab stops; the format's
    // other settings do not apply. Origin and bounds become those of the
    // text at (0, 0), with no clip.
    void SetText(std::string_view utf8, const Font& font, const StringFormat& format,
                 const TextFlow& flow);

    // Where the layout's top-left goes, alignment applied.
    PointF Origin() const;
    // The box the visible text takes, aligned within the layout rectangle
    // (trailing spaces excluded unless the format measures them).
    RectF Bounds() const;
    // The rectangle drawing is clipped to; nullopt with NoClip.
    std::optional<RectF> Clip() const;
    // True when a hot-key character is underlined.
    bool HasHotkey() const;

    // The logical extents in whole pixels, relative to the layout's top-left.
    RectF PixelExtents() const;
    // The caret before the character at `index`: its x, and the top and
    // height of its line.
    RectF CaretRect(int index) const;
    // The character at a point relative to the layout's top-left; points
    // outside the text go to the nearest line and its nearest end.
    TextHit HitTest(PointF point) const;
    int LineCount() const;
    // Line 0 .. LineCount() - 1; an empty line for other numbers.
    TextLine Line(int line) const;
    // What a selection of bytes [from, to) covers when the layout's top-left
    // is drawn at `origin`: per visual line, one rectangle per run (and one
    // on to the wrap width where the selection goes on past a wrapped
    // line), the line's height tall, widened outwards to whole pixels.
    std::vector<RectF> SelectionRects(int from, int to, PointF origin = {}) const;

private:
    struct Impl;
    friend struct TextLayoutAccess;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace dui
