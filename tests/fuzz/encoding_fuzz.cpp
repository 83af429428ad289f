// The GBK/UTF-8 conversions and percent coding over arbitrary bytes, with
// the properties that hold for every input:
// - UTF-8 to GBK never grows the text;
// - GBK text whose every unit is a character converts to UTF-8 and back
//   unchanged;
// - the matching form has one character per GBK unit, like GbkToUtf8, and
//   stays within 1.5 times the input;
// - percent-decoding what was percent-encoded gives the text back, less its
//   zero bytes (an escaped zero adds nothing).
#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/encoding.h"
#include "util/gbk_text.h"

namespace {

// The number of characters of a text that must be valid UTF-8 (zero bytes,
// which GLib refuses, included).
long Characters(std::string utf8) {
    for (char& c : utf8) {
        if (c == '\0') c = ' ';
    }
    if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) std::abort();
    long count = 0;
    for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (services::Utf8ToGbk(bytes).size() > bytes.size()) std::abort();
    if (services::Utf8BytesToGbk(bytes).size() > bytes.size()) std::abort();

    const std::string utf8 = services::GbkToUtf8(bytes);
    const std::string matching = services::GbkToUtf8ForMatching(bytes);
    if (Characters(utf8) != Characters(matching)) std::abort();
    if (matching.size() > bytes.size() + bytes.size() / 2) std::abort();
    const std::string marked = util::GbkToUtf8(bytes, util::GbkStandIns{.no_character = "\xEF\xBF\xBD"});
    if (marked.find("\xEF\xBF\xBD") == std::string::npos && services::Utf8ToGbk(utf8) != bytes) {
        // Every unit was a character: the round trip must hold. A lone
        // euro byte is one too.
        std::abort();
    }

    std::string without_zeros;
    for (const char c : bytes) {
        if (c != '\0') without_zeros += c;
    }
    const std::string encoded = services::PercentEncode(bytes, /*keep_unreserved=*/true, false);
    if (services::PercentDecode(encoded, /*to_gbk=*/false) != without_zeros) std::abort();
    services::PercentDecode(bytes, /*to_gbk=*/true);
    services::PercentEncode(bytes, false, /*to_utf8=*/true);
    return 0;
}
