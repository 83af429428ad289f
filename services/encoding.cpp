#include "services/encoding.h"

#include <glib.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "util/gbk_text.h"

namespace services {
namespace {

constexpr char kGbkName[] = "CP936";
constexpr char kUtf8Name[] = "UTF-8";
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kGbkDefaultChar = '?';
constexpr char kMatchingStandIn = '\x1A';  // SUBSTITUTE

// One iconv conversion descriptor. Move-only; closes the descriptor when it
// goes away.
class IconvConverter {
public:
    enum class Status { Done, OutputFull, InvalidSequence, IncompleteSequence };

    static std::optional<IconvConverter> Open(const char* to, const char* from) {
        iconv_t handle = iconv_open(to, from);
        if (handle == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
        return IconvConverter(handle);
    }

    IconvConverter(IconvConverter&& other) noexcept
        : m_handle(std::exchange(other.m_handle, reinterpret_cast<iconv_t>(-1))) {}
    IconvConverter& operator=(IconvConverter&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = std::exchange(other.m_handle, reinterpret_cast<iconv_t>(-1));
        }
        return *this;
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;
    ~IconvConverter() { Close(); }

    // Converts as much of [in, in + in_left) as fits; advances all four.
    Status Convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
        char* in_cursor = const_cast<char*>(in);
        std::size_t result = iconv(m_handle, &in_cursor, &in_left, &out, &out_left);
        in = in_cursor;
        return result == static_cast<std::size_t>(-1) ? StatusFromErrno() : Status::Done;
    }

    // Writes the sequence that returns a stateful encoding to its initial
    // state.
    Status Flush(char*& out, std::size_t& out_left) {
        std::size_t result = iconv(m_handle, nullptr, nullptr, &out, &out_left);
        return result == static_cast<std::size_t>(-1) ? StatusFromErrno() : Status::Done;
    }

private:
    explicit IconvConverter(iconv_t handle) : m_handle(handle) {}

    static Status StatusFromErrno() {
        switch (errno) {
        case E2BIG: return Status::OutputFull;
        case EINVAL: return Status::IncompleteSequence;
        default: return Status::InvalidSequence;
        }
    }

    void Close() {
        if (m_handle != reinterpret_cast<iconv_t>(-1)) iconv_close(m_handle);
        m_handle = reinterpret_cast<iconv_t>(-1);
    }

    iconv_t m_handle;
};

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && IsAscii(text[from])) ++from;
    return from;
}

// The same, a word at a time.
std::size_t AsciiRunEndFast(std::string_view text, std::size_t from) {
    while (from + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + from, 8);
        if (word & 0x8080808080808080ULL) break;
        from += 8;
    }
    return AsciiRunEnd(text, from);
}

// Length of the UTF-8 sequence at text[offset]. `valid` tells whether it is
// one well-formed character; otherwise the length is that of the maximal
// ill-formed prefix, which becomes a single U+FFFD.
std::size_t Utf8Step(std::string_view text, std::size_t offset, bool& valid) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(offset);
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
        if (lead == 0xE0) low = 0xA0;        // overlong
        if (lead == 0xED) high = 0x9F;       // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        if (lead == 0xF0) low = 0x90;        // overlong
        if (lead == 0xF4) high = 0x8F;       // beyond U+10FFFF
    } else {
        return 1;
    }
    std::size_t length = 1;
    for (std::size_t k = 0; k < needed; ++k) {
        if (offset + length >= text.size()) return length;
        unsigned char trail = byte(offset + length);
        if (k == 0 ? (trail < low || trail > high) : (trail < 0x80 || trail > 0xBF)) return length;
        ++length;
    }
    valid = true;
    return length;
}

// Code page 936 as glibc's iconv defines it, held as two lookup tables so
// that converting a page costs a table lookup per character instead of a
// converter call. The tables are read out of iconv once; the mapping is
// one-to-one (21791 pairs and the single byte 0x80), so the inverse table
// converts exactly as iconv would.
class GbkTables {
public:
    static const GbkTables& Get() {
        static const GbkTables tables;
        return tables;
    }

    // The character of the GBK unit at `unit` (one or two bytes, as
    // GbkCharLength measures it), or 0 when code page 936 has none.
    char32_t ToUnicode(std::string_view unit) const {
        auto lead = static_cast<unsigned char>(unit[0]);
        if (unit.size() == 1) return lead == 0x80 ? m_euro : (lead < 0x80 ? lead : 0);
        return m_to_unicode[PairIndex(lead, static_cast<unsigned char>(unit[1]))];
    }

    // The GBK code of a character: one byte when below 0x100, a lead and a
    // trail byte otherwise; 0 when GBK lacks it.
    std::uint16_t FromUnicode(char32_t c) const { return c < m_from_unicode.size() ? m_from_unicode[c] : 0; }

private:
    static constexpr int kTrailCount = 0xFF - 0x40;  // 0x40..0xFE

    static std::size_t PairIndex(unsigned char lead, unsigned char trail) {
        return static_cast<std::size_t>(lead - 0x81) * kTrailCount + (trail - 0x40);
    }

    GbkTables() : m_to_unicode(126 * kTrailCount, 0), m_from_unicode(0x10000, 0) {
        auto converter = IconvConverter::Open(kUtf8Name, kGbkName);
        if (!converter) return;  // every non-ASCII character then converts as unknown
        auto convert = [&](std::string_view unit) -> char32_t {
            char utf8[8];
            const char* in = unit.data();
            std::size_t in_left = unit.size();
            char* out = utf8;
            std::size_t out_left = sizeof utf8;
            if (converter->Convert(in, in_left, out, out_left) != IconvConverter::Status::Done) return 0;
            std::size_t length = out - utf8;
            gunichar c = g_utf8_get_char_validated(utf8, static_cast<gssize>(length));
            return c < 0x10000 ? c : 0;  // code page 936 stays in the basic plane
        };
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char32_t c = convert(std::string_view(pair, 2));
                m_to_unicode[PairIndex(lead, trail)] = static_cast<char16_t>(c);
                if (c >= 0x80) m_from_unicode[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
        const char euro_byte = static_cast<char>(0x80);
        m_euro = convert(std::string_view(&euro_byte, 1));
        if (m_euro >= 0x80) m_from_unicode[m_euro] = 0x80;
    }

    std::vector<char16_t> m_to_unicode;
    std::vector<std::uint16_t> m_from_unicode;
    char32_t m_euro = 0;
};

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

// Decodes the valid UTF-8 character at text[offset]; `length` receives its
// length in bytes.
char32_t DecodeUtf8(std::string_view text, std::size_t offset, std::size_t& length) {
    auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[offset + i])); };
    char32_t lead = byte(0);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if (lead < 0xE0) {
        length = 2;
        return (lead & 0x1F) << 6 | (byte(1) & 0x3F);
    }
    if (lead < 0xF0) {
        length = 3;
        return (lead & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    }
    length = 4;
    return (lead & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
}

// Appends the GBK code of `c`, or the default character when GBK lacks it.
void AppendGbk(const GbkTables& tables, char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    const std::uint16_t code = tables.FromUnicode(c);
    if (code == 0) {
        out.push_back(kGbkDefaultChar);
    } else if (code < 0x100) {
        out.push_back(static_cast<char>(code));
    } else {
        out.push_back(static_cast<char>(code >> 8));
        out.push_back(static_cast<char>(code & 0xFF));
    }
}

// Converts valid UTF-8 to GBK, appending to `out`.
void AppendValidUtf8AsGbk(const GbkTables& tables, std::string_view utf8, std::string& out) {
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        std::size_t length = 1;
        AppendGbk(tables, DecodeUtf8(utf8, offset, length), out);
        offset += length;
    }
}

// Whether a character can never take part in a composition with what comes
// before it: a cut in front of it leaves precomposition unchanged. ASCII,
// Latin-1 letters and the CJK and Hangul syllable blocks, which make up
// nearly every page, are such characters.
bool IsCompositionBoundary(char32_t c) {
    if (g_unichar_combining_class(c) != 0) return false;
    return c < 0x300 || (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3);
}

// UTF-8 (any bytes) to GBK in one pass, writing nothing larger than the
// output: every ill-formed sequence becomes the default character (GBK has
// no replacement character), and with `precompose` stretches holding a
// combining mark are normalised to NFC piece by piece, so that the
// normaliser never sees more than a short run of text at once. The output
// is never longer than the input.
std::string Utf8ToGbkOnePass(std::string_view utf8, bool precompose) {
    std::string out;
    if (utf8.empty()) return out;
    out.reserve(utf8.size());
    const GbkTables& tables = GbkTables::Get();
    // Valid non-ASCII characters not yet converted, with the character
    // before them, while a combining mark may still join them.
    std::size_t pending = std::string_view::npos;
    bool pending_mark = false;
    auto flush = [&](std::size_t end) {
        if (pending == std::string_view::npos) return;
        const std::string_view piece = utf8.substr(pending, end - pending);
        if (pending_mark) {
            std::unique_ptr<gchar, decltype(&g_free)> normalised(
                g_utf8_normalize(piece.data(), static_cast<gssize>(piece.size()), G_NORMALIZE_NFC),
                &g_free);
            AppendValidUtf8AsGbk(tables, normalised ? std::string_view(normalised.get()) : piece, out);
        } else {
            AppendValidUtf8AsGbk(tables, piece, out);
        }
        pending = std::string_view::npos;
        pending_mark = false;
    };
    constexpr std::size_t kPieceBytes = 4096;
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        const std::size_t run_end = AsciiRunEndFast(utf8, offset);
        if (run_end > offset) {
            flush(offset);
            if (precompose) {
                // The last ASCII character may still take a combining mark.
                out.append(utf8.substr(offset, run_end - offset - 1));
                pending = run_end - 1;
            } else {
                out.append(utf8.substr(offset, run_end - offset));
            }
            offset = run_end;
            continue;
        }
        bool valid = false;
        const std::size_t length = Utf8Step(utf8, offset, valid);
        if (!valid) {
            flush(offset);
            out.push_back(kGbkDefaultChar);
            offset += length;
            continue;
        }
        std::size_t decoded_length = 1;
        const char32_t c = DecodeUtf8(utf8, offset, decoded_length);
        if (!precompose) {
            AppendGbk(tables, c, out);
        } else {
            if (pending != std::string_view::npos && offset - pending >= kPieceBytes &&
                IsCompositionBoundary(c)) {
                flush(offset);
            }
            if (pending == std::string_view::npos) pending = offset;
            if (g_unichar_combining_class(c) != 0) pending_mark = true;
        }
        offset += length;
    }
    flush(utf8.size());
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::size_t GbkCharLength(std::string_view gbk, std::size_t offset) {
    return util::GbkCharLength(gbk, offset);
}

std::string GbkToUtf8(std::string_view gbk) { return util::GbkToUtf8(gbk); }

std::string Utf8ToGbk(std::string_view utf8) { return util::Utf8ToGbk(utf8); }

std::string Utf8BytesToGbk(std::string_view utf8_bytes) {
    return Utf8ToGbkOnePass(utf8_bytes, /*precompose=*/true);
}

std::string PercentEncode(std::string_view text, bool keep_unreserved, bool to_utf8) {
    std::string converted;
    if (to_utf8) {
        converted = GbkToUtf8(text);
        text = converted;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        bool unreserved = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                          (c >= 'a' && c <= 'z') || c == '-' || c == '.';
        if (keep_unreserved && unreserved) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text, bool to_gbk) {
    std::string out;
    out.reserve(text.size());
    std::size_t offset = 0;
    while (offset < text.size()) {
        std::size_t percent = text.find('%', offset);
        if (percent == std::string_view::npos) {
            out.append(text.substr(offset));
            break;
        }
        out.append(text.substr(offset, percent - offset));
        int high = percent + 1 < text.size() ? HexDigitValue(text[percent + 1]) : -1;
        int low = percent + 2 < text.size() ? HexDigitValue(text[percent + 2]) : -1;
        if (high < 0 || low < 0) {
            out.push_back(text[percent]);
            offset = percent + 1;
            continue;
        }
        if (int value = high * 16 + low; value != 0) out.push_back(static_cast<char>(value));
        offset = percent + 3;
    }
    return to_gbk ? Utf8ToGbk(out) : out;
}

std::string GbkToUtf8ForMatching(std::string_view gbk) {
    std::string out;
    if (gbk.empty()) return out;
    out.reserve(gbk.size() + gbk.size() / 2);
    const GbkTables& tables = GbkTables::Get();
    std::size_t offset = 0;
    while (offset < gbk.size()) {
        const std::size_t run_end = AsciiRunEndFast(gbk, offset);
        out.append(gbk.substr(offset, run_end - offset));
        offset = run_end;
        while (offset < gbk.size() && !IsAscii(gbk[offset])) {
            const std::size_t length = GbkCharLength(gbk, offset);
            const char32_t c = length == 1 ? 0 : tables.ToUnicode(gbk.substr(offset, length));
            if (length == 1) {
                out.push_back(kMatchingStandIn);
            } else if (c == 0) {
                out.append(kReplacementUtf8);
            } else {
                AppendUtf8(c, out);
            }
            offset += length;
        }
    }
    return out;
}

std::string ConvertCharset(std::string_view input, std::string_view from, std::string_view to,
                           bool* success) {
    if (success) *success = false;
    // iconv takes NUL-terminated names; a name with a zero byte inside would
    // silently be read as a shorter one.
    if (from.find('\0') != std::string_view::npos || to.find('\0') != std::string_view::npos)
        return {};
    auto converter = IconvConverter::Open(std::string(to).c_str(), std::string(from).c_str());
    if (!converter) return {};
    if (input.empty()) {
        if (success) *success = true;
        return {};
    }
    // The output space grows geometrically, so a dozen passes cover an
    // expansion of over two thousand times the input, far beyond any real
    // character set, while the loop still cannot spin.
    constexpr int kMaxPasses = 12;
    std::string out(input.size(), '\0');
    std::size_t used = 0;
    const char* in = input.data();
    std::size_t in_left = input.size();
    bool input_done = false;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        char* out_cursor = out.data() + used;
        std::size_t out_left = out.size() - used;
        auto status = input_done ? converter->Flush(out_cursor, out_left)
                                 : converter->Convert(in, in_left, out_cursor, out_left);
        used = out_cursor - out.data();
        if (status == IconvConverter::Status::Done) {
            if (input_done) {
                out.resize(used);
                if (success) *success = true;
                return out;
            }
            input_done = true;
            --pass;  // the flush does not count as an enlargement pass
            continue;
        }
        if (status != IconvConverter::Status::OutputFull) return {};
        out.resize(out.size() + std::max(out.size(), input.size() / 2 + 128));
    }
    return {};
}

}  // namespace services
