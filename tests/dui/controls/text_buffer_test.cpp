#include "dui/controls/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dui::ExTextBuffer;

TEST(GbkCharacters, DoubleByteCharactersStepAsOneAndMalformedBytesAlone) {
    const std::string text = "中a";  // 2 + 1 bytes
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(dui::GbkCharLength(text, 0), 2u);
    EXPECT_EQ(dui::GbkCharLength(text, 2), 1u);
    EXPECT_EQ(dui::GbkCharCount(text), 2u);
    EXPECT_EQ(dui::GbkOffsetOfColumn(text, 1), 2u);
    EXPECT_EQ(dui::GbkOffsetOfColumn(text, 9), 3u);
    EXPECT_EQ(dui::GbkPreviousChar(text, 0, 3), 2u);
    EXPECT_EQ(dui::GbkPreviousChar(text, 0, 2), 0u);

    // A lone lead byte at the end is one character and never read past.
    const std::string lone("a\x81", 2);
    EXPECT_EQ(dui::GbkCharLength(lone, 1), 1u);
    EXPECT_EQ(dui::GbkCharCount(lone), 2u);
    EXPECT_EQ(dui::GbkCharLength(lone, 2), 0u);
    // A lead byte before a byte that cannot trail stands alone too.
    const std::string bad("\x81\x20\xFF\x7F", 4);
    EXPECT_EQ(dui::GbkCharCount(bad), 4u);
    // The start of the character holding an offset in the middle of one.
    EXPECT_EQ(dui::GbkCharStartAtOrBefore(text, 1), 0u);
    EXPECT_EQ(dui::GbkCharStartAtOrBefore(text, 99), 3u);
}

TEST(TextBuffer, SingleLineKeepsFirstLineAndLoneBreaksDisappear) {
    ExTextBuffer buffer;
    buffer.SetText("one\r\ntwo", false);
    EXPECT_EQ(buffer.Text(), "one");
    EXPECT_EQ(buffer.LineCount(), 1);

    buffer.SetText("a\nb\rc\r\nd", true);
    EXPECT_EQ(buffer.Text(), "abc\r\nd");
    ASSERT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineStart(2), 5u);
    EXPECT_EQ(buffer.LineEnd(1), 3u);
    EXPECT_EQ(buffer.LineText(2), "d");
    EXPECT_EQ(buffer.LineOf(3), 1);
    EXPECT_EQ(buffer.LineOf(5), 2);
    EXPECT_FALSE(buffer.CheckLine(3));
    EXPECT_EQ(buffer.LineText(7), "");

    // A trailing break makes an empty last line.
    buffer.SetText("x\r\n", true);
    EXPECT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineText(2), "");
}

TEST(TextBuffer, RangesTakeEitherOrderAndClamp) {
    ExTextBuffer buffer;
    buffer.SetText("hello\r\nworld", true);
    EXPECT_EQ(buffer.Range(7, 2), "llo\r\n");
    EXPECT_EQ(buffer.Range(10, 100), "ld");
    buffer.DeleteRange(5, 7, true);
    EXPECT_EQ(buffer.Text(), "helloworld");
    EXPECT_EQ(buffer.LineCount(), 1);
    buffer.InsertAt(5, "\r\n", true);
    EXPECT_EQ(buffer.LineCount(), 2);
    buffer.InsertAt(999, "!", true);
    EXPECT_EQ(buffer.Text(), "hello\r\nworld!");
}

TEST(TextBuffer, FirstLineStopsAtAnyBreak) {
    EXPECT_EQ(dui::FirstLine("abc\r\ndef"), "abc");
    EXPECT_EQ(dui::FirstLine("abc\ndef"), "abc");
    EXPECT_EQ(dui::FirstLine("abc"), "abc");
    EXPECT_EQ(dui::NormaliseBreaks("a\rb\nc\r\n"), "abc\r\n");
}

}  // namespace
