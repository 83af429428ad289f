#include "search/detail_address.h"

#include <gtest/gtest.h>

#include "tests/search/page_server.h"
#include "tests/support/paths.h"
#include "tests/support/raw_responder.h"

namespace {

using search::TextBetween;

TEST(TextBetweenTest, TakesTheTextBetweenTheFirstMarkers) {
    EXPECT_EQ(TextBetween("x readonly>abc</textarea>y</textarea>", " readonly>", "</textarea>"),
              "abc");
    EXPECT_EQ(TextBetween("a[1]b[2]", "[", "]"), "1");
    EXPECT_EQ(TextBetween("<t readonly></textarea>", " readonly>", "</textarea>"), "");
}

TEST(TextBetweenTest, MissingMarkersGiveAnEmptyText) {
    EXPECT_EQ(TextBetween("readonly>abc</textarea>", " readonly>", "</textarea>"), "");
    EXPECT_EQ(TextBetween("x readonly>abc", " readonly>", "</textarea>"), "");
    // The end marker only counts after the start marker.
    EXPECT_EQ(TextBetween("</textarea> readonly>abc", " readonly>", "</textarea>"), "");
    EXPECT_EQ(TextBetween("", " readonly>", "</textarea>"), "");
}

TEST(TextBetweenTest, MarkersAreCaseSensitive) {
    EXPECT_EQ(TextBetween("x READONLY>abc</textarea>", " readonly>", "</textarea>"), "");
    EXPECT_EQ(TextBetween("x readonly>abc</TEXTAREA>", " readonly>", "</textarea>"), "");
}

class ResolveDetailAddressTest : public ::testing::Test {
protected:
    std::string Resolve(const std::string& fixture) {
        m_server.Serve(testing_support::ReadFile(testing_support::FixturePath(fixture)),
                       "text/html; charset=utf-8");
        return search::ResolveDetailAddress(m_server.Root() + "/detail/1");
    }
    testing_support::PageServer m_server;
};

TEST_F(ResolveDetailAddressTest, ReadsTheDecodedAddressFromTheTextArea) {
    EXPECT_EQ(Resolve("engine2/detail.html"), "magnet:?xt=urn:btih:ABCDEF&dn=辛特尔 Sintel");
    EXPECT_EQ(m_server.LastTarget(), "/detail/1");
}

TEST_F(ResolveDetailAddressTest, PagesWithoutACompleteTextAreaGiveNothing) {
    EXPECT_EQ(Resolve("engine2/detail_unclosed.html"), "");
    EXPECT_EQ(Resolve("engine2/detail_no_marker.html"), "");
}

TEST_F(ResolveDetailAddressTest, FailedFetchGivesNothing) {
    EXPECT_EQ(search::ResolveDetailAddress("http://127.0.0.1:1/detail/1"), "");
    EXPECT_EQ(search::ResolveDetailAddress(""), "");
}

TEST_F(ResolveDetailAddressTest, ResultTellsAFailedFetchFromAPageWithoutAddress) {
    m_server.Serve(testing_support::ReadFile(testing_support::FixturePath("engine2/detail.html")),
                   "text/html; charset=utf-8", 404);
    const search::PageResult missing =
        search::ResolveDetailAddressResult(m_server.Root() + "/detail/1");
    EXPECT_EQ(missing.failure, services::HttpFailure::HttpStatus);
    EXPECT_EQ(missing.text, "");

    const std::string refused_url =
        "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/d";
    EXPECT_EQ(search::ResolveDetailAddressResult(refused_url).failure,
              services::HttpFailure::Refused);
    EXPECT_EQ(search::ResolveDetailAddressResult("").failure, services::HttpFailure::BadAddress);

    m_server.Serve(
        testing_support::ReadFile(testing_support::FixturePath("engine2/detail_no_marker.html")),
        "text/html; charset=utf-8");
    const search::PageResult none = search::ResolveDetailAddressResult(m_server.Root() + "/d");
    EXPECT_FALSE(none.Failed());
    EXPECT_EQ(none.text, "");
}

}  // namespace
