#include "app/client_uri.h"

#include <vector>

#include "util/gbk_text.h"

namespace app {
namespace {

// Longer than any real link with a tracker list; a cell made to be huge is
// not handed to another program.
constexpr std::size_t kMaxAddressBytes = 64 * 1024;

constexpr std::string_view kMagnetPrefix = "magnet:?";
constexpr std::string_view kEd2kPrefix = "ed2k://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Printable ASCII that a URI may carry as it is (RFC 3986, plus "|", which
// ED2K links use as their separator).
bool IsRawUriByte(unsigned char byte) {
    if (byte <= 0x20 || byte >= 0x7F) return false;
    switch (byte) {
        case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '}':
            return false;
        default:
            return true;
    }
}

// Bytes that stay raw inside a display name: unreserved characters and the
// sub-delimiters a query value may hold. "#", "[", "]", "|" and "%" (unless
// it starts an escape) are encoded, so the name can never end the link.
bool KeepsRawInName(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9'))
        return true;
    switch (byte) {
        case '-': case '.': case '_': case '~': case '!': case '$': case '\'': case '(': case ')':
        case '*': case '+': case ',': case ';': case '=': case ':': case '@': case '/': case '?':
            return true;
        default:
            return false;
    }
}

std::string EncodeName(std::string_view name_gbk) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = util::GbkToUtf8(name_gbk);
    std::string encoded;
    encoded.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool escape = byte == '%' && i + 2 < utf8.size() && IsHexDigit(utf8[i + 1]) &&
                            IsHexDigit(utf8[i + 2]);
        if (KeepsRawInName(byte) || escape) {
            encoded += static_cast<char>(byte);
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

bool AllRaw(std::string_view text) {
    for (const char c : text) {
        if (!IsRawUriByte(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::string_view TrimSpace(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

ClientUri Refuse(LinkKind kind, std::string refusal) {
    return ClientUri{kind, {}, std::move(refusal)};
}

constexpr const char* kBadCharacters = "这个地址含有链接中不允许的字符，没有交给下载工具。";

ClientUri MagnetUri(std::string_view address) {
    std::string uri(address.substr(0, kMagnetPrefix.size()));
    bool first = true;
    for (const std::string_view parameter : Split(address.substr(kMagnetPrefix.size()), '&')) {
        if (!first) uri += '&';
        first = false;
        const std::size_t equals = parameter.find('=');
        const std::string_view name = parameter.substr(0, equals);
        if (!AllRaw(name)) return Refuse(LinkKind::Magnet, kBadCharacters);
        const bool display_name = name == "dn" || name.starts_with("dn.");
        if (display_name && equals != std::string_view::npos) {
            uri.append(name).append("=").append(EncodeName(parameter.substr(equals + 1)));
        } else if (AllRaw(parameter)) {
            uri.append(parameter);
        } else {
            return Refuse(LinkKind::Magnet, kBadCharacters);
        }
    }
    return ClientUri{LinkKind::Magnet, std::move(uri), {}};
}

// "ed2k://|file|NAME|SIZE|HASH|/" and its optional parts; other ED2K links
// (servers, server lists) carry no name and are kept as they are.
ClientUri Ed2kUri(std::string_view address) {
    const std::vector<std::string_view> fields = Split(address, '|');
    const bool file_link = fields.size() > 2 && StartsWithNoCase(fields[1], "file") &&
                           fields[1].size() == 4;
    std::string uri;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) uri += '|';
        if (file_link && i == 2) {
            uri += EncodeName(fields[i]);
        } else if (AllRaw(fields[i])) {
            uri.append(fields[i]);
        } else {
            return Refuse(LinkKind::Ed2k, kBadCharacters);
        }
    }
    return ClientUri{LinkKind::Ed2k, std::move(uri), {}};
}

}  // namespace

ClientUri MakeClientUri(std::string_view address) {
    address = TrimSpace(address);
    if (address.empty()) return Refuse(LinkKind::Magnet, "这一行没有下载地址。");
    const bool magnet = StartsWithNoCase(address, kMagnetPrefix);
    if (!magnet && !StartsWithNoCase(address, kEd2kPrefix)) {
        return Refuse(LinkKind::Magnet,
                      "这一行的地址不是磁力链接或电驴链接，没有交给下载工具。");
    }
    const LinkKind kind = magnet ? LinkKind::Magnet : LinkKind::Ed2k;
    if (address.size() > kMaxAddressBytes) {
        return Refuse(kind, "这一行的地址过长，没有交给下载工具。");
    }
    return magnet ? MagnetUri(address) : Ed2kUri(address);
}

std::string_view LinkKindName(LinkKind kind) {
    switch (kind) {
        case LinkKind::Magnet: return "磁力链接";
        case LinkKind::Ed2k: return "电驴链接";
    }
    return "链接";
}

}  // namespace app
