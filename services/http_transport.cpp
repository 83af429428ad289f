// The transport of services/http.h: WebRequestResult over libcurl. It is
// built into the HTTP module (libseed-http.so) that the program loads on its
// first request, so that the network libraries stay out of its start-up;
// tests and benchmarks link it directly.
#include "services/http.h"

#include <curl/curl.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "services/encoding.h"
#include "services/http_text.h"
#include "util/c_deleter.h"

namespace services {
namespace {

using namespace http_text;

using CurlPtr = std::unique_ptr<CURL, util::CDeleter<curl_easy_cleanup>>;
using CurlListPtr = std::unique_ptr<curl_slist, util::CDeleter<curl_slist_free_all>>;
using CurlSharePtr = std::unique_ptr<CURLSH, util::CDeleter<curl_share_cleanup>>;
using CurlMultiPtr = std::unique_ptr<CURLM, util::CDeleter<curl_multi_cleanup>>;

constexpr std::string_view kUtf8Marker = "charset=utf-8";
constexpr std::size_t kBodyMarkerWindow = 499;  // the marker must begin before this
constexpr int kMaxFollowUps = 10;
constexpr int kMaxAutomaticRedirects = 10;
// How long a transfer waits on its socket before it looks at its cancel
// token again; well inside the fifth of a second a cancel may take.
constexpr int kCancelPollMs = 50;

// Request set-up.

// The host must be a plain name or address; anything else would change what
// the transport URL means once joined with the port and path.
bool IsPlainHost(std::string_view host) {
    if (host.empty()) return false;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return false;
        for (char c : host.substr(1, host.size() - 2)) {
            const bool ok =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
            if (!ok) return false;
        }
        return true;
    }
    for (char c : host) {
        const bool ok =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == '_';
        if (!ok) return false;
    }
    return true;
}

// Bytes that may not stand in a request line travel percent-escaped; the
// fragment is never sent.
std::string EscapeObjectPath(std::string_view path) {
    path = path.substr(0, path.find('#'));
    constexpr std::string_view kUnsafe = "\"<>\\^`{|}";
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || kUnsafe.find(c) != std::string_view::npos) {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0x0F];
        } else {
            result += c;
        }
    }
    return result;
}

std::optional<std::string> TransportUrl(const ParsedUrl& parsed) {
    if (!IsPlainHost(parsed.host) || parsed.port < 1 || parsed.port > 65535) return std::nullopt;
    return std::string(parsed.secure ? "https://" : "http://") + parsed.host + ":" +
           std::to_string(parsed.port) + EscapeObjectPath(parsed.object_path);
}

// An address as a header value: a line break or zero byte in it would end
// the line early, so those travel percent-escaped as in the request line.
std::string HeaderSafe(std::string_view value) {
    std::string result;
    for (char c : value) {
        switch (c) {
            case '\r': result += "%0D"; break;
            case '\n': result += "%0A"; break;
            case '\0': result += "%00"; break;
            default: result += c; break;
        }
    }
    return result;
}

// Adds the default lines to the caller's header text, each only when the
// text does not hold that header yet (case-sensitive, as the sites expect).
void CompleteHeaders(std::string& headers, std::string_view url, std::string_view cookies) {
    if (headers.find("Referer:") == std::string::npos) {
        headers += headers.empty() ? "Referer: " : "\r\nReferer: ";
        headers += HeaderSafe(url);
    }
    if (headers.find("Accept:") == std::string::npos) headers += "\r\nAccept: */*";
    if (headers.find("Accept-Language:") == std::string::npos) {
        headers += "\r\nAccept-Language: zh-cn";
    }
    if (headers.find("Content-Type:") == std::string::npos) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookies.empty()) {
        headers += "\r\nCookie: ";
        headers += cookies;
    }
}

bool IsCredentialLine(std::string_view line) {
    return FindNoCase(line, "Cookie:") == 0 || FindNoCase(line, "Authorization:") == 0;
}

// One list entry per non-empty line; a bare CR or LF also ends a line so no
// caller text can smuggle in a line the list does not show. "Expect:" keeps
// the library from waiting for a 100-continue on larger bodies. Cookies and
// credentials meant for one site are not sent to another one it redirects to.
CurlListPtr HeaderList(std::string_view headers, bool with_credentials) {
    CurlListPtr list;
    auto append = [&list](const std::string& line) {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr) return false;
        list.release();
        list.reset(grown);
        return true;
    };
    std::size_t from = 0;
    while (from < headers.size()) {
        std::size_t end = headers.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = headers.size();
        std::string line(headers.substr(from, end - from));
        // A zero byte would end the line early inside the library.
        line = line.substr(0, line.find('\0'));
        const bool wanted = !line.empty() && (with_credentials || !IsCredentialLine(line));
        if (wanted && !append(line)) return nullptr;
        from = end + 1;
    }
    if (!append("Expect:")) return nullptr;
    return list;
}

// The process-wide cookie store used when the caller keeps no cookies
// of its own. Requests may run on several threads, so access is locked.

class CookieStore {
public:
    CookieStore() : m_share(curl_share_init()) {
        if (!m_share) return;
        const bool ok =
            curl_share_setopt(m_share.get(), CURLSHOPT_LOCKFUNC, &CookieStore::Lock) ==
                CURLSHE_OK &&
            curl_share_setopt(m_share.get(), CURLSHOPT_UNLOCKFUNC, &CookieStore::Unlock) ==
                CURLSHE_OK &&
            curl_share_setopt(m_share.get(), CURLSHOPT_USERDATA, this) == CURLSHE_OK &&
            curl_share_setopt(m_share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK;
        if (!ok) {
            DebugLog("cookie store", "cannot share cookies; each request keeps its own");
            m_share.reset();
        }
    }

    CURLSH* Handle() const { return m_share.get(); }

private:
    static std::mutex& MutexFor(void* self, curl_lock_data data) {
        auto& locks = static_cast<CookieStore*>(self)->m_locks;
        const auto index = static_cast<std::size_t>(data);
        return locks[index < locks.size() ? index : 0];
    }
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        MutexFor(self, data).lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) { MutexFor(self, data).unlock(); }

    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
    CurlSharePtr m_share;  // after the locks: released before them
};

bool CurlReady() {
    static const bool ready = [] {
        const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (code != CURLE_OK) DebugLog("init", curl_easy_strerror(code));
        return code == CURLE_OK;
    }();
    return ready;
}

CookieStore& SharedCookies() {
    static CookieStore store;
    return store;
}

// One exchange.

long long MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

struct Transfer {
    std::string body;
    std::string headers;  // the latest response's block, lines ended by "\r\n"
    std::size_t max_body = 0;
    std::size_t max_header = 0;
    bool over_limit = false;
    bool response_started = false;  // a status line arrived in this exchange
    CURL* handle = nullptr;  // the exchange in progress, while Perform runs
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    if (length > transfer.max_body - transfer.body.size()) {
        transfer.over_limit = true;
        return 0;  // aborts the transfer
    }
    // A body of known length is stored in one block instead of growing by
    // doubling, which would briefly hold it one and a half times over.
    curl_off_t expected = 0;
    if (transfer.body.empty() && transfer.handle &&
        curl_easy_getinfo(transfer.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected) ==
            CURLE_OK &&
        expected > 0 && static_cast<std::uint64_t>(expected) <= transfer.max_body) {
        transfer.body.reserve(static_cast<std::size_t>(expected));
    }
    transfer.body.append(data, length);
    return length;
}

// Redirects and interim responses each bring a status line of their own;
// only the last response's block is kept. Line ends are made CRLF whatever
// the server sent.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) transfer.headers.clear();
    transfer.response_started = true;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() + 2 > transfer.max_header - transfer.headers.size()) {
        transfer.over_limit = true;
        return 0;
    }
    transfer.headers.append(line).append("\r\n");
    return length;
}

struct ExchangeSetup {
    std::string url;
    bool secure = false;
    bool post = false;
    const std::string* body = nullptr;
    std::string agent;
    std::string header_text;
    bool with_credentials = true;  // false once redirected to another origin
    bool own_cookies = false;      // the caller keeps cookies: the library's store is off
    bool follow = true;
    std::optional<std::string> proxy;
    HttpLimits limits;
    std::optional<std::string> ca_file;
    std::optional<CancelToken> cancel;
};

struct Outcome {
    HttpFailure failure = HttpFailure::None;  // of the transport; statuses are judged later
    std::string detail;
    long status = 0;
    std::string redirect_url;  // absolute, when the response names one

    bool Complete() const { return failure == HttpFailure::None; }
};

Outcome Failure(HttpFailure failure, std::string detail) {
    Outcome outcome;
    outcome.failure = failure;
    outcome.detail = std::move(detail);
    return outcome;
}

// The failure kind of a transport error. `timed_out` tells whether the
// exchange used up its whole time; a transfer that stopped part-way before
// that was abandoned by the low-speed rule.
HttpFailure ClassifyTransportError(CURLcode code, const Transfer& transfer,
                                   std::string_view message, bool timed_out) {
    switch (code) {
        case CURLE_URL_MALFORMAT:
            return HttpFailure::BadAddress;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return HttpFailure::HostNotFound;
        case CURLE_COULDNT_CONNECT:
            return HttpFailure::Refused;
        case CURLE_OPERATION_TIMEDOUT:
            return transfer.response_started && !timed_out ? HttpFailure::TooSlow
                                                           : HttpFailure::TimedOut;
        case CURLE_FILESIZE_EXCEEDED:
            return HttpFailure::TooLarge;
        case CURLE_WRITE_ERROR:
            return transfer.over_limit ? HttpFailure::TooLarge : HttpFailure::Other;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_USE_SSL_FAILED:
            return HttpFailure::Tls;
        case CURLE_RECV_ERROR:
            // libcurl reports a malformed chunk with the code of a broken
            // connection; only its message tells them apart.
            return message.find("chunk") != std::string_view::npos ? HttpFailure::BadResponse
                                                                    : HttpFailure::Reset;
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return HttpFailure::Reset;
        // The library only ever sees http and https addresses (redirect
        // targets are checked here), so an unsupported protocol is an
        // answer that is not HTTP/1.x.
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return HttpFailure::BadResponse;
        case CURLE_TOO_MANY_REDIRECTS:
            return HttpFailure::BadRedirect;
        default:
            return HttpFailure::Other;
    }
}

bool IsCancelled(const std::optional<CancelToken>& cancel) {
    return cancel && cancel->Cancelled();
}

// While data flows the library calls this many times a second.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const CancelToken*>(user)->Cancelled() ? 1 : 0;
}

// Runs the transfer to its end as curl_easy_perform would, but waits on the
// socket in short slices: a server that sends nothing never calls back, and
// the token must still be seen within kCancelPollMs.
CURLcode RunTransfer(CURL* handle, const std::optional<CancelToken>& cancel) {
    CurlMultiPtr multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), handle) != CURLM_OK) {
        return CURLE_OUT_OF_MEMORY;
    }
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
                if (message->msg == CURLMSG_DONE) result = message->data.result;
            }
            break;
        }
        if (IsCancelled(cancel)) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, kCancelPollMs, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), handle);
    return result;
}

// Performs one exchange, never following a redirect itself. The transfer
// holds whatever arrived, complete or not; failure reasons are logged.
Outcome Perform(const ExchangeSetup& setup, Transfer& transfer) {
    CurlPtr curl(curl_easy_init());
    CurlListPtr header_list = HeaderList(setup.header_text, setup.with_credentials);
    if (!curl || !header_list) {
        DebugLog(setup.url, "cannot create a request");
        return Failure(HttpFailure::Other, "cannot create a request");
    }
    CURL* handle = curl.get();
    transfer.handle = handle;
    char error[CURL_ERROR_SIZE] = {};
    transfer.max_body = setup.limits.max_body_bytes;
    transfer.max_header = setup.limits.max_header_bytes;

    const std::string proxy = !setup.secure && setup.proxy ? *setup.proxy : std::string();
    bool ok = true;
    auto set = [&ok, handle](CURLoption option, auto value) {
        if (ok && curl_easy_setopt(handle, option, value) != CURLE_OK) ok = false;
    };
    set(CURLOPT_ERRORBUFFER, error);
    set(CURLOPT_URL, setup.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_USERAGENT, setup.agent.c_str());
    set(CURLOPT_HTTPHEADER, header_list.get());
    set(CURLOPT_FOLLOWLOCATION, 0L);
    // An empty proxy also keeps proxies named in the environment away.
    set(CURLOPT_PROXY, proxy.c_str());
    set(CURLOPT_CONNECTTIMEOUT_MS, setup.limits.connect_timeout_ms);
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, setup.limits.low_speed_seconds);
    set(CURLOPT_TIMEOUT_MS, setup.limits.total_timeout_ms);
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(setup.limits.max_body_bytes));
    set(CURLOPT_WRITEFUNCTION, &OnBody);
    set(CURLOPT_WRITEDATA, &transfer);
    set(CURLOPT_HEADERFUNCTION, &OnHeader);
    set(CURLOPT_HEADERDATA, &transfer);
    if (!setup.own_cookies) {
        set(CURLOPT_COOKIEFILE, "");  // the in-memory cookie engine
        if (CURLSH* share = SharedCookies().Handle()) set(CURLOPT_SHARE, share);
    }
    if (setup.ca_file) set(CURLOPT_CAINFO, setup.ca_file->c_str());
    if (setup.cancel) {
        set(CURLOPT_NOPROGRESS, 0L);
        set(CURLOPT_XFERINFOFUNCTION, &OnProgress);
        set(CURLOPT_XFERINFODATA, &*setup.cancel);
    }
    if (setup.post) {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(setup.body->size()));
        set(CURLOPT_POSTFIELDS, setup.body->data());
    } else {
        set(CURLOPT_HTTPGET, 1L);
    }
    if (!ok) {
        DebugLog(setup.url, "the library refused an option");
        return Failure(HttpFailure::Other, "the library refused an option");
    }

    const long long started_ms = MonotonicMs();
    const CURLcode code = RunTransfer(handle, setup.cancel);
    if (code != CURLE_OK) {
        const std::string message = error[0] != '\0' ? error : curl_easy_strerror(code);
        DebugLog(setup.url, message);
        if (IsCancelled(setup.cancel)) return Failure(HttpFailure::Cancelled, message);
        // The library's clock and this one differ by a few milliseconds.
        constexpr long long kClockSlackMs = 50;
        const bool timed_out =
            MonotonicMs() - started_ms + kClockSlackMs >= setup.limits.total_timeout_ms;
        return Failure(ClassifyTransportError(code, transfer, message, timed_out), message);
    }
    Outcome outcome;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
    char* redirect = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect) {
        outcome.redirect_url = redirect;
    }
    return outcome;
}

// "scheme://host:port" of an absolute URL, empty when it cannot be parsed.
std::string OriginOf(const std::string& url) {
    using UrlPtr = std::unique_ptr<CURLU, util::CDeleter<curl_url_cleanup>>;
    using PartPtr = std::unique_ptr<char, util::CDeleter<curl_free>>;
    UrlPtr parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    std::string origin;
    for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK) return {};
        PartPtr owned(text);
        origin += owned.get();
        origin += '|';
    }
    return origin;
}

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The exchange and, unless the caller forbade it, the redirects that follow
// it: at most ten, within the call's deadline. Each hop is a fresh exchange
// so that the proxy, which serves plain addresses only, is chosen per hop.
// Plain to secure is followed; secure to plain never is. Only the last
// response's headers and body are kept.
Outcome Exchange(ExchangeSetup setup, Transfer& transfer, long long deadline_ms) {
    const std::string first_origin = OriginOf(setup.url);
    for (int redirects = 0;; ++redirects) {
        if (IsCancelled(setup.cancel)) return Failure(HttpFailure::Cancelled, "cancelled");
        const long long remaining_ms = deadline_ms - MonotonicMs();
        if (remaining_ms <= 0) {
            DebugLog(setup.url, "out of time");
            return Failure(HttpFailure::TimedOut, "out of time");
        }
        setup.limits.total_timeout_ms = static_cast<long>(remaining_ms);
        transfer.body.clear();
        transfer.headers.clear();
        transfer.response_started = false;
        Outcome outcome = Perform(setup, transfer);
        if (!outcome.Complete()) return outcome;
        if (!setup.follow || !IsRedirectStatus(outcome.status) || outcome.redirect_url.empty()) {
            return outcome;
        }
        if (redirects == kMaxAutomaticRedirects) {
            DebugLog(setup.url, "too many redirects");
            return Failure(HttpFailure::BadRedirect, "more than ten redirects");
        }
        if (const HttpFailure refused = RedirectRefusal(outcome.redirect_url, setup.secure);
            refused != HttpFailure::None) {
            DebugLog(outcome.redirect_url, "redirect refused");
            return Failure(refused, "redirect to " + outcome.redirect_url + " refused");
        }
        // Browsers turn a POST into a GET after these three.
        if (outcome.status == 301 || outcome.status == 302 || outcome.status == 303)
            setup.post = false;
        setup.url = outcome.redirect_url;
        setup.secure = ToLowerAscii(setup.url.substr(0, 8)).starts_with("https://");
        setup.with_credentials = setup.with_credentials && OriginOf(setup.url) == first_origin;
    }
}

bool NeedsUtf8Conversion(std::string_view body, std::string_view headers) {
    const std::string_view window = body.substr(0, kBodyMarkerWindow - 1 + kUtf8Marker.size());
    return window.find(kUtf8Marker) != std::string_view::npos ||
           headers.find(kUtf8Marker) != std::string_view::npos;
}

HttpResult FailedResult(HttpFailure failure, std::string detail, long status = 0) {
    HttpResult result;
    result.failure = failure;
    result.detail = std::move(detail);
    result.status = status;
    return result;
}

// One exchange and the permanent moves that follow it. All of them share one
// deadline, so a chain of slow moves cannot stretch the time limit tenfold.
HttpResult Request(std::string_view url, const HttpRequestOptions& options, int follow_ups,
                   long long deadline_ms, bool from_secure) {
    if (!CurlReady()) return FailedResult(HttpFailure::Other, "the HTTP library did not start");
    if (IsCancelled(options.cancel)) return FailedResult(HttpFailure::Cancelled, "cancelled");
    const ParsedUrl parsed = ParseUrl(url);
    const std::optional<std::string> target = TransportUrl(parsed);
    if (!target) {
        DebugLog(url, "not a usable address");
        return FailedResult(HttpFailure::BadAddress, "not a usable address");
    }

    std::string header_text = options.extra_headers ? *options.extra_headers : std::string();
    ExchangeSetup setup;
    setup.url = *target;
    setup.secure = parsed.secure;
    setup.post = options.method.value_or(0) == 1;
    setup.agent = RequestUserAgent(header_text);
    setup.own_cookies = options.cookies != nullptr;
    setup.follow = !options.no_redirect.value_or(false);
    setup.proxy = options.proxy;
    if (setup.proxy && setup.proxy->empty()) setup.proxy.reset();
    setup.limits = options.limits.value_or(HttpLimits{});
    setup.ca_file = options.ca_file;
    setup.cancel = options.cancel;

    CompleteHeaders(header_text, url, options.cookies ? *options.cookies : std::string_view());
    if (options.extra_headers) *options.extra_headers = header_text;
    setup.header_text = header_text;

    std::string local_post_bytes;
    std::string& post_bytes = options.post_bytes ? *options.post_bytes : local_post_bytes;
    if (setup.post && post_bytes.empty()) post_bytes = options.post_text.value_or(std::string());
    setup.body = &post_bytes;

    Transfer transfer;
    const Outcome outcome = Exchange(std::move(setup), transfer, deadline_ms);
    const std::string& headers = transfer.headers;
    if (options.response_headers) *options.response_headers = headers;

    auto [location, returned_cookies] = ReadResponseHeaders(headers);
    if (options.returned_cookies) *options.returned_cookies = returned_cookies;
    if (options.cookies) *options.cookies = MergeCookies(*options.cookies, returned_cookies);
    if (options.location) *options.location = location.empty() ? headers : location;

    // A transfer that did not complete yields no body: a truncated page must
    // not pass for the whole one.
    if (!outcome.Complete()) return FailedResult(outcome.failure, outcome.detail, outcome.status);

    // A permanent move is followed by asking the new place for the same
    // object, with the caller's own options. A 301 without a Location header
    // has nowhere to go and is returned as it is. The move passes the checks
    // of the automatic redirects: http or https only, never secure to plain.
    if (!location.empty() && BetweenNoCase(headers, "HTTP/1.1 ", " Moved") == "301") {
        if (follow_ups >= kMaxFollowUps) {
            DebugLog(url, "too many permanent moves");
            return FailedResult(HttpFailure::BadRedirect, "more than ten permanent moves", 301);
        }
        const bool secure = from_secure || parsed.secure;
        if (const HttpFailure refused = RedirectRefusal(location, secure);
            refused != HttpFailure::None) {
            DebugLog(location, "permanent move refused");
            return FailedResult(refused, "move to " + location + " refused", 301);
        }
        if (options.location) options.location->clear();
        return Request(location + parsed.object_path, options, follow_ups + 1, deadline_ms, secure);
    }

    HttpResult result;
    result.status = outcome.status;
    result.body = std::move(transfer.body);
    if (options.convert_charset && NeedsUtf8Conversion(result.body, headers)) {
        result.body = Utf8BytesToGbk(result.body);
    }
    if (result.status >= 400) {
        result.failure = HttpFailure::HttpStatus;
        result.detail = "HTTP " + std::to_string(result.status);
    }
    return result;
}

}  // namespace

bool PrepareHttpTransport(std::string* error) {
    if (CurlReady()) return true;
    if (error != nullptr) *error = "the HTTP library did not start";
    return false;
}

HttpResult WebRequestResult(std::string_view url, HttpRequestOptions options) {
    const HttpLimits limits = options.limits.value_or(HttpLimits{});
    return Request(url, options, 0, MonotonicMs() + limits.total_timeout_ms, false);
}

}  // namespace services
