#include "platform/gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace plat {
namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(m_handle);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_handle; }

private:
    iconv_t m_handle;
};

// Length of the UTF-8 sequence starting at `text`, or 1 for a malformed one,
// so that a bad sequence is replaced by one "?" and conversion goes on.
size_t Utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 1;
    if (text.size() < length) return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

std::string Convert(std::string_view input, const char* to, const char* from, bool from_utf8,
                    std::string_view replacement) {
    std::string output;
    if (input.empty()) return output;
    Iconv converter(to, from);
    if (!converter.valid()) {
        // No converter: keep ASCII, replace the rest.
        for (char c : input) {
            if (static_cast<unsigned char>(c) < 0x80) output.push_back(c);
            else output.append(replacement);
        }
        return output;
    }
    output.reserve(input.size() * 3 / 2 + 4);
    char buffer[4096];
    size_t position = 0;
    while (position < input.size()) {
        char* in = const_cast<char*>(input.data() + position);
        size_t in_left = input.size() - position;
        char* out = buffer;
        size_t out_left = sizeof(buffer);
        const size_t result = iconv(converter.get(), &in, &in_left, &out, &out_left);
        output.append(buffer, static_cast<size_t>(out - buffer));
        position = input.size() - in_left;
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: one bad character (or a cut-off one at the end).
        output.append(replacement);
        position += from_utf8 ? Utf8SequenceLength(input.substr(position)) : 1;
        iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return output;
}

}  // namespace

std::string GbkToUtf8Text(std::string_view gbk, std::string_view replacement) {
    return Convert(gbk, "UTF-8", "CP936", false, replacement);
}

std::string Utf8ToGbkText(std::string_view utf8) {
    return Convert(utf8, "CP936", "UTF-8", true, "?");
}

}  // namespace plat
