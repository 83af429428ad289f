#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace services {

// Bounds on one exchange, so that no server can hold the program forever or
// exhaust its memory. The defaults are what the program uses; tests shorten
// them to exercise the slow-server and large-body rules in seconds. (Plain
// numbers: <chrono> cannot be compiled with the GBK execution character set.)
struct HttpLimits {
    long connect_timeout_ms = 30'000;
    // The transfer is abandoned when fewer than one byte per second arrives
    // for this many seconds.
    long low_speed_seconds = 30;
    long total_timeout_ms = 120'000;  // one call, permanent moves included
    std::size_t max_body_bytes = 64u << 20;
    std::size_t max_header_bytes = 1u << 20;  // one response's header block
};

// Stops a request from another thread. Copies share one flag: the thread
// that starts a request on a worker keeps a copy and cancels through it. A
// cancelled request fails with HttpFailure::Cancelled within a fifth of a
// second whatever the server does, and one started after Cancel() connects
// nowhere. A token is never reset.
class CancelToken {
public:
    CancelToken() : m_cancelled(std::make_shared<std::atomic<bool>>(false)) {}
    void Cancel() const { m_cancelled->store(true); }
    bool Cancelled() const { return m_cancelled->load(); }

private:
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

// The optional parameters of WebRequest. An optional that holds a value, or
// a non-null pointer, is "given"; a pointer names a caller-owned variable
// that the routine reads and/or overwrites. Every text is GBK; bodies are
// raw bytes.
struct HttpRequestOptions {
    std::optional<int> method{};             // 1 = POST, anything else GET
    std::optional<std::string> post_text{};  // POST body when post_bytes is empty
    // In/out. Sent as the Cookie header when not empty; the response's
    // cookies are merged into it. When given, the shared cookie store of the
    // process is neither consulted nor updated.
    std::string* cookies = nullptr;
    std::string* returned_cookies = nullptr;  // out: "name=value; " per Set-Cookie
    // In/out: request header lines separated by "\r\n"; receives the
    // default lines the routine adds.
    std::string* extra_headers = nullptr;
    // Out: the Location header's value, or the whole header block when the
    // response has none; cleared when a 301 is followed.
    std::string* location = nullptr;
    // Automatic redirects (up to ten; plain to secure is followed, secure to
    // plain never) happen unless this is true.
    std::optional<bool> no_redirect{};
    std::string* post_bytes = nullptr;  // in/out: filled from post_text when empty
    // "host:port" of a proxy for requests to http:// addresses; https://
    // addresses are always reached directly.
    std::optional<std::string> proxy{};
    std::string* response_headers = nullptr;  // out: the final response's header block
    // With false the body is returned exactly as received, with no UTF-8 to
    // GBK conversion.
    bool convert_charset = true;
    // For tests only: replaces the default HttpLimits.
    std::optional<HttpLimits> limits{};
    // For tests only: a certificate file trusted in addition to the system's
    // (verification itself always stays on).
    std::optional<std::string> ca_file{};
    // Stops the request, the redirects and permanent moves it follows
    // included, when cancelled.
    std::optional<CancelToken> cancel{};
};

// Where a request goes, derived from the URL text the way the program always
// has: a URL without a scheme is plain HTTP, the host is lower-cased and the
// object path keeps its own letter case and query.
struct ParsedUrl {
    std::string host;         // lower case, without port
    int port = 80;            // 0 when the port text is out of range
    std::string object_path;  // "/" when the URL has no path
    bool secure = false;      // https
};

ParsedUrl ParseUrl(std::string_view url);

// The user agent a request announces: the caller's "User-Agent:" header
// value when the extra headers hold one, else the program's default agent.
std::string RequestUserAgent(std::string_view extra_headers);

// Why a request failed. Each kind is one thing a user can act on; the
// transport's own words go into HttpResult::detail.
enum class HttpFailure {
    None,
    BadAddress,    // the URL names no usable host and port
    HostNotFound,  // the name does not resolve
    Refused,       // nothing accepts connections there
    Reset,         // the connection broke or closed before the response was whole
    TimedOut,      // no connection or no response in time, or the call's time ran out
    TooSlow,       // the response stalled part-way
    TooLarge,      // body or header block over the limit
    Tls,           // the secure connection or its certificate failed
    BadRedirect,   // redirect loop, too many moves, or a move from https to http
    BadScheme,     // a redirect to something other than http or https
    BadResponse,   // not HTTP, or a malformed chunked body
    HttpStatus,    // the server answered with a 4xx or 5xx status
    Cancelled,     // the request's cancel token was cancelled
    Other,
};

// A short description of a failure kind for the user (GBK, e.g. "连接超时"),
// and a stable ASCII name for scripts ("timed-out").
std::string_view HttpFailureText(HttpFailure failure);
std::string_view HttpFailureName(HttpFailure failure);

// The outcome of WebRequestResult: the body as WebRequest returns it (empty
// on any failure except HttpStatus, where it is the server's error page),
// the final status code (0 when no response arrived), the failure kind and
// the transport's message about it (ASCII, empty on success).
struct HttpResult {
    std::string body;
    long status = 0;
    HttpFailure failure = HttpFailure::None;
    std::string detail;

    bool Failed() const { return failure != HttpFailure::None; }
};

// One synchronous HTTP or HTTPS request: fills in the default request
// headers, keeps the caller's cookie text up to date, follows a
// "301 Moved" by itself when automatic redirects are off (at most ten
// times), converts a UTF-8 body to GBK when the body or headers say
// "charset=utf-8". Returns the body, or an empty string on any failure
// (unreachable host, time-out, body over the limit, invalid URL).
std::string WebRequest(std::string_view url, HttpRequestOptions options = {});

// WebRequest, telling why it failed. Safe to call from any thread.
HttpResult WebRequestResult(std::string_view url, HttpRequestOptions options = {});

// Makes the transport ready for requests now (in the program, loads the HTTP
// module of services/http_module.h), so that a program that will make
// requests soon can take that off its first one. False, with the reason in
// `error`, when the transport cannot work; every request then fails with
// that reason.
bool PrepareHttpTransport(std::string* error = nullptr);

// GET with every option left out; the body as text up to its first zero
// byte, "" on any failure.
std::string FetchText(std::string_view url);
HttpResult FetchTextResult(std::string_view url, std::optional<CancelToken> cancel = {});

// What the routine takes from a response's header block: the Location
// header's value (named exactly, at the start of a line, in any letter case)
// and the cookies set, as "name=value; " per Set-Cookie line.
struct ResponseHeaderFacts {
    std::string location;
    std::string returned_cookies;
};
ResponseHeaderFacts ReadResponseHeaders(std::string_view header_block);

// Why a redirect or permanent move to `target` is refused (BadScheme for
// anything but http and https, BadRedirect for secure to plain), or None.
HttpFailure RedirectRefusal(std::string_view target, bool from_secure);

// Merges the cookies a response set ("a=1; b=2; ") into the old cookie text:
// received cookies replace old ones of the same name, "=deleted" entries
// drop out, exact duplicates are removed.
std::string MergeCookies(std::string_view cookies, std::string_view received);

}  // namespace services
