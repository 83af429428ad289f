#include "services/encoding.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "util/gbk_text.h"

namespace {

using namespace std::string_literals;
using services::ConvertCharset;
using services::GbkToUtf8;
using services::PercentDecode;
using services::PercentEncode;
using services::Utf8BytesToGbk;
using services::Utf8ToGbk;

// Ordinary literals in this file are GBK; UTF-8 is spelled with escapes.
constexpr char kZhongUtf8[] = "\xE4\xB8\xAD";  // 中

TEST(GbkToUtf8Test, ConvertsChineseAndAsciiAndKeepsZeroBytes) {
    EXPECT_EQ(GbkToUtf8("中文abc"), "\xE4\xB8\xAD\xE6\x96\x87" "abc");
    EXPECT_EQ(GbkToUtf8("a\0中"s), "a\0"s + kZhongUtf8);
    EXPECT_EQ(GbkToUtf8(""), "");
    EXPECT_EQ(GbkToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign's single byte
}

TEST(GbkToUtf8Test, EveryInvalidUnitBecomesOneQuestionMark) {
    EXPECT_EQ(GbkToUtf8("a\xFF" "b"), "a?b");
    // A lead byte followed by a byte that cannot trail: only the lead is lost.
    EXPECT_EQ(GbkToUtf8("\x81 x"), "? x");
    // A lead byte at the very end.
    EXPECT_EQ(GbkToUtf8("中\xD6"), kZhongUtf8 + "?"s);
    // A well-formed pair that code page 936 leaves unassigned is one unit.
    EXPECT_EQ(GbkToUtf8("\xA2\xE3" "z"), "?z");
}

TEST(GbkToUtf8Test, CharacterCountMatchesGbkUnitsOnRandomBytes) {
    // Callers map offsets between the two texts by counting units, so every
    // unit must yield exactly one character, whatever the bytes are.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string gbk(random() % 64, '\0');
        for (char& c : gbk) c = static_cast<char>(random() % 4 == 0 ? 1 + random() % 127 : 0x80 + random() % 128);
        std::string utf8 = GbkToUtf8(gbk);
        ASSERT_TRUE(g_utf8_validate_len(utf8.data(), utf8.size(), nullptr));
        std::size_t units = 0;
        for (std::size_t i = 0; i < gbk.size(); i += util::GbkCharLength(gbk, i)) ++units;
        EXPECT_EQ(g_utf8_strlen(utf8.data(), utf8.size()), static_cast<glong>(units));
    }
}

TEST(Utf8ToGbkTest, CharactersOutsideGbkBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xF0\x9F\x98\x80\xE0\xB8\x81" "x"), "中??x");
    EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(Utf8ToGbk("a\0b"s), "a\0b"s);
}

TEST(Utf8ToGbkTest, InvalidSequencesBecomeOneQuestionMarkPerMaximalPart) {
    EXPECT_EQ(Utf8ToGbk("a\xE4\xB8" "b"), "a?b");       // truncated character
    EXPECT_EQ(Utf8ToGbk("\xC0\xAF"), "??");             // overlong
    EXPECT_EQ(Utf8ToGbk("\xED\xA0\x80"), "???");        // encoded surrogate
    EXPECT_EQ(Utf8ToGbk("\xF4\x90\x80\x80"), "????");   // beyond U+10FFFF
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE4"), "中?");     // cut at the end
}

TEST(GbkUtf8RoundTripTest, EveryCodePage936CharacterConvertsAsIconvDoes) {
    // The fast conversions must agree with iconv on the whole code page.
    int assigned = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            bool success = false;
            std::string expected = ConvertCharset(pair, "CP936", "UTF-8", &success);
            if (!success) {
                EXPECT_EQ(GbkToUtf8(pair), "?") << lead << " " << trail;
                continue;
            }
            ++assigned;
            ASSERT_EQ(GbkToUtf8(pair), expected) << lead << " " << trail;
            ASSERT_EQ(Utf8ToGbk(expected), pair) << lead << " " << trail;
        }
    }
    EXPECT_GT(assigned, 21000);
}

TEST(Utf8BytesToGbkTest, PrecomposesCombiningSequences) {
    EXPECT_EQ(Utf8BytesToGbk("caf" "e\xCC\x81"), "café");
    EXPECT_EQ(Utf8ToGbk("caf" "e\xCC\x81"), "cafe?");
    // Precomposition must not stop at zero bytes nor choke on invalid input.
    EXPECT_EQ(Utf8BytesToGbk("\xCC\x81" "\0" "e\xCC\x81\xFF"s), "?\0é?"s);
    EXPECT_EQ(Utf8BytesToGbk(""), "");
}

TEST(Utf8BytesToGbkTest, PrecomposesAcrossLongTextsPieceByPiece) {
    std::string utf8;
    std::string gbk;
    for (int i = 0; i < 3000; ++i) {
        utf8 += kZhongUtf8 + "e\xCC\x81"s + "\xE6\x96\x87" "a\xCC\x81";  // 中é文á
        gbk += "中é文á";
    }
    EXPECT_EQ(Utf8BytesToGbk(utf8), gbk);
}

TEST(Utf8ToGbkTest, OutputIsNeverLongerThanInput) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 64), '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        EXPECT_LE(Utf8ToGbk(bytes).size(), bytes.size());
        EXPECT_LE(Utf8BytesToGbk(bytes).size(), bytes.size());
    }
}

TEST(GbkToUtf8ForMatchingTest, SingleByteUnitsAboveAsciiBecomeOneSubstituteByte) {
    using services::GbkToUtf8ForMatching;
    EXPECT_EQ(GbkToUtf8ForMatching("a\x80\xFF中\x81"), "a\x1A\x1A" + std::string(kZhongUtf8) + "\x1A");
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string gbk(static_cast<std::size_t>(random() % 64), '\0');
        for (char& c : gbk) c = static_cast<char>(random());
        const std::string utf8 = GbkToUtf8ForMatching(gbk);
        EXPECT_LE(utf8.size(), gbk.size() + gbk.size() / 2);
        // One character per GBK unit, as GbkToUtf8 gives.
        EXPECT_EQ(g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size())),
                  g_utf8_strlen(GbkToUtf8(gbk).data(), static_cast<gssize>(GbkToUtf8(gbk).size())));
    }
}

TEST(Utf8BytesToGbkTest, KeepsCompatibilityIdeographsAsTheyAre) {
    // Full normalisation would turn U+F92C into U+90CE, a different GBK code.
    EXPECT_EQ(Utf8BytesToGbk("\xEF\xA4\xAC"), "\xFD\x9C");
    EXPECT_EQ(Utf8BytesToGbk("\xE9\x83\x8E"), "\xC0\xC9");
}

TEST(GbkUtf8RoundTripTest, LargeMixedTextSurvivesBothWays) {
    std::string gbk;
    while (gbk.size() < 2 * 1024 * 1024) gbk += "<td class=\"name\">种子搜索 Ubuntu 24.04 桌面版</td>\n";
    std::string utf8 = GbkToUtf8(gbk);
    EXPECT_GT(utf8.size(), gbk.size());
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
    EXPECT_EQ(Utf8BytesToGbk(utf8), gbk);
}

TEST(PercentEncodeTest, EscapesEveryByteUnlessAskedToKeepUnreserved) {
    EXPECT_EQ(PercentEncode("", false, true), "");
    EXPECT_EQ(PercentEncode("ab", false, true), "%61%62");
    EXPECT_EQ(PercentEncode("中", false, true), "%E4%B8%AD");
    EXPECT_EQ(PercentEncode("中", false, false), "%D6%D0");
    EXPECT_EQ(PercentEncode("\x05", false, false), "%05");
    EXPECT_EQ(PercentEncode("aZ9-./_~ ", true, true), "aZ9-.%2F%5F%7E%20");
}

TEST(PercentDecodeTest, DecodesEitherCaseAndConvertsToGbk) {
    EXPECT_EQ(PercentDecode("%41%4a%4A", false), "AJJ");
    EXPECT_EQ(PercentDecode("%e4%b8%AD", false), kZhongUtf8);
    EXPECT_EQ(PercentDecode("x%e4%b8%ADy", true), "x中y");
    EXPECT_EQ(PercentDecode("a%00b", false), "ab");
    EXPECT_EQ(PercentDecode("", true), "");
}

TEST(PercentDecodeTest, PercentWithoutTwoHexDigitsStaysAsItIs) {
    EXPECT_EQ(PercentDecode("100%", false), "100%");
    EXPECT_EQ(PercentDecode("%4", false), "%4");
    EXPECT_EQ(PercentDecode("%zz1", false), "%zz1");
    EXPECT_EQ(PercentDecode("%%41", false), "%A");
    EXPECT_EQ(PercentDecode("%4%41", false), "%4A");
    // Invalid UTF-8 produced by decoding is repaired on the way to GBK.
    EXPECT_EQ(PercentDecode("%FFa", true), "?a");
}

TEST(ConvertCharsetTest, EmptyInputConvertsToEmptyOutput) {
    bool success = false;
    EXPECT_EQ(ConvertCharset("", "GB2312", "UTF-8", &success), "");
    EXPECT_TRUE(success);
}

TEST(ConvertCharsetTest, FailuresGiveEmptyOutputAndReportThem) {
    bool success = true;
    EXPECT_EQ(ConvertCharset("abc\xFF\xFF", "GB2312", "UTF-8", &success), "");
    EXPECT_FALSE(success);
    success = true;
    EXPECT_EQ(ConvertCharset("abc\xD6", "GB2312", "UTF-8", &success), "");  // incomplete
    EXPECT_FALSE(success);
    success = true;
    EXPECT_EQ(ConvertCharset("abc", "NO-SUCH-CHARSET", "UTF-8", &success), "");
    EXPECT_FALSE(success);
    success = true;
    EXPECT_EQ(ConvertCharset("abc", "UTF-8\0junk"s, "UTF-8", &success), "");
    EXPECT_FALSE(success);
    EXPECT_EQ(ConvertCharset("abc", "UTF-8", "ASCII"), "abc");  // no success output
}

TEST(ConvertCharsetTest, GrowsOutputForExpandingConversions) {
    std::string chinese;
    for (int i = 0; i < 50000; ++i) chinese += "中文";
    bool success = false;
    std::string utf8 = ConvertCharset(chinese, "GB2312", "UTF-8", &success);
    ASSERT_TRUE(success);
    EXPECT_EQ(utf8, GbkToUtf8(chinese));

    std::string ascii(300000, 'a');
    std::string wide = ConvertCharset(ascii, "UTF-8", "UTF-32LE", &success);
    ASSERT_TRUE(success);
    EXPECT_EQ(wide.size(), ascii.size() * 4);

    EXPECT_EQ(ConvertCharset("x", "UTF-8", "UTF-32BE", &success), "\0\0\0x"s);
    EXPECT_TRUE(success);
}

TEST(ConvertCharsetTest, StatefulEncodingsAreReturnedToTheirInitialState) {
    bool success = false;
    std::string jis = ConvertCharset("\xE6\x97\xA5", "UTF-8", "ISO-2022-JP", &success);
    ASSERT_TRUE(success);
    EXPECT_EQ(jis, "\x1B$B\x46\x7C\x1B(B");
}

}  // namespace
