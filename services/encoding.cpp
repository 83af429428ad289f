#include "services/encoding.h"

#include <glib.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace services {
namespace {

constexpr char kGbkName[] = "CP936";
constexpr char kUtf8Name[] = "UTF-8";
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kGbkDefaultChar = '?';

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

// The text itself when it is valid UTF-8, otherwise a copy in `storage` with
// every ill-formed sequence replaced by U+FFFD.
std::string_view RepairUtf8(std::string_view text, std::string& storage) {
    std::size_t offset = 0;
    bool valid = true;
    while (offset < text.size()) {
        std::size_t next = AsciiRunEnd(text, offset);
        if (next == text.size()) return text;
        offset = next;
        std::size_t length = Utf8Step(text, offset, valid);
        if (!valid) break;
        offset += length;
    }
    if (valid) return text;
    storage.reserve(text.size() + 16);
    storage.assign(text.substr(0, offset));
    while (offset < text.size()) {
        std::size_t length = Utf8Step(text, offset, valid);
        if (valid)
            storage.append(text.substr(offset, length));
        else
            storage.append(kReplacementUtf8);
        offset += length;
    }
    return storage;
}

// Appends the conversion of a run of non-ASCII GBK characters (which may
// contain ASCII trail bytes) to `out`. Every GBK unit the converter rejects
// becomes one U+FFFD.
void AppendGbkRunAsUtf8(IconvConverter& converter, std::string_view run, std::string& out) {
    std::size_t used = out.size();
    // A GBK unit of one or two bytes never gives more than three UTF-8 bytes.
    out.resize(used + run.size() * 3);
    const char* in = run.data();
    std::size_t in_left = run.size();
    while (in_left > 0) {
        char* out_cursor = out.data() + used;
        std::size_t out_left = out.size() - used;
        auto status = converter.Convert(in, in_left, out_cursor, out_left);
        used = out_cursor - out.data();
        if (status == IconvConverter::Status::Done) break;
        std::size_t offset = run.size() - in_left;
        std::size_t skip = GbkCharLength(run, offset);
        std::memcpy(out.data() + used, kReplacementUtf8, 3);
        used += 3;
        in += skip;
        in_left -= skip;
    }
    out.resize(used);
}

// Appends the conversion of a run of valid non-ASCII UTF-8 characters to
// `out`; characters GBK lacks become "?".
void AppendUtf8RunAsGbk(IconvConverter& converter, std::string_view run, std::string& out) {
    std::size_t used = out.size();
    // Every non-ASCII UTF-8 character has at least two bytes, every GBK one
    // at most two.
    out.resize(used + run.size());
    const char* in = run.data();
    std::size_t in_left = run.size();
    while (in_left > 0) {
        char* out_cursor = out.data() + used;
        std::size_t out_left = out.size() - used;
        auto status = converter.Convert(in, in_left, out_cursor, out_left);
        used = out_cursor - out.data();
        if (status == IconvConverter::Status::Done) break;
        bool valid = false;
        std::size_t skip = Utf8Step(run, run.size() - in_left, valid);
        out[used++] = kGbkDefaultChar;
        in += skip;
        in_left -= skip;
    }
    out.resize(used);
}

std::string ValidUtf8ToGbk(std::string_view utf8) {
    std::string out;
    if (utf8.empty()) return out;
    out.reserve(utf8.size());
    std::optional<IconvConverter> converter;
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        std::size_t run_start = AsciiRunEnd(utf8, offset);
        out.append(utf8.substr(offset, run_start - offset));
        if (run_start == utf8.size()) break;
        std::size_t run_end = run_start;
        while (run_end < utf8.size() && !IsAscii(utf8[run_end])) ++run_end;
        if (!converter) converter = IconvConverter::Open(kGbkName, kUtf8Name);
        if (converter) {
            AppendUtf8RunAsGbk(*converter, utf8.substr(run_start, run_end - run_start), out);
        } else {
            // Without a converter every non-ASCII character becomes "?".
            bool valid = false;
            for (std::size_t i = run_start; i < run_end; i += Utf8Step(utf8, i, valid))
                out.push_back(kGbkDefaultChar);
        }
        offset = run_end;
    }
    return out;
}

// NFC only ever changes a non-ASCII stretch together with the character just
// before it, and no composition reaches across an ASCII character, so only
// those stretches go through the normaliser. This also keeps zero bytes,
// where GLib's normaliser would stop.
std::string PrecomposeUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        std::size_t run_start = AsciiRunEnd(utf8, offset);
        if (run_start == utf8.size()) {
            out.append(utf8.substr(offset));
            break;
        }
        std::size_t segment_start = run_start > offset ? run_start - 1 : run_start;
        out.append(utf8.substr(offset, segment_start - offset));
        std::size_t run_end = run_start;
        while (run_end < utf8.size() && !IsAscii(utf8[run_end])) ++run_end;
        std::string_view segment = utf8.substr(segment_start, run_end - segment_start);
        std::unique_ptr<gchar, decltype(&g_free)> normalised(
            g_utf8_normalize(segment.data(), static_cast<gssize>(segment.size()), G_NORMALIZE_NFC),
            &g_free);
        if (normalised)
            out.append(normalised.get());
        else
            out.append(segment);
        offset = run_end;
    }
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
    if (offset >= gbk.size()) return 0;
    auto lead = static_cast<unsigned char>(gbk[offset]);
    if (lead >= 0x81 && lead <= 0xFE && offset + 1 < gbk.size()) {
        auto trail = static_cast<unsigned char>(gbk[offset + 1]);
        if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
    }
    return 1;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    if (gbk.empty()) return out;
    out.reserve(gbk.size() + gbk.size() / 2);
    std::optional<IconvConverter> converter;
    std::size_t offset = 0;
    while (offset < gbk.size()) {
        std::size_t run_start = AsciiRunEnd(gbk, offset);
        out.append(gbk.substr(offset, run_start - offset));
        if (run_start == gbk.size()) break;
        // The run ends at the first ASCII byte that is not a trail byte.
        std::size_t run_end = run_start;
        while (run_end < gbk.size() && !IsAscii(gbk[run_end])) run_end += GbkCharLength(gbk, run_end);
        if (!converter) converter = IconvConverter::Open(kUtf8Name, kGbkName);
        if (converter) {
            AppendGbkRunAsUtf8(*converter, gbk.substr(run_start, run_end - run_start), out);
        } else {
            for (std::size_t i = run_start; i < run_end; i += GbkCharLength(gbk, i))
                out.append(kReplacementUtf8);
        }
        offset = run_end;
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    std::string repaired;
    return ValidUtf8ToGbk(RepairUtf8(utf8, repaired));
}

std::string Utf8BytesToGbk(std::string_view utf8_bytes) {
    std::string repaired;
    return ValidUtf8ToGbk(PrecomposeUtf8(RepairUtf8(utf8_bytes, repaired)));
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
