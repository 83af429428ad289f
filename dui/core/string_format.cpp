#include "dui/core/string_format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dui {
namespace {

constexpr float kUnbounded = 1e7f;
constexpr int kMaxTabStops = 256;

bool IsTrailingSpace(const char* text, int index, int* char_start) {
    // ASCII space or tab, or U+3000 (ideographic space, E3 80 80).
    if (index >= 1 && (text[index - 1] == ' ' || text[index - 1] == '\t')) {
        *char_start = index - 1;
        return true;
    }
    if (index >= 3 && static_cast<unsigned char>(text[index - 3]) == 0xE3 &&
        static_cast<unsigned char>(text[index - 2]) == 0x80 &&
        static_cast<unsigned char>(text[index - 1]) == 0x80) {
        *char_start = index - 3;
        return true;
    }
    return false;
}

// Width in Pango units of a line without its trailing white space.
int LineWidthWithoutTrailingSpaces(PangoLayoutLine* line, const char* text) {
    PangoRectangle logical{};
    pango_layout_line_get_extents(line, nullptr, &logical);
    int end = line->start_index + line->length;
    // A line ends before its paragraph separator, which is not part of it.
    int trimmed = end;
    int start = 0;
    while (trimmed > line->start_index && IsTrailingSpace(text, trimmed, &start)) trimmed = start;
    if (trimmed == end) return logical.width;
    if (trimmed == line->start_index) return 0;
    int x = 0;
    pango_layout_line_index_to_x(line, trimmed, FALSE, &x);
    return std::clamp(x, 0, logical.width);
}

PangoTabArray* BuildTabs(const StringFormat& format, float extent) {
    std::vector<float> positions;
    float position = format.first_tab_offset;
    float last_step = 0;
    for (float stop : format.tab_stops) {
        if (!(stop > 0) || !std::isfinite(stop)) break;
        position += stop;
        last_step = stop;
        positions.push_back(position);
        if (static_cast<int>(positions.size()) >= kMaxTabStops) break;
    }
    if (positions.empty()) return nullptr;
    float limit = std::max(extent, 2048.0f);
    while (last_step >= 1 && position < limit && static_cast<int>(positions.size()) < kMaxTabStops) {
        position += last_step;
        positions.push_back(position);
    }
    PangoTabArray* tabs = pango_tab_array_new(static_cast<int>(positions.size()), TRUE);
    for (size_t i = 0; i < positions.size(); ++i)
        pango_tab_array_set_tab(tabs, static_cast<int>(i), PANGO_TAB_LEFT,
                                static_cast<int>(std::lround(std::max(0.0f, positions[i]))));
    return tabs;
}

float AlignmentFactor(StringAlignment alignment) {
    switch (alignment) {
        case StringAlignment::Near:
            return 0.0f;
        case StringAlignment::Center:
            return 0.5f;
        case StringAlignment::Far:
            return 1.0f;
    }
    return 0.0f;
}

PangoAlignment PangoAlignmentOf(StringAlignment alignment) {
    switch (alignment) {
        case StringAlignment::Near:
            return PANGO_ALIGN_LEFT;
        case StringAlignment::Center:
            return PANGO_ALIGN_CENTER;
        case StringAlignment::Far:
            return PANGO_ALIGN_RIGHT;
    }
    return PANGO_ALIGN_LEFT;
}

float Finite(float value) { return std::isfinite(value) ? std::clamp(value, -kUnbounded, kUnbounded) : 0.0f; }

}  // namespace

std::string ApplyHotkeyPrefix(std::string_view utf8, HotkeyPrefix mode, int* underline_at) {
    if (underline_at) *underline_at = -1;
    if (mode == HotkeyPrefix::None) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c != '&' || i + 1 >= utf8.size()) {
            out.push_back(c);
            continue;
        }
        ++i;  // the marker itself is dropped
        if (utf8[i] == '&') {
            out.push_back('&');
            continue;
        }
        if (mode == HotkeyPrefix::Show && underline_at && *underline_at < 0)
            *underline_at = static_cast<int>(out.size());
        out.push_back(utf8[i]);
    }
    return out;
}

TextLayout::TextLayout(std::string_view text_gbk, const Font& font, const StringFormat& format,
                       const RectF& layout_rect)
    : m_layout(pango_layout_new(SharedPangoContext())) {
    PangoLayout* layout = m_layout.get();
    const RectF rect{Finite(layout_rect.left), Finite(layout_rect.top), Finite(layout_rect.width),
                     Finite(layout_rect.height)};
    const bool bounded_width = rect.width > 0;
    const bool bounded_height = rect.height > 0;

    std::string text = ApplyHotkeyPrefix(TextToUtf8(text_gbk), format.hotkey_prefix, &m_hotkey_index);
    pango_layout_set_font_description(layout, font.Description());
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));

    PangoAttrList* attrs = pango_attr_list_new();
    if (font.Style() & kFontUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.Style() & kFontStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    if (format.Has(kFormatNoFontFallback)) pango_attr_list_insert(attrs, pango_attr_fallback_new(FALSE));
    if (m_hotkey_index >= 0) {
        const char* start = text.c_str() + m_hotkey_index;
        const char* next = g_utf8_find_next_char(start, text.c_str() + text.size());
        PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        underline->start_index = static_cast<guint>(m_hotkey_index);
        underline->end_index = static_cast<guint>(next ? next - text.c_str() : static_cast<long>(text.size()));
        pango_attr_list_insert(attrs, underline);
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    if (PangoTabArray* tabs = BuildTabs(format, rect.width)) {
        pango_layout_set_tabs(layout, tabs);
        pango_tab_array_free(tabs);
    }

    const bool wrap = bounded_width && !format.Has(kFormatNoWrap);
    PangoEllipsizeMode ellipsize = PANGO_ELLIPSIZE_NONE;
    switch (format.trimming) {
        case StringTrimming::None:
        case StringTrimming::Character:
        case StringTrimming::Word:
            break;
        case StringTrimming::EllipsisCharacter:
        case StringTrimming::EllipsisWord:
            ellipsize = PANGO_ELLIPSIZE_END;
            break;
        case StringTrimming::EllipsisPath:
            ellipsize = PANGO_ELLIPSIZE_MIDDLE;
            break;
    }
    if (!bounded_width) ellipsize = PANGO_ELLIPSIZE_NONE;
    const bool has_width = wrap || ellipsize != PANGO_ELLIPSIZE_NONE;
    if (has_width) {
        pango_layout_set_width(layout, static_cast<int>(rect.width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_ellipsize(layout, ellipsize);
    if (ellipsize != PANGO_ELLIPSIZE_NONE && wrap && bounded_height)
        pango_layout_set_height(layout, static_cast<int>(rect.height * PANGO_SCALE));
    pango_layout_set_alignment(layout, PangoAlignmentOf(format.alignment));

    // The text's extent, trailing spaces dropped unless they are measured.
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    int text_width = logical.width;
    if (!format.Has(kFormatMeasureTrailingSpaces) && !has_width) {
        text_width = 0;
        for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next)
            text_width = std::max(text_width, LineWidthWithoutTrailingSpaces(static_cast<PangoLayoutLine*>(l->data),
                                                                             pango_layout_get_text(layout)));
    }
    int text_height = logical.height;

    // Whole lines only: lines that do not fit entirely are not shown.
    std::optional<float> line_band;
    if (format.Has(kFormatLineLimit) && bounded_height) {
        PangoLayoutIter* iter = pango_layout_get_iter(layout);
        int fitted = 0;
        do {
            PangoRectangle line_rect{};
            pango_layout_iter_get_line_extents(iter, nullptr, &line_rect);
            int bottom = line_rect.y + line_rect.height;
            if (bottom > static_cast<int>(std::ceil(rect.height * PANGO_SCALE))) break;
            fitted = bottom;
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
        text_height = fitted;
        line_band = static_cast<float>(fitted) / PANGO_SCALE;
    }

    const float w = static_cast<float>(text_width) / PANGO_SCALE;
    const float h = static_cast<float>(text_height) / PANGO_SCALE;
    const float lx = static_cast<float>(logical.x) / PANGO_SCALE;
    float x = rect.left;
    if (!has_width) x = rect.left + (std::max(rect.width, 0.0f) - w) * AlignmentFactor(format.alignment) - lx;
    float y = rect.top + (std::max(rect.height, 0.0f) - h) * AlignmentFactor(format.line_alignment);
    // Whole pixels keep hinted glyphs crisp.
    x = std::round(x);
    y = std::round(y);
    m_origin = {x, y};
    m_bounds = {x + lx, y, w, h};

    if (!format.Has(kFormatNoClip)) {
        m_clip = RectF{bounded_width ? rect.left : -kUnbounded, bounded_height ? rect.top : -kUnbounded,
                       bounded_width ? rect.width : 2 * kUnbounded, bounded_height ? rect.height : 2 * kUnbounded};
    }
    if (line_band) {
        RectF band{-kUnbounded, y, 2 * kUnbounded, *line_band};
        if (m_clip) {
            float top = std::max(m_clip->top, band.top);
            float bottom = std::min(m_clip->Bottom(), band.Bottom());
            m_clip->top = top;
            m_clip->height = std::max(0.0f, bottom - top);
        } else {
            m_clip = band;
        }
    }
}

TextLayout::~TextLayout() = default;

int TextLayout::LineCount() const { return pango_layout_get_line_count(m_layout.get()); }

}  // namespace dui
