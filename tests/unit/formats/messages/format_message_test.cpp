// FormatMessageA and SystemErrorText over the test DLLs and our system table.

#include "formats/messages/format_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/message_files.h"
#include "core/cp932.h"

namespace quorvin::messages {
namespace {

constexpr platform::Error kOk = 0;

MessageTable LoadDll(const std::string& name) {
    std::vector<std::uint8_t> bytes;
    MessageTable table;
    EXPECT_TRUE(test::ReadBytes(test::TestDllPath(name), bytes)) << name;
    EXPECT_EQ(MessageTable::Load(bytes.data(), bytes.size(), table), kOk) << name;
    return table;
}

// The collector's argument table: 256 entries, the unused ones empty.
std::vector<std::string> Table(std::initializer_list<std::string> strings) {
    std::vector<std::string> table(strings);
    table.resize(256);
    return table;
}

std::string Format(const MessageTable* module, std::uint32_t id, const std::vector<std::string>* args) {
    std::string text;
    const platform::Error e = FormatMessageA(module, id, args, text);
    if (e != kOk) return "<error " + std::to_string(e) + ">";
    return text;
}

TEST(FormatMessageA, EventMessagesInJapanese) {
    const MessageTable dll = LoadDll("msgtest_bilingual");
    const auto args = Table({"SV1", "Eventlog", "詳細"});
    EXPECT_EQ(Format(&dll, 2, &args), "SV1 が Eventlog を開始しました。\r\n詳細: 詳細\r\n");
    EXPECT_EQ(Format(&dll, 1, &args), "サービスを開始しました。\r\n2 行目です。\r\n");
    EXPECT_EQ(Format(&dll, 0xCFFF0064, &args), "重大なエラーです: SV1\r\n");
    // Unused entries are empty; %0 ends without a line break.
    EXPECT_EQ(Format(&dll, 9, &args), "順序 詳細 Eventlog SV1 SV1\r\n");
    EXPECT_EQ(Format(&dll, 8, &args), "改行なし SV1");
    EXPECT_EQ(Format(&dll, 7, &args), "二桁 ////0\r\n");
    EXPECT_EQ(Format(&dll, 6, &args), "100% 完了. 感嘆! 空白 です\tタブ\r復帰 q 終わり\r\n");
    EXPECT_EQ(Format(&dll, 13, &args), "行末の\r\r\n次の行\r\n");
    EXPECT_EQ(Format(&dll, 3, &args), "文字列 [SV1] [  Eventlog] [詳細      ] [] [          ] [00000]\r\n");
}

TEST(FormatMessageA, NumbersShowTheMadeUpAddresses) {
    // Entry i (from 0) is at 0x150000 + 16 * i: %3 is at 0x150020.
    const MessageTable table = MessageTable::FromTexts(
        language::kJapanese, {{1, u"[%3!d!] [%4!u!] [%5!x!] [%6!X!] [%7!08x!] [%8!#x!] [%9!+d!] [%10!o!] [%11!hd!] [%2!p!]"}});
    const auto args = Table({"a", "b", "c"});
    EXPECT_EQ(Format(&table, 1, &args),
              "[1376288] [1376304] [150040] [150050] [00150060] [0x150070] [+1376384] [5200220] [160] [00150010]");
}

TEST(FormatMessageA, RefusedFormatsFail) {
    const MessageTable dll = LoadDll("msgtest_bilingual");
    const auto args = Table({"x"});
    EXPECT_EQ(Format(&dll, 10, &args), "<error 87>");
    EXPECT_EQ(Format(&dll, 11, &args), "<error 87>");
    EXPECT_EQ(Format(&dll, 12, &args), "<error 87>");
    // A long insertion string makes the text longer than FormatMessageA allows.
    const auto longArgs = Table({std::string(40000, 'x')});
    EXPECT_EQ(Format(&dll, 2, &longArgs), "<error 122>");
}

TEST(FormatMessageA, SystemTableTakesOverWhatTheModuleLacks) {
    const MessageTable dll = LoadDll("msgtest_bilingual");
    const auto args = Table({"x"});
    EXPECT_EQ(Format(&dll, 5, &args).substr(0, 4), "数値");  // the module's own message 5
    EXPECT_EQ(Format(&dll, 1722, &args), "RPC サーバーを利用できません。\r\n");
    EXPECT_EQ(Format(nullptr, 53, &args), "ネットワーク パスが見つかりません。\r\n");
    // HRESULT_FROM_WIN32(5) is looked up in the system table as 5.
    EXPECT_EQ(Format(&dll, 0x80070005, &args), "アクセスが拒否されました。\r\n");
    EXPECT_EQ(Format(&dll, 0x12345, &args), "<error 317>");
    EXPECT_EQ(Format(&dll, 0x80070000u | 12345, &args), "<error 317>");
    // The system's 193 has an insert: without arguments it cannot be formatted.
    EXPECT_EQ(Format(&dll, 193, nullptr), "<error 87>");
    EXPECT_EQ(Format(&dll, 193, &args), "x は有効な Win32 アプリケーションではありません。\r\n");
    // A module without a message table.
    MessageTable empty;
    EXPECT_EQ(Format(&empty, 2, &args), "指定されたファイルが見つかりません。\r\n");
}

TEST(FormatMessageA, CategoryAndParameterLookupsWithoutArguments) {
    const MessageTable categories = LoadDll("msgtest_categories");
    const MessageTable parameters = LoadDll("msgtest_parameters");
    EXPECT_EQ(Format(&categories, 1, nullptr), "ログオン/ログオフ\r\n");
    EXPECT_EQ(Format(&parameters, 1234, nullptr), "読み取り\r\n");
    EXPECT_EQ(Format(&parameters, 5000, nullptr), "100% 同期済み\r\n");
    EXPECT_EQ(Format(&parameters, 1300, nullptr), "<error 87>");
    EXPECT_EQ(Format(&parameters, 9999, nullptr), "<error 317>");
}

TEST(FormatMessageA, AnsiEntriesAndWideReads) {
    const MessageTable dll = LoadDll("msgtest_ansi32");
    // "W[" read as a wide string is U+5B57.
    const auto args = Table({"ｱ", "W["});
    EXPECT_EQ(Format(&dll, 1, &args), "ANSI の日本語ソ表 ｱ\r\n");
    EXPECT_EQ(Format(&dll, 2, &args), "ｶﾀｶﾅ [ｱ] [字]\r\n");
}

TEST(FormatMessageA, EmptyTextsAreNoWork) {
    const MessageTable table = MessageTable::FromTexts(language::kJapanese, {{1, u""}, {2, u"%0abc"}, {3, u"%1"}});
    const auto args = Table({});
    EXPECT_EQ(Format(&table, 1, &args), "<error 235>");
    EXPECT_EQ(Format(&table, 2, &args), "<error 235>");
    EXPECT_EQ(Format(&table, 3, &args), "<error 235>");
}

TEST(SystemErrorText, TextsOfTheCodesTheCollectorMeets) {
    const std::uint32_t codes[] = {0,   2,   3,   5,    6,    8,    13,   38,   53,   67,   87,   122,
                                   193, 234, 317, 1326, 1392, 1500, 1722, 1813, 1815, 2351, 6118};
    for (std::uint32_t code : codes) {
        const std::string text = SystemErrorText(code);
        ASSERT_GE(text.size(), 4u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
        EXPECT_TRUE(text::IsLeadByte(static_cast<unsigned char>(text[0])) || text[0] == '%' ||
                    (text[0] >= 'A' && text[0] <= 'Z'))
            << code << ": " << text;
    }
    EXPECT_EQ(SystemErrorText(5), "アクセスが拒否されました。\r\n");
    // Inserts stay as they are.
    EXPECT_EQ(SystemErrorText(193), "%1 は有効な Win32 アプリケーションではありません。\r\n");
    EXPECT_EQ(SystemErrorText(317).find("0x%1"), 15u);
    EXPECT_EQ(SystemErrorText(0x80070035), SystemErrorText(53));
    EXPECT_EQ(SystemErrorText(12345), "");
}

}  // namespace
}  // namespace quorvin::messages
