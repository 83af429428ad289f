#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Stepping through UTF-8 and ASCII text, shared by the converters. Inline:
// they sit in the inner loops of every page conversion.
namespace util {

inline bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// End of the ASCII run starting at `from`, a word at a time.
inline std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
    while (from + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + from, 8);
        if (word & 0x8080808080808080ULL) break;
        from += 8;
    }
    while (from < text.size() && IsAscii(text[from])) ++from;
    return from;
}

// Length of the UTF-8 sequence at text[offset]. `valid` tells whether it is
// one well-formed character; otherwise the length is that of the maximal
// ill-formed prefix (at least 1), the part that stands for one unknown
// character.
inline std::size_t Utf8Step(std::string_view text, std::size_t offset, bool& valid) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(offset);
    valid = false;
    if (lead < 0x80) {
        valid = true;
        return 1;
    }
    std::size_t needed = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first trail byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 1;
    }
    std::size_t length = 1;
    for (std::size_t k = 0; k < needed; ++k) {
        if (offset + length >= text.size()) return length;
        const unsigned char trail = byte(offset + length);
        if (k == 0 ? (trail < low || trail > high) : (trail < 0x80 || trail > 0xBF)) return length;
        ++length;
    }
    valid = true;
    return length;
}

// The character of a well-formed UTF-8 sequence of `length` bytes (as
// Utf8Step measured it).
inline char32_t DecodeUtf8(const char* bytes, std::size_t length) {
    auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(bytes[i])); };
    switch (length) {
        case 1:
            return byte(0);
        case 2:
            return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3:
            return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        default:
            return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                   (byte(3) & 0x3F);
    }
}

}  // namespace util
