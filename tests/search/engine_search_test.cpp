#include "search/engine_search.h"

#include <gtest/gtest.h>

#include "services/encoding.h"
#include "tests/search/page_server.h"
#include "tests/support/paths.h"
#include "tests/support/raw_responder.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using testing_support::FixturePath;
using testing_support::ReadFile;

constexpr char kUtf8Html[] = "text/html; charset=utf-8";

// One search of `engine` against a loopback server that serves `fixture`.
class EngineSearchTest : public ::testing::Test {
protected:
    Rows Search(int engine_number, const std::string& fixture, const std::string& content_type,
                std::string_view keyword = "test", int page = 1) {
        m_server.Serve(ReadFile(FixturePath(fixture)), content_type);
        const search::SearchEngine engine = search::MakeSearchEngine(engine_number, m_server.Root());
        Rows rows;
        const int count = search::RunEngineSearch(
            engine, keyword, page, [&rows](std::vector<std::string>&& cells) {
                rows.push_back(std::move(cells));
            });
        EXPECT_EQ(count, static_cast<int>(rows.size()));
        return rows;
    }

    testing_support::PageServer m_server;
};

TEST_F(EngineSearchTest, EngineOneRowsComeInPageOrderWithTheNameFirst) {
    const Rows rows = Search(1, "engine1/results.html", kUtf8Html);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{
                           " debian-12.5.0-amd64-netinst.iso", "2024-02-10", "1", "629.0 MB",
                           "5240", "极快",
                           "magnet:?xt=urn:btih:A1B2C3D4E5F60718293A4B5C6D7E8F9012345678"
                           "&dn=debian-12.5.0-amd64-netinst.iso"}));
    // The name keeps the white space that starts it, HTML entities stay as
    // they are, and the magnet link's display name comes out decoded.
    EXPECT_EQ(rows[3][0], " Jazz &amp; Blues");
    EXPECT_EQ(rows[3][6], "magnet:?xt=urn:btih:0123456789ABCDEF0123456789ABCDEF01234567"
                          "&dn=Jazz & Blues");
}

TEST_F(EngineSearchTest, EngineOneConvertsAUtf8PageOnlyOnce) {
    // Served with "charset=utf-8" in both the header and the page: the text
    // must still come out as proper GBK, not converted twice.
    const Rows rows = Search(1, "engine1/results.html", kUtf8Html);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], " 红楼梦 全本");
    EXPECT_EQ(rows[1][5], "快");
    EXPECT_EQ(rows[1][6], "magnet:?xt=urn:btih:00112233445566778899AABBCCDDEEFF00112233"
                          "&dn=红楼梦 全本");
}

TEST_F(EngineSearchTest, UpperCaseMarkupMatchesAndNamesOutsideGbkBecomeQuestionMarks) {
    const Rows rows = Search(1, "engine1/results.html", "text/html");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2][0], " ?? ?? Korean Music");
    EXPECT_EQ(rows[2][1], "2018-03-11");
    EXPECT_EQ(rows[2][5], "慢");
}

TEST_F(EngineSearchTest, EmptyGroupsGiveEmptyCells) {
    const Rows rows = Search(1, "engine1/empty_cells.html", kUtf8Html);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][3], "");
    EXPECT_EQ(rows[0][5], "");
    EXPECT_EQ(rows[0][0], " Empty Cells Sample");
}

TEST_F(EngineSearchTest, PercentEscapesInEngineOneAndTwoPagesAreDecoded) {
    const Rows one = Search(1, "engine1/percent.html", kUtf8Html);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][0], " Sample A Name");   // "%41" is an escape
    EXPECT_EQ(one[0][4], "100%");             // a "%" before "&n" is not

    const Rows two = Search(2, "engine2/results.html", kUtf8Html);
    ASSERT_EQ(two.size(), 4u);
    EXPECT_EQ(two[3][0], "Name 中 Escaped");
}

TEST_F(EngineSearchTest, NoMatchDeliversNoRow) {
    EXPECT_TRUE(Search(1, "engine1/no_results.html", kUtf8Html).empty());
    EXPECT_TRUE(Search(3, "engine1/results.html", kUtf8Html).empty());
}

TEST_F(EngineSearchTest, EngineTwoRows) {
    const Rows rows = Search(2, "engine2/results.html", kUtf8Html);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Sintel (2010) 1080p", "1.12 GB", "2010-09-30",
                                                 "http://engine2.test/detail/1"}));
    EXPECT_EQ(rows[1][0], "钢铁之泪 Tears of Steel");
    EXPECT_EQ(rows[2][0], "? Piano Collection");
    // Upper-case markup matches the pattern's lower-case literals.
    EXPECT_EQ(rows[3][3], "http://engine2.test/detail/4");
    EXPECT_EQ(rows[3][1], "1 KB");
}

TEST_F(EngineSearchTest, EngineThreeTextIsUsedAsFetched) {
    const Rows rows = Search(3, "engine3/results.html", "text/html; charset=gbk");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{
                           "西游记 全本 EPUB", "2.8 MB", "420",
                           "ed2k://|file|%E8%A5%BF%E6%B8%B8%E8%AE%B0%20%E5%85%A8%E6%9C%AC%20EPUB"
                           "|2949120|0123456789ABCDEF0123456789ABCDEF|/"}));
    EXPECT_EQ(rows[1][0], "Korean &#54620;&#44397; Music");
    // Never percent-decoded, and upper-case markup still matches.
    EXPECT_EQ(rows[2][0], "Percent %41 Kept");
    EXPECT_EQ(rows[2][3], "ed2k://|file|a%20b.txt|1024|00000000000000000000000000000000|/");
}

TEST_F(EngineSearchTest, RequestCarriesTheEscapedKeywordAndPage) {
    Search(1, "engine1/no_results.html", kUtf8Html, "ab", -1);
    EXPECT_EQ(m_server.LastTarget(), "/?s=%61%62&p=-1");
    Search(2, "engine2/results.html", kUtf8Html, "中", 0);
    EXPECT_EQ(m_server.LastTarget(), "/search/%E4%B8%AD/currentPage/0");
    Search(3, "engine3/results.html", kUtf8Html, "", 3);
    EXPECT_EQ(m_server.LastTarget(), "//search/?page=3&mode=list");
}

TEST_F(EngineSearchTest, UnreachableEngineGivesNoRows) {
    const search::SearchEngine engine = search::MakeSearchEngine(1, "http://127.0.0.1:1");
    int calls = 0;
    EXPECT_EQ(search::RunEngineSearch(engine, "x", 1, [&](std::vector<std::string>&&) { ++calls; }), 0);
    EXPECT_EQ(calls, 0);
}

TEST_F(EngineSearchTest, PageFetchTellsWhyItFailed) {
    const search::SearchEngine refused =
        search::MakeSearchEngine(2, "http://127.0.0.1:" +
                                        std::to_string(testing_support::UnusedLoopbackPort()));
    const search::PageResult down = search::FetchEnginePageResult(refused, "x", 1);
    EXPECT_EQ(down.failure, services::HttpFailure::Refused) << down.detail;
    EXPECT_EQ(down.text, "");

    // An error page is a failure, and its text is not searched.
    for (int number : {1, 3}) {
        m_server.Serve(ReadFile(FixturePath("engine3/results.html")), kUtf8Html, 503);
        const search::PageResult error =
            search::FetchEnginePageResult(search::MakeSearchEngine(number, m_server.Root()), "x", 1);
        EXPECT_EQ(error.failure, services::HttpFailure::HttpStatus) << number;
        EXPECT_EQ(error.status, 503) << number;
        EXPECT_EQ(error.text, "") << number;
    }

    const search::PageResult bad_root =
        search::FetchEnginePageResult(search::MakeSearchEngine(1, "not a root"), "x", 1);
    EXPECT_EQ(bad_root.failure, services::HttpFailure::BadAddress);
}

TEST_F(EngineSearchTest, PageFetchResultMatchesThePlainFetch) {
    m_server.Serve(ReadFile(FixturePath("engine1/results.html")), kUtf8Html);
    const search::SearchEngine engine = search::MakeSearchEngine(1, m_server.Root());
    const search::PageResult result = search::FetchEnginePageResult(engine, "t", 1);
    EXPECT_FALSE(result.Failed());
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.text, search::FetchEnginePage(engine, "t", 1));
}

TEST(ExtractResultsTest, AGroupOutsideTheMatchGivesAnEmptyCell) {
    search::SearchEngine engine;
    engine.number = 9;
    engine.pattern = "<i>(a)?(b+)</i>";
    engine.columns = {{"x", 10, 2}, {"y", 10, 1}, {"z", 10, 5}};
    std::vector<std::vector<std::string>> rows;
    search::ExtractResults(engine, "<i>bb</i> <I>Ab</I>",
                           [&rows](std::vector<std::string>&& cells) { rows.push_back(cells); });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"bb", "", ""}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"b", "A", ""}));
}

// Row-like markup that explodes the backtracking at each of its starts must
// cost only those starts, not the rows after it.
TEST(ExtractResultsTest, NearMissMarkupBeforeTheRowsHidesNoRow) {
    std::string page;
    for (int i = 0; i < 80; ++i) {
        page += "<td><a href=\"x\" title=\"y\" target=\"_blank\">z</a></td><td class=\"files-size\">";
    }
    page += "\n";
    for (int i = 0; i < 20; ++i) {
        page += "<tr><td><a href=\"/t/" + std::to_string(i) + "\" title=\"t\" target=\"_blank\">row" +
                std::to_string(i) +
                "</a></td><td class=\"files-size\">1 MB</td><td class=\"convert-date\">2020-01-01"
                "</td><td class=\"action\"><a href=\"/d/" + std::to_string(i) +
                "\" class=\"btn\" title=\"d\" target=\"_blank\">Detail</a></td></tr>\n";
    }
    std::vector<std::vector<std::string>> rows;
    search::ExtractResults(search::MakeSearchEngine(2, "http://x.test"), page,
                           [&rows](std::vector<std::string>&& cells) { rows.push_back(cells); });
    ASSERT_EQ(rows.size(), 20u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], "row" + std::to_string(i));
        EXPECT_EQ(rows[i][3], "/d/" + std::to_string(i));
    }
}

TEST(ExtractResultsTest, GivenLimitsStopTheSearchAndKeepTheRowsBefore) {
    search::SearchEngine engine;
    engine.number = 9;
    engine.pattern = "<i>(\\w+)</i>";
    engine.columns = {{"x", 10, 1}};
    std::string page;
    for (int i = 0; i < 200; ++i) page += "<i>row" + std::to_string(i) + "</i>\n";
    std::vector<std::string> names;
    const auto keep = [&names](std::vector<std::string>&& cells) { names.push_back(cells.front()); };
    ASSERT_EQ(search::ExtractResults(engine, page, keep), 200);
    names.clear();
    services::RegexLimits limits;
    limits.max_stored_offsets = 64;
    const int capped = search::ExtractResults(engine, page, keep, limits);
    EXPECT_GT(capped, 0);
    EXPECT_LT(capped, 200);
    ASSERT_EQ(names.size(), static_cast<std::size_t>(capped));
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], "row" + std::to_string(i));
}

TEST(ExtractResultsTest, EngineWithoutPatternNeverCallsTheSink) {
    const search::SearchEngine engine = search::MakeSearchEngine(0, "http://x.test");
    EXPECT_EQ(search::ExtractResults(engine, "anything",
                                     [](std::vector<std::string>&&) { FAIL(); }),
              0);
}

}  // namespace
