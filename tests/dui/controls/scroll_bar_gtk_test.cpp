// A list's scroll bar on a real X server: a thumb drag given with XTest keeps
// going while the pointer is outside the window, follows it back in, and
// ends only at the release.

#include <gtest/gtest.h>

#include <string>

#include "dui/controls/report_list.h"
#include "dui/core/host_window.h"
#include "platform/platform.h"
#include "tests/support/gtk_host_test.h"
#include "tests/support/x_input.h"

namespace {

using testing_support::Button;
using testing_support::PointerTo;
using testing_support::PumpUntil;

constexpr int kWindowLeft = 150, kWindowTop = 120;

class ScrollBarGtkTest : public testing_support::GtkHostTest {
protected:
    void SetUp() override {
        GtkHostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(OpenPlainHost("drag", kWindowLeft, kWindowTop, 400, 300));
        list.CreateReportList(window, 20, 20, 300, 200);
        list.InsertColumn(0, "name", 200);
        for (int i = 1; i <= 500; ++i) list.InsertRow(0, "row " + std::to_string(i));
        ASSERT_TRUE(ShowInPlace());
    }

    void TearDown() override {
        testing_support::ReleaseButtons();
        list.Destroy();
        GtkHostTest::TearDown();
    }

    dui::ExReportList list;
};

TEST_F(ScrollBarGtkTest, ThumbDragSurvivesThePointerLeavingTheWindow) {
    dui::ExScrollBar& bar = list.VerticalBar();
    ASSERT_TRUE(bar.Visible());
    const dui::RectF thumb = bar.ThumbRect();
    const int x = kWindowLeft + static_cast<int>(bar.Bounds().left + thumb.left + thumb.width / 2);
    const int y = kWindowTop + static_cast<int>(bar.Bounds().top + thumb.top + thumb.height / 2);
    PointerTo(x, y);
    Button(1, true);
    ASSERT_TRUE(PumpUntil([&] { return bar.PressedPart() == dui::ScrollPart::Thumb; }));

    PointerTo(x, y + 40);
    ASSERT_TRUE(PumpUntil([&] { return list.ScrollY() > 0; })) << "the drag did not start";
    // Far below and beside the window: the drag goes on to the end.
    PointerTo(x + 300, kWindowTop + 600);
    EXPECT_TRUE(PumpUntil([&] { return list.ScrollY() == list.MaxScrollY(); }))
        << "scrolled to " << list.ScrollY() << " of " << list.MaxScrollY();
    // Back in (the window heard the pointer leave meanwhile), the thumb
    // follows the pointer again.
    PointerTo(x, y + 20);
    EXPECT_TRUE(PumpUntil([&] { return list.ScrollY() > 0 && list.ScrollY() < list.MaxScrollY(); }))
        << "the drag did not resume";
    PointerTo(x, kWindowTop - 100);  // above the window
    EXPECT_TRUE(PumpUntil([&] { return list.ScrollY() == 0; }));
    Button(1, false);
    EXPECT_TRUE(PumpUntil([&] { return bar.PressedPart() == dui::ScrollPart::None; }))
        << "the release outside did not end the drag";
}

}  // namespace
