#include "core/cp932.h"

#include <gtest/gtest.h>

#include <iterator>

using quorvin::text::FromUtf16;
using quorvin::text::MbsICmp;
using quorvin::text::ToUtf16;

TEST(Cp932, LiteralsAreCp932Bytes) {
    // The build compiles narrow literals to CP932: "ソ" is 83 5C, "ｶ" one byte.
    EXPECT_EQ(std::string("ソ"), std::string("\x83\x5C"));
    EXPECT_EQ(std::string("ｶﾅ").size(), 2u);
}

TEST(Cp932, RoundTripsThroughUtf16) {
    const std::string text = "クォーヴィン for Windows NT Ver 1.2 ｼｽﾃﾑ 表示";
    const std::u16string wide = ToUtf16(text);
    EXPECT_EQ(wide.substr(0, 6), u"クォーヴィン");
    EXPECT_EQ(FromUtf16(wide), text);
}

TEST(Cp932, BadBytesDoNotStopConversion) {
    // A lead byte without a trail and a byte that is no character.
    const std::u16string wide = ToUtf16(std::string("a\x83", 2));
    ASSERT_FALSE(wide.empty());
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(FromUtf16(u"a\u4E02b").front(), 'a');  // U+4E02 is not in CP932
    EXPECT_EQ(FromUtf16(u"a\u4E02b").back(), 'b');
}

TEST(Cp932, Utf8Conversion) {
    EXPECT_EQ(quorvin::text::Utf8ToCp932("\xE3\x82\xBD"), "ソ");
    EXPECT_EQ(quorvin::text::Cp932ToUtf8("ソ"), "\xE3\x82\xBD");
}

namespace {
int Sign(int v) { return (v > 0) - (v < 0); }
}

// Every cut of a text to a byte count: whole characters only.
TEST(Cp932, CutsNeverSplitADoubleByteCharacter) {
    const std::string text = "ab表cｶ";  // 表 is two bytes, ｶ one
    const std::size_t expected[] = {0, 1, 2, 2, 4, 5, 6, 6};
    for (std::size_t max = 0; max < std::size(expected); ++max)
        EXPECT_EQ(quorvin::text::WholeCharactersLength(text, max), expected[max]) << max;
    // A lead byte that ends the text counts as a character of its own.
    EXPECT_EQ(quorvin::text::WholeCharactersLength("a\x81", 2), 2u);
    EXPECT_EQ(quorvin::text::WholeCharactersLength("", 5), 0u);
    // "ソ" ends in 0x5C, which is no backslash of its own.
    EXPECT_EQ(quorvin::text::WholeCharactersLength("ソ\\", 1), 0u);
}

// A text that fits is returned whole without a walk: the walk must agree,
// for every text of up to four bytes of single bytes, lead bytes and trail
// bytes, at every limit.
TEST(Cp932, TextsThatFitAreCutAsTheWalkCutsThem) {
    auto walk = [](const std::string& text, std::size_t maxBytes) {
        std::size_t length = 0;
        while (length < text.size()) {
            const bool pair =
                quorvin::text::IsLeadByte(static_cast<unsigned char>(text[length])) && length + 1 < text.size();
            const std::size_t unit = pair ? 2 : 1;
            if (length + unit > maxBytes) break;
            length += unit;
        }
        return length;
    };
    const char bytes[] = {'a', '\x81', '\x40', '\xE0', '\xFD'};
    std::vector<std::string> texts = {""};
    for (std::size_t from = 0; from < texts.size(); ++from)
        if (texts[from].size() < 4)
            for (char b : bytes) texts.push_back(texts[from] + b);
    for (const std::string& text : texts)
        for (std::size_t max = 0; max <= text.size() + 2; ++max)
            ASSERT_EQ(quorvin::text::WholeCharactersLength(text, max), walk(text, max)) << text << " " << max;
}

#ifndef _WIN32
// The conversion by table (Windows converts with WideCharToMultiByte): every
// UTF-16 unit converted in one text gives the bytes of each unit converted
// alone, one or two bytes each, '?' for what CP932 lacks. Surrogates are
// left out: next to each other they would form pairs.
TEST(Cp932, WholeTextsConvertAsTheirUnitsDo) {
    std::u16string all;
    std::string alone;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        all.push_back(static_cast<char16_t>(unit));
        const std::string bytes = FromUtf16(std::u16string(1, static_cast<char16_t>(unit)));
        ASSERT_TRUE(bytes.size() == 1 || bytes.size() == 2) << unit;
        alone += bytes;
    }
    EXPECT_EQ(FromUtf16(all), alone);
    EXPECT_EQ(FromUtf16(u""), "");
}
#endif

TEST(MbsICmp, AsciiLettersIgnoreCaseAndFoldToLowerCase) {
    EXPECT_EQ(MbsICmp("SV1", "sv1"), 0);
    // Folding to lower case puts '_' (0x5F) before letters.
    EXPECT_LT(MbsICmp("_", "A"), 0);
    EXPECT_LT(MbsICmp("[", "a"), 0);
}

TEST(MbsICmp, DoubleByteCharactersCompareAsUnits) {
    // "ソ" (83 5C) and "ア" (83 41): the trail bytes are '\' and 'A'.
    EXPECT_EQ(MbsICmp("ア", "ア"), 0);
    EXPECT_NE(MbsICmp("\x83\x41", "\x83\x61"), 0);  // trail 'A' vs 'a': no case folding
    EXPECT_GT(MbsICmp("ソ", "ア"), 0);
    // A double-byte unit is above every single byte, half-width katakana included.
    EXPECT_GT(MbsICmp("ア", "ｱ"), 0);
    EXPECT_LT(MbsICmp("z", "ｱ"), 0);
}

TEST(MbsICmp, PrefixesAndTruncatedLeadBytes) {
    EXPECT_LT(MbsICmp("pc", "pc1"), 0);
    EXPECT_GT(MbsICmp("pc1", "PC"), 0);
    EXPECT_EQ(Sign(MbsICmp("", "")), 0);
    EXPECT_LT(MbsICmp(std::string("\x83", 1), "ア"), 0);  // lead byte at the end: trail 0
    EXPECT_EQ(MbsICmp(std::string("\x83", 1), std::string("\x83", 1)), 0);
}

TEST(MbsIStartsWith, WholeCharactersFromTheFirstByteAsciiInEitherCase) {
    using quorvin::text::MbsIStartsWith;
    EXPECT_TRUE(MbsIStartsWith("Security", "sEC"));
    EXPECT_TRUE(MbsIStartsWith("ｴﾗｰ", "ｴﾗｰ"));
    EXPECT_TRUE(MbsIStartsWith("情報", ""));
    EXPECT_FALSE(MbsIStartsWith("ｴﾗ", "ｴﾗｰ"));
    // Trail bytes are not folded: "ア" (83 41) does not start with "ヂ" (83 61).
    EXPECT_FALSE(MbsIStartsWith("アプリ", "ヂ"));
    // A lead byte alone does not start the character it leads.
    EXPECT_FALSE(MbsIStartsWith("ア", std::string("\x83", 1)));
    // "＝" is 81 81: its trail byte is no lead byte, so the 'A' after it is a letter.
    EXPECT_TRUE(MbsIStartsWith("＝Ab", "＝aB"));
}

TEST(MbsICmp, KeysAreEqualExactlyWhenTheTextsCompareEqual) {
    using quorvin::text::MbsICmpKey;
    EXPECT_EQ(MbsICmpKey("SV1"), MbsICmpKey("sv1"));
    EXPECT_NE(MbsICmpKey("\x83\x41"), MbsICmpKey("\x83\x61"));
    EXPECT_EQ(MbsICmpKey(std::string("\x83", 1)), MbsICmpKey(std::string("\x83\0", 2)));
    // Short random texts over a few interesting bytes meet every case often.
    const char bytes[] = {'a', 'A', 'z', 'Z', '\x83', '\x41', '\x61', '\0', '\xE0', '\x5C'};
    unsigned seed = 1;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 20000; ++round) {
        std::string a(next() % 4, 'x'), b(next() % 4, 'x');
        for (char& c : a) c = bytes[next() % sizeof bytes];
        for (char& c : b) c = bytes[next() % sizeof bytes];
        EXPECT_EQ(MbsICmp(a, b) == 0, MbsICmpKey(a) == MbsICmpKey(b)) << a << " / " << b;
    }
}
