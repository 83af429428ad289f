#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Removes hot-key markers as the prefix mode says; `underline_at` receives
// the byte index of the hot-key character in the result (or -1).
std::string ApplyHotkeyPrefix(std::string_view utf8, HotkeyPrefix mode, int* underline_at);

}  // namespace dui
