#include "dui/core/text_layout.h"

#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "dui/core/canvas_access.h"
#include "dui/core/font.h"
#include "dui/core/string_format.h"

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

// Tab positions relative to a layout whose left edge lies `left` pixels
// from the edge the stops are measured from.
PangoTabArray* BuildTabs(const StringFormat& format, float extent, float left) {
    std::vector<float> positions;
    float position = format.first_tab_offset - left;
    float last_step = 0;
    for (float stop : format.tab_stops) {
        if (!(stop > 0) || !std::isfinite(stop)) break;
        position += stop;
        last_step = stop;
        positions.push_back(position);
        if (static_cast<int>(positions.size()) >= kMaxTabStops) break;
    }
    if (positions.empty()) return nullptr;
    float limit = std::max(extent, 2048.0f) - left;
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

// The font's underline and strikeout: every layout of the module starts
// from these.
PangoAttrList* FontAttributes(const Font& font) {
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.Style() & kFontUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.Style() & kFontStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    return attrs;
}

float FromPango(int units) { return static_cast<float>(units) / PANGO_SCALE; }

RectF FromPango(const PangoRectangle& r) { return {FromPango(r.x), FromPango(r.y), FromPango(r.width), FromPango(r.height)}; }

// Pixels in Pango units, kept within what an int holds.
int ToPango(float pixels) {
    constexpr float kLimit = 1e6f;
    if (!std::isfinite(pixels)) return 0;
    return static_cast<int>(std::clamp(pixels, -kLimit, kLimit) * PANGO_SCALE);
}

}  // namespace

struct TextLayout::Impl {
    struct LayoutDeleter {
        void operator()(PangoLayout* p) const noexcept { g_object_unref(p); }
    };
    std::unique_ptr<PangoLayout, LayoutDeleter> layout{pango_layout_new(SharedPangoContext())};
    PointF origin;
    RectF bounds;
    std::optional<RectF> clip;
    int hotkey_index = -1;
    int length = 0;  // bytes of the text
    // The tab stops SetText last set, so that laying out again with the
    // same ones does not rebuild them.
    std::optional<std::pair<std::vector<float>, float>> tabs_set;
};

PangoLayout* TextLayoutAccess::Layout(const TextLayout& layout) { return layout.m_impl->layout.get(); }

TextLayout::TextLayout() : m_impl(std::make_unique<Impl>()) {}

TextLayout::TextLayout(std::string_view text_gbk, const Font& font, const StringFormat& format,
                       const RectF& layout_rect)
    : m_impl(std::make_unique<Impl>()) {
    PangoLayout* layout = m_impl->layout.get();
    const RectF rect{Finite(layout_rect.left), Finite(layout_rect.top), Finite(layout_rect.width),
                     Finite(layout_rect.height)};
    const bool bounded_width = rect.width > 0;
    const bool bounded_height = rect.height > 0;

    int& hotkey_index = m_impl->hotkey_index;
    std::string text = ApplyHotkeyPrefix(TextToUtf8(text_gbk), format.hotkey_prefix, &hotkey_index);
    pango_layout_set_font_description(layout, font.Description());
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    m_impl->length = static_cast<int>(std::strlen(pango_layout_get_text(layout)));

    PangoAttrList* attrs = FontAttributes(font);
    if (format.Has(kFormatNoFontFallback)) pango_attr_list_insert(attrs, pango_attr_fallback_new(FALSE));
    if (hotkey_index >= 0) {
        const char* start = text.c_str() + hotkey_index;
        const char* next = g_utf8_find_next_char(start, text.c_str() + text.size());
        PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        underline->start_index = static_cast<guint>(hotkey_index);
        underline->end_index = static_cast<guint>(next ? next - text.c_str() : static_cast<long>(text.size()));
        pango_attr_list_insert(attrs, underline);
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    if (PangoTabArray* tabs = BuildTabs(format, rect.width, 0)) {
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
    m_impl->origin = {x, y};
    m_impl->bounds = {x + lx, y, w, h};

    if (!format.Has(kFormatNoClip)) {
        m_impl->clip = RectF{bounded_width ? rect.left : -kUnbounded, bounded_height ? rect.top : -kUnbounded,
                       bounded_width ? rect.width : 2 * kUnbounded, bounded_height ? rect.height : 2 * kUnbounded};
    }
    if (line_band) {
        RectF band{-kUnbounded, y, 2 * kUnbounded, *line_band};
        if (m_impl->clip) {
            float top = std::max(m_impl->clip->top, band.top);
            float bottom = std::min(m_impl->clip->Bottom(), band.Bottom());
            m_impl->clip->top = top;
            m_impl->clip->height = std::max(0.0f, bottom - top);
        } else {
            m_impl->clip = band;
        }
    }
}

TextLayout::~TextLayout() = default;
TextLayout::TextLayout(TextLayout&&) noexcept = default;
TextLayout& TextLayout::operator=(TextLayout&&) noexcept = default;

void TextLayout::SetText(std::string_view utf8, const Font& font, const StringFormat& format, const TextFlow& flow) {
    PangoLayout* layout = m_impl->layout.get();
    pango_layout_set_font_description(layout, font.Description());
    PangoAttrList* attrs = FontAttributes(font);
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    const float left = std::isfinite(flow.left) ? std::clamp(flow.left, -kUnbounded, kUnbounded) : 0.0f;
    const float tab_start = format.first_tab_offset - left;
    if (!m_impl->tabs_set || m_impl->tabs_set->second != tab_start || m_impl->tabs_set->first != format.tab_stops) {
        PangoTabArray* tabs = BuildTabs(format, 0, left);
        pango_layout_set_tabs(layout, tabs);
        if (tabs != nullptr) pango_tab_array_free(tabs);
        m_impl->tabs_set.emplace(format.tab_stops, tab_start);
    }
    pango_layout_set_single_paragraph_mode(layout, flow.single_paragraph);
    if (flow.wrap_width > 0) {
        pango_layout_set_width(layout, ToPango(flow.wrap_width));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_width(layout, -1);
    }
    pango_layout_set_height(layout, -1);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
    const auto size = static_cast<gssize>(std::min<size_t>(utf8.size(), std::numeric_limits<int>::max()));
    if (g_utf8_validate(utf8.data(), size, nullptr)) {
        pango_layout_set_text(layout, utf8.data(), static_cast<int>(size));
    } else {
        gchar* valid = g_utf8_make_valid(utf8.data(), size);
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
    }
    m_impl->length = static_cast<int>(std::strlen(pango_layout_get_text(layout)));
    m_impl->origin = {};
    m_impl->bounds = PixelExtents();
    m_impl->clip.reset();
    m_impl->hotkey_index = -1;
}

PointF TextLayout::Origin() const { return m_impl->origin; }
RectF TextLayout::Bounds() const { return m_impl->bounds; }
std::optional<RectF> TextLayout::Clip() const { return m_impl->clip; }
bool TextLayout::HasHotkey() const { return m_impl->hotkey_index >= 0; }

int TextLayout::LineCount() const { return pango_layout_get_line_count(m_impl->layout.get()); }

RectF TextLayout::PixelExtents() const {
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(m_impl->layout.get(), nullptr, &logical);
    return {static_cast<float>(logical.x), static_cast<float>(logical.y), static_cast<float>(logical.width),
            static_cast<float>(logical.height)};
}

RectF TextLayout::CaretRect(int index) const {
    PangoLayout* layout = m_impl->layout.get();
    PangoRectangle pos{};
    pango_layout_index_to_pos(layout, std::clamp(index, 0, m_impl->length), &pos);
    return {FromPango(pos.x), FromPango(pos.y), 0, FromPango(pos.height)};
}

TextHit TextLayout::HitTest(PointF point) const {
    TextHit hit;
    pango_layout_xy_to_index(m_impl->layout.get(), ToPango(point.x), ToPango(point.y), &hit.index, &hit.trailing);
    return hit;
}

TextLine TextLayout::Line(int line) const {
    PangoLayout* layout = m_impl->layout.get();
    if (line < 0 || line >= LineCount()) return {};
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    for (int i = 0; i < line; ++i) pango_layout_iter_next_line(iter);
    const PangoLayoutLine* laid = pango_layout_iter_get_line_readonly(iter);
    PangoRectangle logical{};
    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
    TextLine out{laid->start_index, laid->length, FromPango(logical)};
    pango_layout_iter_free(iter);
    return out;
}

std::vector<RectF> TextLayout::SelectionRects(int from, int to, PointF origin) const {
    std::vector<RectF> rects;
    PangoLayout* layout = m_impl->layout.get();
    from = std::clamp(from, 0, m_impl->length);
    to = std::clamp(to, 0, m_impl->length);
    if (from >= to) return rects;
    const double x = origin.x;
    const double y = origin.y;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* visual = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle extents{};
        pango_layout_iter_get_line_extents(iter, nullptr, &extents);
        int* ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(visual, from, to, &ranges, &count);
        for (int r = 0; r < count; ++r) {
            const double x0 = x + static_cast<double>(ranges[2 * r]) / PANGO_SCALE;
            const double x1 = x + static_cast<double>(ranges[2 * r + 1]) / PANGO_SCALE;
            if (x1 <= x0) continue;
            rects.push_back({static_cast<float>(std::floor(x0)),
                             static_cast<float>(y + static_cast<double>(extents.y) / PANGO_SCALE),
                             static_cast<float>(std::ceil(x1) - std::floor(x0)),
                             static_cast<float>(static_cast<double>(extents.height) / PANGO_SCALE)});
        }
        g_free(ranges);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return rects;
}

}  // namespace dui
