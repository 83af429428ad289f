#include "services/http_text.h"

#include <cstdio>
#include <cstdlib>

#include "util/gbk_text.h"

namespace services::http_text {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

// The length of the space character at `at`, or 0 when there is none.
std::size_t SpaceLength(std::string_view text, std::size_t at) {
    if (text[at] == ' ') return 1;
    if (text.substr(at, 2) == kFullWidthSpace) return 2;
    return 0;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void DebugLog(std::string_view what, std::string_view detail) {
    static const bool enabled = std::getenv("SEED_DEBUG_HTTP") != nullptr;
    if (enabled) {
        std::fprintf(stderr, "http: %.*s: %.*s\n", static_cast<int>(what.size()), what.data(),
                     static_cast<int>(detail.size()), detail.data());
    }
}

std::string TrimSpaces(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t space = SpaceLength(text, at);
        const std::size_t length = space != 0 ? space : util::GbkCharLength(text, at);
        if (space == 0) {
            if (begin == text.size()) begin = at;
            end = at + length;
        }
        at += length;
    }
    if (begin >= end) return {};
    return std::string(text.substr(begin, end - begin));
}

std::string RemoveSpaces(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t space = SpaceLength(text, at);
        const std::size_t length = space != 0 ? space : util::GbkCharLength(text, at);
        if (space == 0) result.append(text.substr(at, length));
        at += length;
    }
    return result;
}

std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < needle.size() && LowerAscii(text[at + i]) == LowerAscii(needle[i])) ++i;
        if (i == needle.size()) return at;
    }
    return std::string_view::npos;
}

// The text between the first `start` and the next `end` after it, both found
// ignoring case; empty when either is missing.
std::string_view BetweenNoCase(std::string_view text, std::string_view start,
                               std::string_view end) {
    const std::size_t open = FindNoCase(text, start);
    if (open == std::string_view::npos) return {};
    const std::size_t from = open + start.size();
    const std::size_t close = FindNoCase(text, end, from);
    if (close == std::string_view::npos) return {};
    return text.substr(from, close - from);
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(from));
            return parts;
        }
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
}

}  // namespace services::http_text
