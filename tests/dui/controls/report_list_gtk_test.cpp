// A report list on a real X server: a wheel notch given with XTest over a
// focused list scrolls it by three rows, the rows that come into view reach
// the screen, and a right-click at the same still pointer acts on the row
// now under it.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dui/controls/report_list.h"
#include "dui/core/host_window.h"
#include "platform/platform.h"
#include "tests/support/gtk_host_test.h"
#include "tests/support/x_input.h"

namespace {

constexpr dui::Argb kSelectedBack = 0xFF00C000;
constexpr int kWindowLeft = 120, kWindowTop = 90;
constexpr float kListLeft = 12, kListTop = 40;

using testing_support::Click;
using testing_support::PointerTo;
using testing_support::PumpUntil;
using testing_support::ScreenPixel;

bool NearSelected(uint32_t rgb) {
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    return std::abs(r - 0x00) <= 4 && std::abs(g - 0xC0) <= 4 && std::abs(b - 0x00) <= 4;
}

class ReportListOnGtk : public testing_support::GtkHostTest {
protected:
    void TearDown() override {
        list.Destroy();
        GtkHostTest::TearDown();
    }

    dui::ExReportList list;
};

TEST_F(ReportListOnGtk, WheelNotchScrollsTheListUnderThePointer) {
    ASSERT_TRUE(OpenPlainHost("list", kWindowLeft, kWindowTop, 470, 390));
    dui::ReportListOptions list_options;
    list_options.selected_back = kSelectedBack;
    list.CreateReportList(window, kListLeft, kListTop, 446, 202, list_options);
    list.InsertColumn(0, "文件名", 290);
    list.InsertColumn(0, "文件大小", 70);
    for (int i = 1; i <= 200; ++i) list.CellText(list.InsertRow(), 2, std::to_string(i));
    std::vector<int> right_clicks;
    list.OnRightClick([&](dui::ControlHandle, int row) { right_clicks.push_back(row); });
    ASSERT_TRUE(ShowInPlace());

    // Screen point inside a row as the list shows it now (right of the
    // columns, where no text is drawn).
    const auto row_point = [&](int row) {
        const dui::RectF visible = list.VisibleRect();
        const int rh = list.RowHeight();
        return plat::POINT{static_cast<int>(kWindowLeft + kListLeft + 390),
                           static_cast<int>(kWindowTop + kListTop + visible.top) + (row - 1) * rh -
                               list.ScrollY() + rh / 2};
    };

    const plat::POINT row5 = row_point(5);
    const plat::POINT row2 = row_point(2);
    PointerTo(row5.x, row5.y);
    Click(1);
    ASSERT_TRUE(PumpUntil([&] { return list.CurrentRow() == 5 && NearSelected(ScreenPixel(row5.x, row5.y)); }))
        << "the click did not select row 5 on screen";

    Click(5);  // one notch towards the user
    ASSERT_TRUE(PumpUntil([&] { return list.ScrollY() == 3 * list.RowHeight(); }))
        << "scrolled to " << list.ScrollY();
    EXPECT_EQ(list.FirstVisible(), 4);
    // Row 5 moved up by three rows, to where row 2 was; the rows that came
    // into view at the bottom were painted.
    EXPECT_TRUE(PumpUntil([&] {
        return NearSelected(ScreenPixel(row2.x, row2.y)) && !NearSelected(ScreenPixel(row5.x, row5.y));
    })) << "the screen does not show the scrolled rows";
    const dui::RectF visible = list.VisibleRect();
    const int bottom_y = static_cast<int>(kWindowTop + kListTop + visible.Bottom()) - 3;
    EXPECT_NE(ScreenPixel(row5.x, bottom_y), 0xDEADBEEFu);

    // The pointer has not moved: a right-click acts on the row now under it.
    Click(3);
    ASSERT_TRUE(PumpUntil([&] { return !right_clicks.empty(); }));
    EXPECT_EQ(right_clicks.front(), 8);
    EXPECT_EQ(list.CurrentRow(), 8);
}

}  // namespace
