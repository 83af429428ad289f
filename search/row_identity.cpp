#include "search/row_identity.h"

#include <algorithm>
#include <cctype>

namespace search {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsHex(char c) {
    const char l = LowerAscii(c);
    return (l >= '0' && l <= '9') || (l >= 'a' && l <= 'f');
}

// Position of `needle` (lower case) in `text`, ignoring ASCII case.
std::size_t FindCaseless(std::string_view text, std::string_view needle, std::size_t from = 0) {
    const auto found = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                   needle.begin(), needle.end(),
                                   [](char a, char b) { return LowerAscii(a) == b; });
    return found == text.end() ? std::string_view::npos
                               : static_cast<std::size_t>(found - text.begin());
}

std::string LowerHex(std::string_view hex) {
    std::string out;
    for (const char c : hex) out += LowerAscii(c);
    return out;
}

// RFC 4648 base32 of a 20-byte hash, 32 characters, as lower-case hex.
std::optional<std::string> Base32ToHex(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        unsigned value = 0;
        if (u >= 'A' && u <= 'Z') {
            value = static_cast<unsigned>(u - 'A');
        } else if (u >= '2' && u <= '7') {
            value = static_cast<unsigned>(u - '2' + 26);
        } else {
            return std::nullopt;
        }
        buffer = (buffer << 5) | value;
        bits += 5;
        while (bits >= 4) {
            bits -= 4;
            hex += kHex[(buffer >> bits) & 0x0F];
        }
    }
    return hex;
}

std::optional<std::string> MagnetHash(std::string_view text) {
    constexpr std::string_view kMarker = "urn:btih:";
    for (std::size_t at = FindCaseless(text, kMarker); at != std::string_view::npos;
         at = FindCaseless(text, kMarker, at + 1)) {
        const std::size_t start = at + kMarker.size();
        std::size_t end = start;
        while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) ++end;
        const std::string_view hash = text.substr(start, end - start);
        if (hash.size() == 40 && std::all_of(hash.begin(), hash.end(), IsHex)) {
            return "btih:" + LowerHex(hash);
        }
        if (hash.size() == 32) {
            if (auto hex = Base32ToHex(hash)) return "btih:" + *hex;
        }
    }
    return std::nullopt;
}

constexpr std::size_t kMaxEd2kLink = 4096;

std::optional<std::string> Ed2kHash(std::string_view text) {
    constexpr std::string_view kMarker = "ed2k://|file|";
    for (std::size_t at = FindCaseless(text, kMarker); at != std::string_view::npos;
         at = FindCaseless(text, kMarker, at + 1)) {
        // NAME|SIZE|HASH: the hash is the first 32-hex field after a field
        // of digits, so a name holding "|" does not mislead it.
        // Only so far into the link: a cell of nothing but markers must not
        // make the scan quadratic.
        std::string_view rest = text.substr(at + kMarker.size(), kMaxEd2kLink);
        std::string_view previous;
        for (std::size_t bar = rest.find('|'); bar != std::string_view::npos; bar = rest.find('|')) {
            const std::string_view field = rest.substr(0, bar);
            if (field.size() == 32 && std::all_of(field.begin(), field.end(), IsHex) &&
                !previous.empty() &&
                std::all_of(previous.begin(), previous.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                return "ed2k:" + LowerHex(field);
            }
            if (field == "/") break;
            previous = field;
            rest.remove_prefix(bar + 1);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> DownloadIdentity(std::string_view text) {
    if (auto magnet = MagnetHash(text)) return magnet;
    return Ed2kHash(text);
}

std::optional<std::string> DownloadIdentity(const std::vector<std::string>& cells) {
    // The address column is the last one; look there first.
    for (auto cell = cells.rbegin(); cell != cells.rend(); ++cell) {
        if (auto identity = DownloadIdentity(*cell)) return identity;
    }
    return std::nullopt;
}

}  // namespace search
