#include "dui/controls/report_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "dui/core/font.h"
#include "dui/core/host_window.h"
#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ExReportList;
using dui::RectF;
namespace headless = plat::headless;

constexpr dui::Argb kSelectedBack = 0xFF00C000;  // opaque green
constexpr dui::Argb kHoverBack = 0xFFC00000;     // opaque red
constexpr float kLeft = 10, kTop = 10;

// A pixel of dark text over the list's light background.
bool IsInk(dui::Argb p) { return (p >> 24) > 150 && (p & 0xFF) < 128; }

class ReportListTest : public testing_support::HostFixture {
protected:
    // A 300 x 200 list at (10, 10) with two columns and `rows` rows whose
    // first cell is "row N".
    void MakeList(int rows, bool single_select = true, dui::ReportListOptions options = {}) {
        AttachHost();
        options.single_select = single_select;
        options.selected_back = kSelectedBack;
        options.hover_back = kHoverBack;
        list.CreateReportList(window, kLeft, kTop, 300, 200, options);
        list.InsertColumn(0, "name", 150, dui::StringAlignment::Center);
        list.InsertColumn(0, "size", 100, dui::StringAlignment::Far);
        for (int i = 1; i <= rows; ++i) {
            const int row = list.InsertRow(0, "row " + std::to_string(i));
            list.CellText(row, 2, std::to_string(i * 10));
        }
        list.OnCurrentChanged([this](dui::ControlHandle, int row) { events.push_back("current " + std::to_string(row)); });
        list.OnLeftClick([this](dui::ControlHandle, int row) { events.push_back("left " + std::to_string(row)); });
        list.OnRightClick([this](dui::ControlHandle, int row) { events.push_back("right " + std::to_string(row)); });
        Pump();
    }

    // A window point inside the given row (which must be in view).
    plat::POINT RowPoint(int row, float x = 40) const {
        const RectF visible = list.VisibleRect();
        const int rh = list.RowHeight();
        const float y = kTop + visible.top + float((row - 1) * rh - list.ScrollY()) + float(rh) / 2;
        return {static_cast<int>(kLeft + x), static_cast<int>(y)};
    }

    void ClickRow(int row, plat::MouseButton button = plat::MouseButton::Left) {
        headless::Click(window, RowPoint(row), button);
        Pump();
    }

    // The colour of a window pixel of a row where no text is drawn (the
    // left part of the far-aligned second column).
    uint32_t RowPixel(int row) { return ScreenPixel(RowPoint(row, 160).x, RowPoint(row).y); }

    // Whether two colours agree within a rounding step per channel.
    static bool Near(uint32_t a, uint32_t b) {
        for (int shift = 0; shift < 32; shift += 8) {
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 3) return false;
        }
        return true;
    }

    void Focus() {
        host->SetFocus(list.GetHandle());
        Pump();
    }

    ExReportList list;
    std::vector<std::string> events;
};

// ---------------------------------------------------------------------------
// Model

TEST_F(ReportListTest, ColumnsKeepEveryRowInStep) {
    MakeList(3);
    EXPECT_EQ(list.ColumnCount(), 2);
    // The first column always starts near-aligned; later ones keep theirs.
    EXPECT_EQ(list.InsertColumn(1, "icon", 20, dui::StringAlignment::Far), 1);
    EXPECT_EQ(list.ColumnTitle(2), "name");
    EXPECT_EQ(list.CellText(2, 2), "row 2");
    EXPECT_EQ(list.CellText(2, 1), "");
    EXPECT_EQ(list.CellImage(2, 1), 0) << "a cell added by a column takes image 0";
    // A zero-width column keeps its texts.
    EXPECT_EQ(list.InsertColumn(0, "address", 0), 4);
    list.CellText(3, 4, "magnet:?xt=abc");
    EXPECT_EQ(list.CellText(3, 4), "magnet:?xt=abc");
    EXPECT_TRUE(list.DeleteColumn(1));
    EXPECT_EQ(list.CellText(3, 1), "row 3");
    EXPECT_EQ(list.CellText(3, 3), "magnet:?xt=abc");
    EXPECT_FALSE(list.DeleteColumn(9));
    EXPECT_EQ(list.InsertColumn(7, "beyond"), 0);
}

TEST_F(ReportListTest, FirstInsertedColumnIsNearAlignedWhateverIsAsked) {
    AttachHost();
    list.CreateReportList(window, 10, 10, 300, 200);
    list.InsertColumn(0, "a", 50, dui::StringAlignment::Center);
    list.InsertColumn(0, "b", 50, dui::StringAlignment::Center);
    const int row = list.InsertRow();
    list.CellText(row, 1, "x");
    // Near alignment puts the text at the left of the first column, the
    // second column's is centred.
    list.PaintNow();
    const dui::ExCanvas& canvas = *list.Canvas();
    const int y = static_cast<int>(list.VisibleRect().top) + list.RowHeight() / 2;
    int first_ink = -1;
    for (int x = 0; x < 50 && first_ink < 0; ++x) {
        if (IsInk(canvas.GetPixel(x + 2, y))) first_ink = x;
    }
    EXPECT_GE(first_ink, 0);
    EXPECT_LT(first_ink, 12);
}

TEST_F(ReportListTest, InsertAndDeleteShiftSelectionCurrentAndHover) {
    MakeList(6, false);
    list.SelectRow(2);
    list.SelectRow(5);
    ClickRow(4);  // plain click: selection {4}, current 4
    list.SelectRow(2);
    list.SelectRow(5);
    headless::MouseMove(window, RowPoint(6));
    Pump();
    ASSERT_EQ(list.HoverRow(), 6);
    ASSERT_EQ(list.CurrentRow(), 4);

    EXPECT_EQ(list.InsertRow(3, "new"), 3);
    EXPECT_EQ(list.Selection(), (std::vector<int>{5, 2, 6}));
    EXPECT_EQ(list.CurrentRow(), 5);
    EXPECT_EQ(list.HoverRow(), 7);
    EXPECT_EQ(list.CellText(5, 1), "row 4");

    EXPECT_TRUE(list.DeleteRow(1));
    EXPECT_EQ(list.Selection(), (std::vector<int>{4, 1, 5}));
    EXPECT_EQ(list.CurrentRow(), 4);
    EXPECT_EQ(list.HoverRow(), 6);
    // Their own row going clears them.
    EXPECT_TRUE(list.DeleteRow(4));
    EXPECT_EQ(list.CurrentRow(), 0);
    EXPECT_EQ(list.Selection(), (std::vector<int>{1, 4}));
    EXPECT_TRUE(list.DeleteRow(5));
    EXPECT_EQ(list.HoverRow(), 0);
    for (int row : list.Selection()) EXPECT_TRUE(list.IsSelected(row));
}

TEST_F(ReportListTest, RowNumbersOutOfRangeChangeNothing) {
    MakeList(3);
    EXPECT_EQ(list.InsertRow(0, "appended"), 4);
    EXPECT_EQ(list.InsertRow(5, "at the end"), 5);
    EXPECT_EQ(list.InsertRow(9, "beyond"), 0);
    EXPECT_EQ(list.InsertRow(-1, "negative"), 0);
    EXPECT_EQ(list.RowCount(), 5);
    EXPECT_FALSE(list.CellText(0, 1, "x"));
    EXPECT_FALSE(list.CellText(1, 3, "x"));
    EXPECT_EQ(list.CellText(6, 1), "");
    EXPECT_FALSE(list.DeleteRow(6));
    EXPECT_EQ(list.RowKey(0), 0);
    EXPECT_FALSE(list.CheckIndex(1, 0));
    EXPECT_TRUE(list.CheckIndex(5, 2));

    list.CurrentRow(2);
    EXPECT_EQ(list.CurrentRow(99), 0) << "an invalid row leaves none current";
    EXPECT_FALSE(list.IsSelected(2));
    EXPECT_EQ(list.SelectedCount(), 0);
}

TEST_F(ReportListTest, FindTextMatchesOnlyAtCharacterStarts) {
    MakeList(0);
    // "中文" is D6 D0 CE C4: the bytes D0 CE straddle the two characters.
    list.InsertRow(0, "中文");
    list.InsertRow(0, "abc");
    list.InsertRow(0, "xx中文yy");
    list.CellText(2, 2, "中");
    EXPECT_EQ(list.FindText("\xD0\xCE", 1, false, true), 0);
    EXPECT_EQ(list.FindText("文", 1, false, true), 1);
    EXPECT_EQ(list.FindText("文", 2, false, true), 3);
    EXPECT_EQ(list.FindText("中文"), 1);
    EXPECT_EQ(list.FindText("中文", 2), 0) << "without partial the whole cell must equal";
    EXPECT_EQ(list.FindText("中", 1, true, true), 0) << "whole wins over partial";
    EXPECT_EQ(list.FindText("中", 1, false, false, -1), 2);
    EXPECT_EQ(list.FindText("中", 4), 0);
    // A lone lead byte at the end is never read past.
    list.CellText(2, 1, std::string("ab\xD6"));
    EXPECT_EQ(list.FindText("\xD6", 2, false, true), 2);
    EXPECT_EQ(list.FindText("\xD6\xD0", 2, false, true), 3);
}

TEST_F(ReportListTest, FindKeyStartsAtTheGivenRow) {
    MakeList(0);
    const auto key = [](int value) {
        dui::ListRowOptions options;
        options.key = value;
        return options;
    };
    list.InsertRow(0, "a", key(7));
    list.InsertRow(0, "b", key(8));
    list.InsertRow(0, "c", key(7));
    EXPECT_EQ(list.FindKey(7), 1);
    EXPECT_EQ(list.FindKey(7, 2), 3);
    EXPECT_EQ(list.FindKey(9), 0);
}

// ---------------------------------------------------------------------------
// Mouse

TEST_F(ReportListTest, SingleSelectClickMakesTheRowCurrentAndReportsIt) {
    MakeList(5);
    ClickRow(2);
    EXPECT_EQ(list.CurrentRow(), 2);
    EXPECT_TRUE(list.IsSelected(2));
    EXPECT_EQ(events, (std::vector<std::string>{"current 2", "left 2"}));
    EXPECT_PRED2(Near, RowPixel(2), kSelectedBack);
    ClickRow(4);
    EXPECT_FALSE(list.IsSelected(2));
    EXPECT_TRUE(list.IsSelected(4));
    EXPECT_FALSE(Near(RowPixel(2), kSelectedBack)) << "the old current row is repainted";
    EXPECT_PRED2(Near, RowPixel(4), kSelectedBack);
}

TEST_F(ReportListTest, SwitchingToSingleSelectKeepsOnlyTheCurrentRowSelected) {
    MakeList(5, /*single_select=*/false);
    ClickRow(2);
    list.SelectRow(4);
    list.SelectRow(5);
    ASSERT_EQ(list.SelectedCount(), 3);
    list.SingleSelect(true);
    EXPECT_LE(list.SelectedCount(), 1);
    EXPECT_TRUE(list.IsSelected(2));
    EXPECT_FALSE(list.IsSelected(4));
    EXPECT_FALSE(list.IsSelected(5));
    Pump();
    EXPECT_FALSE(Near(RowPixel(4), kSelectedBack)) << "the rows it leaves are repainted";
    ClickRow(3);
    for (const int row : {1, 2, 4, 5}) EXPECT_FALSE(list.IsSelected(row)) << row;
    EXPECT_TRUE(list.IsSelected(3));
}

// RowState sets a row's look directly, even for a row of the selection.
TEST_F(ReportListTest, ARowOfTheSelectionGivenAnotherStateIsNeverListedTwice) {
    MakeList(5, /*single_select=*/false);
    ASSERT_TRUE(list.SelectRow(2));
    list.RowState(2, dui::kRowNormal);
    EXPECT_TRUE(list.SelectRow(2));
    EXPECT_EQ(list.Selection(), (std::vector<int>{2}));
    EXPECT_TRUE(list.IsSelected(2));

    list.RowState(2, dui::kRowHover);
    headless::KeyDown(plat::VK_CONTROL);
    ClickRow(2);   // Ctrl+click on a row of the selection takes it out
    headless::KeyUp(plat::VK_CONTROL);
    EXPECT_TRUE(list.Selection().empty());
    EXPECT_FALSE(list.IsSelected(2));
}

TEST_F(ReportListTest, HoverFollowsThePointerAndShowsTheCellAsTooltip) {
    MakeList(5);
    headless::MouseMove(window, RowPoint(3, 200));
    Pump();
    EXPECT_EQ(list.HoverRow(), 3);
    EXPECT_EQ(list.HoverColumn(), 2);
    EXPECT_EQ(list.RowState(3), dui::kRowHover);
    EXPECT_PRED2(Near, RowPixel(3), kHoverBack);
    EXPECT_EQ(list.TooltipText(), "30");
    headless::MouseMove(window, RowPoint(4, 20));
    Pump();
    EXPECT_EQ(list.RowState(3), dui::kRowNormal);
    EXPECT_FALSE(Near(RowPixel(3), kHoverBack));
    EXPECT_EQ(list.TooltipText(), "row 4");
    headless::MouseMove(window, {400, 300});  // off the list
    Pump();
    EXPECT_EQ(list.HoverRow(), 0);
    EXPECT_EQ(list.RowState(4), dui::kRowNormal);
}

TEST_F(ReportListTest, CtrlTogglesAndShiftSelectsTheRangeFromTheCurrentRow) {
    MakeList(8, false);
    ClickRow(2);
    headless::KeyDown(plat::VK_CONTROL);
    ClickRow(5);
    ClickRow(7);
    ClickRow(5);
    headless::KeyUp(plat::VK_CONTROL);
    Pump();
    EXPECT_EQ(list.Selection(), (std::vector<int>{2, 7}));
    EXPECT_EQ(list.CurrentRow(), 5);

    headless::KeyDown(plat::VK_SHIFT);
    ClickRow(8);
    headless::KeyUp(plat::VK_SHIFT);
    Pump();
    EXPECT_EQ(list.Selection(), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(list.CurrentRow(), 5) << "Shift keeps the current row";
    EXPECT_FALSE(list.IsSelected(2));
    for (int row = 5; row <= 8; ++row) EXPECT_PRED2(Near, RowPixel(row), kSelectedBack) << row;
    EXPECT_FALSE(Near(RowPixel(2), kSelectedBack));

    // A right press on a selected row keeps the selection.
    ClickRow(6, plat::MouseButton::Right);
    EXPECT_EQ(list.SelectedCount(), 4);
    EXPECT_EQ(list.CurrentRow(), 6);
    EXPECT_EQ(events.back(), "right 6");
    // A plain click collapses it.
    ClickRow(3);
    EXPECT_EQ(list.Selection(), (std::vector<int>{3}));
}

TEST_F(ReportListTest, PlainClickClearsTheLookOfACurrentRowSetByCode) {
    MakeList(5, false);
    list.CurrentRow(2);
    ASSERT_TRUE(list.IsSelected(2));
    ClickRow(4);
    EXPECT_FALSE(list.IsSelected(2));
    EXPECT_FALSE(Near(RowPixel(2), kSelectedBack));
    EXPECT_EQ(list.Selection(), (std::vector<int>{4}));
}

TEST_F(ReportListTest, ShiftClickWithoutCurrentRowActsAsPlainClick) {
    MakeList(5, false);
    headless::KeyDown(plat::VK_SHIFT);
    ClickRow(3);
    headless::KeyUp(plat::VK_SHIFT);
    Pump();
    EXPECT_EQ(list.Selection(), (std::vector<int>{3}));
    EXPECT_EQ(list.CurrentRow(), 3);
}

TEST_F(ReportListTest, CurrentChangedRunsBeforeTheSelectionChanges) {
    MakeList(5);
    ClickRow(1);
    bool was_selected = true;
    list.OnCurrentChanged([&](dui::ControlHandle, int row) { was_selected = list.IsSelected(row); });
    ClickRow(3);
    EXPECT_FALSE(was_selected);
    EXPECT_TRUE(list.IsSelected(3));
}

TEST_F(ReportListTest, ReleaseOverAnotherRowIsNoClick) {
    MakeList(5);
    headless::MouseDown(window, RowPoint(2));
    Pump();
    headless::MouseUp(window, RowPoint(3));
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"current 2"}));
}

TEST_F(ReportListTest, RightClickHandlerMayClearTheList) {
    MakeList(40);
    Focus();
    list.OnRightClick([this](dui::ControlHandle, int) { list.Clear(); });
    list.OnCurrentChanged([](dui::ControlHandle, int) {});
    ClickRow(3, plat::MouseButton::Right);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.CurrentRow(), 0);
    headless::MouseMove(window, RowPoint(4));
    Pump();
    EXPECT_EQ(list.HoverRow(), 0);
    // A handler that clears on press, before the selection is touched.
    for (int i = 0; i < 5; ++i) list.InsertRow(0, "again");
    list.OnCurrentChanged([this](dui::ControlHandle, int) { list.Clear(); });
    Pump();
    ClickRow(2);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.SelectedCount(), 0);
}

TEST_F(ReportListTest, HandlerMayDestroyTheList) {
    MakeList(5);
    list.OnLeftClick([this](dui::ControlHandle, int) { list.Destroy(); });
    ClickRow(2);
    EXPECT_EQ(list.GetHandle(), dui::ControlHandle::None);
    Pump();
}

TEST_F(ReportListTest, HoverSelectMakesTheRowUnderThePointerCurrent) {
    MakeList(5);
    list.HoverSelect(true);
    headless::MouseMove(window, RowPoint(2));
    Pump();
    headless::MouseMove(window, RowPoint(4));
    Pump();
    EXPECT_EQ(list.CurrentRow(), 4);
    EXPECT_TRUE(list.IsSelected(4));
    EXPECT_FALSE(list.IsSelected(2));
    EXPECT_EQ(events, (std::vector<std::string>{"current 2", "current 4"}));
}

// ---------------------------------------------------------------------------
// Scrolling

TEST_F(ReportListTest, ContentHeightFollowsTheRowCount) {
    MakeList(50);
    const int rh = list.RowHeight();
    EXPECT_EQ(rh, dui::DefaultFont().Height() + 6);
    EXPECT_EQ(list.ContentHeight(), 50 * rh);
    list.DeleteRow(10);
    list.InsertRow(3, "x");
    list.InsertRow(0, "y");
    EXPECT_EQ(list.ContentHeight(), 51 * rh);
    Pump();
    EXPECT_TRUE(list.VerticalBar().Visible());
    EXPECT_EQ(list.VerticalBar().Maximum(), list.MaxScrollY());
    EXPECT_EQ(list.MaxScrollY(), 51 * rh - static_cast<int>(list.VisibleRect().height));
}

TEST_F(ReportListTest, WheelScrollsThreeRowsPerNotchWithinTheRange) {
    MakeList(50);
    Focus();
    const int rh = list.RowHeight();
    headless::Wheel(window, RowPoint(2), -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), 3 * rh);
    EXPECT_EQ(list.VerticalBar().Position(), 3 * rh);
    EXPECT_EQ(list.FirstVisible(), 4);
    headless::Wheel(window, RowPoint(2), 2 * plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), 0);
    for (int i = 0; i < 40; ++i) headless::Wheel(window, RowPoint(2), -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), list.MaxScrollY());
    EXPECT_EQ(list.LastVisible(), 50);
}

TEST_F(ReportListTest, PartialWheelDeltasGatherIntoNotches) {
    MakeList(50);
    Focus();
    headless::Wheel(window, RowPoint(2), -60);
    Pump();
    EXPECT_EQ(list.ScrollY(), 0);
    headless::Wheel(window, RowPoint(2), -60);
    Pump();
    EXPECT_EQ(list.ScrollY(), 3 * list.RowHeight());
}

TEST_F(ReportListTest, VerticalBarArrowStepsOnePixel) {
    MakeList(50);
    const dui::ExScrollBar& bar = list.VerticalBar();
    const dui::RectF arrow = bar.SecondArrowRect();
    headless::Click(window, {static_cast<int>(bar.Bounds().left + arrow.left + 5),
                             static_cast<int>(bar.Bounds().top + arrow.top + 4)});
    Pump();
    EXPECT_EQ(list.ScrollY(), 1);
    EXPECT_EQ(list.FirstVisible(), 1);
}

TEST_F(ReportListTest, WheelWithoutScrollRangeDoesNothing) {
    MakeList(3);
    Focus();
    headless::Wheel(window, RowPoint(2), -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), 0);
    EXPECT_FALSE(list.VerticalBar().Visible());
}

TEST_F(ReportListTest, PressAfterWheelActsOnTheRowUnderThePointer) {
    MakeList(50);
    Focus();
    headless::MouseMove(window, RowPoint(2));
    Pump();
    ASSERT_EQ(list.HoverRow(), 2);
    const plat::POINT still = RowPoint(2);
    headless::Wheel(window, still, -plat::WHEEL_DELTA);
    Pump();
    headless::MouseDown(window, still, plat::MouseButton::Right);
    headless::MouseUp(window, still, plat::MouseButton::Right);
    Pump();
    EXPECT_EQ(list.CurrentRow(), 5);
    EXPECT_EQ(list.HoverRow(), 5);
    EXPECT_EQ(events.back(), "right 5");
    EXPECT_NE(list.RowState(2), dui::kRowHover);
}

TEST_F(ReportListTest, ShrinkingTheRangeClampsTheScrollPosition) {
    MakeList(40);
    list.ScrollY(list.MaxScrollY());
    Pump();
    const int before = list.ScrollY();
    for (int i = 0; i < 5; ++i) list.DeleteRow(1);  // above the view
    EXPECT_EQ(list.ScrollY(), list.MaxScrollY());
    EXPECT_LT(list.ScrollY(), before);
    Pump();
    EXPECT_EQ(list.VerticalBar().Position(), list.ScrollY());
    EXPECT_EQ(list.VerticalBar().Maximum(), list.MaxScrollY());
    while (list.RowCount() > 3) list.DeleteRow(list.RowCount());
    Pump();
    EXPECT_EQ(list.ScrollY(), 0);
    EXPECT_FALSE(list.VerticalBar().Visible());
}

TEST_F(ReportListTest, ClearResetsBothScrollBars) {
    AttachHost();
    list.CreateReportList(window, 10, 10, 300, 200);
    for (int i = 0; i < 4; ++i) list.InsertColumn(0, "c", 150);
    for (int i = 0; i < 40; ++i) list.InsertRow(0, "r");
    Pump();
    ASSERT_TRUE(list.HorizontalBar().Visible());
    list.ScrollX(100);
    list.ScrollY(200);
    Pump();
    EXPECT_EQ(list.HorizontalBar().Position(), 100);
    list.Clear();
    EXPECT_EQ(list.ScrollX(), 0);
    EXPECT_EQ(list.ScrollY(), 0);
    Pump();
    EXPECT_EQ(list.HorizontalBar().Position(), 0);
    EXPECT_EQ(list.VerticalBar().Position(), 0);
    EXPECT_FALSE(list.VerticalBar().Visible());
    // The horizontal range stays: the columns are still wider than the view.
    EXPECT_TRUE(list.HorizontalBar().Visible());
}

TEST_F(ReportListTest, DraggingTheVerticalBarScrollsTheRows) {
    MakeList(100);
    const dui::ExScrollBar& bar = list.VerticalBar();
    const RectF thumb = bar.ThumbRect();
    const plat::POINT grab{static_cast<int>(bar.Bounds().left + 5),
                           static_cast<int>(bar.Bounds().top + thumb.top + 5)};
    headless::MouseDown(window, grab);
    Pump();
    headless::MouseMove(window, {grab.x, grab.y + 60});
    Pump();
    headless::MouseUp(window, {grab.x, grab.y + 60});
    Pump();
    EXPECT_GT(list.ScrollY(), 0);
    EXPECT_EQ(list.ScrollY(), bar.Position());
    EXPECT_TRUE(events.empty()) << "a press on the bar is not a press on a row";
}

TEST_F(ReportListTest, EnsureVisibleScrollsTheRowIntoViewAndPaintsIt) {
    MakeList(60);
    list.CurrentRow(45);
    list.EnsureVisible(45);
    Pump();
    const RectF visible = list.VisibleRect();
    EXPECT_EQ(list.ScrollY(), 45 * list.RowHeight() - static_cast<int>(visible.height));
    EXPECT_EQ(list.LastVisible(), 45);
    EXPECT_PRED2(Near, RowPixel(45), kSelectedBack);
    const int at_45 = list.ScrollY();
    list.EnsureVisible(list.FirstVisible());  // in view, if only in part
    EXPECT_EQ(list.ScrollY(), at_45);
    // A row above the view also comes to the bottom edge, as far as the
    // range allows.
    list.EnsureVisible(20);
    EXPECT_EQ(list.ScrollY(), 20 * list.RowHeight() - static_cast<int>(visible.height));
    list.EnsureVisible(3);
    EXPECT_EQ(list.ScrollY(), 0);
    list.EnsureVisible(0);
    EXPECT_EQ(list.ScrollY(), 0);
}

// Scrolling shifts the painted rows and paints only the uncovered ones: the
// result must equal a full repaint, pixel for pixel.
TEST_F(ReportListTest, IncrementalScrollPaintsWhatAFullRepaintPaints) {
    MakeList(200);
    Focus();
    list.CurrentRow(9);
    const auto snapshot = [&] {
        const dui::ExCanvas& canvas = *list.Canvas();
        std::vector<uint32_t> pixels;
        for (int y = 0; y < canvas.Height(); ++y) {
            for (int x = 0; x < canvas.Width(); ++x) pixels.push_back(canvas.GetPixel(x, y));
        }
        return pixels;
    };
    for (int delta : {-120, -120, 240, -360, -1, -7}) {
        headless::Wheel(window, RowPoint(1), delta);
        Pump();
        list.ScrollY(list.ScrollY() + 5);  // off the row grid
        Pump();
        const std::vector<uint32_t> incremental = snapshot();
        list.BuildRows(true);
        list.Compose();
        ASSERT_EQ(snapshot(), incremental) << "after a wheel delta of " << delta;
    }
}

// ---------------------------------------------------------------------------
// Updates

TEST_F(ReportListTest, ManyChangesBeforeTheLoopRunsRepaintOnce) {
    MakeList(0);
    const int pushes = headless::PushCount(window);
    for (int i = 1; i <= 2000; ++i) {
        const int row = list.InsertRow(0, "row");
        list.CellText(row, 2, "cell");
    }
    EXPECT_TRUE(list.UpdatePending());
    EXPECT_LE(Pump(), 4);
    EXPECT_LE(headless::PushCount(window) - pushes, 4);
    // A change to a row out of view asks for nothing.
    list.CellText(1500, 1, "changed");
    list.RowState(1500, dui::kRowSelected);
    EXPECT_FALSE(list.UpdatePending());
    list.CellText(1, 1, "changed");
    EXPECT_TRUE(list.UpdatePending());
}

TEST_F(ReportListTest, ChangeDuringAnUndoneScrollIsStillPainted) {
    MakeList(100);
    list.ScrollY(1000);
    list.CurrentRow(2);  // out of view at the moment
    list.ScrollY(0);
    Pump();
    EXPECT_PRED2(Near, RowPixel(2), kSelectedBack);
}

TEST_F(ReportListTest, EmptyTextShowsOnlyWhileThereAreNoRows) {
    MakeList(0);
    const RectF visible = list.VisibleRect();
    const auto ink_in_centre = [&] {
        const dui::ExCanvas& canvas = *list.Canvas();
        int ink = 0;
        const int cy = static_cast<int>(visible.top + visible.height / 2);
        for (int y = cy - 8; y <= cy + 8; ++y) {
            for (int x = static_cast<int>(visible.left); x < static_cast<int>(visible.Right()); ++x) {
                const dui::Argb p = canvas.GetPixel(x, y);
                if (IsInk(p)) ++ink;
            }
        }
        return ink;
    };
    EXPECT_EQ(ink_in_centre(), 0);
    list.EmptyText("没有找到结果");
    Pump();
    EXPECT_GT(ink_in_centre(), 20);
    list.InsertRow(0, "");
    Pump();
    EXPECT_EQ(ink_in_centre(), 0);
}

TEST_F(ReportListTest, HostileSizesStayBounded) {
    MakeList(10);
    list.InsertColumn(0, "huge", 2000000000);
    EXPECT_LE(list.ColumnWidth(3), 1 << 20);
    list.ColumnWidth(1, -50);
    EXPECT_EQ(list.ColumnWidth(1), 0);
    list.ScrollX(1 << 30);
    list.ScrollY(-5);
    Pump();
    EXPECT_EQ(list.ScrollX(), list.MaxScrollX());
    EXPECT_EQ(list.ScrollY(), 0);
    // The bitmaps stay the size of the view.
    EXPECT_LE(list.Canvas()->Width(), 300);
}

TEST_F(ReportListTest, ListWithoutWindowKeepsItsModel) {
    ExReportList loose;
    EXPECT_EQ(loose.InsertColumn(0, "a"), 1);
    EXPECT_EQ(loose.InsertRow(0, "x"), 1);
    loose.CellText(1, 1, "y");
    loose.EnsureVisible(1);
    loose.CurrentRow(1);
    EXPECT_EQ(loose.CellText(1), "y");
    EXPECT_FALSE(loose.HitTest(5, 5).found);
    EXPECT_EQ(loose.FirstVisible(), 0);
    loose.Clear();
    EXPECT_EQ(loose.RowCount(), 0);
}

// An image list of one solid square icon.
dui::ExImageList SolidIcons(int side, dui::Argb colour) {
    dui::ExCanvas canvas(side, side);
    canvas.Clear(colour);
    const std::string png = canvas.EncodePng();
    dui::ExImageList icons;
    icons.icon_width = icons.icon_height = side;
    if (auto image = dui::LoadImageFromBytes(png, false)) icons.icons.push_back(std::move(*image));
    return icons;
}

TEST_F(ReportListTest, ItemIconsSetTheRowHeightAndAreDrawnInTheirCells) {
    MakeList(3);
    list.SetImageLists(std::nullopt, std::nullopt, SolidIcons(24, 0xFF0000FF));
    EXPECT_EQ(list.RowHeight(), 30) << "icons taller than a text line set the row height";
    list.CellImage(2, 2, 0);
    list.CellImage(3, 2, 5);  // no such icon: nothing drawn
    Pump();
    const auto at = [&](int row) {
        return ScreenPixel(static_cast<int>(kLeft + list.VisibleRect().left + 150 + 4 + 12), RowPoint(row).y);
    };
    EXPECT_PRED2(Near, at(2), 0xFF0000FFu);
    EXPECT_FALSE(Near(at(3), 0xFF0000FF));
    EXPECT_FALSE(Near(at(1), 0xFF0000FF));
}

TEST_F(ReportListTest, OpacityReachesTheScrollBars) {
    MakeList(40);
    list.Alpha(200);
    EXPECT_EQ(list.VerticalBar().Alpha(), 200);
    EXPECT_EQ(list.HorizontalBar().Alpha(), 200);
}

TEST_F(ReportListTest, ListViewRowsSpanTheVisibleWidth) {
    AttachHost();
    dui::ReportListOptions options;
    options.view = dui::ListView::List;
    options.selected_back = kSelectedBack;
    list.CreateReportList(window, kLeft, kTop, 300, 200, options);
    list.InsertColumn(0, "name", 40);
    for (int i = 0; i < 5; ++i) list.InsertRow(0, "item");
    Pump();
    EXPECT_EQ(list.HeaderHeight(), 0);
    const RectF visible = list.VisibleRect();
    const auto hit = list.HitTest(visible.Right() - 3, visible.top + 2 * list.RowHeight() + 2);
    EXPECT_TRUE(hit.found);
    EXPECT_EQ(hit.row, 3);
    list.CurrentRow(3);
    Pump();
    EXPECT_PRED2(Near, ScreenPixel(static_cast<int>(kLeft + visible.Right() - 5), RowPoint(3).y), kSelectedBack);
}

TEST_F(ReportListTest, IconAndListViewsHitTheirItems) {
    AttachHost();
    dui::ReportListOptions options;
    options.view = dui::ListView::Icons;
    list.CreateReportList(window, 10, 10, 300, 200, options);
    list.InsertColumn(0, "name");
    for (int i = 0; i < 25; ++i) list.InsertRow(0, "item");
    Pump();
    EXPECT_EQ(list.HeaderHeight(), 0);
    const int across = list.ItemsPerLine();
    ASSERT_GT(across, 1);
    const int lines = (25 + across - 1) / across;
    EXPECT_EQ(list.ContentHeight(), lines * list.RowHeight()) << "a partial last line counts";
    const RectF visible = list.VisibleRect();
    const auto hit = list.HitTest(visible.left + list.ItemWidth() + 3, visible.top + list.RowHeight() + 3);
    EXPECT_TRUE(hit.found);
    EXPECT_EQ(hit.row, across + 2);
    EXPECT_FALSE(list.HitTest(visible.left + across * list.ItemWidth() + 1, visible.top + 3).found);
}


// ---------------------------------------------------------------------------
// Keyboard, wheel routing and order

TEST_F(ReportListTest, KeysMoveTheCurrentRowSelectedAndInViewAndLeaveTheRestToHandlers) {
    MakeList(60, /*single_select=*/false);
    Focus();
    std::vector<int> keys;
    list.BindEvent(plat::WM_KEYDOWN, [&](const dui::ControlEvent& e) { keys.push_back(int(e.wparam)); });
    const auto press = [&](int key) {
        headless::KeyDown(key);
        headless::KeyUp(key);
        Pump();
    };
    press(plat::VK_DOWN);
    EXPECT_EQ(list.CurrentRow(), 1);
    press(plat::VK_END);
    EXPECT_EQ(list.CurrentRow(), 60);
    EXPECT_EQ(list.Selection(), (std::vector<int>{60}));
    EXPECT_EQ(list.LastVisible(), 60);
    EXPECT_PRED2(Near, RowPixel(60), kSelectedBack);
    const std::optional<RectF> rect = list.RowRectInHost(60);
    ASSERT_TRUE(rect.has_value());
    EXPECT_FLOAT_EQ(rect->Bottom(), kTop + list.VisibleRect().Bottom());
    const int page = static_cast<int>(list.VisibleRect().height) / list.RowHeight();
    press(plat::VK_PRIOR);
    EXPECT_EQ(list.CurrentRow(), 60 - page);
    press(plat::VK_UP);
    EXPECT_EQ(list.CurrentRow(), 59 - page);
    press(plat::VK_HOME);
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(list.ScrollY(), 0);
    EXPECT_FALSE(list.IsSelected(60));
    press(plat::VK_RETURN);  // the application's
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(keys.size(), 6u) << "a bound handler sees every key";
}

TEST_F(ReportListTest, WheelScrollsTheListUnderThePointerWhileAnotherControlHasTheFocus) {
    MakeList(60);
    testing_support::RecordingControl& other = AddControl({10, 250, 100, 30});
    host->SetFocus(other.GetHandle());
    Pump();
    headless::Wheel(window, RowPoint(2), -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), 3 * list.RowHeight());
    EXPECT_FALSE(other.Received(plat::WM_MOUSEWHEEL));
    // Over a control that does not scroll, the wheel goes to the focus.
    Focus();
    headless::Wheel(window, {40, 260}, -plat::WHEEL_DELTA);
    Pump();
    EXPECT_EQ(list.ScrollY(), 6 * list.RowHeight());
}

TEST_F(ReportListTest, SortingIsStableAndTheSelectionAndCurrentRowStayOnTheirRows) {
    MakeList(5, /*single_select=*/false);
    ClickRow(2);
    headless::KeyDown(plat::VK_CONTROL);
    ClickRow(4);
    headless::KeyUp(plat::VK_CONTROL);
    // Values 10..50 by tens: the multiples of 20 first, ties in page order.
    list.SortRows([](const dui::ExListRow& a, const dui::ExListRow& b) {
        return std::stoi(a.cell_texts[1]) % 20 < std::stoi(b.cell_texts[1]) % 20;
    });
    std::vector<std::string> order;
    for (int row = 1; row <= 5; ++row) order.push_back(list.CellText(row));
    EXPECT_EQ(order, (std::vector<std::string>{"row 2", "row 4", "row 1", "row 3", "row 5"}));
    EXPECT_EQ(list.Selection(), (std::vector<int>{1, 2}));
    EXPECT_EQ(list.CurrentRow(), 2);
    Pump();
    EXPECT_PRED2(Near, RowPixel(1), kSelectedBack);
    EXPECT_FALSE(Near(RowPixel(4), kSelectedBack));
    list.RestoreRowOrder();
    EXPECT_EQ(list.CellText(1), "row 1");
    EXPECT_EQ(list.Selection(), (std::vector<int>{2, 4}));
    EXPECT_EQ(list.CurrentRow(), 4);
    EXPECT_FALSE(list.ReorderRows({0, 0, 1, 2, 3}));
}

TEST_F(ReportListTest, HeaderClickIsSentAndTheSortIndicatorShows) {
    MakeList(3);
    std::vector<uintptr_t> clicks;
    list.BindEvent(dui::EX_MSG_HEADERCLICK, [&](const dui::ControlEvent& e) { clicks.push_back(e.wparam); });
    const int header_y = static_cast<int>(kTop + 2 + list.HeaderHeight() / 2);
    headless::Click(window, {static_cast<int>(kLeft + 200), header_y});
    Pump();
    EXPECT_EQ(clicks, (std::vector<uintptr_t>{2}));
    const plat::POINT mark{static_cast<int>(kLeft + 2 + 250 - 9), header_y};
    const uint32_t before = ScreenPixel(mark.x, mark.y);
    list.SortColumn(2, dui::SortIndicator::Descending);
    Pump();
    EXPECT_NE(ScreenPixel(mark.x, mark.y), before);
    list.SortColumn(2, dui::SortIndicator::None);
    Pump();
    EXPECT_EQ(ScreenPixel(mark.x, mark.y), before);
}

}  // namespace
