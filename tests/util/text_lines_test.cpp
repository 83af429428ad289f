#include "util/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) lines.emplace_back(util::TakeLine(text));
    return lines;
}

TEST(TextLinesTest, EitherLineEndEndsALineAndOnlyAFinalCarriageReturnGoes) {
    using Expected = std::vector<std::string>;
    EXPECT_EQ(Lines("a\r\nb\nc"), (Expected{"a", "b", "c"}));
    EXPECT_EQ(Lines("\n\r\n"), (Expected{"", ""})) << "a last line end adds no empty line";
    EXPECT_EQ(Lines("a\rb\r\r\n"), (Expected{"a\rb\r"})) << "only the one before the newline";
    EXPECT_EQ(Lines("tail\r"), (Expected{"tail"}));
}

}  // namespace
