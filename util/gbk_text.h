#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The program's one converter between GBK (code page 936, the program's own
// texts) and UTF-8 (the system, Pango, the network), used by every layer.
//
// One rule for everything that cannot be converted: it becomes "?", as the
// code page's own default character does. A GBK unit that is no character
// (a stray byte, a lead byte without a valid trail) becomes one "?"; so do
// each maximal ill-formed UTF-8 sequence and each character GBK lacks.
// Conversion never stops on bad input, zero bytes are carried through like
// any other character, and every GBK unit (see GbkCharLength) becomes
// exactly one character, so offsets can be mapped between the two.
// Thread-safe; the tables are read out of iconv once, on first use.
namespace util {

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Utf8ToGbk, appending to `out`.
void AppendUtf8AsGbk(std::string_view utf8, std::string& out);

// What GbkToUtf8 writes in place of the units it does not turn into their
// character, for callers that must tell them apart from a real "?".
struct GbkStandIns {
    // For a unit code page 936 has no character for.
    std::string_view no_character = "?";
    // When not empty, for every single-byte unit above 0x7F, the euro sign's
    // byte included.
    std::string_view high_single_byte = {};
};

// GbkToUtf8 with other stand-ins. Each should be one character, so that
// every unit still becomes exactly one.
std::string GbkToUtf8(std::string_view gbk, const GbkStandIns& stand_ins);

// Characters of GBK text, by one boundary rule that every layer shares.
//
// Length in bytes (1 or 2) of the GBK unit starting at `offset`: two when a
// lead byte 0x81..0xFE is followed by a trail byte 0x40..0xFE other than
// 0x7F, one otherwise; 0 at or past the end. Malformed text therefore steps
// one byte at a time, and a lone lead byte at the end is never read past.
// GBK cannot be read backwards: stepping back scans from a known start.
std::size_t GbkCharLength(std::string_view gbk, std::size_t offset);
// The largest character start at or before `offset`, scanning from 0.
std::size_t GbkCharStartAtOrBefore(std::string_view gbk, std::size_t offset);
// The longest prefix of whole characters that fits in `max_bytes`.
std::string_view GbkPrefix(std::string_view gbk, std::size_t max_bytes);
// The start of the character before `offset`, scanning from `from` (a
// character start at or before it).
std::size_t GbkPreviousChar(std::string_view gbk, std::size_t from, std::size_t offset);
// Characters in the text.
std::size_t GbkCharCount(std::string_view gbk);
// Byte offset of the column-th character (clamped to the end).
std::size_t GbkOffsetOfColumn(std::string_view gbk, std::size_t column);

}  // namespace util
