#include "dui/controls/scroll_bar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/support/host_fixture.h"

namespace {

using dui::ExScrollBar;
using dui::RectF;
using dui::ScrollOrientation;
using dui::ScrollPart;
namespace headless = plat::headless;

class ScrollBarTest : public testing_support::HostFixture {
protected:
    // A bar at (20, 20) of the given size, recording every change it reports.
    ExScrollBar& MakeBar(float width, float height, int maximum = 100, bool continuous = true,
                         ScrollOrientation orientation = ScrollOrientation::Horizontal) {
        AttachHost();
        bar.CreateScrollBar(window, {20, 20, width, height},
                            {.maximum = maximum, .continuous = continuous, .orientation = orientation});
        bar.OnChange([this](dui::ControlHandle, dui::ControlHandle, int position) {
            changes.push_back(position);
        });
        Pump();
        return bar;
    }

    // A point in the window at the given control coordinates.
    static plat::POINT At(float x, float y) {
        return {static_cast<int>(20 + x), static_cast<int>(20 + y)};
    }

    // Timers are coalesced like the system's: time passes in ticks.
    void Elapse(int milliseconds) {
        for (int t = 0; t < milliseconds; t += 20) Advance(20);
    }

    ExScrollBar bar;
    std::vector<int> changes;
};

TEST_F(ScrollBarTest, LayoutPlacesArrowsTrackAndProportionalThumb) {
    MakeBar(200, 10);
    EXPECT_EQ(bar.FirstArrowRect(), (RectF{0, 0, 9, 10}));
    EXPECT_EQ(bar.SecondArrowRect(), (RectF{191, 0, 9, 10}));
    EXPECT_EQ(bar.TrackRect(), (RectF{10, 1, 180, 8}));
    EXPECT_NEAR(bar.ThumbLength(), 180.0 * 180.0 / 280.0, 1e-3);
    EXPECT_FLOAT_EQ(bar.ThumbOffset(), 10);
    bar.Position(100);
    EXPECT_FLOAT_EQ(bar.ThumbRect().Right(), bar.TrackRect().Right());

    ExScrollBar vertical;
    vertical.CreateScrollBar(window, {300, 20, 10, 120},
                             {.maximum = 100000, .orientation = ScrollOrientation::Vertical});
    EXPECT_EQ(vertical.TrackRect(), (RectF{1, 10, 8, 100}));
    // A huge range still leaves a thumb that can be grabbed.
    EXPECT_FLOAT_EQ(vertical.ThumbLength(), ExScrollBar::kMinThumbLength);
}

TEST_F(ScrollBarTest, PositionIsClampedIntoMinimumToMaximum) {
    MakeBar(200, 10);
    EXPECT_EQ(bar.Position(500), 100);
    EXPECT_EQ(bar.Position(-5), 0);
    bar.Minimum(20);
    EXPECT_EQ(bar.Position(), 20);
    EXPECT_EQ(bar.Position(3), 20);
    bar.Position(90);
    EXPECT_EQ(bar.Maximum(50), 50);
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_TRUE(changes.empty()) << "setters must not report changes";
}

TEST_F(ScrollBarTest, EmptyRangeHasNoThumbAndNoDivisionByZero) {
    MakeBar(200, 10, 0);
    EXPECT_EQ(bar.ThumbLength(), 0);
    EXPECT_FLOAT_EQ(bar.ThumbOffset(), bar.TrackRect().left);
    EXPECT_EQ(bar.PositionFromOffset(150), 0);

    bar.Minimum(40);  // maximum below minimum
    EXPECT_EQ(bar.Position(), 40);
    EXPECT_EQ(bar.ThumbLength(), 0);
    EXPECT_FLOAT_EQ(bar.ThumbOffset(), bar.TrackRect().left);
    EXPECT_FALSE(std::isnan(bar.ThumbRect().left));

    // Without a range, holding an arrow neither moves nor highlights it.
    const uint32_t before = ScreenPixel(20 + 195, 20 + 2);
    headless::MouseDown(window, At(195, 5));
    Pump();
    EXPECT_EQ(bar.Position(), 40);
    EXPECT_EQ(ScreenPixel(20 + 195, 20 + 2), before);
    headless::MouseUp(window, At(195, 5));
    Pump();
    EXPECT_TRUE(changes.empty());
}

TEST_F(ScrollBarTest, ThumbNeverExceedsTheTrack) {
    MakeBar(34, 10);  // a 14 px track, shorter than the minimum thumb
    EXPECT_FLOAT_EQ(bar.ThumbLength(), 14);
    bar.Position(100);
    EXPECT_LE(bar.ThumbRect().Right(), bar.TrackRect().Right());
    ExScrollBar tiny;
    tiny.CreateScrollBar(window, {300, 20, 12, 10});  // no track at all
    EXPECT_EQ(tiny.TrackRect().width, 0);
    EXPECT_EQ(tiny.ThumbLength(), 0);
}

TEST_F(ScrollBarTest, OffsetsMapBackToPositionsAndClampAtTheEnds) {
    MakeBar(200, 10);
    const float free = bar.TrackRect().width - bar.ThumbLength();
    EXPECT_EQ(bar.PositionFromOffset(0), 0);
    EXPECT_EQ(bar.PositionFromOffset(10), 0);
    EXPECT_EQ(bar.PositionFromOffset(10 + free / 2), 50);
    EXPECT_EQ(bar.PositionFromOffset(10 + free), 100);
    EXPECT_EQ(bar.PositionFromOffset(1e6f), 100);
    for (int p : {0, 13, 50, 99, 100}) {
        bar.Position(p);
        EXPECT_EQ(bar.PositionFromOffset(bar.ThumbOffset()), p);
    }
}

TEST_F(ScrollBarTest, ContinuousDragReportsEveryChange) {
    MakeBar(200, 10);
    const RectF thumb = bar.ThumbRect();
    const float grab = thumb.left + 5;
    headless::MouseDown(window, At(grab, 5));
    Pump();
    EXPECT_EQ(bar.PressedPart(), ScrollPart::Thumb);
    headless::MouseMove(window, At(grab + 20, 5));
    Pump();
    headless::MouseMove(window, At(grab + 40, 5));
    Pump();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes.back(), bar.Position());
    EXPECT_EQ(bar.Position(), bar.PositionFromOffset(thumb.left + 40));
    // Dragging beyond the end stops at the maximum.
    headless::MouseMove(window, At(grab + 400, 5));
    Pump();
    EXPECT_EQ(bar.Position(), 100);
    headless::MouseUp(window, At(grab + 400, 5));
    Pump();
    EXPECT_EQ(bar.PressedPart(), ScrollPart::None);
    EXPECT_EQ(changes.size(), 3u);
}

TEST_F(ScrollBarTest, DragWithoutContinuousReportsOnceAtRelease) {
    MakeBar(200, 10, 100, false);
    const float grab = bar.ThumbRect().left + 5;
    headless::MouseDown(window, At(grab, 5));
    Pump();
    for (int dx = 10; dx <= 50; dx += 10) {
        headless::MouseMove(window, At(grab + dx, 5));
        Pump();
    }
    EXPECT_TRUE(changes.empty());
    EXPECT_GT(bar.Position(), 0);
    headless::MouseUp(window, At(grab + 50, 5));
    Pump();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], bar.Position());
}

TEST_F(ScrollBarTest, ArrowStepsAtPressThenOnEveryTickWhileHeld) {
    MakeBar(200, 10);
    bar.Step(5);
    headless::MouseDown(window, At(195, 5));
    Pump();
    EXPECT_EQ(bar.Position(), 5);
    EXPECT_EQ(changes, (std::vector<int>{5}));
    Elapse(200);  // three ticks of 60 ms, no pause before the first
    EXPECT_EQ(bar.Position(), 20);
    // Off the arrow the repeat pauses.
    headless::MouseMove(window, At(100, 5));
    Pump();
    const int paused = bar.Position();
    Elapse(300);
    EXPECT_EQ(bar.Position(), paused);
    headless::MouseMove(window, At(195, 5));
    Pump();
    Elapse(10000);
    EXPECT_EQ(bar.Position(), 100);
    EXPECT_EQ(changes.back(), 100);
    headless::MouseUp(window, At(195, 5));
    Pump();
    const size_t reported = changes.size();
    Elapse(1000);
    EXPECT_EQ(changes.size(), reported);
}

TEST_F(ScrollBarTest, HoldingTheFirstArrowAtTheMinimumStopsAtOnce) {
    MakeBar(200, 10);
    headless::MouseDown(window, At(4, 5));
    Pump();
    Elapse(2000);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_TRUE(changes.empty());
    headless::MouseUp(window, At(4, 5));
    Pump();
}

TEST_F(ScrollBarTest, VerticalArrowsAndTrackPress) {
    MakeBar(10, 200, 100, true, ScrollOrientation::Vertical);
    headless::Click(window, At(5, 195));
    Pump();
    EXPECT_EQ(bar.Position(), 1);
    headless::Click(window, At(5, 4));
    Pump();
    EXPECT_EQ(bar.Position(), 0);
    // A press on the bare track below the thumb moves nothing.
    headless::Click(window, At(5, 185));
    Pump();
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(changes, (std::vector<int>{1, 0}));
}

TEST_F(ScrollBarTest, ChangeHandlerMayDestroyTheBar) {
    MakeBar(200, 10);
    bar.OnChange([this](dui::ControlHandle, dui::ControlHandle, int) { bar.Destroy(); });
    headless::MouseDown(window, At(195, 5));
    Pump();
    EXPECT_EQ(bar.GetHandle(), dui::ControlHandle::None);
    headless::MouseUp(window, At(195, 5));
    Elapse(500);
}

}  // namespace
