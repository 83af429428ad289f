#pragma once

#include <string>
#include <string_view>

// Conversions between the program's GBK (code page 936) texts and the UTF-8
// of the network, percent-encoding of keywords and percent-decoding of pages.
// All functions are stateless and thread-safe; an empty input gives an empty
// output. The GBK conversions are the program's one converter
// (util/gbk_text.h): they never fail, and whatever cannot be converted (a
// byte that is no GBK character, ill-formed UTF-8, a character GBK lacks)
// becomes "?". Zero bytes inside a text are carried through like any other
// character.
namespace services {

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Like Utf8ToGbk, but first precomposes combining sequences (NFC) so that a
// letter followed by a combining accent becomes GBK's precomposed letter.
std::string Utf8BytesToGbk(std::string_view utf8_bytes);

// GbkToUtf8 for pattern matching over large pages: the same, except that
// every single-byte unit above 0x7F (the euro sign, or a byte that is no GBK
// character) becomes U+001A, one byte, and a pair that is no character
// becomes U+FFFD, which no GBK pattern can spell, instead of "?". The result
// is at most 1.5 times the input, and each GBK unit still gives exactly one
// character.
std::string GbkToUtf8ForMatching(std::string_view gbk);

// Escapes every byte as "%XX" (upper-case hexadecimal), except "-", ".",
// ASCII digits and letters when `keep_unreserved` is set. With `to_utf8` the
// GBK text is converted to UTF-8 first.
std::string PercentEncode(std::string_view text, bool keep_unreserved, bool to_utf8);

// Replaces every "%XX" (either case of hexadecimal digit) by its byte; "%00"
// adds nothing, and a "%" not followed by two hexadecimal digits stays as it
// is. With `to_gbk` the decoded bytes are then read as UTF-8 and converted.
std::string PercentDecode(std::string_view text, bool to_gbk);

// Converts between two character sets named as iconv knows them ("GB2312",
// "UTF-8", ...). Returns an empty buffer, with *success false, when either
// name is unknown or the input holds an invalid or incomplete sequence.
std::string ConvertCharset(std::string_view input, std::string_view from,
                           std::string_view to, bool* success = nullptr);

}  // namespace services
