#include "util/gbk_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dui/core/font.h"
#include "platform/gbk_text.h"
#include "services/encoding.h"

namespace {

using namespace std::string_literals;

constexpr char kZhongUtf8[] = "\xE4\xB8\xAD";  // 中

size_t CodePoints(const std::string& utf8) {
    size_t count = 0;
    for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

TEST(GbkTextTest, ConvertsBothWaysAndCarriesZeroBytes) {
    EXPECT_EQ(util::GbkToUtf8("中文abc"), "\xE4\xB8\xAD\xE6\x96\x87" "abc");
    EXPECT_EQ(util::Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87" "abc"), "中文abc");
    EXPECT_EQ(util::GbkToUtf8("a\0中"s), "a\0"s + kZhongUtf8);
    EXPECT_EQ(util::Utf8ToGbk("a\0"s + kZhongUtf8), "a\0中"s);
    EXPECT_EQ(util::GbkToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign's single byte
    EXPECT_EQ(util::Utf8ToGbk("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(util::GbkToUtf8(""), "");
}

TEST(GbkTextTest, WhatIsNoGbkCharacterBecomesOneQuestionMarkPerUnit) {
    EXPECT_EQ(util::GbkToUtf8("a\xFF" "b"), "a?b");
    EXPECT_EQ(util::GbkToUtf8("\x81 x"), "? x");     // lead byte with an ASCII after it
    EXPECT_EQ(util::GbkToUtf8("x\x81"), "x?");       // cut off at the end
    EXPECT_EQ(util::GbkToUtf8("\x81\x7F"), "?\x7F");  // 0x7F is never a trail byte
}

TEST(GbkTextTest, IllFormedUtf8AndCharactersGbkLacksBecomeQuestionMarks) {
    EXPECT_EQ(util::Utf8ToGbk("\xE4\xB8\xAD\xF0\x9F\x98\x80\xE0\xB8\x81" "x"), "中??x");
    EXPECT_EQ(util::Utf8ToGbk("a\xFF" "b"), "a?b");
    EXPECT_EQ(util::Utf8ToGbk("\xE4\xB8"), "?");                // cut-off sequence
    EXPECT_EQ(util::Utf8ToGbk("\xC0\xAF"), "??");               // overlong
    EXPECT_EQ(util::Utf8ToGbk("\xED\xA0\x80"), "???");          // encoded surrogate
    EXPECT_EQ(util::Utf8ToGbk("\xF4\x90\x80\x80"), "????");     // beyond U+10FFFF
}

TEST(GbkTextTest, EveryGbkUnitBecomesExactlyOneCharacter) {
    std::mt19937 random(936);
    for (int round = 0; round < 200; ++round) {
        std::string gbk(64, '\0');
        for (char& c : gbk) {
            c = static_cast<char>(random() % 4 == 0 ? random() % 128 : 0x80 + random() % 128);
        }
        size_t units = 0;
        for (size_t at = 0; at < gbk.size(); at += util::GbkCharLength(gbk, at)) ++units;
        EXPECT_EQ(CodePoints(util::GbkToUtf8(gbk)), units);
    }
    EXPECT_EQ(util::GbkCharLength("中", 0), 2u);
    EXPECT_EQ(util::GbkCharLength("中", 2), 0u);
}

TEST(GbkTextTest, StandInsReplaceOnlyTheUnitsTheyNameOnePerUnit) {
    const std::string gbk = "a\x80\xA2\xE3中\x81";  // euro, unassigned pair, lead byte cut off
    EXPECT_EQ(util::GbkToUtf8(gbk, util::GbkStandIns{}), util::GbkToUtf8(gbk));
    EXPECT_EQ(util::GbkToUtf8(gbk, util::GbkStandIns{.no_character = "#"}),
              "a\xE2\x82\xAC#"s + kZhongUtf8 + "#");
    EXPECT_EQ(util::GbkToUtf8(gbk, util::GbkStandIns{.no_character = "#", .high_single_byte = "_"}),
              "a_#"s + kZhongUtf8 + "_");
}

TEST(GbkTextTest, AppendingKeepsWhatIsAlreadyThere) {
    std::string out = "x";
    util::AppendUtf8AsGbk("\xE4\xB8\xAD\xFF" "b", out);
    util::AppendUtf8AsGbk("", out);
    EXPECT_EQ(out, "x中?b");
}

TEST(GbkTextTest, EveryLayerConvertsWithTheSameRule) {
    const std::string bad_gbk = "x\xFF中\x81";
    const std::string bad_utf8 = "x\xFF\xF0\x9F\x98\x80"s + kZhongUtf8;
    const std::string gbk = util::GbkToUtf8(bad_gbk);
    const std::string utf8 = util::Utf8ToGbk(bad_utf8);
    EXPECT_EQ(gbk, "x?"s + kZhongUtf8 + "?");
    EXPECT_EQ(utf8, "x??中");
    EXPECT_EQ(plat::GbkToUtf8Text(bad_gbk), gbk);
    EXPECT_EQ(plat::Utf8ToGbkText(bad_utf8), utf8);
    EXPECT_EQ(services::GbkToUtf8(bad_gbk), gbk);
    EXPECT_EQ(services::Utf8ToGbk(bad_utf8), utf8);
    EXPECT_EQ(dui::TextToUtf8(bad_gbk), gbk);
    EXPECT_EQ(dui::TextFromUtf8(bad_utf8), utf8);
}

TEST(GbkTextTest, PrefixKeepsWholeCharactersOfTheOneBoundaryRule) {
    EXPECT_EQ(util::GbkPrefix("a\x81" "Ab", 2), "a");        // "\x81A" is one character
    EXPECT_EQ(util::GbkPrefix("\x81\x20z", 1), "\x81");      // a lead before a non-trail stands alone
    EXPECT_EQ(util::GbkPrefix("ab", 5), "ab");
}

}  // namespace
