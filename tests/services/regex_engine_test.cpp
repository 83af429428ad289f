#include "services/regex_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;
using services::RegexEngine;
using services::RegexLimits;

TEST(RegexEngineOptionsTest, DefaultsAreCaseInsensitiveMultiLineAndGlobal) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("^ab", "AB\nab\nxab"));
    ASSERT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.MatchText(1), "AB");
    EXPECT_EQ(regex.MatchText(2), "ab");

    ASSERT_TRUE(regex.Compile("^ab", "AB\nab\nxab", /*case_sensitive=*/true));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Compile("^ab$", "AB\nab", false, /*multi_line=*/false));
    EXPECT_EQ(regex.MatchCount(), 0);
    ASSERT_TRUE(regex.Compile("ab", "AB ab", false, true, /*global=*/false));
    EXPECT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "AB");
}

TEST(RegexEngineOptionsTest, DotNeverMatchesLineFeedButClassesDo) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("a.b", "a\nb a\rb"));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "a\rb");
    ASSERT_TRUE(regex.Compile("a[\\s\\S]b|c[\\s|\\S]d", "a\nb c\nd"));
    EXPECT_EQ(regex.MatchCount(), 2);
}

TEST(RegexEngineOptionsTest, CaseInsensitivityCoversNonAsciiLetters) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("αβ", "ΑΒ"));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Compile("\\x22(\\u4E2D)\\x22", "\"中\""));
    EXPECT_EQ(regex.SubmatchText(1, 1), "中");
}

TEST(RegexEngineOptionsTest, QuoteTokenStandsForADoubleQuoteOnlyWhenAskedFor) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("href=#引号(.*?)#引号", "<a href=\"x.html\">", false, true, true, true));
    EXPECT_EQ(regex.GetPattern(), "href=\"(.*?)\"");
    EXPECT_EQ(regex.SubmatchText(1, 1), "x.html");

    ASSERT_TRUE(regex.Compile("href=#引号(.*?)#引号", "<a href=\"x.html\"> href=#引号y#引号"));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.SubmatchText(1, 1), "y");
}

TEST(RegexEngineMatchTest, NumbersOutOfRangeGiveEmptyTextsAndNoPosition) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("<(\\w)>", "<a><b><c>"));
    ASSERT_EQ(regex.MatchCount(), 3);
    int position = 99;
    EXPECT_EQ(regex.SubmatchText(3, 1, &position), "c");
    EXPECT_EQ(position, 7);
    for (auto [match, group] : {std::pair{4, 1}, {0, 1}, {-1, 1}, {1, 0}, {1, 2}}) {
        position = 99;
        EXPECT_EQ(regex.SubmatchText(match, group, &position), "") << match << "," << group;
        EXPECT_EQ(position, -1);
    }
    EXPECT_EQ(regex.MatchText(4), "");
}

TEST(RegexEngineMatchTest, GroupOutsideTheTakenAlternativeIsEmpty) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(a)|(b)", "b"));
    int position = 0;
    EXPECT_EQ(regex.SubmatchText(1, 1, &position), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(regex.SubmatchText(1, 2, &position), "b");
    EXPECT_EQ(position, 0);
    // A backreference to such a group matches the empty text.
    ASSERT_TRUE(regex.Compile("(x)?y\\1z", "yz"));
    EXPECT_EQ(regex.MatchCount(), 1);
}

TEST(RegexEngineMatchTest, SubmatchCountIsTheGroupCountOnceSomethingMatched) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(a)(b)?", "a ab"));
    EXPECT_EQ(regex.SubmatchText(2, 2), "b");
    EXPECT_EQ(regex.SubmatchCount(), 2);
    ASSERT_TRUE(regex.Compile("(a)(b)?", "xyz"));
    EXPECT_EQ(regex.SubmatchCount(), 0);
    EXPECT_EQ(RegexEngine().SubmatchCount(), 0);
}

TEST(RegexEngineMatchTest, TextsAndPositionsAreGbk) {
    RegexEngine regex;
    int position = -1;
    ASSERT_TRUE(regex.Compile("文件(\\S+)", "种子 文件名称 x"));
    EXPECT_EQ(regex.MatchText(1, &position), "文件名称");
    EXPECT_EQ(position, 5);
    EXPECT_EQ(regex.SubmatchText(1, 1, &position), "名称");
    EXPECT_EQ(position, 9);
    // Invalid GBK bytes keep their place and come back as they were.
    ASSERT_TRUE(regex.Compile("^(.)(.) (\\w+)", "\xFF\x81 abc"));
    EXPECT_EQ(regex.SubmatchText(1, 1), "\xFF");
    EXPECT_EQ(regex.SubmatchText(1, 2), "\x81");
    EXPECT_EQ(regex.SubmatchText(1, 3, &position), "abc");
    EXPECT_EQ(position, 3);
    ASSERT_TRUE(regex.Compile("b", "a\0b"s));
    EXPECT_EQ(regex.MatchText(1, &position), "b");
    EXPECT_EQ(position, 2);
    // The euro byte is one character, matched by itself in a pattern and by
    // "." but not by "\s".
    ASSERT_TRUE(regex.Compile("x(\x80\x80)(.)\x80\\s(y)", "x\x80\x80\xFF\x80 y"));
    EXPECT_EQ(regex.SubmatchText(1, 1), "\x80\x80");
    EXPECT_EQ(regex.SubmatchText(1, 2), "\xFF");
    EXPECT_EQ(regex.SubmatchText(1, 3, &position), "y");
    EXPECT_EQ(position, 6);
}

TEST(RegexEngineMatchTest, PositionsFollowCharactersWhateverTheBytes) {
    // Random GBK-ish subjects with invalid units: matching every character
    // one by one must hand the subject back piece by piece at the right
    // offsets, and replacing any match by itself must change nothing.
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        std::string subject;
        for (int i = 0; i < 40; ++i) {
            switch (random() % 5) {
            case 0: subject += "中文"; break;
            case 1: subject += static_cast<char>(0x80 + random() % 128); break;
            case 2: subject += "\n"; break;
            default: subject += static_cast<char>('a' + random() % 3); break;
            }
        }
        RegexEngine regex;
        ASSERT_TRUE(regex.Compile("[\\s\\S]", subject));
        std::string joined;
        for (int m = 1; m <= regex.MatchCount(); ++m) {
            int position = -1;
            std::string text = regex.MatchText(m, &position);
            ASSERT_EQ(static_cast<std::size_t>(position), joined.size());
            ASSERT_FALSE(text.empty());
            joined += text;
        }
        EXPECT_EQ(joined, subject);
        for (const char* pattern : {"(.)(\\S+)?", "[^a]*", "\\s(\\S)|(中)", "(?<=(.))b", "(文)?$"}) {
            ASSERT_TRUE(regex.Compile(pattern, subject));
            EXPECT_EQ(regex.ReplaceAll("$&"), subject) << pattern;
        }
    }
}

TEST(RegexEngineMatchTest, EmptyMatchesAdvanceOneCharacter) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("x*", "abc"));
    EXPECT_EQ(regex.MatchCount(), 4);
    EXPECT_EQ(regex.ReplaceAll("-"), "-a-b-c-");
    ASSERT_TRUE(regex.Compile("", "中文"));
    ASSERT_EQ(regex.MatchCount(), 3);
    int position = -1;
    regex.MatchText(2, &position);
    EXPECT_EQ(position, 2);
    ASSERT_TRUE(regex.Compile("b*", "abc"));
    EXPECT_EQ(regex.ReplaceAll("-"), "-a--c-");
}

TEST(RegexEngineMatchTest, InvalidPatternFailsWithNoMatches) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("a", "a"));
    EXPECT_FALSE(regex.Compile("(a", "a"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1), "");
    EXPECT_EQ(regex.GetPattern(), "(a");
    EXPECT_EQ(regex.ReplaceAll("x"), "");
    EXPECT_FALSE(regex.ErrorText().empty());
    // \C could split a character, so it is refused.
    EXPECT_FALSE(regex.Compile("\\C", "a"));
    // A stray ")" must not be balanced by the engine's own wrapping.
    EXPECT_FALSE(regex.Compile("a)|(b", "ab"));
}

TEST(RegexEngineMatchTest, PatternsTheWrappingCannotTakeStillWork) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(*LF)(?x) a b # a comment", "ab"));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Compile("a\\Q)(", "a)("));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Compile("(*FAIL)|b", "ab"));
    EXPECT_EQ(regex.MatchCount(), 1);
}

TEST(RegexEngineCopyTest, CopyKeepsItsResultsWhenTheOriginalCompilesAgain) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(\\d)", "1 2"));
    RegexEngine copy = regex;
    ASSERT_TRUE(regex.Compile("x", "y"));
    EXPECT_EQ(copy.MatchCount(), 2);
    EXPECT_EQ(copy.SubmatchText(2, 1), "2");
    EXPECT_EQ(copy.GetPattern(), "(\\d)");
    EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(RegexEngineReplaceTest, ExpandsScriptStyleReferences) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(\\w+)@(\\w+)", "a@b, 中c@d!"));
    EXPECT_EQ(regex.ReplaceAll("$2@$1"), "b@a, 中d@c!");
    EXPECT_EQ(regex.ReplaceAll("[$&]"), "[a@b], 中[c@d]!");
    EXPECT_EQ(regex.ReplaceAll("<$`>"), "<>, 中<a@b, 中>!");
    EXPECT_EQ(regex.ReplaceAll("<$'>"), "<, 中c@d!>, 中<!>!");
    EXPECT_EQ(regex.ReplaceAll("$$1 $3 $0 $"), "$1 $3 $0 $, 中$1 $3 $0 $!");
    EXPECT_EQ(regex.ReplaceAll("$10"), "a0, 中c0!");
    EXPECT_EQ(regex.ReplaceAll("替换"), "替换, 中替换!");
}

TEST(RegexEngineReplaceTest, TwoDigitReferencesAndGlobalOff) {
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)?", "abcdefghij abcdefghij"));
    EXPECT_EQ(regex.ReplaceAll("$10$11|"), "j| j|");
    ASSERT_TRUE(regex.Compile("o", "foo", false, true, /*global=*/false));
    EXPECT_EQ(regex.ReplaceAll("0"), "f0o");
    ASSERT_TRUE(regex.Compile("z", "foo"));
    EXPECT_EQ(regex.ReplaceAll("0"), "foo");
    EXPECT_EQ(RegexEngine().ReplaceAll("0"), "");
}

TEST(RegexEngineLargePageTest, TwoMegabytePageGivesEveryRowAndRightPositions) {
    std::string page;
    int rows = 0;
    while (page.size() < 2 * 1024 * 1024) {
        page += "<tr><td class=\"name\">种子" + std::to_string(rows) + "号</td><td>" +
                std::to_string(rows * 3) + " MB</td></tr>\n";
        ++rows;
    }
    RegexEngine regex;
    ASSERT_TRUE(regex.Compile("<td class=\"name\">(.*?)</td><td>([\\s\\S]*?)</td>", page));
    ASSERT_EQ(regex.MatchCount(), rows);
    EXPECT_FALSE(regex.LimitReached());
    int position = -1;
    std::string last_name = "种子" + std::to_string(rows - 1) + "号";
    EXPECT_EQ(regex.SubmatchText(rows, 1, &position), last_name);
    EXPECT_EQ(static_cast<std::size_t>(position), page.rfind(last_name));
    EXPECT_EQ(regex.SubmatchText(rows, 2), std::to_string((rows - 1) * 3) + " MB");
}

TEST(RegexEngineLimitTest, PositionOverTheMatchLimitIsSkippedAndTheSearchGoesOn) {
    // Every start inside the run of "a" backtracks exponentially; the ones
    // near its end stay under the limit and fail quickly.
    const std::string page = "ab ab ab " + std::string(2000, 'a') + "c ab";
    for (bool jit : {true, false}) {
        RegexLimits limits;
        limits.use_jit = jit;
        limits.match_limit = 5'000;
        RegexEngine regex(limits);
        ASSERT_TRUE(regex.Compile("(a+)+b", page));
        EXPECT_EQ(regex.MatchCount(), 4) << jit;
        EXPECT_EQ(regex.MatchText(4), "ab") << jit;
        EXPECT_TRUE(regex.LimitReached());
        EXPECT_NE(regex.ErrorText().find("skipped"), std::string::npos) << regex.ErrorText();
        EXPECT_TRUE(regex.ReplaceAll("x") == "x x x " + page.substr(9, 2001) + " x");
    }
}

TEST(RegexEngineLimitTest, PageOfNearMissesStopsAtTheTimeBudget) {
    // Every "<p>" starts an attempt that scans the rest of the page: each
    // attempt is cheap, so no per-position limit trips, but together they
    // are quadratic. Only the budget for the whole search stops them.
    std::string page = "<p>1</q> <p>2</q> ";
    for (int i = 0; i < 40000; ++i) page += "<p>x</q ";
    for (bool jit : {true, false}) {
        RegexLimits limits;
        limits.use_jit = jit;
        limits.match_limit = UINT32_MAX;
        limits.time_budget_ms = 200;
        RegexEngine regex(limits);
        ASSERT_TRUE(regex.Compile("<p>([\\s\\S]*?)</q>", page));
        EXPECT_EQ(regex.MatchCount(), 2);
        EXPECT_EQ(regex.SubmatchText(2, 1), "2");
        EXPECT_TRUE(regex.LimitReached());
        EXPECT_EQ(regex.ErrorText(), "time budget exhausted");
    }
}

TEST(RegexEngineLimitTest, MatchStorageIsBounded) {
    RegexLimits limits;
    limits.max_stored_offsets = 1000;
    RegexEngine regex(limits);
    ASSERT_TRUE(regex.Compile("(.)", std::string(10000, 'x')));
    EXPECT_EQ(regex.MatchCount(), 250);
    EXPECT_TRUE(regex.LimitReached());
}

}  // namespace
