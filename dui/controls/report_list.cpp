#include "dui/controls/report_list.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "dui/core/host_window.h"
#include "dui/core/messages.h"
#include "dui/core/text_style.h"
#include "util/gbk_text.h"

namespace dui {
namespace {

constexpr float kTolerance = 0.0000001f;
constexpr int kBar = ExScrollBar::kThickness;
// Keeps sums of hostile column widths and row counts far from overflow.
constexpr int kMaxColumnWidth = 1 << 20;
constexpr int64_t kMaxContent = INT_MAX / 2;
constexpr uint32_t kAccentRgb = 0xFF8800;  // red 0, green 136, blue 255

constexpr Argb Black(uint8_t alpha) { return ArgbOf(alpha, 0, 0, 0); }
constexpr Argb White(uint8_t alpha) { return ArgbOf(alpha, 255, 255, 255); }

int ClampContent(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, kMaxContent)); }

// Whether `needle` occurs in `text` starting at a character boundary.
bool ContainsAtCharacterStart(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    for (size_t i = 0; i + needle.size() <= text.size(); i += util::GbkCharLength(text, i)) {
        if (std::memcmp(text.data() + i, needle.data(), needle.size()) == 0) return true;
    }
    return false;
}

bool CellMatches(std::string_view cell, std::string_view text, bool whole, bool partial) {
    if (partial && !whole) return ContainsAtCharacterStart(cell, text);
    return cell == text;
}

}  // namespace

ExReportList::~ExReportList() { Destroy(); }

ControlHandle ExReportList::CreateReportList(ControlParent parent, float left, float top,
                                             float width, float height,
                                             ReportListOptions options) {
    if (GetHandle() != ControlHandle::None) return GetHandle();
    m_view = options.view;
    const bool known_view = m_view == ListView::Report || m_view == ListView::Icons ||
                            m_view == ListView::List;
    m_no_header = options.no_header || m_view != ListView::Report;
    m_grid_lines = options.grid_lines.value_or(m_view == ListView::Report
                                                   ? (kGridHorizontal | kGridVertical)
                                                   : 0);
    m_single_select = options.single_select;
    m_style.colour = options.text_colour.value_or(MakeArgb(0, 210));
    m_hover_text = options.hover_text;
    m_selected_text = options.selected_text;
    m_hover_back = options.hover_back;
    m_selected_back = options.selected_back;
    m_back_colour = options.back_colour.value_or(MakeArgb(0xFFFFFF, 210));
    m_border_colour = options.border_colour.value_or(MakeArgb(0, 80));
    if (options.font_face || options.font_size || options.font_style) {
        m_style.font = CreateFont(options.font_face ? *options.font_face : DefaultFont().Family(),
                            options.font_size.value_or(12), options.font_style.value_or(kFontRegular));
        m_style.own_font = true;
    } else {
        m_style.font = DefaultFont();
        m_style.own_font = false;
    }
    m_style.format = dui::StringFormat(kFormatNoWrap | kFormatMeasureTrailingSpaces);
    m_style.format.alignment = StringAlignment::Near;
    m_style.format.line_alignment = StringAlignment::Center;
    m_style.format.trimming = StringTrimming::EllipsisCharacter;
    m_style.format.hotkey_prefix = HotkeyPrefix::None;
    m_item_padding = m_view == ListView::Icons ? 6 : 4;
    if (!known_view) m_item_padding = 4;
    const ControlHandle handle = Create(parent, RectF{left, top, width, height},
                                        ControlKind::ReportList, options.visible, true);
    if (handle == ControlHandle::None) FreeFont();
    return handle;
}

// ---------------------------------------------------------------------------
// Geometry

void ExReportList::Layout() {
    const float w = Bounds().width, h = Bounds().height;
    const RectF inner{2, 2, std::max(0.0f, w - 4), std::max(0.0f, h - 4)};
    m_row_height = m_style.font.Height() + 3;
    int header_height = 0;
    if (!m_no_header) {
        const int icon = m_header_images ? m_header_images->icon_height : 0;
        header_height = std::max(m_row_height, icon) + 6;
    }
    header_height = std::min(header_height, static_cast<int>(inner.height));
    m_header_rect = {inner.left, inner.top, inner.width, static_cast<float>(header_height)};
    m_items_rect = {inner.left, inner.top + header_height, inner.width, inner.height - header_height};

    const int icon_height = m_item_images ? std::max(0, m_item_images->icon_height) : 0;
    if (m_view == ListView::Icons) {
        m_row_height += icon_height + 8;
        m_item_width = m_row_height + 20;
    } else if (icon_height >= m_row_height) {
        m_row_height = icon_height + 6;
    } else {
        m_row_height += 3;
    }
    m_row_height = std::max(1, m_row_height);
    RecomputeContentWidth();
    ClampScroll();
    InvalidateAll();
}

void ExReportList::RecomputeContentWidth() {
    int64_t sum = 0;
    for (const ExListColumn& column : m_columns) sum += column.width;
    m_sum_widths = ClampContent(sum);
}

int ExReportList::ItemsPerLine() const {
    if (m_view != ListView::Icons || m_item_width <= 0) return 1;
    return std::max(1, static_cast<int>(VisibleRect().width) / m_item_width);
}

ExReportList::Viewport ExReportList::ComputeViewport() const {
    Viewport vp;
    const RectF items = m_items_rect;
    const auto content_height = [&](float visible_width) -> int64_t {
        int64_t lines = static_cast<int64_t>(m_rows.size());
        if (m_view == ListView::Icons) {
            const int64_t across =
                m_item_width > 0 ? std::max<int64_t>(1, static_cast<int64_t>(visible_width) / m_item_width) : 1;
            lines = (lines + across - 1) / across;
        }
        return lines * m_row_height;
    };
    const auto content_width = [&](float visible_width) -> int {
        if (m_view != ListView::Report || m_sum_widths <= visible_width) {
            return static_cast<int>(std::max(0.0f, visible_width));
        }
        return ClampContent(int64_t{m_sum_widths} + 12);
    };
    // Each bar takes room from the other direction, so settle them together.
    for (int pass = 0; pass < 3; ++pass) {
        const float vw = std::max(0.0f, items.width - (vp.vbar ? kBar : 0));
        const float vh = std::max(0.0f, items.height - (vp.hbar ? kBar : 0));
        const bool need_v = static_cast<double>(content_height(vw)) - vh > kTolerance;
        const float vw2 = std::max(0.0f, items.width - (need_v ? kBar : 0));
        const bool need_h = content_width(vw2) - vw2 > kTolerance;
        if (need_v == vp.vbar && need_h == vp.hbar) break;
        vp.vbar = need_v;
        vp.hbar = need_h;
    }
    vp.visible = {items.left, items.top, std::max(0.0f, items.width - (vp.vbar ? kBar : 0)),
                  std::max(0.0f, items.height - (vp.hbar ? kBar : 0))};
    vp.content_width = content_width(vp.visible.width);
    return vp;
}

RectF ExReportList::VisibleRect() const { return ComputeViewport().visible; }

int ExReportList::ContentWidth() const { return ComputeViewport().content_width; }

int ExReportList::ContentHeight() const { return ClampContent(int64_t{LineCount()} * m_row_height); }

int ExReportList::LineCount() const {
    const int64_t count = static_cast<int64_t>(m_rows.size());
    if (m_view != ListView::Icons) return static_cast<int>(count);
    const int across = ItemsPerLine();
    return static_cast<int>((count + across - 1) / across);
}

int ExReportList::MaxScrollY() const {
    const Viewport vp = ComputeViewport();
    return std::max(0, ContentHeight() - static_cast<int>(vp.visible.height));
}

int ExReportList::MaxScrollX() const {
    const Viewport vp = ComputeViewport();
    return std::max(0, vp.content_width - static_cast<int>(vp.visible.width));
}

int ExReportList::LineOfRow(int row) const {
    if (m_view != ListView::Icons) return row;
    return (row - 1) / ItemsPerLine() + 1;
}

int ExReportList::FirstVisibleLine() const { return -m_scroll_y / m_row_height + 1; }

int ExReportList::LastVisibleLine() const {
    const int height = static_cast<int>(VisibleRect().height);
    if (height <= 0) return FirstVisibleLine() - 1;
    return static_cast<int>((int64_t{-m_scroll_y} + height - 1) / m_row_height) + 1;
}

int ExReportList::FirstVisible() const {
    if (m_rows.empty()) return 0;
    const int first = m_view == ListView::Icons ? (FirstVisibleLine() - 1) * ItemsPerLine() + 1
                                                : FirstVisibleLine();
    return first <= RowCount() ? first : 0;
}

int ExReportList::LastVisible() const {
    if (FirstVisible() == 0) return 0;
    const int64_t last = m_view == ListView::Icons ? int64_t{LastVisibleLine()} * ItemsPerLine()
                                                   : LastVisibleLine();
    return static_cast<int>(std::min<int64_t>(last, RowCount()));
}

int ExReportList::RowAtOffset(int y) const {
    const int line = y / m_row_height + 1;
    return m_view == ListView::Icons ? (line - 1) * ItemsPerLine() + 1 : line;
}

RectF ExReportList::RowRect(int row) const {
    const Viewport vp = ComputeViewport();
    const float line_top = static_cast<float>(int64_t{LineOfRow(row) - 1} * m_row_height + m_scroll_y);
    const auto height = static_cast<float>(m_row_height);
    switch (m_view) {
        case ListView::Report:
            return {static_cast<float>(m_scroll_x), line_top, static_cast<float>(vp.content_width), height};
        case ListView::Icons: {
            const int column = (row - 1) % ItemsPerLine();
            return {static_cast<float>(column * m_item_width), line_top, static_cast<float>(m_item_width),
                    height};
        }
        default:
            return {0, line_top, vp.visible.width, height};
    }
}

ExReportList::Hit ExReportList::HitTest(float x, float y) const {
    Hit hit;
    if (m_rows.empty()) return hit;
    const Viewport vp = ComputeViewport();
    if (!vp.visible.Contains(x, y)) return hit;
    const double content_y = static_cast<double>(y) - vp.visible.top - m_scroll_y;
    const auto line = static_cast<int64_t>(std::floor(content_y / m_row_height)) + 1;
    if (line < 1) return hit;
    int64_t row = line;
    if (m_view == ListView::Icons) {
        const int across = ItemsPerLine();
        const auto column = static_cast<int64_t>((x - vp.visible.left) / static_cast<float>(m_item_width));
        if (column < 0 || column >= across) return hit;
        row = (line - 1) * across + column + 1;
    }
    if (row > RowCount()) return hit;
    hit.found = true;
    hit.row = static_cast<int>(row);
    hit.column = 1;
    if (m_view == ListView::Report) {
        double edge = vp.visible.left + m_scroll_x;
        for (size_t i = 0; i < m_columns.size(); ++i) {
            edge += m_columns[i].width;
            if (edge >= x - kTolerance) {
                hit.column = static_cast<int>(i) + 1;
                break;
            }
        }
    }
    return hit;
}

// ---------------------------------------------------------------------------
// Scrolling and scroll bars

void ExReportList::CreateScrollBars() {
    const ControlHandle self = GetHandle();
    const RectF b = Bounds();
    ScrollBarOptions options;
    options.maximum = 0;
    options.visible = false;
    options.step = 5;
    options.orientation = ScrollOrientation::Horizontal;
    m_hscroll.CreateScrollBar(self, {b.left, b.top, kBar, kBar}, options);
    m_hscroll.OnChange([this](ControlHandle, ControlHandle, int position) { ScrollX(position); });
    options.step = 1;
    options.orientation = ScrollOrientation::Vertical;
    m_vscroll.CreateScrollBar(self, {b.left, b.top, kBar, kBar}, options);
    m_vscroll.OnChange([this](ControlHandle, ControlHandle, int position) { ScrollY(position); });
}

void ExReportList::LayoutScrollBars() { LayoutScrollBars(ComputeViewport()); }

void ExReportList::LayoutScrollBars(const Viewport& vp) {
    const RectF b = Bounds();
    const RectF& items = m_items_rect;
    if (m_vscroll.GetHandle() != ControlHandle::None) {
        m_vscroll.Move(b.left + items.Right() - kBar, b.top + items.top + 1, static_cast<float>(kBar),
                       std::max(0.0f, items.height - 2), false);
    }
    if (m_hscroll.GetHandle() != ControlHandle::None) {
        const float width = items.width - 2 - (vp.vbar ? kBar : 0);
        m_hscroll.Move(b.left + items.left + 1, b.top + items.Bottom() - kBar, std::max(0.0f, width),
                       static_cast<float>(kBar), false);
    }
}

void ExReportList::ClampScroll() {
    m_scroll_y = -std::clamp(-m_scroll_y, 0, MaxScrollY());
    m_scroll_x = -std::clamp(-m_scroll_x, 0, MaxScrollX());
}

void ExReportList::ClampScroll(int max_x, int max_y) {
    m_scroll_y = -std::clamp(-m_scroll_y, 0, max_y);
    m_scroll_x = -std::clamp(-m_scroll_x, 0, max_x);
}

int ExReportList::ScrollX(int position) {
    const int clamped = std::clamp(position, 0, MaxScrollX());
    if (m_hscroll.Position() != clamped) m_hscroll.Position(clamped);
    if (-clamped == m_scroll_x) return clamped;
    m_scroll_x = -clamped;
    InvalidateArea(m_header_rect);
    InvalidateArea(VisibleRect());
    return clamped;
}

int ExReportList::ScrollY(int position) {
    const int clamped = std::clamp(position, 0, MaxScrollY());
    if (m_vscroll.Position() != clamped) m_vscroll.Position(clamped);
    if (-clamped == m_scroll_y) return clamped;
    const int dy = -clamped - m_scroll_y;
    m_scroll_y = -clamped;
    ScrollPainted(dy);
    return clamped;
}

void ExReportList::ScrollPainted(int dy) {
    const RectF visible = VisibleRect();
    const bool fits = m_rows_bitmap && m_rows_bitmap->Width() == static_cast<int>(visible.width) &&
                      m_rows_bitmap->Height() == static_cast<int>(visible.height);
    if (!fits || std::abs(dy) >= static_cast<int>(visible.height)) {
        InvalidateArea(visible);
        return;
    }
    m_rows_bitmap->ScrollRows(dy);
    // What was still to be painted moved with the rows.
    const Region view(visible);
    Region moved = m_damage;
    moved.Intersect(view);
    m_damage.Subtract(view);
    moved.Translate(0, dy);
    moved.Intersect(view);
    m_damage.Union(moved);
    const float band = static_cast<float>(std::abs(dy));
    InvalidateArea({visible.left, dy > 0 ? visible.top : visible.Bottom() - band, visible.width, band});
}

void ExReportList::UpdateScrollRange() {
    // Runs for every row inserted: one viewport for the whole update.
    const Viewport vp = ComputeViewport();
    const int max_y = std::max(0, ContentHeight() - static_cast<int>(vp.visible.height));
    const int max_x = std::max(0, vp.content_width - static_cast<int>(vp.visible.width));
    const int old_x = m_scroll_x, old_y = m_scroll_y;
    ClampScroll(max_x, max_y);
    if (m_scroll_x != old_x) {
        InvalidateAll();
    } else if (m_scroll_y != old_y) {
        ScrollPainted(m_scroll_y - old_y);
    }
    if (m_vscroll.GetHandle() != ControlHandle::None) {
        if (m_vscroll.Maximum() != max_y) m_vscroll.Maximum(max_y);
        if (m_vscroll.Position() != -m_scroll_y) m_vscroll.Position(-m_scroll_y);
        if (m_vscroll.Visible() != vp.vbar) m_vscroll.Visible(vp.vbar);
    }
    if (m_hscroll.GetHandle() != ControlHandle::None) {
        if (m_hscroll.Maximum() != max_x) m_hscroll.Maximum(max_x);
        if (m_hscroll.Position() != -m_scroll_x) m_hscroll.Position(-m_scroll_x);
        if (m_hscroll.Visible() != vp.hbar) m_hscroll.Visible(vp.hbar);
    }
    LayoutScrollBars(vp);
}

void ExReportList::EnsureVisible(int row) {
    if (!CheckIndex(row) || (row >= FirstVisible() && row <= LastVisible())) return;
    const int64_t bottom = int64_t{LineOfRow(row)} * m_row_height;
    ScrollY(ClampContent(bottom - static_cast<int64_t>(VisibleRect().height)));
}

std::optional<RectF> ExReportList::RowRectInHost(int row) const {
    if (!CheckIndex(row) || row < FirstVisible() || row > LastVisible()) return std::nullopt;
    const RectF visible = VisibleRect();
    const RectF rect = RowRect(row);
    const RectF in_control = IntersectOf(
        RectF{visible.left + rect.left, visible.top + rect.top, rect.width, rect.height}, visible);
    if (in_control.IsEmpty()) return std::nullopt;
    // Bounds are in host client coordinates already, children included.
    return OffsetRect(in_control, Bounds().left, Bounds().top, 0, 0);
}

// ---------------------------------------------------------------------------
// Columns

int ExReportList::InsertColumn(int position, std::string title, int width,
                               std::optional<StringAlignment> alignment, int header_image) {
    const int count = ColumnCount();
    if (position < 0 || position > count + 1) return 0;
    const int index = position == 0 ? count + 1 : position;
    ExListColumn column;
    column.title = std::move(title);
    column.width = std::clamp(width, 0, kMaxColumnWidth);
    // The first column always starts near-aligned.
    column.alignment = count == 0 ? StringAlignment::Near : alignment.value_or(StringAlignment::Near);
    column.header_image = header_image;
    const auto at = static_cast<size_t>(index - 1);
    m_columns.insert(m_columns.begin() + static_cast<std::ptrdiff_t>(at), std::move(column));
    for (ExListRow& row : m_rows) {
        row.cell_texts.insert(row.cell_texts.begin() + static_cast<std::ptrdiff_t>(at), std::string());
        row.cell_images.insert(row.cell_images.begin() + static_cast<std::ptrdiff_t>(at), 0);
    }
    if (m_sort_column >= index) ++m_sort_column;
    RecomputeContentWidth();
    Notify(EX_LIST_COLUMNSCHANGED, 0, 1);
    return index;
}

bool ExReportList::DeleteColumn(int column) {
    if (!CheckIndex(std::nullopt, column)) return false;
    const auto at = static_cast<std::ptrdiff_t>(column - 1);
    m_columns.erase(m_columns.begin() + at);
    for (ExListRow& row : m_rows) {
        row.cell_texts.erase(row.cell_texts.begin() + at);
        row.cell_images.erase(row.cell_images.begin() + at);
    }
    if (m_hover_column > ColumnCount()) m_hover_column = ColumnCount();
    if (m_sort_column == column) {
        m_sort_column = 0;
        m_sort_direction = SortIndicator::None;
    } else if (m_sort_column > column) {
        --m_sort_column;
    }
    RecomputeContentWidth();
    Notify(EX_LIST_COLUMNSCHANGED, 0, 1);
    return true;
}

std::string ExReportList::ColumnTitle(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].title
                                            : std::string();
}

bool ExReportList::ColumnTitle(int column, std::string title) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].title = std::move(title);
    Notify(EX_LIST_COLUMNSCHANGED, 0, 0);
    return true;
}

int ExReportList::ColumnWidth(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].width : 0;
}

bool ExReportList::ColumnWidth(int column, int width) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].width = std::clamp(width, 0, kMaxColumnWidth);
    RecomputeContentWidth();
    Notify(EX_LIST_COLUMNSCHANGED, 0, 1);
    return true;
}

int ExReportList::ColumnImage(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].header_image : 0;
}

bool ExReportList::ColumnImage(int column, int index) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].header_image = index;
    Notify(EX_LIST_COLUMNSCHANGED, 0, 0);
    return true;
}

void ExReportList::SortColumn(int column, SortIndicator direction) {
    if (!CheckIndex(std::nullopt, column) || direction == SortIndicator::None) {
        column = 0;
        direction = SortIndicator::None;
    }
    if (column == m_sort_column && direction == m_sort_direction) return;
    m_sort_column = column;
    m_sort_direction = direction;
    InvalidateArea(m_header_rect);
}

// ---------------------------------------------------------------------------
// Rows

bool ExReportList::CheckIndex(std::optional<int> row, std::optional<int> column) const {
    if (row && (*row < 1 || *row > RowCount())) return false;
    if (column && (*column < 1 || *column > ColumnCount())) return false;
    return true;
}

void ExReportList::ShiftIndices(int from, int delta) {
    const auto shift = [&](int& index) {
        if (index >= from) index += delta;
    };
    shift(m_current_row);
    shift(m_hover_row);
}

bool ExReportList::Notify(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const ControlHandle self = GetHandle();
    if (self == ControlHandle::None) return true;
    // The dispatch path without its look-ups when nothing is bound: a list
    // being filled sends several of these per row. The list's own handling
    // never destroys it.
    if (!HasHandler(message)) {
        OnMessage(message, wparam, lparam);
        return true;
    }
    DispatchToControl(self, message, wparam, lparam);
    return ResolveControl(self) == this;
}

int ExReportList::InsertRow(int position, std::string first_cell_text, const ListRowOptions& options,
                            bool redraw) {
    const int count = RowCount();
    if (position < 0 || position > count + 1 || count == INT_MAX) return 0;
    const int index = position == 0 ? count + 1 : position;
    ExListRow row;
    const size_t columns = m_columns.size();
    row.cell_texts.resize(columns);
    row.cell_images.assign(columns, -1);
    if (columns > 0) {
        row.cell_texts[0] = std::move(first_cell_text);
        if (options.image) row.cell_images[0] = *options.image;
    }
    row.key = options.key;
    row.value = options.value;
    row.text_colour = options.text_colour.value_or(m_style.colour);
    row.inserted = ++m_insert_clock;
    m_rows.insert(m_rows.begin() + (index - 1), std::move(row));
    if (index <= count) ShiftIndices(index, 1);
    if (!Notify(EX_LIST_ROWSCHANGED, 0, 0)) return index;
    if (redraw) Notify(EX_LIST_ROWCHANGED, 1, index);
    return index;
}

bool ExReportList::DeleteRow(int row) {
    if (!CheckIndex(row)) return false;
    if (m_rows[static_cast<size_t>(row - 1)].selected_order != 0) --m_selected_count;
    m_rows.erase(m_rows.begin() + (row - 1));
    if (m_current_row == row) {
        m_current_row = 0;
        m_current_lit = false;
    }
    if (m_hover_row == row) {
        m_hover_row = 0;
        m_hover_column = 0;
    }
    ShiftIndices(row + 1, -1);
    if (!Notify(EX_LIST_ROWSCHANGED, 0, 0)) return true;
    Notify(EX_LIST_ROWCHANGED, 2, row);
    return true;
}

void ExReportList::Clear() {
    if (m_hover_row != 0 && GetHandle() != ControlHandle::None) TooltipText(std::string(), true);
    std::vector<ExListRow>().swap(m_rows);
    m_selected_count = 0;
    m_scroll_x = m_scroll_y = 0;
    m_hover_row = m_hover_column = 0;
    m_current_row = 0;
    m_current_lit = false;
    m_wheel_rest = 0;
    Notify(EX_LIST_CLEARED, 0, 0);
}

std::string ExReportList::CellText(int row, int column) const {
    if (!CheckIndex(row, column)) return {};
    return m_rows[static_cast<size_t>(row - 1)].cell_texts[static_cast<size_t>(column - 1)];
}

bool ExReportList::CellText(int row, int column, std::string text, bool redraw) {
    if (!CheckIndex(row, column)) return false;
    m_rows[static_cast<size_t>(row - 1)].cell_texts[static_cast<size_t>(column - 1)] = std::move(text);
    if (redraw) Notify(EX_LIST_ROWCHANGED, 0, row);
    return true;
}

int ExReportList::CellImage(int row, int column) const {
    if (!CheckIndex(row, column)) return 0;
    return m_rows[static_cast<size_t>(row - 1)].cell_images[static_cast<size_t>(column - 1)];
}

bool ExReportList::CellImage(int row, int column, int index) {
    if (!CheckIndex(row, column)) return false;
    m_rows[static_cast<size_t>(row - 1)].cell_images[static_cast<size_t>(column - 1)] = index;
    Notify(EX_LIST_ROWCHANGED, 0, row);
    return true;
}

int ExReportList::RowKey(int row) const {
    return CheckIndex(row) ? m_rows[static_cast<size_t>(row - 1)].key : 0;
}

bool ExReportList::RowKey(int row, int key) {
    if (!CheckIndex(row)) return false;
    m_rows[static_cast<size_t>(row - 1)].key = key;
    return true;
}

int ExReportList::RowValue(int row) const {
    return CheckIndex(row) ? m_rows[static_cast<size_t>(row - 1)].value : 0;
}

bool ExReportList::RowTextColour(int row, Argb colour, bool redraw) {
    if (!CheckIndex(row)) return false;
    m_rows[static_cast<size_t>(row - 1)].text_colour = colour;
    if (redraw) InvalidateRows(row, row);
    return true;
}

int ExReportList::RowState(int row) const {
    if (!CheckIndex(row)) return 0;
    const ExListRow& stored = m_rows[static_cast<size_t>(row - 1)];
    if (stored.state) return *stored.state;
    if (stored.selected_order != 0 || (row == m_current_row && m_current_lit)) return kRowSelected;
    return row == m_hover_row && !m_hover_select ? kRowHover : kRowNormal;
}

int ExReportList::RowState(int row, int state) {
    if (!CheckIndex(row)) return 0;
    m_rows[static_cast<size_t>(row - 1)].state = state;
    return state;
}

void ExReportList::Touch(int row) {
    if (!CheckIndex(row)) return;
    m_rows[static_cast<size_t>(row - 1)].state.reset();
    InvalidateRows(row, row);
}

// ---------------------------------------------------------------------------
// Order

void ExReportList::Reorder(const std::vector<size_t>& order) {
    std::vector<ExListRow> rows;
    rows.reserve(m_rows.size());
    std::vector<int> new_index(m_rows.size() + 1, 0);
    for (size_t i = 0; i < order.size(); ++i) {
        rows.push_back(std::move(m_rows[order[i]]));
        new_index[order[i] + 1] = static_cast<int>(i) + 1;
    }
    m_rows.swap(rows);
    m_current_row = new_index[static_cast<size_t>(m_current_row)];
    m_hover_row = new_index[static_cast<size_t>(m_hover_row)];
    InvalidateArea(VisibleRect());
}

void ExReportList::SortRows(const RowLess& less) {
    if (!less || m_rows.size() < 2) return;
    std::vector<size_t> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return less(m_rows[a], m_rows[b]); });
    Reorder(order);
}

bool ExReportList::ReorderRows(const std::vector<size_t>& order) {
    if (order.size() != m_rows.size()) return false;
    std::vector<bool> seen(order.size(), false);
    for (size_t index : order) {
        if (index >= seen.size() || seen[index]) return false;
        seen[index] = true;
    }
    Reorder(order);
    return true;
}

void ExReportList::RestoreRowOrder() {
    SortRows([](const ExListRow& a, const ExListRow& b) { return a.inserted < b.inserted; });
}

// ---------------------------------------------------------------------------
// Searching

int ExReportList::FindText(std::string_view text, int from_row, bool whole, bool partial,
                           int column) const {
    if (!CheckIndex(from_row)) return 0;
    const bool every_column = column == -1 && m_view == ListView::Report;
    if (column == -1 && !every_column) column = 1;
    if (!every_column && !CheckIndex(std::nullopt, column)) return 0;
    for (int row = from_row; row <= RowCount(); ++row) {
        const std::vector<std::string>& cells = m_rows[static_cast<size_t>(row - 1)].cell_texts;
        if (every_column) {
            for (const std::string& cell : cells) {
                if (CellMatches(cell, text, whole, partial)) return row;
            }
        } else if (CellMatches(cells[static_cast<size_t>(column - 1)], text, whole, partial)) {
            return row;
        }
    }
    return 0;
}

int ExReportList::FindKey(int key, int from_row) const {
    if (!CheckIndex(from_row)) return 0;
    for (int row = from_row; row <= RowCount(); ++row) {
        if (m_rows[static_cast<size_t>(row - 1)].key == key) return row;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Selection

void ExReportList::Select(int row) {
    ExListRow& stored = m_rows[static_cast<size_t>(row - 1)];
    if (stored.selected_order == 0) {
        stored.selected_order = ++m_selection_clock;
        ++m_selected_count;
    } else if (!stored.state) {
        return;
    }
    Touch(row);
}

void ExReportList::Unselect(int row) {
    ExListRow& stored = m_rows[static_cast<size_t>(row - 1)];
    if (stored.selected_order == 0 && !stored.state) return;
    if (stored.selected_order != 0) --m_selected_count;
    stored.selected_order = 0;
    Touch(row);
}

void ExReportList::ClearSelection() {
    LightCurrent(false);
    if (m_selected_count == 0) return;
    int first = 0, last = 0;
    for (int row = 1; row <= RowCount() && m_selected_count > 0; ++row) {
        ExListRow& stored = m_rows[static_cast<size_t>(row - 1)];
        if (stored.selected_order == 0) continue;
        stored.selected_order = 0;
        stored.state.reset();
        --m_selected_count;
        if (first == 0) first = row;
        last = row;
    }
    m_selected_count = 0;
    InvalidateRows(first, last);
}

void ExReportList::LightCurrent(bool lit) {
    if (m_current_lit == lit) return;
    m_current_lit = lit;
    Touch(m_current_row);
}

void ExReportList::MoveCurrent(int row) {
    if (row == m_current_row) return;
    LightCurrent(false);
    InvalidateRows(m_current_row, m_current_row);  // its focus outline goes
    m_current_row = row;
    Touch(row);
}

int ExReportList::CurrentRow(int row) {
    ClearSelection();
    MoveCurrent(CheckIndex(row) ? row : 0);
    LightCurrent(m_current_row != 0);
    return m_current_row;
}

bool ExReportList::SingleSelect(bool value) {
    if (value && !m_single_select) {
        // Single-select mode shows one selected row, the current one: rows
        // left selected by the other mode would stay lit, and no click in
        // this mode would clear them.
        const bool current_selected = IsSelected(m_current_row);
        ClearSelection();
        LightCurrent(current_selected);
    }
    return m_single_select = value;
}
bool ExReportList::HoverSelect(bool value) {
    if (value != m_hover_select) Touch(m_hover_row);
    return m_hover_select = value;
}

bool ExReportList::SelectRow(int row) {
    if (m_single_select || !CheckIndex(row)) return false;
    Select(row);
    return true;
}

bool ExReportList::DeselectRow(int row) {
    if (!CheckIndex(row)) return false;
    Unselect(row);
    if (row == m_current_row) LightCurrent(false);
    return true;
}

std::vector<int> ExReportList::Selection() const {
    std::vector<std::pair<uint64_t, int>> selected;
    selected.reserve(static_cast<size_t>(m_selected_count));
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].selected_order != 0) selected.emplace_back(m_rows[i].selected_order, static_cast<int>(i) + 1);
    }
    std::sort(selected.begin(), selected.end());
    std::vector<int> rows;
    rows.reserve(selected.size());
    for (const auto& entry : selected) rows.push_back(entry.second);
    return rows;
}

bool ExReportList::IsSelected(int row) const { return RowState(row) == kRowSelected; }

int ExReportList::SelectionIndexOf(int row) const {
    if (!CheckIndex(row)) return 0;
    const uint64_t order = m_rows[static_cast<size_t>(row - 1)].selected_order;
    if (order == 0) return 0;
    int before = 0;
    for (const ExListRow& other : m_rows) before += other.selected_order != 0 && other.selected_order < order;
    return before + 1;
}

void ExReportList::SetHoverRow(int row, int column) {
    m_hover_column = column;
    if (row == m_hover_row) return;
    const int old = m_hover_row;
    m_hover_row = row;
    // A selected row keeps its look under the pointer.
    if (old != 0 && !IsSelected(old)) Touch(old);
    if (row != 0 && !IsSelected(row)) Touch(row);
}

// ---------------------------------------------------------------------------
// Looks

const std::string& ExReportList::EmptyText(std::string text) {
    if (text == m_empty_text) return m_empty_text;
    m_empty_text = std::move(text);
    if (m_rows.empty()) Invalidate();
    return m_empty_text;
}

int ExReportList::GridLines(int flags) {
    if (flags == m_grid_lines) return m_grid_lines;
    m_grid_lines = flags;
    InvalidateArea(VisibleRect());
    return m_grid_lines;
}

void ExReportList::SetImageLists(std::optional<ExImageList> spare, std::optional<ExImageList> header,
                                 std::optional<ExImageList> items) {
    if (spare) m_spare_images = std::move(spare);
    if (header) m_header_images = std::move(header);
    if (items) m_item_images = std::move(items);
    if (GetHandle() == ControlHandle::None) return;
    Layout();
    UpdateScrollRange();
}

void ExReportList::FreeFont() {
    m_style.font = DefaultFont();
    m_style.own_font = false;
}

uint32_t ExReportList::AccentRgb() const {
    const ExHostWindow* host = Host();
    const int32_t shadow = host != nullptr ? host->ShadowColour() : 0;
    return shadow > 0 ? static_cast<uint32_t>(shadow) : kAccentRgb;
}

// ---------------------------------------------------------------------------
// Updates

void ExReportList::InvalidateArea(const RectF& rect) {
    if (GetHandle() == ControlHandle::None || Host() == nullptr || rect.IsEmpty()) return;
    m_damage.Union(Region(rect));
    Invalidate();
}

void ExReportList::InvalidateRows(int first, int last) {
    if (first < 1 || first > last) return;
    // A row below anything the items area can show costs no viewport: a
    // list being filled changes such rows all the time.
    const int64_t lowest_line = (int64_t{-m_scroll_y} + static_cast<int64_t>(m_items_rect.height)) / m_row_height + 1;
    if (LineOfRow(first) > lowest_line) return;
    // Lines past the last row are in view too: a deleted row leaves one.
    const int last_visible = LastVisibleLine();
    const int first_line = std::max(LineOfRow(first), FirstVisibleLine());
    const int last_line = last >= RowCount() ? last_visible : std::min(LineOfRow(last), last_visible);
    if (first_line > last_line) return;
    const RectF visible = VisibleRect();
    const double top = visible.top + double(first_line - 1) * m_row_height + m_scroll_y;
    const double height = double(last_line - first_line + 1) * m_row_height;
    InvalidateArea(IntersectOf(
        RectF{visible.left, static_cast<float>(top), visible.width, static_cast<float>(height)}, visible));
}

void ExReportList::InvalidateAll() {
    InvalidateArea({0, 0, Bounds().width, Bounds().height});
}

bool ExReportList::RepaintFrom(int row) {
    if (!CheckIndex(row) || row < FirstVisible() || row > LastVisible()) return false;
    InvalidateRows(row, LastVisible());
    return true;
}

bool ExReportList::RepaintRow(int row) {
    if (!CheckIndex(row) || row < FirstVisible() || row > LastVisible()) return false;
    InvalidateRows(row, row);
    return true;
}

void ExReportList::PaintRow(int row, bool also_compose) {
    if (!RepaintRow(row)) return;
    if (also_compose) PaintNow();
}

void ExReportList::BuildFrame() {
    if (!m_frame_bitmap) return;
    ExCanvas& frame = *m_frame_bitmap;
    frame.Clear(m_back_colour);
    frame.DrawBorder({0, 0, static_cast<float>(frame.Width()), static_cast<float>(frame.Height())},
                     kBorderSolid, m_border_colour);
}

void ExReportList::BuildHeader() {
    if (!m_header_bitmap || m_view != ListView::Report) return;
    ExCanvas& header = *m_header_bitmap;
    const auto width = static_cast<float>(header.Width());
    const auto height = static_cast<float>(header.Height());
    header.Clear(0);
    header.FillRect({0, 0, width, height}, White(204));
    header.DrawBorder({0, 0, width, height}, kBorderSolid, White(153));
    TextStyle style = m_style;
    style.colour = Black(210);
    float x = static_cast<float>(m_scroll_x);
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const ExListColumn& column = m_columns[i];
        const auto w = static_cast<float>(column.width);
        const RectF cell{x, 0, w, height};
        x += w;
        if (w <= 0 || cell.Right() < 0) continue;
        if (cell.left >= width) break;
        RectF text = OffsetRect(cell, 1, 1, -2, -2);
        if (const ExImage* icon = m_header_images ? m_header_images->Icon(column.header_image) : nullptr) {
            const auto iw = static_cast<float>(m_header_images->icon_width);
            const auto ih = static_cast<float>(m_header_images->icon_height);
            header.DrawImage(*icon, {text.left + 2, std::floor((height - ih) / 2), iw, ih});
            text = OffsetRect(text, iw + 4, 0, -(iw + 4), 0);
        }
        style.format.alignment = column.alignment;
        header.SaveClip();
        header.SetClipRect(cell, CombineMode::Intersect);
        DrawStyledText(header, text, column.title, style, *this);
        header.RestoreClip();
        header.DrawLine(cell.Right() - 1, 0, cell.Right() - 1, height - 1, Black(51));
        if (static_cast<int>(i) + 1 == m_sort_column) DrawSortIndicator(header, cell);
    }
}

void ExReportList::DrawSortIndicator(ExCanvas& header, const RectF& cell) {
    // A small filled triangle at the right end of the column's header.
    constexpr float kHalfBase = 3.5f, kDepth = 4;
    const float cx = cell.Right() - 8.5f;
    const float cy = std::floor(cell.top + cell.height / 2);
    const float tip = m_sort_direction == SortIndicator::Ascending ? -kDepth / 2 : kDepth / 2;
    Path triangle(Path::FillMode::Winding);
    triangle.AddLine({cx - kHalfBase, cy - tip}, {cx + kHalfBase, cy - tip});
    triangle.AddLine({cx + kHalfBase, cy - tip}, {cx, cy + tip});
    triangle.AddLine({cx, cy + tip}, {cx - kHalfBase, cy - tip});
    triangle.CloseFigure();
    header.FillPath(triangle, Black(150));
}

void ExReportList::BuildRows(bool full) {
    if (!m_rows_bitmap) return;
    const RectF visible = VisibleRect();
    Region area(visible);
    if (!full) area.Intersect(m_damage);
    if (area.IsEmpty()) return;
    if (m_view != ListView::Report && m_view != ListView::Icons && m_view != ListView::List) return;
    // One copy of the style per pass; each cell sets its colour and alignment.
    TextStyle style = m_style;
    // Painting reads the focus; asking the control (HasFocus) would send a
    // message a bound handler could act on in the middle of the paint.
    const bool focused = Host() != nullptr && Host()->FocusedControl() == GetHandle();
    const int first_visible = FirstVisibleLine(), last_visible = LastVisibleLine();
    int painted_to = 0;  // lines of earlier rectangles are not painted twice
    for (int i = 0; i < area.RectangleCount(); ++i) {
        const RectF rect = area.RectangleAt(i);
        const auto line_at = [&](double y) {
            return static_cast<int>(std::floor((y - visible.top - m_scroll_y) / m_row_height)) + 1;
        };
        const int first = std::max({line_at(rect.top), first_visible, painted_to + 1});
        const int last = std::min(line_at(double(rect.Bottom()) - 1), last_visible);
        for (int line = first; line <= last; ++line) PaintLine(*m_rows_bitmap, line, style, focused);
        painted_to = std::max(painted_to, last);
    }
}

void ExReportList::PaintLine(ExCanvas& rows, int line, TextStyle& style, bool focused) {
    const auto top = static_cast<float>(int64_t{line - 1} * m_row_height + m_scroll_y);
    const RectF band{0, top, static_cast<float>(rows.Width()), static_cast<float>(m_row_height)};
    rows.SaveClip();
    rows.SetClipRect(band, CombineMode::Replace);
    rows.Clear(0);
    if (m_view == ListView::Icons) {
        const int across = ItemsPerLine();
        const int64_t first_row = int64_t{line - 1} * across + 1;
        for (int i = 0; i < across && first_row + i <= RowCount(); ++i) {
            const RectF cell{static_cast<float>(i * m_item_width), top, static_cast<float>(m_item_width),
                             static_cast<float>(m_row_height)};
            PaintItem(rows, static_cast<int>(first_row + i), cell, true, style, focused);
        }
    } else if (line <= RowCount()) {
        if (m_view == ListView::Report) {
            PaintReportRow(rows, line, RowRect(line), style, focused);
        } else {
            PaintItem(rows, line, band, false, style, focused);
        }
    }
    rows.RestoreClip();
}

void ExReportList::PaintReportRow(ExCanvas& rows, int row_index, const RectF& rect,
                                  TextStyle& style, bool focused) {
    const ExListRow& row = m_rows[static_cast<size_t>(row_index - 1)];
    const float bitmap_width = static_cast<float>(rows.Width());
    Argb back = 0;
    style.colour = row.text_colour;
    if (LookColours(row_index, back, style.colour)) rows.FillRect(rect, back);
    float x = rect.left;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const ExListColumn& column = m_columns[i];
        const auto w = static_cast<float>(column.width);
        const RectF cell{x, rect.top, w, rect.height};
        x += w;
        if (w <= 0 || cell.Right() < 0) continue;
        if (cell.left >= bitmap_width) break;
        RectF text = OffsetRect(cell, static_cast<float>(m_item_padding), 0,
                                -2.0f * static_cast<float>(m_item_padding), 0);
        const int image = row.cell_images[i];
        if (const ExImage* icon = m_item_images ? m_item_images->Icon(image) : nullptr) {
            const auto iw = static_cast<float>(m_item_images->icon_width);
            const auto ih = static_cast<float>(m_item_images->icon_height);
            rows.DrawImage(*icon, {text.left, std::floor(cell.top + (cell.height - ih) / 2), iw, ih});
            text = OffsetRect(text, iw + 2, 0, -(iw + 2), 0);
        }
        if (!row.cell_texts[i].empty() && text.width > 0) {
            style.format.alignment = column.alignment;
            rows.SaveClip();
            rows.SetClipRect(cell, CombineMode::Intersect);
            DrawStyledText(rows, text, row.cell_texts[i], style, *this);
            rows.RestoreClip();
        }
        if (m_grid_lines & kGridVertical) {
            rows.DrawLine(cell.Right() - 1, cell.top, cell.Right() - 1, cell.Bottom() - 1, Black(51));
        }
    }
    if (m_grid_lines & kGridHorizontal) {
        const float right = std::min(rect.Right(), bitmap_width) - 1;
        rows.DrawLine(std::max(rect.left, 0.0f), rect.Bottom() - 1, right, rect.Bottom() - 1, Black(51));
    }
    if (row_index == m_current_row && focused && RowState(row_index) == kRowSelected) {
        const RectF outline{std::max(rect.left, 0.0f), rect.top,
                            std::min(rect.Right(), bitmap_width) - std::max(rect.left, 0.0f), rect.height};
        rows.DrawBorder(outline, kBorderDashed);
    }
}

void ExReportList::PaintItem(ExCanvas& rows, int row_index, const RectF& rect, bool icon_above,
                             TextStyle& style, bool focused) {
    const ExListRow& row = m_rows[static_cast<size_t>(row_index - 1)];
    const RectF area = icon_above ? OffsetRect(rect, 2, 2, -4, -4) : rect;
    Argb back = 0;
    Argb text_colour = row.text_colour;
    if (LookColours(row_index, back, text_colour)) rows.FillRect(area, back);
    const std::string empty;
    const std::string& caption = row.cell_texts.empty() ? empty : row.cell_texts[0];
    const int image = row.cell_images.empty() ? -1 : row.cell_images[0];
    const ExImage* icon = m_item_images ? m_item_images->Icon(image) : nullptr;
    const float iw = icon ? static_cast<float>(m_item_images->icon_width) : 0;
    const float ih = icon ? static_cast<float>(m_item_images->icon_height) : 0;
    const auto pad = static_cast<float>(m_item_padding);
    style.colour = text_colour;
    RectF text;
    if (icon_above) {
        // Icon centred at the top, the caption centred below it.
        if (icon) rows.DrawImage(*icon, {std::floor(area.left + (area.width - iw) / 2), area.top + 2, iw, ih});
        text = {area.left + 2, area.top + 2 + ih, area.width - 4, area.Bottom() - (area.top + 2 + ih)};
        style.format.alignment = StringAlignment::Center;
    } else {
        // Icon at the left edge, the caption after it.
        if (icon) rows.DrawImage(*icon, {area.left + pad, std::floor(area.top + (area.height - ih) / 2), iw, ih});
        const float start = area.left + pad + (icon ? iw + 4 : 0);
        text = {start, area.top, area.Right() - start - pad, area.height};
        style.format.alignment = StringAlignment::Near;
    }
    if (!caption.empty() && text.width > 0 && text.height > 0) {
        rows.SaveClip();
        rows.SetClipRect(area, CombineMode::Intersect);
        DrawStyledText(rows, text, caption, style, *this);
        rows.RestoreClip();
    }
    if (row_index == m_current_row && focused && RowState(row_index) == kRowSelected) {
        rows.DrawBorder(area, kBorderDashed);
    }
}

bool ExReportList::LookColours(int row, Argb& back, Argb& text) const {
    switch (RowState(row)) {
        case kRowHover:
            back = m_hover_back != 0 ? m_hover_back : MakeArgb(AccentRgb(), 51);
            if (m_hover_text != 0) text = m_hover_text;
            return true;
        case kRowSelected:
            back = m_selected_back != 0 ? m_selected_back : MakeArgb(AccentRgb(), 102);
            if (m_selected_text != 0) text = m_selected_text;
            return true;
        default:
            return false;
    }
}

void ExReportList::DrawEmptyText(ExCanvas& canvas) {
    if (!m_rows.empty() || m_empty_text.empty()) return;
    const RectF visible = VisibleRect();
    if (visible.IsEmpty()) return;
    TextStyle style = m_style;
    style.format.alignment = StringAlignment::Center;
    canvas.SaveClip();
    canvas.SetClipRect(visible, CombineMode::Intersect);
    DrawStyledText(canvas, visible, m_empty_text, style, *this);
    canvas.RestoreClip();
}

void ExReportList::Compose() {
    ExCanvas* canvas = BeginPaint();
    if (canvas == nullptr) return;
    if (m_frame_bitmap) canvas->DrawImageNatural(*m_frame_bitmap, {0, 0, 0, 0}, false);
    const bool known_view = m_view == ListView::Report || m_view == ListView::Icons ||
                            m_view == ListView::List;
    if (known_view) {
        const RectF visible = VisibleRect();
        if (m_header_bitmap && m_header_rect.height > 0) {
            canvas->DrawImageNatural(*m_header_bitmap, m_header_rect, false);
        }
        if (m_rows_bitmap) canvas->DrawImageNatural(*m_rows_bitmap, visible, false);
        DrawEmptyText(*canvas);
    }
    EndPaint();
}

// ---------------------------------------------------------------------------
// Input

void ExReportList::FireRow(const ListRowHandler& handler, int row) {
    if (!handler) return;
    // A copy: the handler may rebind it, clear the list or destroy it.
    const ListRowHandler call = handler;
    call(GetHandle(), row);
}

void ExReportList::UpdateHover(float x, float y, bool tooltip) {
    const Hit hit = HitTest(x, y);
    const int row = hit.found ? hit.row : 0;
    const int column = hit.found ? hit.column : 0;
    if (m_hover_select) {
        m_hover_row = row;
        m_hover_column = column;
        if (row == 0 || row == m_current_row) return;
        const ControlHandle self = GetHandle();
        FireRow(m_on_current_changed, row);
        if (ResolveControl(self) != this || !CheckIndex(row)) return;
        MoveCurrent(row);
        LightCurrent(true);
        return;
    }
    const int old = m_hover_row;
    if (row != 0) {
        if (tooltip && (row != old || column != m_hover_column)) TooltipText(CellText(row, column), true);
    } else if (tooltip && old != 0) {
        TooltipText(std::string(), true);
    }
    SetHoverRow(row, column);
}

intptr_t ExReportList::OnPointerDown(const PointerEvent& event) {
    const float x = event.point.x, y = event.point.y;
    if (event.button == PointerButton::Left) m_pressed_header = HeaderColumnAt(x, y);
    // The pointer may have moved without a move message (a wheel scroll
    // under a still pointer): the press acts on the row under it.
    UpdateHover(x, y, false);
    const Hit hit = HitTest(x, y);
    if (!hit.found) return kNotHandled;
    const int row = hit.row;
    const ControlHandle self = GetHandle();
    FireRow(m_on_current_changed, row);
    if (ResolveControl(self) != this || !CheckIndex(row)) return kNotHandled;

    if (m_single_select) {
        MoveCurrent(row);
        LightCurrent(true);
        return kNotHandled;
    }
    const int old = m_current_row;
    const bool ctrl = event.modifiers.control;
    const bool shift = event.modifiers.shift && CheckIndex(old);
    const bool right = event.button == PointerButton::Right;
    if (ctrl) {
        if (IsSelected(row) || SelectionIndexOf(row) != 0) {
            DeselectRow(row);
        } else {
            Select(row);
        }
    } else if (shift) {
        ClearSelection();
        const int from = std::min(old, row), to = std::max(old, row);
        for (int r = from; r <= to; ++r) {
            ExListRow& stored = m_rows[static_cast<size_t>(r - 1)];
            stored.selected_order = ++m_selection_clock;
            stored.state.reset();
        }
        m_selected_count = to - from + 1;
        InvalidateRows(from, to);
    } else if (!(right && IsSelected(row))) {
        ClearSelection();
        Select(row);
    }
    if (!shift) MoveCurrent(row);
    return kNotHandled;
}

intptr_t ExReportList::OnPointerUp(const PointerEvent& event) {
    const float x = event.point.x, y = event.point.y;
    const bool left = event.button == PointerButton::Left;
    const int pressed_header = m_pressed_header;
    m_pressed_header = 0;
    if (left && pressed_header != 0 && HeaderColumnAt(x, y) == pressed_header) {
        Notify(EX_MSG_HEADERCLICK, static_cast<uintptr_t>(pressed_header), 0);
        return kNotHandled;
    }
    const Hit hit = HitTest(x, y);
    if (hit.found && hit.row == m_current_row) FireRow(left ? m_on_left_click : m_on_right_click, hit.row);
    return kNotHandled;
}

intptr_t ExReportList::OnPointerMove(const PointerEvent& event) {
    UpdateHover(event.point.x, event.point.y, true);
    return kNotHandled;
}

int ExReportList::HeaderColumnAt(float x, float y) const {
    if (m_view != ListView::Report || m_header_rect.height <= 0 || !m_header_rect.Contains(x, y)) return 0;
    double edge = m_header_rect.left + m_scroll_x;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const double right = edge + m_columns[i].width;
        if (m_columns[i].width > 0 && x >= edge && x < right) return static_cast<int>(i) + 1;
        edge = right;
    }
    return 0;
}

intptr_t ExReportList::OnPointerWheel(const WheelEvent& event) {
    // Without a range the wheel is not the list's: the host offers it to
    // the focused control instead.
    const bool horizontal = event.modifiers.shift;
    if (horizontal ? MaxScrollX() <= 0 : MaxScrollY() <= 0) return kNotHandled;
    m_wheel_rest += event.delta;
    const int notches = m_wheel_rest / plat::WHEEL_DELTA;
    m_wheel_rest %= plat::WHEEL_DELTA;
    if (notches == 0) return 0;
    if (horizontal) {
        const int64_t step = int64_t{m_row_height} * 3;
        ScrollX(ClampContent(int64_t{-m_scroll_x} - notches * step));
        return 0;
    }
    const int64_t step = m_view == ListView::Report ? int64_t{m_row_height} * 3 : m_row_height;
    ScrollY(ClampContent(int64_t{-m_scroll_y} - notches * step));
    return 0;
}

intptr_t ExReportList::OnKeyDown(const KeyEvent& event) {
    // Keys with Alt belong to the window's shortcuts.
    return !event.modifiers.alt && MoveByKey(event.key) ? 0 : kNotHandled;
}

void ExReportList::OnFocusIn(ControlHandle) { InvalidateRows(m_current_row, m_current_row); }

void ExReportList::OnFocusOut(ControlHandle) { InvalidateRows(m_current_row, m_current_row); }

void ExReportList::OnSized(float, float) {
    Layout();
    UpdateScrollRange();
}

bool ExReportList::MoveByKey(int key) {
    if (m_rows.empty()) return false;
    const int across = m_view == ListView::Icons ? ItemsPerLine() : 1;
    const int64_t page = std::max(1, static_cast<int>(VisibleRect().height) / m_row_height) * int64_t{across};
    const int64_t current = m_current_row;
    int64_t row = 0;
    switch (key) {
        case plat::VK_UP: row = current == 0 ? 1 : current - across; break;
        case plat::VK_DOWN: row = current == 0 ? 1 : current + across; break;
        case plat::VK_PRIOR: row = current - page; break;
        case plat::VK_NEXT: row = current == 0 ? page : current + page; break;
        case plat::VK_HOME: row = 1; break;
        case plat::VK_END: row = RowCount(); break;
        default: return false;
    }
    const int target = static_cast<int>(std::clamp<int64_t>(row, 1, RowCount()));
    if (target != m_current_row) {
        const ControlHandle self = GetHandle();
        FireRow(m_on_current_changed, target);
        if (ResolveControl(self) != this || !CheckIndex(target)) return true;
        ClearSelection();
        if (!m_single_select) Select(target);
        MoveCurrent(target);
        LightCurrent(m_single_select);
    }
    ScrollRowIntoView(target);
    return true;
}

void ExReportList::ScrollRowIntoView(int row) {
    const int height = static_cast<int>(VisibleRect().height);
    const int64_t top = int64_t{LineOfRow(row) - 1} * m_row_height;
    const int64_t bottom = top + m_row_height;
    const int64_t view_top = -m_scroll_y;
    if (top >= view_top && bottom <= view_top + height) return;
    // The least movement that shows the row whole: a row below the view
    // comes up to the bottom edge, one above it down to the top edge.
    ScrollY(ClampContent(top < view_top ? top : bottom - height));
}

void ExReportList::Paint() {
    if (m_range_stale) {
        m_range_stale = false;
        const ControlHandle self = GetHandle();
        UpdateScrollRange();
        // Within a frame the bars are painted now, so that they reach the
        // screen with the rows rather than one frame later.
        for (ExScrollBar* bar : {&m_vscroll, &m_hscroll}) {
            if (bar->GetHandle() != ControlHandle::None && bar->Dirty() && bar->Visible()) bar->PaintNow();
            if (ResolveControl(self) != this) return;
        }
    }
    const RectF b = Bounds();
    const RectF visible = VisibleRect();
    const auto ensure = [](std::unique_ptr<ExCanvas>& bitmap, float w, float h) {
        const int width = static_cast<int>(std::max(0.0f, w));
        const int height = static_cast<int>(std::max(0.0f, h));
        if (bitmap && bitmap->Width() == width && bitmap->Height() == height) return false;
        bitmap = width > 0 && height > 0 ? CreateCanvas(width, height) : nullptr;
        return true;
    };
    if (ensure(m_frame_bitmap, b.width, b.height)) BuildFrame();
    if (ensure(m_header_bitmap, m_header_rect.width, m_header_rect.height)) m_damage.Union(Region(m_header_rect));
    if (ensure(m_rows_bitmap, visible.width, visible.height)) m_damage.Union(Region(visible));
    Region header(m_header_rect);
    header.Intersect(m_damage);
    if (!header.IsEmpty()) BuildHeader();
    BuildRows(false);
    m_damage = Region();
    Compose();
}

intptr_t ExReportList::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case plat::WM_CREATE:
            Layout();
            CreateScrollBars();
            UpdateScrollRange();
            break;
        case plat::WM_PAINT:
            Paint();
            break;
        case EX_LIST_ROWCHANGED: {
            const int row = static_cast<int>(lparam);
            // An insertion or deletion moves every row after it; a deletion
            // may leave the view beyond the end.
            InvalidateRows(row, wparam == 0 ? row : INT_MAX);
            if (wparam == 2) ScrollY(ScrollY());
            return 0;
        }
        case EX_LIST_CLEARED:
            ScrollX(0);
            ScrollY(0);
            if (!Notify(EX_LIST_ROWSCHANGED, 0, 0)) return 0;
            InvalidateAll();
            return 0;
        case EX_LIST_ROWSCHANGED:
            // Recomputed once at the frame, not once per row of a batch.
            m_range_stale = true;
            Invalidate();
            return 0;
        case EX_LIST_COLUMNSCHANGED:
            InvalidateArea(m_header_rect);
            if (lparam == 1) InvalidateArea(VisibleRect());
            UpdateScrollRange();
            return 0;
        case EX_MSG_MOUSELEAVE:
            SetHoverRow(0, 0);
            break;
        case EX_MSG_REPAINTSTATE:
            if (m_single_select) {
                InvalidateRows(m_current_row, m_current_row);
            } else {
                Invalidate();
            }
            break;
        case EX_MSG_ALPHACHANGED:
            m_hscroll.Alpha(static_cast<int>(lparam));
            m_vscroll.Alpha(static_cast<int>(lparam));
            break;
        case plat::WM_DESTROY:
            ReleaseResources();
            break;
        default:
            return ExControl::OnMessage(message, wparam, lparam);
    }
    return kNotHandled;
}

void ExReportList::ReleaseResources() {
    m_frame_bitmap.reset();
    m_header_bitmap.reset();
    m_rows_bitmap.reset();
    std::vector<ExListRow>().swap(m_rows);
    std::vector<ExListColumn>().swap(m_columns);
    m_selected_count = 0;
    m_scroll_x = m_scroll_y = 0;
    m_hover_row = m_hover_column = m_current_row = 0;
    m_current_lit = false;
    m_sum_widths = 0;
    m_damage = Region();
    FreeFont();
    m_style.format = {};
}

}  // namespace dui
