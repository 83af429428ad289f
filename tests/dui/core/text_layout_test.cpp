#include "dui/core/text_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "dui/core/canvas.h"
#include "dui/core/font.h"
#include "dui/core/string_format.h"

namespace dui {
namespace {

// Source literals are compiled to GBK; laid-out text is UTF-8.
std::string U8(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

class TextLayoutTest : public ::testing::Test {
protected:
    TextLayout Laid(std::string_view utf8, TextFlow flow = {}, const StringFormat& format = {}) {
        TextLayout layout;
        layout.SetText(utf8, font, format, flow);
        return layout;
    }
    Font font = CreateFont("WenQuanYi Zen Hei", 12, kFontRegular);
};

TEST_F(TextLayoutTest, CaretPointsAndHitsRoundTripOverMultiByteCharacters) {
    const std::string text = U8(u8"ab种子c");  // starts 0 1 2 5 8, end 9
    const TextLayout layout = Laid(text);
    float previous = -1;
    for (int index : {0, 1, 2, 5, 8}) {
        const RectF caret = layout.CaretRect(index);
        EXPECT_GT(caret.left, previous) << index;
        previous = caret.left;
        const TextHit leading = layout.HitTest({caret.left + 1, caret.top + 1});
        EXPECT_EQ(leading.index, index);
        EXPECT_EQ(leading.trailing, 0);
    }
    const float end = layout.CaretRect(9).left;
    EXPECT_EQ(end, layout.PixelExtents().width);
    // The trailing half of the last character puts the caret after it.
    EXPECT_EQ(layout.HitTest({end - 1, 1}).trailing, 1);
    // Out-of-range indices and absurd points are clamped, never trusted.
    EXPECT_EQ(layout.CaretRect(-7), layout.CaretRect(0));
    EXPECT_EQ(layout.CaretRect(1000), layout.CaretRect(9));
    EXPECT_EQ(layout.HitTest({std::numeric_limits<float>::quiet_NaN(), 0}).index, 0);
    EXPECT_EQ(layout.HitTest({1e30f, 1}).index, 8);
    // Malformed input is laid out with a replacement character.
    EXPECT_GT(Laid(std::string("a\xFF") + "b").PixelExtents().width, Laid("ab").PixelExtents().width);
}

TEST_F(TextLayoutTest, WrappedLinesCoverTheTextInOrder) {
    const std::string text = "one two three four five six";
    const TextLayout layout = Laid(text, {.wrap_width = 60});
    ASSERT_GT(layout.LineCount(), 2);
    int next = 0;
    float top = -1;
    for (int i = 0; i < layout.LineCount(); ++i) {
        const TextLine line = layout.Line(i);
        EXPECT_EQ(line.start, next) << i;
        EXPECT_GT(line.length, 0);
        EXPECT_GT(line.extents.top, top);
        EXPECT_LE(line.extents.width, 60);
        next = line.start + line.length;
        top = line.extents.top;
    }
    EXPECT_EQ(next, static_cast<int>(text.size()));
    // Without a width, and in single-paragraph mode even over a newline, it
    // is one line.
    EXPECT_EQ(Laid(text).LineCount(), 1);
    EXPECT_EQ(Laid("one\ntwo", {.single_paragraph = true}).LineCount(), 1);
    EXPECT_EQ(Laid("one\ntwo").LineCount(), 2);
}

TEST_F(TextLayoutTest, SelectionOverTwoLinesGivesOneWholePixelRectanglePerLine) {
    const std::string text = "aaaa bbbb";
    const TextLayout layout = Laid(text, {.wrap_width = 40});
    ASSERT_EQ(layout.LineCount(), 2);
    const TextLine second = layout.Line(1);
    const PointF origin{10.5f, 20};
    const auto rects = layout.SelectionRects(2, second.start + 2, origin);
    ASSERT_GE(rects.size(), 2u);
    for (const RectF& r : rects) {
        const TextLine line = layout.Line(r.top == rects.front().top ? 0 : 1);
        EXPECT_EQ(r.top, origin.y + line.extents.top);
        EXPECT_EQ(r.height, line.extents.height);
        EXPECT_EQ(r.width, std::floor(r.width));
    }
    EXPECT_NE(rects.front().top, rects.back().top);
    // The first line from its third character on, the second up to its third.
    EXPECT_EQ(rects.front().left, std::floor(origin.x + layout.CaretRect(2).left));
    EXPECT_EQ(rects.back().left, std::floor(origin.x));
    EXPECT_EQ(rects.back().Right(), std::ceil(origin.x + layout.CaretRect(second.start + 2).left));
    EXPECT_TRUE(layout.SelectionRects(5, 2).empty());
}

TEST_F(TextLayoutTest, TabStopsComeFromTheFormatMeasuredFromItsEdge) {
    StringFormat format;
    format.SetTabStops(0, {40, 25});
    const TextLayout stops = Laid("\t\t\tb", {}, format);
    EXPECT_EQ(stops.CaretRect(2).left, 65);
    EXPECT_EQ(stops.CaretRect(3).left, 90) << "the last distance repeats";
    // The layout starting 10 px in: the same stops lie 10 px nearer.
    EXPECT_EQ(Laid("\tb", {.left = 10}, format).CaretRect(1).left, 30);
    // A single stop after a first offset repeats its own distance.
    format.SetTabStops(5, {20});
    EXPECT_EQ(Laid("\t\tb", {}, format).CaretRect(2).left, 45);
}

TEST_F(TextLayoutTest, CanvasPaintsTheSelectionOnlyInsideItsRectangles) {
    const TextLayout layout = Laid("iiii");
    const Argb fill = ArgbOf(255, 255, 0, 0);
    ExCanvas canvas(40, 20);
    canvas.DrawTextLayout(layout, {0, 0}, ArgbOf(255, 0, 0, 0), TextSelection{1, 2, fill, ArgbOf(255, 0, 255, 0)});
    const RectF selected = layout.SelectionRects(1, 2).at(0);
    int filled = 0, green = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const Argb pixel = canvas.GetPixel(x, y);
            if (!selected.Contains(x + 0.5f, y + 0.5f)) {
                EXPECT_NE(pixel, fill) << x << "," << y;
                continue;
            }
            filled += pixel == fill;
            green += ((pixel >> 8) & 0xFF) > 128;
        }
    }
    EXPECT_GT(filled, 0);
    EXPECT_GT(green, 0) << "the selected character in the selection's text colour";
}

}  // namespace
}  // namespace dui
