#include "util/gbk_text.h"

#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace util {
namespace {

constexpr char kUnknown = '?';

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// End of the ASCII run starting at `from`, a word at a time.
std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
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
// ill-formed prefix (at least 1).
std::size_t Utf8Step(std::string_view text, std::size_t offset, bool& valid) {
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

// The character of a well-formed UTF-8 sequence of `length` bytes.
char32_t DecodeUtf8(const char* bytes, std::size_t length) {
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

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// An iconv descriptor; the failure value of iconv_open is (iconv_t)-1.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Iconv() {
        if (Valid()) iconv_close(m_handle);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool Valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // The character one GBK unit converts to, or 0 when it converts to none.
    char32_t Character(std::string_view unit) const {
        char in_buffer[2];
        std::memcpy(in_buffer, unit.data(), unit.size());
        char utf8[8];
        char* in = in_buffer;
        std::size_t in_left = unit.size();
        char* out = utf8;
        std::size_t out_left = sizeof utf8;
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_handle, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) return 0;
        const auto length = static_cast<std::size_t>(out - utf8);
        bool valid = false;
        if (length == 0 || Utf8Step(std::string_view(utf8, length), 0, valid) != length || !valid) {
            return 0;
        }
        const char32_t c = DecodeUtf8(utf8, length);
        return c < 0x10000 ? c : 0;  // code page 936 stays in the basic plane
    }

private:
    iconv_t m_handle;
};

// Code page 936 as glibc's iconv defines it, held as two lookup tables so
// that converting a page costs a table lookup per character instead of a
// converter call. The mapping is one-to-one (21791 pairs and the single byte
// 0x80), so the inverse table converts exactly as iconv would.
class GbkTables {
public:
    static const GbkTables& Get() {
        static const GbkTables tables;
        return tables;
    }

    // The character of a GBK unit (as GbkCharLength measures it), or 0 when
    // code page 936 has none.
    char32_t ToUnicode(std::string_view unit) const {
        const auto lead = static_cast<unsigned char>(unit[0]);
        if (unit.size() == 1) return lead == 0x80 ? m_euro : (lead < 0x80 ? lead : 0);
        return m_to_unicode[PairIndex(lead, static_cast<unsigned char>(unit[1]))];
    }

    // The GBK code of a character: one byte below 0x100, lead and trail
    // bytes otherwise; 0 when GBK lacks it.
    std::uint16_t FromUnicode(char32_t c) const {
        return c < m_from_unicode.size() ? m_from_unicode[c] : 0;
    }

private:
    static constexpr int kTrailCount = 0xFF - 0x40;  // 0x40..0xFE

    static std::size_t PairIndex(unsigned char lead, unsigned char trail) {
        return static_cast<std::size_t>(lead - 0x81) * kTrailCount + (trail - 0x40);
    }

    GbkTables() : m_to_unicode(126 * kTrailCount, 0), m_from_unicode(0x10000, 0) {
        const Iconv converter("UTF-8", "CP936");
        if (!converter.Valid()) return;  // every non-ASCII character then converts as unknown
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char32_t c = converter.Character(std::string_view(pair, 2));
                m_to_unicode[PairIndex(static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(trail))] = static_cast<char16_t>(c);
                if (c >= 0x80) m_from_unicode[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
        const char euro_byte = static_cast<char>(0x80);
        m_euro = converter.Character(std::string_view(&euro_byte, 1));
        if (m_euro >= 0x80) m_from_unicode[m_euro] = 0x80;
    }

    std::vector<char16_t> m_to_unicode;
    std::vector<std::uint16_t> m_from_unicode;
    char32_t m_euro = 0;
};

}  // namespace

std::size_t GbkCharLength(std::string_view gbk, std::size_t offset) {
    if (offset >= gbk.size()) return 0;
    const auto lead = static_cast<unsigned char>(gbk[offset]);
    if (lead >= 0x81 && lead <= 0xFE && offset + 1 < gbk.size()) {
        const auto trail = static_cast<unsigned char>(gbk[offset + 1]);
        if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
    }
    return 1;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    if (gbk.empty()) return out;
    out.reserve(gbk.size() + gbk.size() / 2);
    const GbkTables& tables = GbkTables::Get();
    std::size_t offset = 0;
    while (offset < gbk.size()) {
        const std::size_t run_end = AsciiRunEnd(gbk, offset);
        out.append(gbk.substr(offset, run_end - offset));
        offset = run_end;
        // A non-ASCII stretch ends at the first ASCII byte that is not a
        // trail byte.
        while (offset < gbk.size() && !IsAscii(gbk[offset])) {
            const std::size_t length = GbkCharLength(gbk, offset);
            const char32_t c = tables.ToUnicode(gbk.substr(offset, length));
            if (c == 0) {
                out.push_back(kUnknown);
            } else {
                AppendUtf8(c, out);
            }
            offset += length;
        }
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    std::string out;
    if (utf8.empty()) return out;
    out.reserve(utf8.size());
    const GbkTables& tables = GbkTables::Get();
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        const std::size_t run_end = AsciiRunEnd(utf8, offset);
        out.append(utf8.substr(offset, run_end - offset));
        offset = run_end;
        while (offset < utf8.size() && !IsAscii(utf8[offset])) {
            bool valid = false;
            const std::size_t length = Utf8Step(utf8, offset, valid);
            const std::uint16_t code =
                valid ? tables.FromUnicode(DecodeUtf8(utf8.data() + offset, length)) : 0;
            if (code == 0) {
                out.push_back(kUnknown);
            } else if (code < 0x100) {
                out.push_back(static_cast<char>(code));
            } else {
                out.push_back(static_cast<char>(code >> 8));
                out.push_back(static_cast<char>(code & 0xFF));
            }
            offset += length;
        }
    }
    return out;
}

}  // namespace util
