#include "dui/controls/report_list.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "dui/core/host_window.h"
#include "dui/core/messages.h"
#include "dui/core/text_style.h"

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

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Whether `needle` occurs in `text` starting at a character boundary.
bool ContainsAtCharacterStart(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    for (size_t i = 0; i + needle.size() <= text.size();) {
        if (std::memcmp(text.data() + i, needle.data(), needle.size()) == 0) return true;
        const auto c = static_cast<unsigned char>(text[i]);
        const bool pair = IsGbkLead(c) && i + 1 < text.size() &&
                          IsGbkTrail(static_cast<unsigned char>(text[i + 1]));
        i += pair ? 2 : 1;
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
    MarkAll();
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
    m_hscroll.CreateScrollBar(self, b.left, b.top, kBar, kBar, 0, 0, 10, 5, true,
                              ScrollOrientation::Horizontal, false);
    m_hscroll.OnChange([this](ControlHandle, ControlHandle, int position) { SetScrollX(position); });
    m_vscroll.CreateScrollBar(self, b.left, b.top, kBar, kBar, 0, 0, 10, 1, true,
                              ScrollOrientation::Vertical, false);
    m_vscroll.OnChange([this](ControlHandle, ControlHandle, int position) { SetScrollY(position); });
}

void ExReportList::LayoutScrollBars() {
    const Viewport vp = ComputeViewport();
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

void ExReportList::SetScrollX(int position) {
    const int clamped = std::clamp(position, 0, MaxScrollX());
    if (m_hscroll.Position() != clamped) m_hscroll.Position(clamped);
    if (-clamped == m_scroll_x) return;
    m_scroll_x = -clamped;
    m_dirty_header = true;
    m_dirty_all_rows = true;
    RequestUpdate();
}

void ExReportList::SetScrollY(int position) {
    const int clamped = std::clamp(position, 0, MaxScrollY());
    if (m_vscroll.Position() != clamped) m_vscroll.Position(clamped);
    if (-clamped == m_scroll_y) return;
    m_scroll_y = -clamped;
    // The rows bitmap is shifted and only the exposed lines are painted
    // when the update runs.
    RequestUpdate();
}

void ExReportList::ApplyRange() {
    const Viewport vp = ComputeViewport();
    ClampScroll();
    const int max_y = MaxScrollY();
    const int max_x = MaxScrollX();
    if (m_vscroll.GetHandle() != ControlHandle::None) {
        if (m_vscroll.Step() != m_row_height) m_vscroll.Step(m_row_height);
        if (m_vscroll.Maximum() != max_y) m_vscroll.Maximum(max_y);
        if (m_vscroll.Position() != -m_scroll_y) m_vscroll.Position(-m_scroll_y);
        if (m_vscroll.Visible() != vp.vbar) m_vscroll.Visible(vp.vbar);
    }
    if (m_hscroll.GetHandle() != ControlHandle::None) {
        if (m_hscroll.Maximum() != max_x) m_hscroll.Maximum(max_x);
        if (m_hscroll.Position() != -m_scroll_x) m_hscroll.Position(-m_scroll_x);
        if (m_hscroll.Visible() != vp.hbar) m_hscroll.Visible(vp.hbar);
    }
    LayoutScrollBars();
    // Within a frame the bars are painted now, so that they reach the
    // screen with the rows rather than one frame later.
    for (ExScrollBar* bar : {&m_vscroll, &m_hscroll}) {
        if (bar->GetHandle() != ControlHandle::None && bar->Dirty() && bar->Visible()) bar->PaintNow();
    }
}

void ExReportList::EnsureVisible(int row) {
    if (!CheckIndex(row)) return;
    const int height = static_cast<int>(VisibleRect().height);
    const int64_t top = int64_t{LineOfRow(row) - 1} * m_row_height;
    const int64_t bottom = top + m_row_height;
    const int64_t view_top = -m_scroll_y;
    if (top >= view_top && bottom <= view_top + height) return;
    // A row below the view comes up to the bottom edge, one above it down
    // to the top edge: the least movement that shows it whole.
    const int64_t target = top < view_top ? top : bottom - height;
    SetScrollY(ClampContent(target));
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
        row.cell_images.insert(row.cell_images.begin() + static_cast<std::ptrdiff_t>(at), -1);
    }
    RecomputeContentWidth();
    m_dirty_range = true;
    m_dirty_header = true;
    m_dirty_all_rows = true;
    RequestUpdate();
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
    RecomputeContentWidth();
    ClampScroll();
    m_dirty_range = true;
    m_dirty_header = true;
    m_dirty_all_rows = true;
    RequestUpdate();
    return true;
}

std::string ExReportList::ColumnTitle(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].title
                                            : std::string();
}

bool ExReportList::ColumnTitle(int column, std::string title) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].title = std::move(title);
    m_dirty_header = true;
    RequestUpdate();
    return true;
}

int ExReportList::ColumnWidth(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].width : 0;
}

bool ExReportList::ColumnWidth(int column, int width) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].width = std::clamp(width, 0, kMaxColumnWidth);
    RecomputeContentWidth();
    ClampScroll();
    m_dirty_range = true;
    m_dirty_header = true;
    m_dirty_all_rows = true;
    RequestUpdate();
    return true;
}

int ExReportList::ColumnImage(int column) const {
    return CheckIndex(std::nullopt, column) ? m_columns[static_cast<size_t>(column - 1)].header_image : 0;
}

bool ExReportList::ColumnImage(int column, int index) {
    if (!CheckIndex(std::nullopt, column)) return false;
    m_columns[static_cast<size_t>(column - 1)].header_image = index;
    m_dirty_header = true;
    RequestUpdate();
    return true;
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
    for (int& index : m_selection) shift(index);
    shift(m_current_row);
    shift(m_hover_row);
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
    m_rows.insert(m_rows.begin() + (index - 1), std::move(row));
    if (index <= count) ShiftIndices(index, 1);
    m_dirty_range = true;
    RequestUpdate();
    if (redraw) MarkRows(index, INT_MAX);
    return index;
}

bool ExReportList::DeleteRow(int row) {
    if (!CheckIndex(row)) return false;
    m_rows.erase(m_rows.begin() + (row - 1));
    std::erase(m_selection, row);
    if (m_current_row == row) m_current_row = 0;
    if (m_hover_row == row) {
        m_hover_row = 0;
        m_hover_column = 0;
    }
    ShiftIndices(row + 1, -1);
    ClampScroll();
    m_dirty_range = true;
    RequestUpdate();
    MarkRows(row, INT_MAX);
    return true;
}

void ExReportList::Clear() {
    if (m_hover_row != 0 && GetHandle() != ControlHandle::None) TooltipText(std::string(), true);
    std::vector<ExListRow>().swap(m_rows);
    std::vector<int>().swap(m_selection);
    m_scroll_x = m_scroll_y = 0;
    m_hover_row = m_hover_column = 0;
    m_current_row = 0;
    m_wheel_rest = 0;
    m_dirty_range = true;
    m_dirty_header = true;
    MarkAll();
    RequestUpdate();
}

std::string ExReportList::CellText(int row, int column) const {
    if (!CheckIndex(row, column)) return {};
    return m_rows[static_cast<size_t>(row - 1)].cell_texts[static_cast<size_t>(column - 1)];
}

bool ExReportList::CellText(int row, int column, std::string text, bool redraw) {
    if (!CheckIndex(row, column)) return false;
    m_rows[static_cast<size_t>(row - 1)].cell_texts[static_cast<size_t>(column - 1)] = std::move(text);
    if (redraw) MarkRows(row, row);
    return true;
}

int ExReportList::CellImage(int row, int column) const {
    if (!CheckIndex(row, column)) return 0;
    return m_rows[static_cast<size_t>(row - 1)].cell_images[static_cast<size_t>(column - 1)];
}

bool ExReportList::CellImage(int row, int column, int index) {
    if (!CheckIndex(row, column)) return false;
    m_rows[static_cast<size_t>(row - 1)].cell_images[static_cast<size_t>(column - 1)] = index;
    MarkRows(row, row);
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

bool ExReportList::SetRowTextColour(int row, Argb colour, bool redraw) {
    if (!CheckIndex(row)) return false;
    m_rows[static_cast<size_t>(row - 1)].text_colour = colour;
    if (redraw) MarkRows(row, row);
    return true;
}

int ExReportList::RowState(int row) const {
    return CheckIndex(row) ? m_rows[static_cast<size_t>(row - 1)].state : 0;
}

int ExReportList::RowState(int row, int state) {
    if (!CheckIndex(row)) return 0;
    return m_rows[static_cast<size_t>(row - 1)].state = state;
}

void ExReportList::SetState(int row, int state) {
    if (!CheckIndex(row)) return;
    int& stored = m_rows[static_cast<size_t>(row - 1)].state;
    if (stored == state) return;
    stored = state;
    MarkRows(row, row);
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

void ExReportList::ClearSelectionStates() {
    for (int row : m_selection) SetState(row, UnselectedState(row));
    m_selection.clear();
    // The current row can carry the selected look without being in the
    // selection (single-select mode, CurrentRow).
    if (RowState(m_current_row) == kRowSelected) SetState(m_current_row, UnselectedState(m_current_row));
}

int ExReportList::CurrentRow(int row) {
    ClearSelectionStates();
    const int old = m_current_row;
    if (CheckIndex(old)) {
        SetState(old, UnselectedState(old));
        MarkRows(old, old);
    }
    m_current_row = CheckIndex(row) ? row : 0;
    if (m_current_row != 0) SetState(m_current_row, kRowSelected);
    return m_current_row;
}

bool ExReportList::SingleSelect(bool value) {
    if (value && !m_single_select) {
        // Single-select mode shows one selected row, the current one: rows
        // left selected by the other mode would stay lit, and no click in
        // this mode would clear them.
        const bool current_selected = IsSelected(m_current_row);
        ClearSelectionStates();
        if (current_selected) SetState(m_current_row, kRowSelected);
    }
    return m_single_select = value;
}
bool ExReportList::HoverSelect(bool value) { return m_hover_select = value; }

bool ExReportList::SelectRow(int row) {
    if (m_single_select || !CheckIndex(row)) return false;
    // RowState may have given a row of the selection another state: it is
    // selected again, never listed twice.
    if (SelectionIndexOf(row) == 0) m_selection.push_back(row);
    SetState(row, kRowSelected);
    return true;
}

bool ExReportList::DeselectRow(int row) {
    if (!CheckIndex(row)) return false;
    std::erase(m_selection, row);
    SetState(row, UnselectedState(row));
    return true;
}

bool ExReportList::IsSelected(int row) const { return RowState(row) == kRowSelected; }

int ExReportList::SelectionIndexOf(int row) const {
    const auto found = std::find(m_selection.begin(), m_selection.end(), row);
    return found == m_selection.end() ? 0 : static_cast<int>(found - m_selection.begin()) + 1;
}

// ---------------------------------------------------------------------------
// Looks

const std::string& ExReportList::EmptyText(std::string text) {
    m_empty_text = std::move(text);
    if (m_rows.empty()) MarkAll();
    return m_empty_text;
}

int ExReportList::GridLines(int flags) {
    m_grid_lines = flags;
    MarkAll();
    return m_grid_lines;
}

void ExReportList::SetImageLists(std::optional<ExImageList> spare, std::optional<ExImageList> header,
                                 std::optional<ExImageList> items) {
    if (spare) m_spare_images = std::move(spare);
    if (header) m_header_images = std::move(header);
    if (items) m_item_images = std::move(items);
    if (GetHandle() == ControlHandle::None) return;
    Layout();
    m_dirty_range = true;
    LayoutScrollBars();
    MarkAll();
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

void ExReportList::MarkRows(int first, int last) {
    if (GetHandle() == ControlHandle::None || first > last || m_row_height <= 0) return;
    // Lines in view now or in the painted bitmap (a scroll not painted yet
    // may be undone before the next frame).
    const int painted_first = -m_painted_scroll_y / m_row_height + 1;
    const int painted_last = painted_first + (LastVisibleLine() - FirstVisibleLine());
    const int view_first = std::min(FirstVisibleLine(), painted_first);
    const int view_last = std::max(LastVisibleLine(), painted_last);
    const int first_line = std::max(LineOfRow(std::max(first, 1)), view_first);
    const int last_line = std::min(last >= INT_MAX / 2 ? INT_MAX : LineOfRow(last), view_last);
    if (first_line > last_line) return;
    if (m_dirty_first_line == 0) {
        m_dirty_first_line = first_line;
        m_dirty_last_line = last_line;
    } else {
        m_dirty_first_line = std::min(m_dirty_first_line, first_line);
        m_dirty_last_line = std::max(m_dirty_last_line, last_line);
    }
    RequestUpdate();
}

void ExReportList::MarkAll() {
    m_dirty_frame = m_dirty_header = m_dirty_all_rows = true;
    RequestUpdate();
}

bool ExReportList::RepaintFrom(int row) {
    if (!CheckIndex(row) || row < FirstVisible() || row > LastVisible()) return false;
    MarkRows(row, LastVisible());
    return true;
}

bool ExReportList::RepaintRow(int row) {
    if (!CheckIndex(row) || row < FirstVisible() || row > LastVisible()) return false;
    MarkRows(row, row);
    return true;
}

void ExReportList::PaintRow(int row, bool also_compose) {
    if (!RepaintRow(row)) return;
    if (also_compose) Flush();
}

void ExReportList::RequestUpdate() {
    if (m_update_requested || GetHandle() == ControlHandle::None || Host() == nullptr) return;
    m_update_requested = true;
    Invalidate();
}

void ExReportList::Flush() {
    m_update_requested = false;
    if (GetHandle() == ControlHandle::None || m_row_height <= 0) return;
    const ControlHandle self = GetHandle();
    const RectF visible = VisibleRect();
    if (m_dirty_range || !(visible == m_painted_visible)) {
        ApplyRange();
        if (ResolveControl(self) != this) return;
        m_dirty_range = false;
    }
    ClampScroll();

    const RectF b = Bounds();
    const auto ensure = [](std::unique_ptr<ExCanvas>& bitmap, float w, float h) {
        const int width = static_cast<int>(std::max(0.0f, w));
        const int height = static_cast<int>(std::max(0.0f, h));
        if (bitmap && bitmap->Width() == width && bitmap->Height() == height) return false;
        bitmap = width > 0 && height > 0 ? CreateCanvas(width, height) : nullptr;
        return true;
    };
    if (ensure(m_frame_bitmap, b.width, b.height)) m_dirty_frame = true;
    if (ensure(m_header_bitmap, m_header_rect.width, m_header_rect.height)) m_dirty_header = true;
    if (ensure(m_rows_bitmap, visible.width, visible.height)) m_dirty_all_rows = true;
    if (!(visible == m_painted_visible)) {
        m_dirty_header = m_dirty_all_rows = true;
        m_painted_visible = visible;
    }

    if (m_dirty_frame) BuildFrame();
    if (m_dirty_header) BuildHeader();
    BuildRows(false, false);
    Compose();
}

void ExReportList::BuildFrame() {
    m_dirty_frame = false;
    if (!m_frame_bitmap) return;
    ExCanvas& frame = *m_frame_bitmap;
    frame.Clear(m_back_colour);
    frame.DrawBorder({0, 0, static_cast<float>(frame.Width()), static_cast<float>(frame.Height())},
                     kBorderSolid, m_border_colour);
}

void ExReportList::BuildHeader() {
    m_dirty_header = false;
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
    for (const ExListColumn& column : m_columns) {
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
    }
}

void ExReportList::ScrollRowsBitmap(int dy) {
    ExCanvas& rows = *m_rows_bitmap;
    cairo_surface_t* surface = rows.Surface();
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int height = rows.Height();
    if (data == nullptr || std::abs(dy) >= height) return;
    const size_t bytes = static_cast<size_t>(height - std::abs(dy)) * static_cast<size_t>(stride);
    if (dy > 0) {
        std::memmove(data + static_cast<size_t>(dy) * stride, data, bytes);
    } else {
        std::memmove(data, data + static_cast<size_t>(-dy) * stride, bytes);
    }
    cairo_surface_mark_dirty(surface);
}

void ExReportList::BuildRows(bool full, bool repaint_all) {
    if (full || repaint_all) m_dirty_all_rows = true;
    if (!m_rows_bitmap) {
        m_dirty_first_line = m_dirty_last_line = 0;
        return;
    }
    ExCanvas& rows = *m_rows_bitmap;
    const int height = rows.Height();
    if (m_painted_scroll_x != m_scroll_x) m_dirty_all_rows = true;
    const int dy = m_scroll_y - m_painted_scroll_y;
    if (!m_dirty_all_rows && dy != 0) {
        if (std::abs(dy) >= height) {
            m_dirty_all_rows = true;
        } else {
            ScrollRowsBitmap(dy);
            // The band the shift uncovered, as lines.
            const int band_top = dy > 0 ? 0 : height + dy;
            const int band_bottom = dy > 0 ? dy : height;
            const auto line_at = [&](int y) {
                return static_cast<int>((int64_t{y} - m_scroll_y) / m_row_height) + 1;
            };
            const int first = line_at(band_top), last = line_at(band_bottom - 1);
            if (m_dirty_first_line == 0) {
                m_dirty_first_line = first;
                m_dirty_last_line = last;
            } else {
                m_dirty_first_line = std::min(m_dirty_first_line, first);
                m_dirty_last_line = std::max(m_dirty_last_line, last);
            }
        }
    }
    m_painted_scroll_x = m_scroll_x;
    m_painted_scroll_y = m_scroll_y;

    int first = FirstVisibleLine(), last = LastVisibleLine();
    if (m_dirty_all_rows) {
        rows.Clear(0);
    } else if (m_dirty_first_line != 0) {
        first = std::max(first, m_dirty_first_line);
        last = std::min(last, m_dirty_last_line);
    } else {
        last = first - 1;
    }
    m_dirty_all_rows = false;
    m_dirty_first_line = m_dirty_last_line = 0;
    if (m_view != ListView::Report && m_view != ListView::Icons && m_view != ListView::List) return;
    // One copy of the style per pass; each cell sets its colour and alignment.
    TextStyle style = m_style;
    const bool focused = HasFocus();
    for (int line = first; line <= last; ++line) PaintLine(rows, line, style, focused);
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
    Argb text_colour = row.text_colour;
    if (row.state == kRowHover) {
        rows.FillRect(rect, m_hover_back != 0 ? m_hover_back : MakeArgb(AccentRgb(), 51));
        if (m_hover_text != 0) text_colour = m_hover_text;
    } else if (row.state == kRowSelected) {
        rows.FillRect(rect, m_selected_back != 0 ? m_selected_back : MakeArgb(AccentRgb(), 102));
        if (m_selected_text != 0) text_colour = m_selected_text;
    }
    style.colour = text_colour;
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
    if (row_index == m_current_row && row.state == kRowSelected && focused) {
        const RectF outline{std::max(rect.left, 0.0f), rect.top,
                            std::min(rect.Right(), bitmap_width) - std::max(rect.left, 0.0f), rect.height};
        rows.DrawBorder(outline, kBorderDashed);
    }
}

void ExReportList::PaintItem(ExCanvas& rows, int row_index, const RectF& rect, bool icon_above,
                             TextStyle& style, bool focused) {
    const ExListRow& row = m_rows[static_cast<size_t>(row_index - 1)];
    const RectF area = icon_above ? OffsetRect(rect, 2, 2, -4, -4) : rect;
    Argb text_colour = row.text_colour;
    if (row.state == kRowHover) {
        rows.FillRect(area, m_hover_back != 0 ? m_hover_back : MakeArgb(AccentRgb(), 51));
        if (m_hover_text != 0) text_colour = m_hover_text;
    } else if (row.state == kRowSelected) {
        rows.FillRect(area, m_selected_back != 0 ? m_selected_back : MakeArgb(AccentRgb(), 102));
        if (m_selected_text != 0) text_colour = m_selected_text;
    }
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
    if (row_index == m_current_row && row.state == kRowSelected && focused) {
        rows.DrawBorder(area, kBorderDashed);
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
        const int old = m_current_row;
        if (CheckIndex(old) && old != row) SetState(old, kRowNormal);
        SetState(row, kRowSelected);
        m_current_row = row;
        return;
    }
    const int old = m_hover_row;
    if (row != 0) {
        if (tooltip && (row != old || column != m_hover_column)) TooltipText(CellText(row, column), true);
    } else if (tooltip && old != 0) {
        TooltipText(std::string(), true);
    }
    m_hover_row = row;
    m_hover_column = column;
    if (row != old) {
        if (CheckIndex(old) && !IsSelected(old)) SetState(old, kRowNormal);
        if (row != 0 && !IsSelected(row)) SetState(row, kRowHover);
    }
}

void ExReportList::OnPress(uint32_t message, float x, float y) {
    // The pointer may have moved without a move message (a wheel scroll
    // under a still pointer): the press acts on the row under it.
    UpdateHover(x, y, false);
    const Hit hit = HitTest(x, y);
    if (!hit.found) return;
    const int row = hit.row;
    const ControlHandle self = GetHandle();
    FireRow(m_on_current_changed, row);
    if (ResolveControl(self) != this || !CheckIndex(row)) return;

    const int old = m_current_row;
    if (m_single_select) {
        if (CheckIndex(old) && old != row) SetState(old, UnselectedState(old));
        SetState(row, kRowSelected);
        m_current_row = row;
        return;
    }
    const bool ctrl = plat::GetKeyState(plat::VK_CONTROL) < 0;
    const bool shift = plat::GetKeyState(plat::VK_SHIFT) < 0 && CheckIndex(old);
    const bool right = message == plat::WM_RBUTTONDOWN;
    if (ctrl) {
        if (IsSelected(row) || SelectionIndexOf(row) != 0) {
            DeselectRow(row);
        } else {
            m_selection.push_back(row);
            SetState(row, kRowSelected);
        }
    } else if (shift) {
        ClearSelectionStates();
        const int from = std::min(old, row), to = std::max(old, row);
        m_selection.reserve(static_cast<size_t>(to - from + 1));
        for (int r = from; r <= to; ++r) {
            m_rows[static_cast<size_t>(r - 1)].state = kRowSelected;
            m_selection.push_back(r);
        }
        MarkRows(from, to);
    } else if (!(right && IsSelected(row))) {
        ClearSelectionStates();
        m_selection.push_back(row);
        SetState(row, kRowSelected);
    }
    if (!shift) {
        m_current_row = row;
        if (CheckIndex(old)) MarkRows(old, old);  // its focus outline goes
    }
}

void ExReportList::OnRelease(uint32_t message, float x, float y) {
    const Hit hit = HitTest(x, y);
    if (!hit.found || hit.row != m_current_row) return;
    FireRow(message == plat::WM_LBUTTONUP ? m_on_left_click : m_on_right_click, hit.row);
}

void ExReportList::OnWheel(uintptr_t wparam) {
    const bool horizontal = (wparam & plat::MK_SHIFT) != 0;
    if (horizontal ? MaxScrollX() <= 0 : MaxScrollY() <= 0) return;
    m_wheel_rest += plat::GET_WHEEL_DELTA_WPARAM(wparam);
    const int notches = m_wheel_rest / plat::WHEEL_DELTA;
    m_wheel_rest %= plat::WHEEL_DELTA;
    if (notches == 0) return;
    if (horizontal) {
        const int64_t step = int64_t{m_row_height} * 3;
        SetScrollX(ClampContent(int64_t{-m_scroll_x} - notches * step));
        return;
    }
    const int64_t step = m_view == ListView::Report ? int64_t{m_row_height} * 3 : m_row_height;
    SetScrollY(ClampContent(int64_t{-m_scroll_y} - notches * step));
}

intptr_t ExReportList::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const auto local_x = [&] { return float(plat::GET_X_LPARAM(lparam)) - Bounds().left; };
    const auto local_y = [&] { return float(plat::GET_Y_LPARAM(lparam)) - Bounds().top; };
    switch (message) {
        case plat::WM_CREATE:
            Layout();
            CreateScrollBars();
            m_dirty_range = true;
            MarkAll();
            break;
        case plat::WM_PAINT:
            Flush();
            break;
        case EX_LIST_ROWCHANGED:
            if (CheckIndex(static_cast<int>(lparam))) {
                MarkRows(static_cast<int>(lparam), wparam == 0 ? static_cast<int>(lparam) : INT_MAX);
            }
            if (wparam != 0) m_dirty_range = true;
            RequestUpdate();
            return 0;
        case EX_LIST_CLEARED:
        case EX_LIST_ROWSCHANGED:
            m_dirty_range = true;
            RequestUpdate();
            return 0;
        case EX_LIST_COLUMNSCHANGED:
            m_dirty_header = true;
            if (lparam == 1) m_dirty_all_rows = true;
            RequestUpdate();
            return 0;
        case plat::WM_MOUSEMOVE:
            UpdateHover(local_x(), local_y(), true);
            break;
        case EX_MSG_MOUSELEAVE:
            if (!m_hover_select && CheckIndex(m_hover_row) && !IsSelected(m_hover_row)) {
                SetState(m_hover_row, kRowNormal);
            }
            m_hover_row = m_hover_column = 0;
            break;
        case plat::WM_LBUTTONDOWN:
        case plat::WM_RBUTTONDOWN:
            OnPress(message, local_x(), local_y());
            break;
        case plat::WM_LBUTTONUP:
        case plat::WM_RBUTTONUP:
            OnRelease(message, local_x(), local_y());
            break;
        case plat::WM_MOUSEWHEEL:
            OnWheel(wparam);
            break;
        case EX_MSG_SETFOCUS:
        case EX_MSG_KILLFOCUS:
            MarkRows(m_current_row, m_current_row);
            break;
        case EX_MSG_SIZED:
            Layout();
            m_dirty_range = true;
            break;
        case EX_MSG_REPAINTSTATE:
            MarkAll();
            break;
        case EX_MSG_ALPHACHANGED:
            m_hscroll.Alpha(static_cast<int>(lparam));
            m_vscroll.Alpha(static_cast<int>(lparam));
            break;
        case plat::WM_DESTROY:
            ReleaseResources();
            break;
        default:
            break;
    }
    return kNotHandled;
}

void ExReportList::ReleaseResources() {
    m_frame_bitmap.reset();
    m_header_bitmap.reset();
    m_rows_bitmap.reset();
    std::vector<ExListRow>().swap(m_rows);
    std::vector<ExListColumn>().swap(m_columns);
    std::vector<int>().swap(m_selection);
    m_scroll_x = m_scroll_y = 0;
    m_hover_row = m_hover_column = m_current_row = 0;
    m_sum_widths = 0;
    m_update_requested = false;
    m_painted_visible = {};
    m_painted_scroll_x = m_painted_scroll_y = 0;
    FreeFont();
    m_style.format = {};
}

}  // namespace dui
