#include "util/gbk_text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "util/iconv_converter.h"
#include "util/utf8.h"

namespace util {
namespace {

constexpr char kUnknown = '?';

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

// The character one GBK unit converts to, or 0 when it converts to none.
char32_t ConvertUnit(IconvConverter& converter, std::string_view unit) {
    char utf8[8];
    const char* in = unit.data();
    std::size_t in_left = unit.size();
    char* out = utf8;
    std::size_t out_left = sizeof utf8;
    converter.Reset();
    if (converter.Convert(in, in_left, out, out_left) != IconvConverter::Status::Done) return 0;
    const auto length = static_cast<std::size_t>(out - utf8);
    bool valid = false;
    if (length == 0 || Utf8Step(std::string_view(utf8, length), 0, valid) != length || !valid) return 0;
    const char32_t c = DecodeUtf8(utf8, length);
    return c < 0x10000 ? c : 0;  // code page 936 stays in the basic plane
}

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
        auto converter = IconvConverter::Open("UTF-8", "CP936");
        if (!converter) return;  // every non-ASCII character then converts as unknown
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char32_t c = ConvertUnit(*converter, std::string_view(pair, 2));
                m_to_unicode[PairIndex(static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(trail))] = static_cast<char16_t>(c);
                if (c >= 0x80) m_from_unicode[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
        const char euro_byte = static_cast<char>(0x80);
        m_euro = ConvertUnit(*converter, std::string_view(&euro_byte, 1));
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

std::size_t GbkCharStartAtOrBefore(std::string_view gbk, std::size_t offset) {
    offset = std::min(offset, gbk.size());
    std::size_t at = 0;
    while (at < offset) {
        const std::size_t next = at + GbkCharLength(gbk, at);
        if (next > offset) break;
        at = next;
    }
    return at;
}

std::string_view GbkPrefix(std::string_view gbk, std::size_t max_bytes) {
    if (gbk.size() <= max_bytes) return gbk;
    return gbk.substr(0, GbkCharStartAtOrBefore(gbk, max_bytes));
}

std::size_t GbkPreviousChar(std::string_view gbk, std::size_t from, std::size_t offset) {
    offset = std::min(offset, gbk.size());
    std::size_t at = std::min(from, offset);
    std::size_t previous = at;
    while (at < offset) {
        previous = at;
        at += GbkCharLength(gbk, at);
    }
    return previous;
}

std::size_t GbkCharCount(std::string_view gbk) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < gbk.size(); at += GbkCharLength(gbk, at)) ++count;
    return count;
}

std::size_t GbkOffsetOfColumn(std::string_view gbk, std::size_t column) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < column && at < gbk.size(); ++i) at += GbkCharLength(gbk, at);
    return at;
}

std::string GbkToUtf8(std::string_view gbk) { return GbkToUtf8(gbk, GbkStandIns{}); }

std::string GbkToUtf8(std::string_view gbk, const GbkStandIns& stand_ins) {
    std::string out;
    if (gbk.empty()) return out;
    out.reserve(gbk.size() + gbk.size() / 2);
    const GbkTables& tables = GbkTables::Get();
    const bool replace_single_bytes = !stand_ins.high_single_byte.empty();
    std::size_t offset = 0;
    while (offset < gbk.size()) {
        const std::size_t run_end = AsciiRunEnd(gbk, offset);
        out.append(gbk.substr(offset, run_end - offset));
        offset = run_end;
        // A non-ASCII stretch ends at the first ASCII byte that is not a
        // trail byte.
        while (offset < gbk.size() && !IsAscii(gbk[offset])) {
            const std::size_t length = GbkCharLength(gbk, offset);
            if (length == 1 && replace_single_bytes) {
                out.append(stand_ins.high_single_byte);
            } else if (const char32_t c = tables.ToUnicode(gbk.substr(offset, length)); c == 0) {
                out.append(stand_ins.no_character);
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
    AppendUtf8AsGbk(utf8, out);
    return out;
}

void AppendUtf8AsGbk(std::string_view utf8, std::string& out) {
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
}

}  // namespace util
