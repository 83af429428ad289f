#include "app/demo_engines.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "search/engine_search.h"
#include "search/search_engine.h"
#include "services/encoding.h"
#include "services/http.h"

namespace {

using app::DemoCatalogue;
using app::DemoSearch;
using Rows = std::vector<std::vector<std::string>>;

std::string U8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// What a search makes of a page in the engine's own format.
Rows Extract(int engine_number, const std::string& page) {
    const search::SearchEngine engine = search::MakeSearchEngine(engine_number, "http://unused");
    const std::string text = engine.page_decoding == search::PageDecoding::PercentDecoded ? services::PercentDecode(page, true) : page;
    Rows rows;
    search::ExtractResults(engine, text, [&rows](std::vector<std::string>&& cells) {
        rows.push_back(std::move(cells));
    });
    return rows;
}

TEST(DemoCatalogueTest, IsLargeEnoughAndSafeForDecodedPages) {
    const auto catalogue = DemoCatalogue();
    EXPECT_GE(catalogue.size(), 40u);
    std::set<std::string> names;
    for (const app::DemoItem& item : catalogue) {
        const std::string name = app::Utf8Name(item);
        EXPECT_TRUE(names.insert(name).second) << name;
        // Pages of engines 1 and 2 are percent-decoded as a whole.
        EXPECT_EQ(name.find('%'), std::string::npos) << name;
        EXPECT_EQ(app::InfoHash(item).size(), 40u);
        EXPECT_EQ(app::Ed2kHash(item).size(), 32u);
    }
}

TEST(DemoCatalogueTest, LinksCarryThePercentEncodedName) {
    const app::DemoItem& item = DemoCatalogue()[0];
    EXPECT_EQ(app::PercentEscapeUtf8(U8(u8"a b-中~")), "a%20b-%E4%B8%AD~");
    EXPECT_TRUE(app::MagnetLink(item).starts_with("magnet:?xt=urn:btih:" + app::InfoHash(item) +
                                                  "&dn=Big%20Buck%20Bunny"));
    EXPECT_TRUE(app::Ed2kLink(item).starts_with("ed2k://|file|Big%20Buck%20Bunny"));
    EXPECT_EQ(app::FormatSize(1536), "2 KB");
    EXPECT_EQ(app::FormatSize(3 * 1024 * 1024 + 512 * 1024), "3.5 MB");
    EXPECT_EQ(app::FormatSize(1536ull * 1024 * 1024), "1.50 GB");
}

TEST(DemoSearchTest, KeywordIsACaseInsensitiveSubstring) {
    const auto found = DemoSearch("BUNNY", 1);
    ASSERT_EQ(found.size(), 2u);
    for (const app::DemoItem* item : found) {
        EXPECT_NE(app::Utf8Name(*item).find("Bunny"), std::string::npos);
    }
    EXPECT_EQ(DemoSearch(U8(u8"红楼梦"), 1).size(), 1u);
    EXPECT_TRUE(DemoSearch("no such thing at all", 1).empty());
}

TEST(DemoSearchTest, PagesHoldTenRowsAndOutOfRangePagesAreEmpty) {
    const std::size_t total = DemoCatalogue().size();
    std::size_t seen = 0;
    for (long long page = 1; page <= 10; ++page) {
        const auto rows = DemoSearch("", page);
        EXPECT_LE(rows.size(), 10u);
        if (!rows.empty()) {
            EXPECT_EQ(rows.front(), &DemoCatalogue()[static_cast<std::size_t>(page - 1) * 10]);
        }
        seen += rows.size();
    }
    EXPECT_EQ(seen, total);
    EXPECT_TRUE(DemoSearch("", 0).empty());
    EXPECT_TRUE(DemoSearch("", -1).empty());
    EXPECT_TRUE(DemoSearch("", 9223372036854775807LL).empty());
    EXPECT_TRUE(DemoSearch("", -9223372036854775807LL - 1).empty());
}

TEST(DemoPagesTest, EngineOnePageMatchesTheEnginePattern) {
    const auto items = DemoSearch("", 1);
    const Rows rows = Extract(1, app::RenderEngine1Page(items, "", 1));
    ASSERT_EQ(rows.size(), items.size());
    const app::DemoItem& first = *items[0];
    // The alt text reads "magnet <name>": the name group keeps one space.
    EXPECT_EQ(rows[0][0], " " + services::Utf8ToGbk(app::Utf8Name(first)));
    EXPECT_EQ(rows[0][1], std::string(first.date));
    EXPECT_EQ(rows[0][2], std::to_string(first.file_count));
    EXPECT_EQ(rows[0][3], app::FormatSize(first.size_bytes));
    EXPECT_EQ(rows[0][4], std::to_string(first.popularity));
    EXPECT_EQ(rows[0][5], services::Utf8ToGbk(app::SpeedText(first)));
    EXPECT_EQ(rows[0][6], services::Utf8ToGbk(services::PercentDecode(app::MagnetLink(first), false)));
}

TEST(DemoPagesTest, MarkupInNamesIsEscaped) {
    const auto items = DemoSearch("jazz", 1);
    ASSERT_EQ(items.size(), 1u);
    const Rows one = Extract(1, app::RenderEngine1Page(items, "<b>", 1));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][0], " Jazz &amp; Blues &lt;Live at the Commons&gt; (CC BY)");
    const Rows three = Extract(3, app::RenderEngine3Page(items, "jazz", 1));
    ASSERT_EQ(three.size(), 1u);
    EXPECT_EQ(three[0][0], "Jazz &amp; Blues &lt;Live at the Commons&gt; (CC BY)");
    EXPECT_EQ(app::RenderEngine1Page({}, "100%<x>", 1).find("100%"), std::string::npos);
}

TEST(DemoPagesTest, EngineTwoPageLinksToDetailPages) {
    const auto items = DemoSearch("sintel", 1);
    const Rows rows = Extract(2, app::RenderEngine2Page(items, "sintel", 1, "http://127.0.0.1:9"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "Sintel (2010) 1080p");
    EXPECT_EQ(rows[0][1], app::FormatSize(items[0]->size_bytes));
    EXPECT_EQ(rows[0][2], std::string(items[0]->date));
    EXPECT_EQ(rows[0][3], "http://127.0.0.1:9/engine2/detail/" +
                              std::to_string(items[0] - DemoCatalogue().data()));
}

TEST(DemoPagesTest, EngineThreePageIsGbkWithReferencesForOtherCharacters) {
    const auto items = DemoSearch(U8(u8"한국"), 1);
    ASSERT_EQ(items.size(), 1u);
    const Rows rows = Extract(3, app::RenderEngine3Page(items, "", 1));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "&#54620;&#44397; &#51204;&#53685; &#51020;&#50501; "
                          "Korean Traditional Music (Public Domain)");
    EXPECT_EQ(rows[0][2], std::to_string(items[0]->seeds));
    EXPECT_EQ(rows[0][3], app::Ed2kLink(*items[0]));
    const Rows chinese = Extract(3, app::RenderEngine3Page(DemoSearch(U8(u8"西游记"), 1), "", 1));
    ASSERT_EQ(chinese.size(), 1u);
    EXPECT_EQ(chinese[0][0], "西游记 吴承恩 全本 EPUB");
}

class DemoServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_demo.Start()); }

    httplib::Result Get(const std::string& target) {
        httplib::Client client("127.0.0.1", m_demo.Port());
        return client.Get(target.c_str());
    }

    app::DemoEngines m_demo;
};

TEST_F(DemoServerTest, ServesEveryEngineInItsCharset) {
    auto one = Get("/engine1/?s=%62%55%4E%6E%79&p=1");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(Extract(1, one->body).size(), 2u);

    auto two = Get("/engine2/search/%62%75%6E%6E%79/currentPage/1");
    ASSERT_TRUE(two);
    EXPECT_EQ(Extract(2, two->body).size(), 2u);

    auto three = Get("/engine3//search/%E8%A5%BF%E6%B8%B8?page=1&mode=list");
    ASSERT_TRUE(three);
    EXPECT_EQ(three->get_header_value("Content-Type"), "text/html; charset=gbk");
    const Rows rows = Extract(3, three->body);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "西游记 吴承恩 全本 EPUB");
}

TEST_F(DemoServerTest, BadOrOutOfRangePagesHaveNoRows) {
    for (const char* target :
         {"/engine1/?s=&p=0", "/engine1/?s=&p=-1", "/engine1/?s=&p=99", "/engine1/?s=&p=x1",
          "/engine1/?s=", "/engine2/search//currentPage/", "/engine2/search/abc",
          "/engine3//search/?page=99999999999999999999&mode=list"}) {
        auto page = Get(target);
        ASSERT_TRUE(page) << target;
        EXPECT_EQ(page->status, 200) << target;
        EXPECT_TRUE(Extract(target[7] - '0', page->body).empty()) << target;
    }
    auto page = Get("/engine2/search/%2FcurrentPage%2F/currentPage/2");
    ASSERT_TRUE(page);
    EXPECT_TRUE(Extract(2, page->body).empty());
}

TEST_F(DemoServerTest, DetailPagesHoldTheMagnetLinkInAReadOnlyTextArea) {
    auto detail = Get("/engine2/detail/2");
    ASSERT_TRUE(detail);
    EXPECT_NE(detail->body.find(" readonly>" + app::MagnetLink(DemoCatalogue()[2]) + "</textarea>"),
              std::string::npos);
    for (const char* bad : {"/engine2/detail/9999", "/engine2/detail/-1", "/engine2/detail/1x",
                            "/engine2/detail/"}) {
        auto missing = Get(bad);
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->status, 404) << bad;
        EXPECT_EQ(missing->body.find("readonly"), std::string::npos);
    }
}

TEST_F(DemoServerTest, PlayerAndSitePagesAreServed) {
    for (const char* target : {"/okapi.php", "/happyvod/api.php?top=1"}) {
        auto page = Get(target);
        ASSERT_TRUE(page) << target;
        EXPECT_EQ(page->status, 200);
        EXPECT_NE(page->body.find("location.hash"), std::string::npos);
        EXPECT_NE(page->body.find("textContent"), std::string::npos);
    }
    auto site = Get("/site");
    ASSERT_TRUE(site);
    EXPECT_EQ(site->status, 200);
    EXPECT_EQ(Get("/nothing/here")->status, 404);
    httplib::Client client("127.0.0.1", m_demo.Port());
    auto posted = client.Post("/engine1/", "x", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 405);
}

TEST_F(DemoServerTest, HostileRequestsGetAnAnswer) {
    auto huge = Get("/engine2/search/" + std::string(7000, 'a') + "/currentPage/1");
    ASSERT_TRUE(huge);
    auto nul = Get("/engine3//search/%00%FF%FE?page=1");
    ASSERT_TRUE(nul);
    EXPECT_EQ(nul->status, 200);
    // Still serving afterwards.
    EXPECT_EQ(Get("/engine1/?s=&p=1")->status, 200);
}

// Connections that never send a request must neither starve the server
// nor stay open for ever.
TEST_F(DemoServerTest, KeepsAnsweringWhileManyIdleConnectionsAreOpen) {
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(m_demo.Port()));
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        idle.push_back(fd);
    }
    httplib::Client client("127.0.0.1", m_demo.Port());
    client.set_connection_timeout(2, 0);
    client.set_read_timeout(2, 0);
    for (int i = 0; i < 5; ++i) {
        auto page = client.Get("/engine1/?s=&p=1");
        ASSERT_TRUE(page) << "request " << i << " got no answer: " << httplib::to_string(page.error());
        EXPECT_EQ(page->status, 200);
    }
    // The server closes an idle connection after a few seconds: the peer
    // then reads end-of-file.
    pollfd first{idle.front(), POLLIN, 0};
    ASSERT_EQ(::poll(&first, 1, 15'000), 1) << "an idle connection stayed open";
    char byte = 0;
    EXPECT_EQ(::recv(idle.front(), &byte, 1, 0), 0);
    for (const int fd : idle) ::close(fd);
}

TEST_F(DemoServerTest, SitesPointAtTheServer) {
    const app::SiteSettings sites = m_demo.Sites();
    const std::string origin = "http://127.0.0.1:" + std::to_string(m_demo.Port());
    EXPECT_EQ(sites.engine_roots[0], origin + "/engine1");
    EXPECT_EQ(sites.engine_roots[2], origin + "/engine3");
    EXPECT_EQ(app::PlayerPageAddress(sites, 2), origin + "/happyvod/api.php?top=1#!url=");
    EXPECT_EQ(sites.site, origin + "/site");
    m_demo.Stop();
    EXPECT_FALSE(m_demo.Running());
    EXPECT_EQ(m_demo.Sites().site, "");
}

TEST(ResolveSitesTest, DemoStartsOnlyWhenSomethingFallsBack) {
    app::PartialSettings partial;
    for (auto& root : partial.engine_roots) root = "http://e.test";
    for (auto& root : partial.player_roots) root = "http://p.test";
    partial.site = "http://s.test";
    app::DemoEngines demo;
    app::SiteSettings sites;
    ASSERT_TRUE(app::ResolveSites(partial, demo, sites));
    EXPECT_FALSE(demo.Running());
    EXPECT_EQ(sites.engine_roots[1], "http://e.test");

    partial.site.reset();
    ASSERT_TRUE(app::ResolveSites(partial, demo, sites));
    EXPECT_TRUE(demo.Running());
    EXPECT_EQ(sites.site, demo.Origin() + "/site");
    EXPECT_EQ(sites.engine_roots[1], "http://e.test");
}

TEST(DemoEnginesTest, TakenPortIsReported) {
    app::DemoEngines first;
    ASSERT_TRUE(first.Start());
    app::DemoEngines second;
    std::string error;
    EXPECT_FALSE(second.Start(first.Port(), &error));
    EXPECT_NE(error.find(std::to_string(first.Port())), std::string::npos);
}

// The page server starts on the first connection; a server that never had
// one stops at once and gives its port back, as one that served does.
TEST(DemoEnginesTest, StopsWithOrWithoutAConnectionAndFreesThePort) {
    for (const bool connect : {false, true}) {
        app::DemoEngines demo;
        ASSERT_TRUE(demo.Start());
        const int port = demo.Port();
        if (connect) {
            EXPECT_FALSE(services::FetchText(demo.Origin() + "/site").empty());
        }
        demo.Stop();
        EXPECT_FALSE(demo.Running());
        app::DemoEngines again;
        EXPECT_TRUE(again.Start(port)) << (connect ? "after a connection" : "before any");
    }
}

}  // namespace
