#pragma once

#include <pango/pango.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/core/font.h"
#include "dui/core/geometry.h"

namespace dui {

enum class StringAlignment : int { Near = 0, Center = 1, Far = 2 };

enum class StringTrimming : int {
    None = 0,
    Character = 1,
    Word = 2,
    EllipsisCharacter = 3,
    EllipsisWord = 4,
    EllipsisPath = 5,
};

// "&x" marks x as the hot key: None shows the text as it is, Show drops the
// '&' and underlines x, Hide drops the '&' only. "&&" is a literal '&'.
enum class HotkeyPrefix : int { None = 0, Show = 1, Hide = 2 };

// Format flag bits, with the values the controls store.
enum StringFormatFlag : uint32_t {
    kFormatNoFontFallback = 0x0400,
    kFormatMeasureTrailingSpaces = 0x0800,
    kFormatNoWrap = 0x1000,
    kFormatLineLimit = 0x2000,
    kFormatNoClip = 0x4000,
};

// How a text is laid out in its layout rectangle. A plain value; the text
// controls own one each.
struct StringFormat {
    StringFormat() = default;
    explicit StringFormat(uint32_t format_flags) : flags(format_flags) {}

    uint32_t flags = 0;
    StringAlignment alignment = StringAlignment::Near;       // horizontal
    StringAlignment line_alignment = StringAlignment::Near;  // vertical
    StringTrimming trimming = StringTrimming::Character;
    HotkeyPrefix hotkey_prefix = HotkeyPrefix::None;
    // Tab stops in pixels: the first stop lies at first_tab_offset + stops[0],
    // each further one stops[i] after the previous; the last distance repeats.
    float first_tab_offset = 0;
    std::vector<float> tab_stops;

    bool Has(uint32_t flag) const { return (flags & flag) != 0; }
    void SetFlag(uint32_t flag, bool on) { flags = on ? (flags | flag) : (flags & ~flag); }
    void SetTabStops(float first_offset, std::vector<float> stops) {
        first_tab_offset = first_offset;
        tab_stops = std::move(stops);
    }
};

// A text laid out for one font, format and layout rectangle: what DrawText
// draws and what the measuring routines report. A layout width or height of
// 0 or less means unbounded in that direction.
class TextLayout {
public:
    TextLayout(std::string_view text_gbk, const Font& font, const StringFormat& format,
               const RectF& layout_rect);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    PangoLayout* Layout() const { return m_layout.get(); }
    // Where the layout's top-left goes, alignment applied.
    PointF Origin() const { return m_origin; }
    // The box the visible text takes, aligned within the layout rectangle
    // (trailing spaces excluded unless the format measures them).
    RectF Bounds() const { return m_bounds; }
    // The rectangle drawing is clipped to; nullopt with NoClip.
    std::optional<RectF> Clip() const { return m_clip; }
    int LineCount() const;
    // True when a hot-key character is underlined.
    bool HasHotkey() const { return m_hotkey_index >= 0; }

private:
    struct LayoutDeleter {
        void operator()(PangoLayout* p) const noexcept { g_object_unref(p); }
    };
    std::unique_ptr<PangoLayout, LayoutDeleter> m_layout;
    PointF m_origin;
    RectF m_bounds;
    std::optional<RectF> m_clip;
    int m_hotkey_index = -1;
};

// Removes hot-key markers as the prefix mode says; `underline_at` receives
// the byte index of the hot-key character in the result (or -1).
std::string ApplyHotkeyPrefix(std::string_view utf8, HotkeyPrefix mode, int* underline_at);

}  // namespace dui
