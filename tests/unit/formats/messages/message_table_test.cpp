// The message-table reader: real DLLs (ours from .mc sources, Wine's) and
// damaged images.

#include "formats/messages/message_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/message_files.h"
#include "support/pe_builder.h"
#include "core/cp932.h"

namespace quorvin::messages {
namespace {

using test::BuildMessageImage;
using test::BuiltImage;

constexpr platform::Error kOk = 0;
const Locale kEnglishLocale{language::kEnglishUs, language::kEnglishUs, language::kEnglishUs};

MessageTable LoadFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    MessageTable table;
    if (path.empty() || !test::ReadBytes(path, bytes)) {
        ADD_FAILURE() << "cannot read " << path;
        return table;
    }
    std::string problem;
    EXPECT_EQ(MessageTable::Load(bytes.data(), bytes.size(), table, &problem), kOk) << path << ": " << problem;
    return table;
}

std::u16string Text(const MessageTable& table, std::uint32_t id, std::uint16_t lang, const Locale& locale = {}) {
    MessageText text;
    const platform::Error e = table.Find(id, lang, locale, text);
    if (e != kOk) return u"<error " + text::ToUtf16(std::to_string(e)) + u">";
    return text.unicode ? text.wide : text::ToUtf16(text.narrow);
}

std::size_t CountIds(const std::vector<MessageBlock>& blocks) {
    std::size_t n = 0;
    for (const MessageBlock& b : blocks) n += std::size_t{b.highId} - b.lowId + 1;
    return n;
}

// ---- DLLs built from tests/messages ----------------------------------------------

TEST(MessageTableDlls, BilingualDllHasBothLanguagesAndSeverityNumbers) {
    const MessageTable table = LoadFile(test::TestDllPath("msgtest_bilingual"));
    EXPECT_EQ(table.TableError(), kOk);
    EXPECT_EQ(table.Languages(), (std::vector<std::uint16_t>{0x0409, 0x0411}));

    EXPECT_EQ(Text(table, 1, language::kJapanese), u"サービスを開始しました。\r\n2 行目です。\r\n");
    EXPECT_EQ(Text(table, 1, language::kEnglishUs), u"The service was started.\r\nThis is line 2.\r\n");
    EXPECT_EQ(Text(table, 0xCFFF0064, language::kJapanese), u"重大なエラーです: %1\r\n");
    EXPECT_EQ(Text(table, 0x80000065, language::kEnglishUs), u"A warning: %1\r\n");
    EXPECT_EQ(Text(table, 0x40001000, language::kJapanese), u"情報です。\r\n");

    // Message 15 exists in Japanese only; 16 and 0x64 without severity nowhere.
    EXPECT_EQ(Text(table, 15, language::kJapanese), u"日本語だけのメッセージ %1\r\n");
    MessageText text;
    EXPECT_EQ(table.Find(15, language::kEnglishUs, {}, text), platform::error::kMessageNotFound);
    EXPECT_EQ(table.Find(16, language::kJapanese, {}, text), platform::error::kMessageNotFound);
    EXPECT_EQ(table.Find(0x64, language::kJapanese, {}, text), platform::error::kMessageNotFound);

    std::vector<MessageBlock> blocks;
    ASSERT_EQ(table.Blocks(language::kEnglishUs, blocks), kOk);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].lowId, 1u);
    EXPECT_EQ(blocks[0].highId, 14u);
    EXPECT_EQ(blocks[3].lowId, 0xCFFF0064u);
    EXPECT_EQ(table.Blocks(0x0407, blocks), error::kResourceLanguageNotFound);
}

TEST(MessageTableDlls, UserDefaultLanguageFollowsTheLocale) {
    const MessageTable table = LoadFile(test::TestDllPath("msgtest_bilingual"));
    std::uint16_t chosen = 0;
    ASSERT_EQ(table.SelectLanguage(language::kUserDefault, Locale{}, chosen), kOk);
    EXPECT_EQ(chosen, language::kJapanese);
    EXPECT_EQ(Text(table, 2, language::kUserDefault), u"%1 が %2 を開始しました。%n詳細: %3\r\n");
    ASSERT_EQ(table.SelectLanguage(language::kUserDefault, kEnglishLocale, chosen), kOk);
    EXPECT_EQ(chosen, language::kEnglishUs);
    // A French machine has neither: US English comes before the first language.
    const Locale french{0x040C, 0x040C, 0x040C};
    ASSERT_EQ(table.SelectLanguage(language::kUserDefault, french, chosen), kOk);
    EXPECT_EQ(chosen, language::kEnglishUs);
}

TEST(MessageTableDlls, CategoryAndParameterTables) {
    const MessageTable categories = LoadFile(test::TestDllPath("msgtest_categories"));
    EXPECT_EQ(Text(categories, 3, language::kUserDefault), u"システム イベント\r\n");
    const MessageTable parameters = LoadFile(test::TestDllPath("msgtest_parameters"));
    EXPECT_EQ(Text(parameters, 1234, language::kUserDefault), u"読み取り\r\n");
    EXPECT_EQ(Text(parameters, 5000, language::kUserDefault, kEnglishLocale), u"100%% 同期済み\r\n");
}

TEST(MessageTableDlls, Pe32DllWithAnsiEntries) {
    const MessageTable table = LoadFile(test::TestDllPath("msgtest_ansi32"));
    MessageText text;
    ASSERT_EQ(table.Find(1, language::kUserDefault, {}, text), kOk);
    EXPECT_FALSE(text.unicode);
    EXPECT_EQ(text.narrow, "ANSI の日本語ソ表 %1\r\n");  // CP932 bytes, as the literal
    ASSERT_EQ(table.Find(2, language::kUserDefault, {}, text), kOk);
    EXPECT_EQ(text.narrow, "ｶﾀｶﾅ [%1!s!] [%2!S!]\r\n");
    EXPECT_EQ(Text(table, 0xC0000003, language::kJapanese), u"エラー %1\r\n");
}

// ---- Wine's DLLs ---------------------------------------------------------------------

// Every number of every block of every language is found, with a text.
void ExpectEveryMessageReadable(const std::string& name, std::size_t minimumPerLanguage) {
    std::vector<std::uint8_t> bytes;
    if (!test::ReadBytes(test::WineDllPath(name), bytes)) GTEST_SKIP() << name << ".dll of Wine is not installed";
    MessageTable table;
    ASSERT_EQ(MessageTable::Load(bytes.data(), bytes.size(), table), kOk);
    ASSERT_EQ(table.TableError(), kOk) << table.Problem();
    const std::vector<std::uint16_t> languages = table.Languages();
    ASSERT_GT(languages.size(), 10u);
    for (std::uint16_t lang : languages) {
        std::vector<MessageBlock> blocks;
        ASSERT_EQ(table.Blocks(lang, blocks), kOk);
        EXPECT_GE(CountIds(blocks), minimumPerLanguage) << name << " language " << lang;
        for (const MessageBlock& block : blocks) {
            for (std::uint64_t id = block.lowId; id <= block.highId; ++id) {
                MessageText text;
                std::string problem;
                ASSERT_EQ(table.Find(static_cast<std::uint32_t>(id), lang, {}, text, &problem), kOk)
                    << name << " language " << lang << " message " << id << ": " << problem;
                EXPECT_TRUE(text.unicode);
            }
        }
    }
}

TEST(MessageTableWineDlls, KernelbaseWininetMferror) {
    ExpectEveryMessageReadable("kernelbase", 700);
    ExpectEveryMessageReadable("wininet", 10);
    ExpectEveryMessageReadable("mferror", 100);
}

TEST(MessageTableWineDlls, KernelbaseTextsInEnglishAndJapanese) {
    std::vector<std::uint8_t> bytes;
    if (!test::ReadBytes(test::WineDllPath("kernelbase"), bytes)) GTEST_SKIP() << "Wine is not installed";
    MessageTable table;
    ASSERT_EQ(MessageTable::Load(bytes.data(), bytes.size(), table), kOk);
    const std::u16string english = Text(table, 5, language::kUserDefault, kEnglishLocale);
    EXPECT_NE(english.find(u"ccess"), std::u16string::npos) << text::Cp932ToUtf8(text::FromUtf16(english));
    // Wine's Japanese texts are stored under the neutral sublanguage (0x0011),
    // which a Japanese machine reaches through its primary language.
    std::uint16_t chosen = 0;
    ASSERT_EQ(table.SelectLanguage(language::kUserDefault, Locale{}, chosen), kOk);
    EXPECT_EQ(chosen, 0x0011);
}

// ---- Language order -----------------------------------------------------------------

TEST(MessageLanguages, OrderForNeutralAndExplicitRequests) {
    EXPECT_EQ(LanguageOrder(language::kUserDefault, Locale{}),
              (std::vector<std::uint16_t>{0x0400, 0x0000, 0x0411, 0x0011, 0x0409}));
    const Locale mixed{0x0407, 0x040C, 0x0411};
    EXPECT_EQ(LanguageOrder(language::kUserDefault, mixed),
              (std::vector<std::uint16_t>{0x0400, 0x0000, 0x0407, 0x040C, 0x000C, 0x0411, 0x0011, 0x0409}));
    // The SYS_DEFAULT sublanguage skips the thread's and user's languages.
    EXPECT_EQ(LanguageOrder(language::kSystemDefault, mixed),
              (std::vector<std::uint16_t>{0x0800, 0x0000, 0x0411, 0x0011, 0x0409}));
    EXPECT_EQ(LanguageOrder(0x0409, mixed), (std::vector<std::uint16_t>{0x0409, 0x0009, 0x0000}));
}

TEST(MessageLanguages, NeutralRequestFallsBackOnTheFirstLanguage) {
    const std::vector<std::uint8_t> data = EncodeMessageData({{7, u"sieben"}});
    BuiltImage img = BuildMessageImage({{0x0407, data}, {0x0410, EncodeMessageData({{7, u"sette"}})}});
    MessageTable table;
    ASSERT_EQ(MessageTable::Load(img.bytes.data(), img.bytes.size(), table), kOk);
    EXPECT_EQ(Text(table, 7, language::kUserDefault), u"sieben");
    EXPECT_EQ(Text(table, 7, 0x0410), u"sette");
    // An explicit language never falls back on another one.
    MessageText text;
    EXPECT_EQ(table.Find(7, 0x0409, {}, text), error::kResourceLanguageNotFound);
    EXPECT_EQ(table.Find(7, 0x0810, {}, text), error::kResourceLanguageNotFound);
}

// ---- Encoded message data -------------------------------------------------------------

TEST(MessageData, EncodingMakesOneBlockPerRunOfNumbers) {
    MessageTable table = MessageTable::FromTexts(0x0411, {{5, u"five"}, {3, u"three"}, {4, u""}, {100, u"hundred"}});
    std::vector<MessageBlock> blocks;
    ASSERT_EQ(table.Blocks(0x0411, blocks), kOk);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].lowId, 3u);
    EXPECT_EQ(blocks[0].highId, 5u);
    EXPECT_EQ(Text(table, 5, 0x0411), u"five");
    EXPECT_EQ(Text(table, 4, 0x0411), u"");
    EXPECT_EQ(Text(table, 100, 0x0400), u"hundred");
}

// ---- Damaged images --------------------------------------------------------------------

std::vector<std::uint8_t> SampleData() {
    return EncodeMessageData({{1, u"one\r\n"}, {2, u"two\r\n"}, {3, u"three\r\n"}, {0x10, u"sixteen\r\n"}});
}

platform::Error LoadBytes(const std::vector<std::uint8_t>& bytes, MessageTable& table, std::string* problem = nullptr) {
    return MessageTable::Load(bytes.data(), bytes.size(), table, problem);
}

TEST(MessageTableDamage, BuiltImagesLoadAsPe32AndPe32Plus) {
    for (bool plus : {false, true}) {
        BuiltImage img = BuildMessageImage({{0x0411, SampleData()}}, plus);
        MessageTable table;
        ASSERT_EQ(LoadBytes(img.bytes, table), kOk);
        EXPECT_EQ(Text(table, 3, language::kUserDefault), u"three\r\n");
        EXPECT_EQ(Text(table, 0x10, language::kUserDefault), u"sixteen\r\n");
    }
}

TEST(MessageTableDamage, HeadersThatAreNoPeImage) {
    const BuiltImage good = BuildMessageImage({{0x0411, SampleData()}});
    MessageTable table;
    std::string problem;
    EXPECT_EQ(MessageTable::Load(nullptr, 0, table), platform::error::kBadExeFormat);
    EXPECT_EQ(LoadBytes({}, table), platform::error::kBadExeFormat);
    EXPECT_EQ(LoadBytes({'M', 'Z'}, table, &problem), platform::error::kBadExeFormat);
    EXPECT_NE(problem.find("0x3C"), std::string::npos) << problem;

    auto damaged = [&good](auto change) {
        BuiltImage img = good;
        change(img);
        MessageTable t;
        std::string why;
        const platform::Error e = LoadBytes(img.bytes, t, &why);
        EXPECT_FALSE(why.empty() && e != kOk);
        return e;
    };
    EXPECT_EQ(damaged([](BuiltImage& i) { i.bytes[1] = 'X'; }), platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.Put32(0x3C, 0xFFFFFFF0u); }), platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.Put32(0x3C, static_cast<std::uint32_t>(i.bytes.size() - 2)); }),
              platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.bytes[i.peHeader + 2] = 1; }), platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.Put16(i.optionalHeader, 0x107); }), platform::error::kBadExeFormat);
    // A section table that would run far past the end of the file.
    EXPECT_EQ(damaged([](BuiltImage& i) { i.Put16(i.peHeader + 6, 0xFFFF); }), platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.Put16(i.peHeader + 20, 0xFFF0); }), platform::error::kBadExeFormat);
    EXPECT_EQ(damaged([](BuiltImage& i) { i.bytes.resize(i.sectionTable + 20); }), platform::error::kBadExeFormat);
}

// An image that loads, and the error of its lookups.
platform::Error LookupError(const BuiltImage& img, std::uint32_t id = 1, std::string* problem = nullptr) {
    MessageTable table;
    EXPECT_EQ(LoadBytes(img.bytes, table), kOk);
    MessageText text;
    return table.Find(id, language::kUserDefault, {}, text, problem);
}

TEST(MessageTableDamage, MissingResourcesLoadButLookupsFail) {
    const BuiltImage good = BuildMessageImage({{0x0411, SampleData()}});
    BuiltImage img = good;
    img.Put32(img.optionalHeader + 92, 2);  // no resource directory entry
    EXPECT_EQ(LookupError(img), error::kResourceDataNotFound);
    img = good;
    img.Put32(img.resourceEntry, 0x9000);  // in no section
    EXPECT_EQ(LookupError(img), error::kResourceDataNotFound);
    img = good;
    img.Put32(img.rsrc + 16, 6);  // the only type is now RT_STRING
    EXPECT_EQ(LookupError(img), platform::error::kResourceTypeNotFound);
    img = good;
    img.Put32(img.rsrc + 20, static_cast<std::uint32_t>(img.namesDirectory));  // type 11 is no directory
    EXPECT_EQ(LookupError(img), platform::error::kResourceTypeNotFound);
    img = good;
    img.Put32(img.rsrc + img.namesDirectory + 16, 2);  // named 2, not 1
    EXPECT_EQ(LookupError(img), error::kResourceNameNotFound);
    img = good;
    img.Put16(img.rsrc + img.languagesDirectory + 14, 0);  // no language
    EXPECT_EQ(LookupError(img), error::kResourceLanguageNotFound);
}

TEST(MessageTableDamage, DirectoryLoopsEndAtTheThreeLevels) {
    const BuiltImage good = BuildMessageImage({{0x0411, SampleData()}});
    // Type 11 leads back to the root: name 1 is looked for there, and is not.
    BuiltImage img = good;
    img.Put32(img.rsrc + 20, 0x80000000u);
    EXPECT_EQ(LookupError(img), error::kResourceNameNotFound);
    // Name 1 leads back to the names directory: its only entry is a directory, no language.
    img = good;
    img.Put32(img.rsrc + img.namesDirectory + 20, 0x80000000u | static_cast<std::uint32_t>(img.namesDirectory));
    EXPECT_EQ(LookupError(img), error::kResourceLanguageNotFound);
}

TEST(MessageTableDamage, OffsetsPastTheEndGiveInvalidData) {
    const BuiltImage good = BuildMessageImage({{0x0411, SampleData()}});
    std::string problem;
    BuiltImage img = good;
    img.Put16(img.rsrc + 12, 0xFFFF);  // 131,070 root entries
    img.Put16(img.rsrc + 14, 0xFFFF);
    EXPECT_EQ(LookupError(img, 1, &problem), platform::error::kInvalidData);
    EXPECT_NE(problem.find("131070 entries"), std::string::npos) << problem;
    img = good;
    img.Put32(img.rsrc + 20, 0x80000000u | 0x7FFFFFF0u);  // type directory far away
    EXPECT_EQ(LookupError(img), platform::error::kInvalidData);
    img = good;
    img.Put32(img.rsrc + img.languagesDirectory + 20, 0x7FFFFFF0u);  // data entry far away
    EXPECT_EQ(LookupError(img, 1, &problem), platform::error::kInvalidData);
    EXPECT_NE(problem.find("language 0x411"), std::string::npos) << problem;
    img = good;
    img.Put32(img.rsrc + img.dataEntries[0] + 4, 0xFFFFFFF0u);  // the table's size
    EXPECT_EQ(LookupError(img), platform::error::kInvalidData);
    img = good;
    img.Put32(img.rsrc + img.dataEntries[0], 0x1000 + 0x7FFF);  // the table's RVA past the raw data
    EXPECT_EQ(LookupError(img), platform::error::kInvalidData);
}

TEST(MessageTableDamage, BrokenMessageData) {
    const BuiltImage good = BuildMessageImage({{0x0411, SampleData()}});
    const std::size_t table = good.tables[0];
    std::string problem;

    // A huge block count: the blocks that are there still answer.
    BuiltImage img = good;
    img.Put32(table, 0xFFFFFFFFu);
    EXPECT_EQ(LookupError(img, 2), kOk);
    EXPECT_EQ(LookupError(img, 0x99, &problem), platform::error::kInvalidData);
    EXPECT_FALSE(problem.empty());

    // Entries that start past the end.
    img = good;
    img.Put32(table + 4 + 8, 0x7FFFFFF0u);
    EXPECT_EQ(LookupError(img, 1), platform::error::kInvalidData);

    // A Length that walks past the end of the table.
    img = good;
    const std::size_t first = table + 4 + 2 * 12;
    img.Put16(first, 0xFFF0);
    EXPECT_EQ(LookupError(img, 1), kOk);
    EXPECT_EQ(LookupError(img, 2, &problem), platform::error::kInvalidData);
    EXPECT_NE(problem.find("past the end"), std::string::npos) << problem;

    // A Length of 0 never moves on: every later number gives that entry, at
    // once, even across a range of four billion numbers.
    img = good;
    img.Put16(first, 0);
    img.Put32(table + 4 + 4, 0xFFFFFFF0u);  // HighId of the first block
    MessageTable t;
    ASSERT_EQ(LoadBytes(img.bytes, t), kOk);
    EXPECT_EQ(Text(t, 0xFFFFFFF0u, language::kUserDefault), u"one\r\n");

    // A text without terminator before the end of the table.
    img = good;
    const std::size_t end = table + SampleData().size();
    for (std::size_t at = first + 4; at < end; ++at) img.bytes[at] = 'x';
    EXPECT_EQ(LookupError(img, 1, &problem), platform::error::kInvalidData);
    EXPECT_NE(problem.find("no terminator"), std::string::npos) << problem;
}

// Every prefix of a real DLL, and every single damaged byte of its resource
// section: loads and lookups end with an answer, never a fault.
TEST(MessageTableDamage, TruncatedAndFlippedRealDll) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(test::ReadBytes(test::TestDllPath("msgtest_bilingual"), bytes));
    const std::uint32_t ids[] = {1, 2, 14, 15, 16, 0x40001000, 0xCFFF0064, 0xFFFFFFFF};
    auto exercise = [&ids](const std::vector<std::uint8_t>& image) {
        MessageTable table;
        if (LoadBytes(image, table) != kOk) return;
        for (std::uint32_t id : ids) {
            MessageText text;
            table.Find(id, language::kUserDefault, {}, text);
            table.Find(id, language::kEnglishUs, {}, text);
        }
        std::vector<MessageBlock> blocks;
        for (std::uint16_t lang : table.Languages()) table.Blocks(lang, blocks);
    };
    std::size_t loaded = 0;
    for (std::size_t size = 0; size <= bytes.size(); size += 7) {
        std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        MessageTable table;
        if (LoadBytes(prefix, table) == kOk) ++loaded;
        exercise(prefix);
    }
    EXPECT_GT(loaded, 0u);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::vector<std::uint8_t> flipped = bytes;
        flipped[at] ^= 0xFF;
        exercise(flipped);
    }
}

}  // namespace
}  // namespace quorvin::messages
