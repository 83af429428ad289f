#include "services/http.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/support/raw_responder.h"

namespace {

using services::FetchText;
using services::HttpFailure;
using services::WebRequestResult;
using services::HttpLimits;
using services::HttpRequestOptions;
using services::WebRequest;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::RawResponder;

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Q3VTK; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// Addresses

TEST(ParseUrlTest, UrlWithoutSchemeIsPlainHttpOnPort80) {
    const services::ParsedUrl parsed = services::ParseUrl("example/x");
    EXPECT_EQ(parsed.host, "example");
    EXPECT_EQ(parsed.port, 80);
    EXPECT_EQ(parsed.object_path, "/x");
    EXPECT_FALSE(parsed.secure);
}

TEST(ParseUrlTest, SecureUrlKeepsPathCaseAndQueryAndLowersHost) {
    const services::ParsedUrl parsed =
        services::ParseUrl("HTTPS://Www.Example.COM:8443/Path/To?Q=Ab&x=1");
    EXPECT_EQ(parsed.host, "www.example.com");
    EXPECT_EQ(parsed.port, 8443);
    EXPECT_EQ(parsed.object_path, "/Path/To?Q=Ab&x=1");
    EXPECT_TRUE(parsed.secure);
}

TEST(ParseUrlTest, DefaultPortsAndPathFollowTheScheme) {
    EXPECT_EQ(services::ParseUrl("https://a.example").port, 443);
    EXPECT_EQ(services::ParseUrl("https://a.example").object_path, "/");
    EXPECT_EQ(services::ParseUrl("http://a.example").port, 80);
    EXPECT_EQ(services::ParseUrl("http://a.example:").host, "a.example");
    EXPECT_EQ(services::ParseUrl("http://a.example:").port, 80);
}

TEST(ParseUrlTest, OutOfRangePortIsMarkedUnusable) {
    EXPECT_EQ(services::ParseUrl("http://a.example:99999999999999999999/").port, 0);
    EXPECT_EQ(services::ParseUrl("http://a.example:0/").port, 0);
}

TEST(ParseUrlTest, DegenerateUrlsDoNotBreakParsing) {
    for (const char* url : {"", "/", "http://", "https://", ":", "http:///x", "\xD6\xD0:"}) {
        const services::ParsedUrl parsed = services::ParseUrl(url);
        EXPECT_FALSE(parsed.object_path.empty()) << url;
    }
    EXPECT_EQ(services::ParseUrl("http://").host, "");
    EXPECT_EQ(services::ParseUrl("http:///x").object_path, "/x");
}

// Request header values

TEST(RequestUserAgentTest, DefaultAgentWithoutUserAgentLine) {
    EXPECT_EQ(services::RequestUserAgent(""), kDefaultAgent);
    EXPECT_EQ(services::RequestUserAgent("Accept: */*"), kDefaultAgent);
}

TEST(RequestUserAgentTest, AgentLineIsFoundIgnoringCaseAndTrimmedOfSpaces) {
    EXPECT_EQ(services::RequestUserAgent("Accept: x\r\nuser-AGENT:  Tool/2 \xA1\xA1\r\nX: y"),
              "Tool/2");
    EXPECT_EQ(services::RequestUserAgent("User-Agent: \xB0\xA1\xA1\xA1\r\n"), "\xB0\xA1");
    // Tabs are not spaces here.
    EXPECT_EQ(services::RequestUserAgent("User-Agent:\tTool/2\r\n"), "\tTool/2");
}

TEST(RequestUserAgentTest, LastLineWithoutLineBreakFallsBackToTextAfterFirstColon) {
    EXPECT_EQ(services::RequestUserAgent("User-Agent: Tool/3"), "Tool/3");
    // The fallback never yields a line break, which would split the agent
    // into header lines of its own.
    const std::string agent = services::RequestUserAgent("Accept: a\r\nUser-Agent: Tool/3");
    EXPECT_EQ(agent.find_first_of("\r\n"), std::string::npos);
}

// Cookie merging

TEST(MergeCookiesTest, ReceivedCookiesReplaceOldOnesOfTheSameName) {
    EXPECT_EQ(services::MergeCookies("a=1; b=2; c=3", "b=20; d=4; "), "b=20; d=4; a=1; c=3");
}

TEST(MergeCookiesTest, DeletedCookieRemovesTheOldOne) {
    EXPECT_EQ(services::MergeCookies("a=1; sid=xyz", "sid=deleted; "), "a=1");
    EXPECT_EQ(services::MergeCookies("sid=xyz", "sid=deleted; "), "");
}

TEST(MergeCookiesTest, SpacesAreRemovedAndDuplicatesKeptOnce) {
    EXPECT_EQ(services::MergeCookies(" a = 1 ;\xA1\xA1"
                                     "flag; flag",
                                     "x=1; x=1; "),
              "x=1; a=1; flag");
    // A full-width space counts only where a character starts: the trail
    // byte of the first character and the lead byte of the space are no space.
    EXPECT_EQ(services::MergeCookies("a=\xB0\xA1\xA1\xB0", ""), "a=\xB0\xA1\xA1\xB0");
}

TEST(MergeCookiesTest, EmptyEntriesCarryNoCookie) {
    EXPECT_EQ(services::MergeCookies("a=1", ""), "a=1");
    EXPECT_EQ(services::MergeCookies("", "; ; "), "");
    EXPECT_EQ(services::MergeCookies("a=1;;b=2;", "; c=3; "), "c=3; a=1; b=2");
}

// Exchanges with a loopback server

struct SeenRequest {
    std::string method;
    std::string target;
    std::string body;
    httplib::Headers headers;

    std::string Header(const std::string& name) const {
        auto found = headers.find(name);
        return found == headers.end() ? std::string("<absent>") : found->second;
    }
    std::size_t HeaderCount(const std::string& name) const { return headers.count(name); }
};

class HttpExchangeTest : public testing::Test {
protected:
    void SetUp() override {
        httplib::Server& routes = m_server.Routes();
        auto record = [this](const httplib::Request& request) {
            std::lock_guard lock(m_mutex);
            m_seen.push_back({request.method, request.target, request.body, request.headers});
        };
        auto echo = [record](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_content("ok", "text/plain");
        };
        routes.Get("/echo", echo);
        routes.Post("/echo", echo);
        routes.Get("/page",
                   [this, record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       std::lock_guard lock(m_mutex);
                       response.set_content(m_page_body, m_page_type.c_str());
                   });
        routes.Get("/cookies",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_header("Set-Cookie", "old=3; Path=/");
                       response.set_header("Set-Cookie", "new=4; Path=/");
                       response.set_header("Set-Cookie", "keep=deleted; Path=/");
                       response.set_header("Set-Cookie", "bare");
                       response.set_content("cookies", "text/plain");
                   });
        routes.Get("/shared/set",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_header("Set-Cookie", "shared_probe=7; Path=/shared/");
                       response.set_content("set", "text/plain");
                   });
        routes.Get("/shared/echo", echo);
        routes.Get("/long-headers",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_header("X-Filler", std::string(12000, 'f'));
                       response.set_header("Set-Cookie", "late=1; Path=/late/");
                       response.set_content("long", "text/plain; charset=utf-8");
                   });
        routes.Get("/found",
                   [this, record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect(m_server.Url("/echo"), 302);
                   });
        routes.Post("/post-found",
                    [this, record](const httplib::Request& request, httplib::Response& response) {
                        record(request);
                        response.set_redirect(m_server.Url("/echo"), 302);
                    });
        routes.Post("/post-kept",
                    [this, record](const httplib::Request& request, httplib::Response& response) {
                        record(request);
                        response.set_redirect(m_server.Url("/echo"), 307);
                    });
        routes.Get("/elsewhere",
                   [this, record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect(
                           "http://localhost:" + std::to_string(m_server.Port()) + "/echo", 302);
                   });
        routes.Get("/forever",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect("/forever", 302);
                   });
        routes.Get("/to-ftp",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect("ftp://127.0.0.1/file", 302);
                   });
        routes.Get(R"(/moved/.*)",
                   [this, record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_header("Set-Cookie", "hop=1; Path=/landing/");
                       response.set_redirect(m_server.Url("/landing"), 301);
                   });
        routes.Get(R"(/landing/.*)",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_content("landed", "text/plain");
                   });
        routes.Get("/loop",
                   [this, record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect(m_server.Url(""), 301);  // origin + "/loop" again
                   });
        routes.Get(
            "/big", [this, record](const httplib::Request& request, httplib::Response& response) {
                record(request);
                std::lock_guard lock(m_mutex);
                response.set_content(std::string(m_big_size, 'b'), "application/octet-stream");
            });
        routes.Get("/missing",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.status = 404;
                       response.set_content("no such page", "text/plain");
                   });
        m_server.Start();
    }

    std::vector<SeenRequest> Seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    void ServeBig(std::size_t size) {
        std::lock_guard lock(m_mutex);
        m_big_size = size;
    }
    void ServePage(std::string body, std::string type) {
        std::lock_guard lock(m_mutex);
        m_page_body = std::move(body);
        m_page_type = std::move(type);
    }

    testing_support::LoopbackServer m_server;
    std::mutex m_mutex;
    std::vector<SeenRequest> m_seen;
    std::string m_page_body;
    std::string m_page_type = "text/html";
    std::size_t m_big_size = 0;
};

TEST_F(HttpExchangeTest, GetCarriesTheDefaultHeaderSet) {
    const std::string url = m_server.Url("/echo");
    EXPECT_EQ(WebRequest(url), "ok");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].Header("Referer"), url);
    EXPECT_EQ(seen[0].Header("Accept"), "*/*");
    EXPECT_EQ(seen[0].HeaderCount("Accept"), 1u);
    EXPECT_EQ(seen[0].Header("Accept-Language"), "zh-cn");
    EXPECT_EQ(seen[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[0].Header("User-Agent"), kDefaultAgent);
    EXPECT_EQ(seen[0].HeaderCount("Cookie"), 0u);
    EXPECT_EQ(seen[0].HeaderCount("Expect"), 0u);
}

TEST_F(HttpExchangeTest, CallerHeadersAreKeptAndOnlyMissingDefaultsAppended) {
    const std::string url = m_server.Url("/echo");
    std::string headers = "Accept: text/html\r\nUser-Agent: Tool/1.0\r\n";
    EXPECT_EQ(WebRequest(url, {.extra_headers = &headers}), "ok");
    EXPECT_EQ(headers, "Accept: text/html\r\nUser-Agent: Tool/1.0\r\n\r\nReferer: " + url +
                           "\r\nAccept-Language: zh-cn"
                           "\r\nContent-Type: application/x-www-form-urlencoded");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Header("Accept"), "text/html");
    EXPECT_EQ(seen[0].HeaderCount("Accept"), 1u);
    EXPECT_EQ(seen[0].Header("User-Agent"), "Tool/1.0");
    EXPECT_EQ(seen[0].HeaderCount("User-Agent"), 1u);
    EXPECT_EQ(seen[0].Header("Referer"), url);
}

TEST_F(HttpExchangeTest, LineBreaksInTheAddressCannotAddHeaderLines) {
    std::string headers;
    EXPECT_EQ(WebRequest(m_server.Url("/echo?a\r\nX-Injected: 1"), {.extra_headers = &headers}),
              "ok");
    EXPECT_THAT(headers, HasSubstr("/echo?a%0D%0AX-Injected: 1\r\n"));
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].HeaderCount("X-Injected"), 0u);
    EXPECT_EQ(seen[0].target, "/echo?a%0D%0AX-Injected:%201");
}

TEST_F(HttpExchangeTest, PostSendsPostBytesFilledFromPostText) {
    std::string bytes;
    EXPECT_EQ(WebRequest(m_server.Url("/echo"),
                         {.method = 1, .post_text = "a=1&b=%B0", .post_bytes = &bytes}),
              "ok");
    EXPECT_EQ(bytes, "a=1&b=%B0");

    std::string raw("x\0y", 3);
    EXPECT_EQ(
        WebRequest(m_server.Url("/echo"), {.method = 1, .post_text = "unused", .post_bytes = &raw}),
        "ok");
    // Any other method is a GET without a body.
    EXPECT_EQ(WebRequest(m_server.Url("/echo"), {.method = 2, .post_text = "unused"}), "ok");

    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].body, "a=1&b=%B0");
    EXPECT_EQ(seen[1].body, std::string("x\0y", 3));
    EXPECT_EQ(seen[2].method, "GET");
    EXPECT_EQ(seen[2].body, "");
}

TEST_F(HttpExchangeTest, CallerCookiesAreSentAndMergedWithTheResponsesCookies) {
    std::string cookies = "old=1; keep=2";
    std::string returned = "stale";
    std::string headers;
    EXPECT_EQ(
        WebRequest(m_server.Url("/cookies"),
                   {.cookies = &cookies, .returned_cookies = &returned, .extra_headers = &headers}),
        "cookies");
    EXPECT_EQ(returned, "old=3; new=4; keep=deleted; ; ");
    EXPECT_EQ(cookies, "old=3; new=4");
    EXPECT_THAT(headers, HasSubstr("\r\nCookie: old=1; keep=2"));
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Header("Cookie"), "old=1; keep=2");
}

TEST_F(HttpExchangeTest, WithoutCallerCookiesTheProcessWideStoreKeepsThem) {
    EXPECT_EQ(WebRequest(m_server.Url("/shared/set")), "set");
    EXPECT_EQ(WebRequest(m_server.Url("/shared/echo")), "ok");
    // A caller that keeps its own cookies gets neither the store's cookies
    // nor a Cookie line when its own text is empty.
    std::string own;
    EXPECT_EQ(WebRequest(m_server.Url("/shared/echo"), {.cookies = &own}), "ok");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_THAT(seen[1].Header("Cookie"), HasSubstr("shared_probe=7"));
    EXPECT_EQ(seen[2].HeaderCount("Cookie"), 0u);
}

TEST_F(HttpExchangeTest, HeaderOutputsDescribeOnlyTheFinalResponse) {
    std::string response_headers;
    std::string location = "stale";
    EXPECT_EQ(WebRequest(m_server.Url("/found"),
                         {.location = &location, .response_headers = &response_headers}),
              "ok");
    EXPECT_THAT(response_headers, StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(response_headers, testing::EndsWith("\r\n\r\n"));
    EXPECT_THAT(response_headers, testing::Not(HasSubstr("302")));
    // Without a Location header the location output holds the whole block.
    EXPECT_EQ(location, response_headers);
}

TEST_F(HttpExchangeTest, LongHeaderBlocksAreReadWhole) {
    std::string returned;
    std::string response_headers;
    EXPECT_EQ(WebRequest(m_server.Url("/long-headers"),
                         {.returned_cookies = &returned, .response_headers = &response_headers}),
              "long");
    EXPECT_GT(response_headers.size(), 12000u);
    EXPECT_EQ(returned, "late=1; ");
}

TEST_F(HttpExchangeTest, NoRedirectReturnsTheRedirectItselfWithItsLocation) {
    std::string location;
    const std::string body =
        WebRequest(m_server.Url("/found"), {.location = &location, .no_redirect = true});
    EXPECT_EQ(location, m_server.Url("/echo"));
    EXPECT_EQ(Seen().size(), 1u);
    EXPECT_EQ(body.find("ok"), std::string::npos);
}

TEST_F(HttpExchangeTest, RedirectedPostBecomesGetExceptAfter307) {
    EXPECT_EQ(WebRequest(m_server.Url("/post-found"), {.method = 1, .post_text = "a=1"}), "ok");
    EXPECT_EQ(WebRequest(m_server.Url("/post-kept"), {.method = 1, .post_text = "b=2"}), "ok");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[1].body, "");
    EXPECT_EQ(seen[3].method, "POST");
    EXPECT_EQ(seen[3].body, "b=2");
}

TEST_F(HttpExchangeTest, CallerCookiesFollowRedirectsOnlyWithinTheSameSite) {
    std::string cookies = "a=1";
    EXPECT_EQ(WebRequest(m_server.Url("/found"), {.cookies = &cookies}), "ok");
    EXPECT_EQ(WebRequest(m_server.Url("/elsewhere"), {.cookies = &cookies}), "ok");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].Header("Cookie"), "a=1");
    EXPECT_EQ(seen[2].Header("Cookie"), "a=1");
    EXPECT_EQ(seen[3].HeaderCount("Cookie"), 0u);
    EXPECT_THAT(seen[3].Header("Host"), StartsWith("localhost:"));
}

TEST_F(HttpExchangeTest, AutomaticRedirectsAreBounded) {
    EXPECT_EQ(WebRequest(m_server.Url("/forever")), "");
    EXPECT_EQ(Seen().size(), 11u);  // the request and ten redirects
    const services::HttpResult result = WebRequestResult(m_server.Url("/forever"));
    EXPECT_EQ(result.failure, HttpFailure::BadRedirect) << result.detail;
}

TEST_F(HttpExchangeTest, RedirectsLeaveHttpAndHttpsOnlyToFail) {
    EXPECT_EQ(WebRequest(m_server.Url("/to-ftp")), "");
    EXPECT_EQ(WebRequestResult(m_server.Url("/to-ftp")).failure, HttpFailure::BadScheme);
}

TEST_F(HttpExchangeTest, SuccessCarriesTheStatusAndNoFailure) {
    const services::HttpResult result = WebRequestResult(m_server.Url("/echo"));
    EXPECT_EQ(result.body, "ok");
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.failure, HttpFailure::None);
    EXPECT_EQ(result.detail, "");
}

TEST_F(HttpExchangeTest, ErrorStatusIsAFailureThatKeepsTheErrorPage) {
    const services::HttpResult result = WebRequestResult(m_server.Url("/missing"));
    EXPECT_EQ(result.failure, HttpFailure::HttpStatus);
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.detail, "HTTP 404");
    EXPECT_EQ(result.body, "no such page");
    // The plain routine's contract is unchanged: an error page is a body.
    EXPECT_EQ(WebRequest(m_server.Url("/missing")), "no such page");
}

// The permanent-move rule: with automatic redirects off, a 301 is followed
// by asking the Location for the same object path.
TEST_F(HttpExchangeTest, PermanentMoveAsksTheNewPlaceForTheSameObjectWithTheCallersVariables) {
    std::string cookies = "a=1";
    std::string location;
    const std::string moved = m_server.Url("/moved/x?q=1");
    EXPECT_EQ(WebRequest(moved, {.cookies = &cookies, .location = &location, .no_redirect = true}),
              "landed");
    const std::vector<SeenRequest> seen = Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].target, "/moved/x?q=1");
    EXPECT_EQ(seen[1].target, "/landing/moved/x?q=1");
    // The follow-up carries the cookies merged from the 301 and, as the
    // caller gave no header text, a fresh default header set.
    EXPECT_EQ(seen[1].Header("Cookie"), "hop=1; a=1");
    EXPECT_EQ(seen[1].Header("Referer"), m_server.Url("/landing/moved/x?q=1"));
    EXPECT_EQ(cookies, "hop=1; a=1");
    EXPECT_THAT(location, StartsWith("HTTP/1.1 200 OK"));
}

TEST_F(HttpExchangeTest, PermanentMovesAreFollowedAtMostTenTimes) {
    std::string location;
    const services::HttpResult result =
        WebRequestResult(m_server.Url("/loop"), {.location = &location, .no_redirect = true});
    EXPECT_EQ(result.body, "");
    EXPECT_EQ(result.failure, HttpFailure::BadRedirect);
    EXPECT_EQ(Seen().size(), 11u);
    EXPECT_EQ(location, m_server.Url(""));
}

// The charset rule: only the exact lower-case marker converts, in the first
// 499 bytes of the body or anywhere in the headers.
TEST_F(HttpExchangeTest, LowerCaseUtf8MarkerInBodyConvertsToGbk) {
    const std::string head = "<meta charset=utf-8>";
    ServePage(head + Utf8(u8"中文"), "text/html");
    EXPECT_EQ(WebRequest(m_server.Url("/page")), head + "中文");
}

TEST_F(HttpExchangeTest, BodyMarkerMustBeginWithinTheFirst499Bytes) {
    const std::string inside = std::string(498, ' ') + "charset=utf-8";
    ServePage(inside + Utf8(u8"中"), "text/html");
    EXPECT_EQ(WebRequest(m_server.Url("/page")), inside + "中");

    const std::string outside = std::string(499, ' ') + "charset=utf-8";
    ServePage(outside + Utf8(u8"中"), "text/html");
    EXPECT_EQ(WebRequest(m_server.Url("/page")), outside + Utf8(u8"中"));
}

TEST_F(HttpExchangeTest, UpperCaseMarkersDoNotConvert) {
    const std::string page = "<meta charset=UTF-8>" + Utf8(u8"中文");
    ServePage(page, "text/html; charset=UTF-8");
    EXPECT_EQ(WebRequest(m_server.Url("/page")), page);
}

TEST_F(HttpExchangeTest, HeaderMarkerConvertsUnlessConversionIsOff) {
    ServePage(Utf8(u8"中文"), "text/html; charset=utf-8");
    EXPECT_EQ(WebRequest(m_server.Url("/page")), "中文");
    EXPECT_EQ(WebRequest(m_server.Url("/page"), {.convert_charset = false}), Utf8(u8"中文"));
}

TEST_F(HttpExchangeTest, FetchTextStopsAtTheFirstZeroByteAndConverts) {
    ServePage(std::string("abc\0def", 7), "text/plain");
    EXPECT_EQ(FetchText(m_server.Url("/page")), "abc");
    ServePage(Utf8(u8"种子"), "text/plain; charset=utf-8");
    EXPECT_EQ(FetchText(m_server.Url("/page")), "种子");
}

TEST_F(HttpExchangeTest, BodiesOverTheLimitFail) {
    HttpLimits limits;
    limits.max_body_bytes = 1 << 20;
    ServeBig(1 << 20);
    EXPECT_EQ(WebRequest(m_server.Url("/big"), {.limits = limits}).size(), std::size_t{1} << 20);
    ServeBig((1 << 20) + 1);
    EXPECT_EQ(WebRequest(m_server.Url("/big"), {.limits = limits}), "");
}

// Hostile and failing servers

HttpLimits FastLimits() {
    HttpLimits limits;
    limits.connect_timeout_ms = 2000;
    limits.low_speed_seconds = 1;
    limits.total_timeout_ms = 5000;
    limits.max_body_bytes = 1 << 20;
    limits.max_header_bytes = 4096;
    return limits;
}

// The failure kind of each network fault.

TEST(HttpFailureKindTest, RefusedConnection) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/";
    const services::HttpResult result = WebRequestResult(url, {.limits = FastLimits()});
    EXPECT_EQ(result.failure, HttpFailure::Refused) << result.detail;
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(result.detail.empty());
}

TEST(HttpFailureKindTest, ConnectionResetBeforeAnyResponse) {
    RawResponder server([](RawResponder::Connection& connection) { connection.Reset(); });
    const services::HttpResult result = WebRequestResult(server.Url(), {.limits = FastLimits()});
    EXPECT_EQ(result.failure, HttpFailure::Reset) << result.detail;
}

TEST(HttpFailureKindTest, ConnectionResetInTheMiddleOfTheBody) {
    RawResponder server([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial");
        connection.Pause(100);
        connection.Reset();
    });
    const services::HttpResult result = WebRequestResult(server.Url(), {.limits = FastLimits()});
    EXPECT_EQ(result.failure, HttpFailure::Reset) << result.detail;
    EXPECT_EQ(result.body, "");
}

TEST(HttpFailureKindTest, ServerThatNeverAnswersTimesOut) {
    RawResponder server([](RawResponder::Connection& connection) { connection.Pause(20000); });
    const services::HttpResult result = WebRequestResult(server.Url(), {.limits = FastLimits()});
    EXPECT_EQ(result.failure, HttpFailure::TimedOut) << result.detail;
}

TEST(HttpFailureKindTest, StalledBodyIsTooSlowAndEndlessTrickleTimesOut) {
    RawResponder stalled([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        connection.Pause(20000);
    });
    const services::HttpResult slow = WebRequestResult(stalled.Url(), {.limits = FastLimits()});
    EXPECT_EQ(slow.failure, HttpFailure::TooSlow) << slow.detail;
    EXPECT_EQ(slow.status, 0);

    RawResponder trickle([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        while (connection.Send("x") && connection.Pause(50)) {
        }
    });
    HttpLimits limits = FastLimits();
    limits.total_timeout_ms = 600;
    const services::HttpResult late = WebRequestResult(trickle.Url(), {.limits = limits});
    EXPECT_EQ(late.failure, HttpFailure::TimedOut) << late.detail;
}

TEST(HttpFailureKindTest, OversizedBodyAndHeaderBlockAreTooLarge) {
    RawResponder declared(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\nx"));
    EXPECT_EQ(WebRequestResult(declared.Url(), {.limits = FastLimits()}).failure,
              HttpFailure::TooLarge);

    RawResponder endless([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        const std::string chunk(64 * 1024, 'z');
        for (int i = 0; i < 40 && connection.Send(chunk); ++i) {
        }
    });
    EXPECT_EQ(WebRequestResult(endless.Url(), {.limits = FastLimits()}).failure,
              HttpFailure::TooLarge);

    std::string response = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 10; ++i)
        response += "X-Pad-" + std::to_string(i) + ": " + std::string(1000, 'p') + "\r\n";
    response += "Content-Length: 2\r\n\r\nhi";
    RawResponder headers(RawResponder::Reply(response));
    EXPECT_EQ(WebRequestResult(headers.Url(), {.limits = FastLimits()}).failure,
              HttpFailure::TooLarge);
}

TEST(HttpFailureKindTest, MalformedChunkingAndGarbageAreBadResponses) {
    RawResponder chunked(RawResponder::Reply(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"));
    const services::HttpResult bad_chunk = WebRequestResult(chunked.Url(), {.limits = FastLimits()});
    EXPECT_EQ(bad_chunk.failure, HttpFailure::BadResponse) << bad_chunk.detail;

    RawResponder garbage(RawResponder::Reply("garbage\r\n\r\nmore garbage"));
    const services::HttpResult not_http = WebRequestResult(garbage.Url(), {.limits = FastLimits()});
    EXPECT_EQ(not_http.failure, HttpFailure::BadResponse) << not_http.detail;
}

TEST(HttpFailureKindTest, TruncatedBodyIsABrokenConnection) {
    RawResponder server(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    const services::HttpResult result = WebRequestResult(server.Url(), {.limits = FastLimits()});
    EXPECT_EQ(result.failure, HttpFailure::Reset) << result.detail;
    EXPECT_EQ(result.body, "");
}

TEST(HttpFailureKindTest, UnusableAddressesAreBadAddresses) {
    for (const char* url : {"http://user@127.0.0.1/", "http://127.0.0.1:99999/", "http://",
                            "http://a b/"}) {
        EXPECT_EQ(WebRequestResult(url).failure, HttpFailure::BadAddress) << url;
    }
}

TEST(HttpFailureTest, RefusedConnectionYieldsEmptyResultAndEmptyHeaderOutputs) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/";
    std::string response_headers = "stale";
    std::string location = "stale";
    EXPECT_EQ(WebRequest(url, {.location = &location, .response_headers = &response_headers}), "");
    EXPECT_EQ(response_headers, "");
    EXPECT_EQ(location, "");
}

TEST(HttpFailureTest, UnusableAddressesFailBeforeTouchingTheOutputs) {
    for (const char* url : {"http://user@127.0.0.1/", "http://127.0.0.1:99999/", "http://",
                            "http://a b/", "http://\xD6\xD0.example/"}) {
        std::string headers = "X-Mine: 1";
        EXPECT_EQ(WebRequest(url, {.extra_headers = &headers}), "") << url;
        EXPECT_EQ(headers, "X-Mine: 1") << url;
    }
}

TEST(HttpFailureTest, StalledBodyIsAbandoned) {
    RawResponder server([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        connection.Pause(20000);
    });
    std::string response_headers;
    EXPECT_EQ(
        WebRequest(server.Url(), {.response_headers = &response_headers, .limits = FastLimits()}),
        "");
    EXPECT_THAT(response_headers, StartsWith("HTTP/1.1 200 OK"));
}

// The server cancels the request itself, then stalls: only the cancel can
// end the exchange before the low-speed rule does.
TEST(HttpFailureTest, CancelEndsAStalledRequestAndPreventsTheNextOne) {
    for (const std::string head : {"", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nab"}) {
        services::CancelToken token;
        RawResponder server([&token, &head](RawResponder::Connection& connection) {
            if (!head.empty()) connection.Send(head);
            token.Cancel();
            connection.Pause(20000);
        });
        const services::HttpResult result =
            WebRequestResult(server.Url(), {.limits = FastLimits(), .cancel = token});
        EXPECT_EQ(result.failure, HttpFailure::Cancelled) << head << result.detail;
        EXPECT_EQ(result.body, "");
        EXPECT_EQ(WebRequestResult(server.Url(), {.cancel = token}).failure,
                  HttpFailure::Cancelled);
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

TEST(HttpFailureTest, TruncatedBodyIsNotPassedOffAsTheWholePage) {
    RawResponder server(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    EXPECT_EQ(WebRequest(server.Url(), {.limits = FastLimits()}), "");
}

TEST(HttpFailureTest, EndlessTrickleHitsTheTotalTimeLimit) {
    RawResponder server([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        while (connection.Send("x") && connection.Pause(50)) {
        }
    });
    HttpLimits limits = FastLimits();
    limits.total_timeout_ms = 600;
    EXPECT_EQ(WebRequest(server.Url(), {.limits = limits}), "");
}

TEST(HttpFailureTest, SlowPermanentMovesShareOneTimeLimit) {
    // Each answer comes in time on its own; ten of them would not.
    std::atomic<int> port{0};
    RawResponder server([&port](RawResponder::Connection& connection) {
        if (!connection.Pause(250)) return;
        connection.Send("HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:" +
                        std::to_string(port) + "\r\nContent-Length: 0\r\n\r\n");
    });
    port = server.Port();
    HttpLimits limits = FastLimits();
    limits.total_timeout_ms = 900;
    EXPECT_EQ(WebRequest(server.Url("/slow"), {.no_redirect = true, .limits = limits}), "");
    EXPECT_LE(server.Requests().size(), 4u);
}

TEST(HttpFailureTest, BodyWithoutLengthOverTheLimitFails) {
    RawResponder server([](RawResponder::Connection& connection) {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        const std::string chunk(64 * 1024, 'z');
        for (int i = 0; i < 40 && connection.Send(chunk); ++i) {
        }
    });
    EXPECT_EQ(WebRequest(server.Url(), {.limits = FastLimits()}), "");
}

TEST(HttpFailureTest, HeaderBlockOverTheLimitFails) {
    std::string response = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 10; ++i)
        response += "X-Pad-" + std::to_string(i) + ": " + std::string(1000, 'p') + "\r\n";
    response += "Content-Length: 2\r\n\r\nhi";
    RawResponder server(RawResponder::Reply(response));
    EXPECT_EQ(WebRequest(server.Url(), {.limits = FastLimits()}), "");
}

TEST(HttpFailureTest, GarbageInsteadOfAResponseFails) {
    RawResponder server(RawResponder::Reply("garbage\r\n\r\nmore garbage"));
    EXPECT_EQ(WebRequest(server.Url(), {.limits = FastLimits()}), "");
}

TEST(HttpRawResponseTest, BareLineFeedsBecomeCrLfInTheHeaderBlock) {
    RawResponder server(RawResponder::Reply(
        "HTTP/1.1 200 OK\nSet-Cookie: lf=1; Path=/lf/\nContent-Length: 5\n\nhello"));
    std::string response_headers;
    std::string returned;
    EXPECT_EQ(WebRequest(server.Url(),
                         {.returned_cookies = &returned, .response_headers = &response_headers}),
              "hello");
    EXPECT_EQ(response_headers,
              "HTTP/1.1 200 OK\r\nSet-Cookie: lf=1; Path=/lf/\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(returned, "lf=1; ");
}

TEST(HttpRawResponseTest, OnlyHttp11With301MovedIsFollowedByTheRoutine) {
    for (const char* status : {"HTTP/1.0 301 Moved Permanently", "HTTP/1.1 302 Moved Temporarily",
                               "HTTP/1.1 301 Gone Elsewhere"}) {
        RawResponder server([status](RawResponder::Connection& connection) {
            connection.Send(std::string(status) +
                            "\r\nLocation: http://127.0.0.1:1\r\nContent-Length: 4\r\n\r\nmove");
        });
        std::string location;
        EXPECT_EQ(WebRequest(server.Url("/x"), {.location = &location, .no_redirect = true}),
                  "move")
            << status;
        EXPECT_EQ(location, "http://127.0.0.1:1") << status;
        EXPECT_EQ(server.Requests().size(), 1u) << status;
    }
}

TEST(HttpRawResponseTest, PermanentMoveWithoutLocationIsNotFollowed) {
    RawResponder server(
        RawResponder::Reply("HTTP/1.1 301 Moved Permanently\r\nContent-Length: 4\r\n\r\nhere"));
    EXPECT_EQ(WebRequest(server.Url("/x"), {.no_redirect = true}), "here");
    EXPECT_EQ(server.Requests().size(), 1u);
}

// Only a header named exactly "Location" sends the routine elsewhere; a
// Content-Location names no new place.
TEST(HttpRawResponseTest, ContentLocationIsNoPermanentMoveTarget) {
    RawResponder target(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\ntarget"));
    RawResponder server(RawResponder::Reply(
        "HTTP/1.1 301 Moved Permanently\r\nContent-Location: " + target.Url("") +
        "\r\nX-Location: " + target.Url("") + "\r\nContent-Length: 4\r\n\r\nhere"));
    std::string location;
    EXPECT_EQ(WebRequest(server.Url("/x"), {.location = &location, .no_redirect = true}), "here");
    EXPECT_TRUE(target.Requests().empty());
    EXPECT_THAT(location, StartsWith("HTTP/1.1 301"));  // no Location: the whole block
}

TEST(HttpRawResponseTest, LocationHeaderNameIgnoresCase) {
    RawResponder target(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\ntarget"));
    RawResponder server(RawResponder::Reply("HTTP/1.1 301 Moved Permanently\r\nLOCATION: " +
                                            target.Url("") + "\r\nContent-Length: 0\r\n\r\n"));
    EXPECT_EQ(WebRequest(server.Url("/x"), {.no_redirect = true}), "target");
    ASSERT_EQ(target.Requests().size(), 1u);
    EXPECT_THAT(target.Requests()[0], StartsWith("GET /x HTTP/1.1"));
}

TEST(HttpRawResponseTest, PermanentMoveToAnotherSchemeIsRefused) {
    for (const char* where : {"ftp://127.0.0.1/file", "file:///etc/passwd?http://127.0.0.1:1",
                              "javascript:alert(1)"}) {
        RawResponder server(RawResponder::Reply(std::string("HTTP/1.1 301 Moved Permanently\r\nLocation: ") +
                                                where + "\r\nContent-Length: 0\r\n\r\n"));
        const services::HttpResult result = WebRequestResult(server.Url("/x"), {.no_redirect = true});
        EXPECT_EQ(result.failure, HttpFailure::BadScheme) << where;
        EXPECT_EQ(result.body, "") << where;
        EXPECT_EQ(server.Requests().size(), 1u) << where;
    }
}

TEST(HttpProxyTest, PlainRequestsGoThroughTheProxy) {
    RawResponder proxy(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied"));
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.Port());
    EXPECT_EQ(
        WebRequest("http://site.invalid/x?y=1", {.proxy = proxy_address, .limits = FastLimits()}),
        "proxied");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_THAT(proxy.Requests()[0], StartsWith("GET http://site.invalid"));
    EXPECT_THAT(proxy.Requests()[0], HasSubstr("/x?y=1 HTTP/1.1\r\n"));
}

TEST(HttpProxyTest, SecureRequestsBypassTheProxy) {
    RawResponder proxy(RawResponder::Reply("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied"));
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.Port());
    const std::string url =
        "https://127.0.0.1:" + std::to_string(testing_support::UnusedLoopbackPort()) + "/";
    EXPECT_EQ(WebRequest(url, {.proxy = proxy_address, .limits = FastLimits()}), "");
    EXPECT_TRUE(proxy.Requests().empty());
}

// Secure requests against a server with the fixtures' self-signed
// certificate.

class HttpsTest : public testing::Test {
protected:
    void SetUp() override {
        m_secure.Routes().Get("/echo",
                              [this](const httplib::Request&, httplib::Response& response) {
                                  ++m_secure_hits;
                                  response.set_content("secure", "text/plain");
                              });
        m_secure.Routes().Get("/to-plain",
                              [this](const httplib::Request&, httplib::Response& response) {
                                  response.set_redirect(m_plain.Url("/echo"), 302);
                              });
        m_secure.Routes().Get("/moved-plain",
                              [this](const httplib::Request&, httplib::Response& response) {
                                  response.set_redirect(m_plain.Url(""), 301);
                              });
        m_plain.Routes().Get("/echo", [this](const httplib::Request&, httplib::Response& response) {
            ++m_plain_hits;
            response.set_content("plain", "text/plain");
        });
        m_plain.Routes().Get("/to-secure",
                             [this](const httplib::Request&, httplib::Response& response) {
                                 response.set_redirect(m_secure.Url("/echo"), 302);
                             });
        m_secure.Start();
        m_plain.Start();
    }

    HttpRequestOptions Trusting() const {
        return {.ca_file = testing_support::LoopbackTls().certificate};
    }

    testing_support::LoopbackServer m_secure{testing_support::LoopbackTls()};
    testing_support::LoopbackServer m_plain;
    std::atomic<int> m_secure_hits{0};
    std::atomic<int> m_plain_hits{0};
};

TEST_F(HttpsTest, SecureRequestSucceedsOnlyWithATrustedCertificate) {
    EXPECT_EQ(WebRequest(m_secure.Url("/echo"), Trusting()), "secure");
    const services::HttpResult untrusted = WebRequestResult(m_secure.Url("/echo"));
    EXPECT_EQ(untrusted.body, "");
    EXPECT_EQ(untrusted.failure, HttpFailure::Tls) << untrusted.detail;
    EXPECT_EQ(m_secure_hits, 1);
}

TEST_F(HttpsTest, PermanentMoveFromSecureToPlainIsRefused) {
    HttpRequestOptions options = Trusting();
    options.no_redirect = true;
    const services::HttpResult result = WebRequestResult(m_secure.Url("/moved-plain"), options);
    EXPECT_EQ(result.failure, HttpFailure::BadRedirect) << result.detail;
    EXPECT_EQ(m_plain_hits, 0);
}

TEST_F(HttpsTest, PlainToSecureRedirectIsFollowed) {
    EXPECT_EQ(WebRequest(m_plain.Url("/to-secure"), Trusting()), "secure");
}

TEST_F(HttpsTest, ProxyServesOnlyThePlainHopsOfARedirectChain) {
    RawResponder proxy(
        RawResponder::Reply("HTTP/1.1 302 Found\r\nLocation: " + m_secure.Url("/echo") +
                            "\r\nContent-Length: 0\r\n\r\n"));
    HttpRequestOptions options = Trusting();
    options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    EXPECT_EQ(WebRequest("http://site.invalid/start", options), "secure");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_THAT(proxy.Requests()[0], StartsWith("GET http://site.invalid"));
}

TEST_F(HttpsTest, SecureToPlainRedirectIsRefused) {
    EXPECT_EQ(WebRequest(m_secure.Url("/to-plain"), Trusting()), "");
    EXPECT_EQ(WebRequestResult(m_secure.Url("/to-plain"), Trusting()).failure,
              HttpFailure::BadRedirect);
    EXPECT_EQ(m_plain_hits, 0);
}

}  // namespace
