#include "dui/core/redraw_queue.h"

#include <gtest/gtest.h>

namespace {

using dui::RectF;

TEST(RedrawQueueTest, AppendKeepsOrderFrontJumpsAheadCoveredRectsAreSkipped) {
    dui::ExRedrawQueue queue;
    queue.Add({0, 0, 10, 10}, dui::RedrawMode::Append);
    queue.Add({20, 0, 10, 10}, dui::RedrawMode::Append);
    queue.Add({40, 0, 10, 10}, dui::RedrawMode::Front);
    queue.Add({2, 2, 5, 5}, dui::RedrawMode::Append);  // inside the first
    queue.Add({0, 0, 0, 10}, dui::RedrawMode::Append);  // empty
    ASSERT_EQ(queue.Size(), 3u);
    EXPECT_EQ(queue.TakeFront()->left, 40);
    EXPECT_EQ(queue.TakeFront()->left, 0);
    EXPECT_EQ(queue.TakeFront()->left, 20);
    EXPECT_FALSE(queue.TakeFront().has_value());
}

TEST(RedrawQueueTest, OverfullQueueCollapsesIntoItsBounds) {
    dui::ExRedrawQueue queue;
    for (int i = 0; i <= static_cast<int>(dui::ExRedrawQueue::kMaxEntries); ++i) {
        queue.Add({float(i * 2), float(i), 1, 1}, dui::RedrawMode::Append);
    }
    ASSERT_EQ(queue.Size(), 1u);
    const RectF all = *queue.TakeFront();
    EXPECT_EQ(all.left, 0);
    EXPECT_EQ(all.Right(), dui::ExRedrawQueue::kMaxEntries * 2 + 1);
}

}  // namespace
