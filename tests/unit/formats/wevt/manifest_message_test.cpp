// Messages of manifest-based events against the texts expected: every value
// type as the .evtx reader gives it, value and bit maps, "%%n" values, two
// versions of one event, the names of level, task, opcode, channel and
// keywords, a table without the user's language and a provider without a
// table.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "formats/wevt/manifest_message.h"
#include "formats/messages/format_message.h"
#include "formats/messages/message_file.h"
#include "support/wevt_test_util.h"
#include "unit/formats/evtx/sample_log.h"

namespace quorvin::wevt {
namespace {

using messages::MessageTable;
namespace msg = wevt::test::msg;

MessageTable ProviderTable(std::uint16_t language) {
    std::u16string every;
    for (int i = 1; i <= 21; ++i) {
        every += i > 1 ? u"|%" : u"%";
        if (i >= 10) every.push_back(char16_t(u'0' + i / 10));
        every.push_back(char16_t(u'0' + i % 10));
    }
    return MessageTable::FromTexts(
        language, {{msg::kChannel, u"操作\r\n"}, {msg::kLevel, u"カスタム\r\n"}, {msg::kTaskOpcode, u"スキャン\r\n"},
                   {msg::kOpcode, u"掃引\r\n"}, {msg::kTask, u"バックアップ\r\n"}, {msg::kKeyword, u"ディスク\r\n"},
                   {msg::kTopKeyword, u"最上位 \r\n"}, {msg::kKind1, u"完全\r\n"}, {msg::kKind2, u"差分\r\n"},
                   {msg::kFlag1, u"読み取り\r\n"}, {msg::kFlag2, u"書き込み\r\n"}, {msg::kFlag4, u"削除\r\n"},
                   {msg::kEvent100v0, u"種類 %1、フラグ %2: %3\r\n"}, {msg::kEvent100v1, every + u"%0"},
                   {msg::kEvent200, u"引数なし %1\r\n"}});
}

struct Fixture {
    wevt::Provider provider = wevt::test::FullProvider();
    MessageTable table = ProviderTable(messages::language::kJapanese);
    MessageTable parameters = MessageTable::FromTexts(messages::language::kJapanese, {{1234, u"許可\r\n"}});
    ManifestTexts texts;
    Fixture() {
        texts.messages = {&table};
        texts.parameters = {&parameters};
        texts.system = &messages::SystemMessageTable();
    }
};

TEST(ManifestMessage, ValueMapsBitMapsAndParameters) {
    Fixture f;
    ManifestMessage m = FormatManifestEvent(f.provider, f.texts, 100, 0, {u"2", u"0x5", u"%%1234"});
    EXPECT_EQ(m.error, 0u);
    EXPECT_EQ(m.message, u"種類 差分、フラグ 読み取り 削除: 許可\r\n");
    EXPECT_EQ(m.level, u"情報");  // level 4 is not the provider's: the standard name
    EXPECT_EQ(m.task, u"バックアップ");
    EXPECT_EQ(m.opcode, u"情報");
    EXPECT_EQ(m.channel, u"操作");
    EXPECT_EQ(m.keywords, (std::vector<std::u16string>{u"ディスク", u"最上位"}));

    // A value no entry maps, an entry without a text, no number, a "%%n" only the system has, one nobody has.
    m = FormatManifestEvent(f.provider, f.texts, 100, 0, {u"7", u"0x8", u"%%2"});
    EXPECT_EQ(m.message, u"種類 7、フラグ 0x8: 指定されたファイルが見つかりません。\r\n");
    m = FormatManifestEvent(f.provider, f.texts, 100, 0, {u"3", u"x", u"%%77777"});
    EXPECT_EQ(m.message, u"種類 3、フラグ x: %%77777\r\n");
}

// A record of the "every type" event written to an .evtx file and read
// back: its values go into the message as the reader shows them.
TEST(ManifestMessage, EveryValueTypeAsTheEvtxReaderGivesIt) {
    using namespace evtx::test;
    using evtx::test::Element;
    std::vector<evtx::Node> data;
    std::vector<evtx::Value> values = SystemValues(1, 100);
    for (std::uint8_t t : wevt::test::EveryInType()) {
        data.push_back(Element(u"Data", {{u"Name", {Text(u"T")}}}, {Sub(static_cast<std::uint16_t>(values.size()), t)}));
        values.push_back(TypedValue(t, 1));
    }
    evtx::Template t;
    t.guid = evtx::test::Guid(9);
    t.root = EventElement({Element(u"EventData", {}, std::move(data))});
    const std::vector<std::uint8_t> file = evtx::WriteFile({t}, {{1, 0, {0, values}}});
    evtx::FileReader reader(file.data(), file.size());
    evtx::Record record;
    ASSERT_TRUE(reader.Next(record));
    std::vector<std::u16string> texts;
    for (const evtx::DataPair& p : record.data) texts.emplace_back(record.Text(p.value));

    Fixture f;
    const ManifestMessage m = FormatManifestEvent(f.provider, f.texts, 100, 1, texts);
    EXPECT_EQ(m.error, 0u);
    EXPECT_EQ(evtx::Utf8(m.message),
              "plain text x|ansi1|-2|201|-29999|65001|-1999999999|4000000001|-8999999999999999999|"
              "18000000000000000001|2.5|-3.25|true|DEADBEEF01|" +
                  evtx::Utf8(texts[14]) +
                  "|0x7ff6a001|2016-07-08T18:12:52.6816409Z|2016-07-09T18:12:51.681Z|"
                  "S-1-5-21-3623811015-3361044348-30300820-501|0x3e8|0x200000000");
    EXPECT_EQ(texts[14].size(), 38u);
    EXPECT_EQ(m.level, u"カスタム");
    EXPECT_EQ(m.opcode, u"スキャン");  // the task's own opcode
    EXPECT_EQ(m.keywords, (std::vector<std::u16string>{u"成功の監査"}));
}

TEST(ManifestMessage, TwoVersionsOfOneEvent) {
    Fixture f;
    const std::vector<std::u16string> three = {u"1", u"3", u"c"};
    // A classic record has no version: the version whose template takes as many values, else the newest.
    EXPECT_EQ(ChooseEvent(f.provider, 100, -1, 3)->version, 0);
    EXPECT_EQ(ChooseEvent(f.provider, 100, -1, 21)->version, 1);
    EXPECT_EQ(ChooseEvent(f.provider, 100, -1, 5)->version, 1);
    EXPECT_EQ(ChooseEvent(f.provider, 100, 1, 3)->version, 1);
    EXPECT_EQ(ChooseEvent(f.provider, 100, 7, 3), nullptr);
    EXPECT_EQ(ChooseEvent(f.provider, 999, -1, 0), nullptr);
    EXPECT_EQ(FormatManifestEvent(f.provider, f.texts, 100, -1, three).message, u"種類 完全、フラグ 読み取り 書き込み: c\r\n");
    EXPECT_EQ(FormatManifestEvent(f.provider, f.texts, 100, 7, three).error, manifest_error::kMessageNotFound);

    // An event without a template takes no map; one without a message has its names only.
    ManifestMessage m = FormatManifestEvent(f.provider, f.texts, 200, 0, {u"1"});
    EXPECT_EQ(m.message, u"引数なし 1\r\n");
    EXPECT_EQ(m.level, u"エラー");
    EXPECT_EQ(m.task, u"Restore");  // a task without a message: its name
    EXPECT_EQ(m.opcode, u"掃引");
    EXPECT_EQ(m.channel, u"System");
    m = FormatManifestEvent(f.provider, f.texts, 300, 0, {});
    EXPECT_EQ(m.error, manifest_error::kMessageNotFound);
    EXPECT_EQ(m.message, u"");
    EXPECT_EQ(FormatManifestEvent(f.provider, f.texts, 400, 0, {}).error, manifest_error::kMessageNotFound);
}

TEST(ManifestMessage, MissingLanguage) {
    Fixture f;
    // A table only in English: the user's Japanese is not there, the first language is taken.
    const MessageTable english = ProviderTable(messages::language::kEnglishUs);
    f.texts.messages = {&english};
    EXPECT_EQ(FormatManifestEvent(f.provider, f.texts, 200, 0, {u"x"}).message, u"引数なし x\r\n");
    // The language file is missing and the neutral file has no table.
    const MessageTable none;
    f.texts.messages = {&none};
    const ManifestMessage m = FormatManifestEvent(f.provider, f.texts, 200, 0, {u"x"});
    EXPECT_EQ(m.error, manifest_error::kLocaleNotFound);
    EXPECT_EQ(m.level, u"エラー");
    EXPECT_EQ(m.task, u"Restore");
}

// The module the mingw tools made, read as a message file is read: its
// manifest and its message table give the event's text.
TEST(ManifestMessage, ModuleMadeByTheMessageCompiler) {
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    if (binary == nullptr) GTEST_SKIP() << "QUORVIN_BINARY_DIR is not set";
    std::ifstream in(std::string(binary) + "/test-messages/msgtest_manifest.dll", std::ios::binary);
    const std::vector<std::uint8_t> dll((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    messages::MemorySource source(dll.data(), dll.size());
    messages::MessageFile file;
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(messages::ReadMessageFile(source, file), 0u);
    ASSERT_EQ(messages::ReadManifestResource(source, bytes), 0u);
    wevt::Manifest manifest;
    std::string problem;
    ASSERT_TRUE(wevt::ReadManifest(bytes.data(), bytes.size(), manifest, problem)) << problem;
    ManifestTexts texts;
    texts.messages = {&file.table};
    const ManifestMessage m = FormatManifestEvent(*manifest.Find(wevt::test::kProviderGuid), texts, 100, 0,
                                                  {u"1", u"0", u"本文"});
    EXPECT_EQ(m.message, u"種類 完全、フラグ 0: 本文");
    EXPECT_EQ(m.task, u"バックアップ");
    EXPECT_EQ(m.channel, u"Quorvin テスト/操作");
}

}  // namespace
}  // namespace quorvin::wevt
