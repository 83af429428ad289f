#include "services/encoding.h"

#include <glib.h>

#include <algorithm>
#include <memory>

#include "util/gbk_text.h"
#include "util/iconv_converter.h"
#include "util/utf8.h"

namespace services {
namespace {

using util::IconvConverter;

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kGbkDefaultChar = '?';
constexpr char kMatchingStandIn[] = "\x1A";  // SUBSTITUTE

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
// no replacement character), and stretches holding a combining mark are
// normalised to NFC piece by piece, so that the normaliser never sees more
// than a short run of text at once. The output is never longer than the
// input.
std::string PrecomposeUtf8ToGbk(std::string_view utf8) {
    std::string out;
    if (utf8.empty()) return out;
    out.reserve(utf8.size());
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
            util::AppendUtf8AsGbk(normalised ? std::string_view(normalised.get()) : piece, out);
        } else {
            util::AppendUtf8AsGbk(piece, out);
        }
        pending = std::string_view::npos;
        pending_mark = false;
    };
    constexpr std::size_t kPieceBytes = 4096;
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        const std::size_t run_end = util::AsciiRunEnd(utf8, offset);
        if (run_end > offset) {
            flush(offset);
            // The last ASCII character may still take a combining mark.
            out.append(utf8.substr(offset, run_end - offset - 1));
            pending = run_end - 1;
            offset = run_end;
            continue;
        }
        bool valid = false;
        const std::size_t length = util::Utf8Step(utf8, offset, valid);
        if (!valid) {
            flush(offset);
            out.push_back(kGbkDefaultChar);
            offset += length;
            continue;
        }
        const char32_t c = util::DecodeUtf8(utf8.data() + offset, length);
        if (pending != std::string_view::npos && offset - pending >= kPieceBytes && IsCompositionBoundary(c)) {
            flush(offset);
        }
        if (pending == std::string_view::npos) pending = offset;
        if (g_unichar_combining_class(c) != 0) pending_mark = true;
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

std::string GbkToUtf8(std::string_view gbk) { return util::GbkToUtf8(gbk); }

std::string Utf8ToGbk(std::string_view utf8) { return util::Utf8ToGbk(utf8); }

std::string Utf8BytesToGbk(std::string_view utf8_bytes) {
    return PrecomposeUtf8ToGbk(utf8_bytes);
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
    // A replacement character rather than "?", so that a pattern's literal
    // "?" never matches a unit that is no character.
    return util::GbkToUtf8(gbk, util::GbkStandIns{.no_character = kReplacementUtf8,
                                                  .high_single_byte = kMatchingStandIn});
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
