#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "search/engine_search.h"

namespace {

using search::BuildSearchAddress;
using search::EncodeSearchKeyword;
using search::MakeSearchEngine;

TEST(SearchAddressTest, EmptyKeywordLeavesNothingBetweenPathAndPage) {
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(1, "http://one.test"), EncodeSearchKeyword(""), 1),
              "http://one.test/?s=&p=1");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(2, "http://two.test"), EncodeSearchKeyword(""), 1),
              "http://two.test/search//currentPage/1");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(3, "http://three.test"), EncodeSearchKeyword(""), 1),
              "http://three.test//search/?page=1&mode=list");
}

TEST(SearchAddressTest, EveryKeywordByteIsEscapedFromUtf8) {
    EXPECT_EQ(EncodeSearchKeyword("abc"), "%61%62%63");
    // GBK in, UTF-8 escapes out: three per Chinese character.
    EXPECT_EQ(EncodeSearchKeyword("中文"), "%E4%B8%AD%E6%96%87");
    EXPECT_EQ(EncodeSearchKeyword("a b/1"), "%61%20%62%2F%31");
}

TEST(SearchAddressTest, PageNumbersAreSentUnchanged) {
    const std::string k = EncodeSearchKeyword("abc");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(1, "http://one.test"), k, 0),
              "http://one.test/?s=%61%62%63&p=0");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(2, "http://two.test"), k, -1),
              "http://two.test/search/%61%62%63/currentPage/-1");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(3, "http://three.test"), k, 12),
              "http://three.test//search/%61%62%63?page=12&mode=list");
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(1, "http://one.test"), k, -2147483647 - 1),
              "http://one.test/?s=%61%62%63&p=-2147483648");
}

TEST(SearchAddressTest, UnknownEngineHasNoAddress) {
    EXPECT_EQ(BuildSearchAddress(MakeSearchEngine(4, "http://x.test"), "%61", 1), "");
    EXPECT_EQ(MakeSearchEngine(0, "http://x.test").pattern, "");
}

// The documented patterns write each line feed as "\n"; the real patterns
// hold the byte itself and keep every other backslash.
TEST(EnginePatternTest, LineFeedsAreRealAndPatternSyntaxIsKept) {
    const auto line_feeds = [](std::string_view p) { return std::count(p.begin(), p.end(), '\n'); };
    EXPECT_EQ(line_feeds(search::EnginePattern(1)), 5);
    EXPECT_EQ(line_feeds(search::EnginePattern(2)), 0);
    EXPECT_EQ(line_feeds(search::EnginePattern(3)), 19);
    for (int n = 1; n <= 3; ++n) {
        const std::string_view p = search::EnginePattern(n);
        EXPECT_EQ(p.find("\\n"), std::string_view::npos) << n;
        EXPECT_NE(p.find("\\s"), std::string_view::npos) << n;
    }
    EXPECT_TRUE(search::EnginePattern(1).starts_with("\n<p class=\"m-meta\">\n[\\s|\\S]*?: (.*?)"));
    EXPECT_TRUE(search::EnginePattern(1).ends_with("alt=\\x22.*?(\\s\\S.*?)\\x22>[\\s|\\S]*?"));
    EXPECT_TRUE(search::EnginePattern(3).ends_with(
        "<td width='140' align='right'>\n        <span id='btns'>\n        <a href=\"(.*?)\">ED2K</a>"));
    EXPECT_EQ(search::EnginePattern(4), "");
}

TEST(ColumnMapTest, AddressColumnIsLastAndHidden) {
    for (int n = 1; n <= 3; ++n) {
        const search::ColumnMap columns = search::EngineColumns(n);
        ASSERT_FALSE(columns.empty());
        EXPECT_EQ(columns.back().width, 0) << n;
        for (std::size_t c = 0; c + 1 < columns.size(); ++c) EXPECT_GT(columns[c].width, 0);
    }
    EXPECT_EQ(search::EngineColumns(1).back().caption, "磁力地址");
    EXPECT_EQ(search::EngineColumns(3)[2].caption, "种子数量");
}

TEST(ColumnMapTest, EngineOneReadsTheNameFromTheLastGroupFirst) {
    std::vector<int> groups;
    for (const auto& column : search::EngineColumns(1)) groups.push_back(column.group);
    EXPECT_EQ(groups, (std::vector<int>{7, 1, 2, 3, 4, 5, 6}));
    groups.clear();
    for (const auto& column : search::EngineColumns(2)) groups.push_back(column.group);
    EXPECT_EQ(groups, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
