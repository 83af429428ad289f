#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dui/controls/scroll_bar.h"
#include "dui/core/canvas.h"
#include "dui/core/control.h"
#include "dui/core/font.h"
#include "dui/core/image.h"
#include "dui/core/string_format.h"
#include "dui/core/text_style.h"

namespace dui {

// Icons of one size, addressed by a 0-based index.
struct ExImageList {
    int icon_width = 0;
    int icon_height = 0;
    std::vector<ExImage> icons;

    const ExImage* Icon(int index) const {
        return index >= 0 && index < static_cast<int>(icons.size()) ? &icons[static_cast<size_t>(index)]
                                                                   : nullptr;
    }
};

struct ExListColumn {
    std::string title;
    StringAlignment alignment = StringAlignment::Near;
    int width = 50;         // pixels; a 0 wide column is kept but not drawn
    int header_image = -1;  // index into the header images; -1 = none
};

// Row looks, as RowState reads and sets them.
inline constexpr int kRowNormal = 0;
inline constexpr int kRowHover = 1;
inline constexpr int kRowSelected = 4;

// One row: a text and an icon index per column. Whether it is selected is
// kept with the row, so the selection follows its rows through insertions,
// deletions and sorting.
struct ExListRow {
    std::vector<std::string> cell_texts;
    std::vector<int> cell_images;  // -1 = no icon
    int key = 0;    // searchable with FindKey
    int value = 0;  // stored for the application
    Argb text_colour = 0;
    // When the row was selected (a rising count; 0 = not selected): the
    // selection lists its rows in the order they were selected.
    uint64_t selected_order = 0;
    // A look RowState set, shown until the list itself changes the row's
    // look; nullopt = the look follows selection, current row and hover.
    std::optional<int> state;
    // The row's place in insertion order, which RestoreRowOrder returns to.
    uint64_t inserted = 0;
};

// Orders two rows for SortRows: true when `a` goes before `b`.
using RowLess = std::function<bool(const ExListRow& a, const ExListRow& b)>;

enum class ListView : int { Report = 0, Icons = 1, List = 2 };

// Grid line bits.
inline constexpr int kGridHorizontal = 1;
inline constexpr int kGridVertical = 2;

// The list's own messages, sent to itself by the operations that change its
// rows and columns (a handler bound to them with BindEvent runs after the
// list's own handling, which only invalidates what changed):
//   EX_LIST_ROWCHANGED     wparam 0: row lparam changed; 1 inserted, 2 deleted at lparam
//   EX_LIST_CLEARED        every row went
//   EX_LIST_ROWSCHANGED    the row count changed: the scroll range is recomputed
//   EX_LIST_COLUMNSCHANGED lparam 1: the rows need a full repaint too
// A click on a column's header (the left button pressed and released over
// it) sends the list EX_MSG_HEADERCLICK, wparam = the column; the list does
// nothing itself, the application binds it to sort.
inline constexpr uint32_t EX_LIST_ROWCHANGED = 0x1006;
inline constexpr uint32_t EX_LIST_CLEARED = 0x1009;
inline constexpr uint32_t EX_LIST_ROWSCHANGED = 0x1014;
inline constexpr uint32_t EX_LIST_COLUMNSCHANGED = 0x101A;

// Column header sort indicator.
enum class SortIndicator : int { None = 0, Ascending = 1, Descending = 2 };

// Application events: the list and the row (1-based).
using ListRowHandler = std::function<void(ControlHandle list, int row)>;

// Creation settings; everything not given takes the default noted.
struct ReportListOptions {
    ListView view = ListView::Report;
    bool no_header = false;              // forced on for the icon and list views
    std::optional<int> grid_lines;       // default: both in report view, none otherwise
    bool single_select = true;
    std::optional<Argb> text_colour;     // default black at 210
    Argb hover_text = 0;                 // 0 = the row's own text colour
    Argb selected_text = 0;
    Argb hover_back = 0;                 // 0 = the accent colour at 51
    Argb selected_back = 0;              // 0 = the accent colour at 102
    std::optional<Argb> back_colour;     // default white at 210
    std::optional<std::string> font_face;  // any font argument: an own font
    std::optional<float> font_size;      // default 12
    std::optional<int> font_style;
    std::optional<Argb> border_colour;   // default black at 80
    bool visible = true;
};

// What InsertRow may set besides the first cell's text.
struct ListRowOptions {
    std::optional<int> image;  // the first cell's icon
    int key = 0;
    int value = 0;
    std::optional<Argb> text_colour;  // default: the list's text colour
};

// A multi-column list: a header of columns over a vertically scrolling set
// of rows, with hover, single or Ctrl/Shift multiple selection, a per-cell
// tooltip and two scroll bars. Rows and columns are numbered from 1; an
// operation given an invalid number returns 0 (or an empty text) and
// changes nothing. With the focus, Up, Down, Page Up, Page Down, Home and
// End move the current row; every other key is left to a bound handler.
//
// A row's look is computed when it is painted, from the selection, the
// current row and the hover row (or the look RowState gave it). Changes
// invalidate the rectangles they touch, and only when those are in view;
// the WM_PAINT of the next frame repaints them into the rows bitmap and
// composes the control once. Scrolling moves the painted rows within the
// bitmap and invalidates only the band it uncovers, so a list of a hundred
// thousand rows fills and scrolls as fast as a short one.
class ExReportList : public ExControl {
public:
    ExReportList() = default;
    ~ExReportList() override;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

    ControlHandle CreateReportList(ControlParent parent, float left, float top, float width,
                                   float height, ReportListOptions options = {});

    // Scrolling, in content pixels from the top-left; setting clamps to the
    // range and returns the position now held.
    int ScrollX() const { return -m_scroll_x; }
    int ScrollX(int position);
    int ScrollY() const { return -m_scroll_y; }
    int ScrollY(int position);
    // The largest scroll positions the content allows (0 when it fits).
    int MaxScrollX() const;
    int MaxScrollY() const;

    // Geometry, in control coordinates.
    void Layout();
    void LayoutScrollBars();
    int RowHeight() const { return m_row_height; }
    int HeaderHeight() const { return static_cast<int>(m_header_rect.height); }
    RectF ItemsRect() const { return m_items_rect; }
    RectF VisibleRect() const;
    int ContentWidth() const;
    int ContentHeight() const;
    int ItemWidth() const { return m_item_width; }
    int ItemsPerLine() const;
    int FirstVisible() const;
    int LastVisible() const;
    // The row at a content offset from the top (icon view: the first row of
    // that line); not checked against the row count.
    int RowAtOffset(int y) const;
    RectF RowRect(int row) const;
    // A row's rectangle in its host window's client coordinates, clipped to
    // the visible rows; nullopt when the row is not in view.
    std::optional<RectF> RowRectInHost(int row) const;
    struct Hit {
        bool found = false;
        int row = 0;
        int column = 0;
    };
    Hit HitTest(float x, float y) const;
    // The column whose header is under a point in control coordinates, or 0.
    int HeaderColumnAt(float x, float y) const;

    // Columns.
    int InsertColumn(int position, std::string title, int width = 50,
                     std::optional<StringAlignment> alignment = std::nullopt,
                     int header_image = -1);
    bool DeleteColumn(int column);
    std::string ColumnTitle(int column) const;
    bool ColumnTitle(int column, std::string title);
    int ColumnWidth(int column) const;
    bool ColumnWidth(int column, int width);
    int ColumnImage(int column) const;
    bool ColumnImage(int column, int index);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    // The sort indicator drawn in one column's header (None: in no column).
    int SortColumn() const { return m_sort_column; }
    SortIndicator SortDirection() const { return m_sort_direction; }
    void SortColumn(int column, SortIndicator direction);

    // Rows. InsertRow appends at position 0 (or beyond the end) and returns
    // the new row's number.
    int InsertRow(int position = 0, std::string first_cell_text = {}, const ListRowOptions& options = {},
                  bool redraw = true);
    bool DeleteRow(int row);
    void Clear();
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // Every row, in display order (row n at index n - 1), to read without copying.
    const std::vector<ExListRow>& Rows() const { return m_rows; }
    std::string CellText(int row, int column = 1) const;
    bool CellText(int row, int column, std::string text, bool redraw = true);
    int CellImage(int row, int column) const;
    bool CellImage(int row, int column, int index);
    int RowKey(int row) const;
    bool RowKey(int row, int key);
    int RowValue(int row) const;
    bool RowTextColour(int row, Argb colour, bool redraw = true);
    // A row's look: the one RowState set, else selected, hovered or normal.
    // Setting it does not repaint; the list's next change to the row's
    // look replaces it.
    int RowState(int row) const;
    int RowState(int row, int state);

    // Reorders the rows stably (rows that compare equal keep their order);
    // the selection, the current row and the hover row stay on their rows.
    void SortRows(const RowLess& less);
    // Back to the order the rows were inserted in.
    void RestoreRowOrder();
    // Puts the rows in a computed order: order[i] is the present index
    // (0-based) of the row that becomes row i + 1. Refused unless it names
    // every row exactly once.
    bool ReorderRows(const std::vector<size_t>& order);

    // The current (focus) row. Setting it clears the selection and gives
    // that row the selected look; an invalid row leaves none current.
    int CurrentRow() const { return m_current_row; }
    int CurrentRow(int row);
    int HoverRow() const { return m_hover_row; }
    int HoverColumn() const { return m_hover_column; }

    // Searching. FindText compares bytes at character starts only, so a
    // double-byte character never matches across a character boundary.
    // column -1 searches every column in report view.
    int FindText(std::string_view text, int from_row = 1, bool whole = false, bool partial = false,
                 int column = 1) const;
    int FindKey(int key, int from_row = 1) const;
    // A row outside FirstVisible..LastVisible is scrolled into view, its
    // bottom edge at the bottom of the visible area.
    void EnsureVisible(int row);

    // Selection.
    bool SingleSelect() const { return m_single_select; }
    bool SingleSelect(bool value);
    // Multi-select mode only; true when the row is selected afterwards.
    bool SelectRow(int row);
    bool DeselectRow(int row);
    // Selected rows in the order they were selected.
    std::vector<int> Selection() const;
    int SelectedCount() const { return m_selected_count; }
    // Whether the row shows the selected look.
    bool IsSelected(int row) const;
    // The position (1-based) of the row within the selection, or 0.
    int SelectionIndexOf(int row) const;
    bool HoverSelect() const { return m_hover_select; }
    bool HoverSelect(bool value);

    void OnLeftClick(ListRowHandler handler) { m_on_left_click = std::move(handler); }
    void OnRightClick(ListRowHandler handler) { m_on_right_click = std::move(handler); }
    void OnCurrentChanged(ListRowHandler handler) { m_on_current_changed = std::move(handler); }

    // A line drawn centred in the rows area while the list has no rows.
    const std::string& EmptyText() const { return m_empty_text; }
    const std::string& EmptyText(std::string text);

    // Looks.
    ListView View() const { return m_view; }
    int GridLines() const { return m_grid_lines; }
    int GridLines(int flags);
    Argb TextColour() const { return m_style.colour; }
    Argb BackColour() const { return m_back_colour; }
    const dui::Font& Font() const { return m_style.font; }
    void SetImageLists(std::optional<ExImageList> spare, std::optional<ExImageList> header,
                       std::optional<ExImageList> items);
    // Back to the framework default font.
    void FreeFont();

    // Repainting on request: rows from `row` to the last visible one, or one
    // row. False when the row is not visible.
    bool RepaintFrom(int row);
    bool RepaintRow(int row);
    // Each index given must lie in 1..count (and the count be above 0).
    bool CheckIndex(std::optional<int> row, std::optional<int> column = std::nullopt) const;

    // Drawing steps, run by WM_PAINT. The three bitmaps are the size of the
    // view, never of the content. BuildRows paints the invalidated rows, or
    // every visible row with `full`.
    void BuildFrame();
    void BuildHeader();
    void BuildRows(bool full);
    void Compose();
    // Paints one row if it is visible; with also_compose the control is
    // painted at once.
    void PaintRow(int row, bool also_compose);
    bool UpdatePending() const { return Dirty(); }

    ExScrollBar& HorizontalBar() { return m_hscroll; }
    ExScrollBar& VerticalBar() { return m_vscroll; }

protected:
    intptr_t OnPointerDown(const PointerEvent& event) override;
    intptr_t OnPointerUp(const PointerEvent& event) override;
    intptr_t OnPointerMove(const PointerEvent& event) override;
    intptr_t OnPointerWheel(const WheelEvent& event) override;
    intptr_t OnKeyDown(const KeyEvent& event) override;
    void OnFocusIn(ControlHandle previous) override;
    void OnFocusOut(ControlHandle next) override;
    void OnSized(float width, float height) override;

private:
    struct Viewport {
        RectF visible;
        bool vbar = false;
        bool hbar = false;
        int content_width = 0;
    };
    Viewport ComputeViewport() const;
    int LineOfRow(int row) const;
    int LineCount() const;
    int LastVisibleLine() const;
    int FirstVisibleLine() const;
    void CreateScrollBars();
    void ClampScroll();
    void ClampScroll(int max_x, int max_y);
    void LayoutScrollBars(const Viewport& vp);
    // Invalidation: a rectangle in control coordinates, the lines showing
    // rows first..last (clipped to the view), or everything.
    void InvalidateArea(const RectF& rect);
    void InvalidateRows(int first, int last);
    void InvalidateAll();
    // Recomputes the scroll range and the bars from the content size.
    void UpdateScrollRange();
    // Moves the painted rows by a scroll of dy pixels and invalidates the band
    // the move uncovered.
    void ScrollPainted(int dy);
    void PaintLine(ExCanvas& rows, int line, TextStyle& style, bool focused);
    void PaintReportRow(ExCanvas& rows, int row, const RectF& rect, TextStyle& style, bool focused);
    void PaintItem(ExCanvas& rows, int row, const RectF& rect, bool icon_above, TextStyle& style,
                   bool focused);
    // The background and text colour of a row's look; false for the normal look.
    bool LookColours(int row, Argb& back, Argb& text) const;
    void DrawEmptyText(ExCanvas& canvas);
    void DrawSortIndicator(ExCanvas& header, const RectF& cell);
    void RecomputeContentWidth();
    uint32_t AccentRgb() const;
    // The selection's primitives; each invalidates the row it changes.
    void Select(int row);
    void Unselect(int row);
    void ClearSelection();
    void LightCurrent(bool lit);
    void SetHoverRow(int row, int column);
    // A row's look is about to change through the list: drop RowState's look.
    void Touch(int row);
    void UpdateHover(float x, float y, bool tooltip);
    // Up, Down, Page Up, Page Down, Home and End; false for any other key.
    bool MoveByKey(int key);
    // The row becomes current without the selected look; the old one loses it.
    void MoveCurrent(int row);
    void ScrollRowIntoView(int row);
    void Paint();
    // Applies a permutation (as ReorderRows takes it).
    void Reorder(const std::vector<size_t>& order);
    void ShiftIndices(int from, int delta);
    void FireRow(const ListRowHandler& handler, int row);
    // Sends one of the list's own messages; false when a handler destroyed
    // the list.
    bool Notify(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void ReleaseResources();

    // Font, format and colour of every text; cells change colour and
    // alignment on a copy.
    TextStyle m_style;
    Argb m_back_colour = 0;
    Argb m_border_colour = 0;
    std::unique_ptr<ExCanvas> m_frame_bitmap;
    std::unique_ptr<ExCanvas> m_header_bitmap;
    std::unique_ptr<ExCanvas> m_rows_bitmap;
    bool m_no_header = false;
    ListView m_view = ListView::Report;
    int m_grid_lines = 0;
    ExScrollBar m_hscroll;
    ExScrollBar m_vscroll;
    RectF m_items_rect{};
    RectF m_header_rect{};
    int m_scroll_x = 0;  // negated scroll positions
    int m_scroll_y = 0;
    int m_hover_row = 0;
    int m_hover_column = 0;
    int m_current_row = 0;
    // The current row shows the selected look without being in the
    // selection (single-select mode, CurrentRow, hover-select).
    bool m_current_lit = false;
    int m_selected_count = 0;
    uint64_t m_selection_clock = 0;  // the selected_order of the next selected row
    uint64_t m_insert_clock = 0;     // the inserted value of the next row
    int m_item_width = 0;
    int m_row_height = 1;  // set by Layout; never 0, it divides
    int m_sum_widths = 0;
    bool m_single_select = true;
    std::optional<ExImageList> m_spare_images;
    std::optional<ExImageList> m_header_images;
    std::optional<ExImageList> m_item_images;
    int m_item_padding = 4;
    ListRowHandler m_on_left_click;
    ListRowHandler m_on_right_click;
    ListRowHandler m_on_current_changed;
    Argb m_hover_back = 0;
    Argb m_selected_back = 0;
    Argb m_hover_text = 0;
    Argb m_selected_text = 0;
    bool m_hover_select = false;
    std::vector<ExListColumn> m_columns;
    std::vector<ExListRow> m_rows;
    std::string m_empty_text;
    int m_wheel_rest = 0;
    int m_sort_column = 0;
    SortIndicator m_sort_direction = SortIndicator::None;
    int m_pressed_header = 0;  // the column header the left button went down on
    // What the bitmaps must repaint, in control coordinates.
    Region m_damage;
    bool m_range_stale = false;  // the row count changed since the bars were set
};

}  // namespace dui
