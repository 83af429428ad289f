// What the HTTP routine does with a response without a socket: URL parsing,
// the user agent taken from header text, cookie merging, the header block
// (Location and Set-Cookie) and the redirect checks. The input is split at
// its first two zero bytes into a URL, a header block and a cookie text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/http.h"

namespace {

std::string_view TakeUntilZero(std::string_view& rest) {
    const std::size_t zero = rest.find('\0');
    const std::string_view piece = rest.substr(0, zero);
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view url = TakeUntilZero(rest);
    const std::string_view headers = TakeUntilZero(rest);
    const std::string_view cookies = rest;

    const services::ParsedUrl parsed = services::ParseUrl(url);
    if (parsed.object_path.empty() || parsed.port < 0 || parsed.port > 65535) std::abort();
    for (const char c : parsed.host) {
        if (c >= 'A' && c <= 'Z') std::abort();
    }

    const std::string agent = services::RequestUserAgent(headers);
    if (agent.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();

    const services::ResponseHeaderFacts facts = services::ReadResponseHeaders(headers);
    const services::HttpFailure refusal = services::RedirectRefusal(facts.location, parsed.secure);
    const bool http = facts.location.size() >= 7 &&
                      (facts.location.substr(0, 7) == "http://" ||
                       facts.location.substr(0, 7) == "HTTP://");
    if (http && !parsed.secure && refusal != services::HttpFailure::None) std::abort();

    // Entries are joined by "; " with nothing empty at either end.
    const std::string merged = services::MergeCookies(cookies, facts.returned_cookies);
    if (merged.starts_with(";") || merged.starts_with(" ") || merged.ends_with(";") ||
        merged.ends_with(" ")) {
        std::abort();
    }
    return 0;
}
