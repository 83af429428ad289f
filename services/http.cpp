#include "services/http.h"

#include <algorithm>

#include "services/http_text.h"

namespace services {
namespace {

using namespace http_text;

constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Q3VTK; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

}  // namespace

ParsedUrl ParseUrl(std::string_view url) {
    ParsedUrl parsed;
    const std::string lower = ToLowerAscii(url);
    parsed.secure = lower.starts_with("https");
    std::string work = lower;
    if (work.empty() || work.back() != '/') work += '/';

    std::size_t host_start = 0;      // in `work`
    std::size_t url_host_start = 0;  // in `url`
    if (work.starts_with("https://")) {
        host_start = url_host_start = 8;
    } else if (const std::size_t scheme = work.find("http://"); scheme != std::string::npos) {
        host_start = url_host_start = scheme + 7;
    } else {
        work.insert(0, "http://");
        host_start = 7;
    }
    std::size_t host_end = work.find('/', host_start);
    if (host_end == std::string::npos) host_end = work.size();  // "http://" alone
    std::string host = work.substr(host_start, host_end - host_start);

    parsed.port = parsed.secure ? 443 : 80;
    if (const std::size_t colon = host.rfind(':'); colon != std::string::npos) {
        const std::string_view digits = std::string_view(host).substr(colon + 1);
        const bool all_digits = digits.find_first_not_of("0123456789") == std::string_view::npos;
        if (all_digits) {
            if (!digits.empty()) {
                long value = 0;
                for (char c : digits) {
                    value = value * 10 + (c - '0');
                    if (value > 65535) break;
                }
                parsed.port = value >= 1 && value <= 65535 ? static_cast<int>(value) : 0;
            }
            host.erase(colon);
        }
    }
    parsed.host = std::move(host);

    const std::size_t slash = url.find('/', std::min(url_host_start, url.size()));
    parsed.object_path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    return parsed;
}

std::string RequestUserAgent(std::string_view extra_headers) {
    if (FindNoCase(extra_headers, "User-Agent:") == std::string_view::npos) {
        return std::string(kDefaultAgent);
    }
    std::string agent = TrimSpaces(BetweenNoCase(extra_headers, "User-Agent:", "\r\n"));
    if (agent.empty()) {
        const std::size_t colon = extra_headers.find(':');
        agent = TrimSpaces(extra_headers.substr(colon + 1));
    }
    // A line break would split the agent into header lines of its own.
    return agent.substr(0, agent.find_first_of(std::string_view("\r\n\0", 3)));
}

std::string_view HttpFailureText(HttpFailure failure) {
    switch (failure) {
        case HttpFailure::None: return "成功";
        case HttpFailure::BadAddress: return "地址无效";
        case HttpFailure::HostNotFound: return "找不到服务器";
        case HttpFailure::Refused: return "连接被拒绝";
        case HttpFailure::Reset: return "连接中断";
        case HttpFailure::TimedOut: return "连接超时";
        case HttpFailure::TooSlow: return "传输过慢";
        case HttpFailure::TooLarge: return "响应过大";
        case HttpFailure::Tls: return "安全连接失败";
        case HttpFailure::BadRedirect: return "重定向无效";
        case HttpFailure::BadScheme: return "不支持的协议";
        case HttpFailure::BadResponse: return "响应格式错误";
        case HttpFailure::HttpStatus: return "服务器返回错误";
        case HttpFailure::Cancelled: return "已取消";
        case HttpFailure::Other: return "网络错误";
    }
    return "网络错误";
}

std::string_view HttpFailureName(HttpFailure failure) {
    switch (failure) {
        case HttpFailure::None: return "none";
        case HttpFailure::BadAddress: return "bad-address";
        case HttpFailure::HostNotFound: return "host-not-found";
        case HttpFailure::Refused: return "refused";
        case HttpFailure::Reset: return "reset";
        case HttpFailure::TimedOut: return "timed-out";
        case HttpFailure::TooSlow: return "too-slow";
        case HttpFailure::TooLarge: return "too-large";
        case HttpFailure::Tls: return "tls";
        case HttpFailure::BadRedirect: return "bad-redirect";
        case HttpFailure::BadScheme: return "bad-scheme";
        case HttpFailure::BadResponse: return "bad-response";
        case HttpFailure::HttpStatus: return "http-status";
        case HttpFailure::Cancelled: return "cancelled";
        case HttpFailure::Other: return "other";
    }
    return "other";
}

ResponseHeaderFacts ReadResponseHeaders(std::string_view header_block) {
    ResponseHeaderFacts facts;
    for (std::string_view line : Split(header_block, "\r\n")) {
        // Only the header named Location; a Content-Location names no new place.
        if (FindNoCase(line.substr(0, 9), "Location:") == 0) {
            facts.location = TrimSpaces(line.substr(9));
        }
        if (line.find("Set-Cookie") != std::string_view::npos) {
            facts.returned_cookies += TrimSpaces(BetweenNoCase(line, "Set-Cookie:", ";"));
            facts.returned_cookies += "; ";
        }
    }
    return facts;
}

HttpFailure RedirectRefusal(std::string_view target, bool from_secure) {
    const std::string scheme = ToLowerAscii(target.substr(0, 8));
    if (scheme.starts_with("https://")) return HttpFailure::None;
    if (!scheme.starts_with("http://")) return HttpFailure::BadScheme;
    return from_secure ? HttpFailure::BadRedirect : HttpFailure::None;
}

std::string MergeCookies(std::string_view cookies, std::string_view received) {
    auto name_of = [](std::string_view entry) {
        return TrimSpaces(entry.substr(0, entry.find('=')));
    };
    // Empty entries (a trailing ";", or a Set-Cookie without a value) carry
    // no cookie and are skipped.
    auto entries_of = [](const std::string& text) {
        std::vector<std::string> entries;
        for (std::string_view entry : Split(text, ";")) {
            if (!entry.empty()) entries.emplace_back(entry);
        }
        return entries;
    };
    const std::string old_text = RemoveSpaces(cookies);
    const std::string received_text = RemoveSpaces(received);
    std::vector<std::string> merged = entries_of(received_text);
    std::vector<std::string> received_names;
    for (const std::string& entry : merged) received_names.push_back(name_of(entry));
    for (std::string& entry : entries_of(old_text)) {
        const std::string name = name_of(entry);
        if (std::find(received_names.begin(), received_names.end(), name) == received_names.end()) {
            merged.push_back(std::move(entry));
        }
    }

    std::vector<std::string> kept;
    for (std::string& entry : merged) {
        if (entry.ends_with("=deleted")) continue;
        if (std::find(kept.begin(), kept.end(), entry) != kept.end()) continue;
        kept.push_back(std::move(entry));
    }
    std::string result;
    for (const std::string& entry : kept) {
        if (!result.empty()) result += "; ";
        result += entry;
    }
    return result;
}

}  // namespace services
