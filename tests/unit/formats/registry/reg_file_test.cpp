#include "formats/registry/reg_file.h"

#include <gtest/gtest.h>

#include <chrono>

#include "core/cp932.h"

namespace reg = quorvin::reg;
namespace regtype = quorvin::platform::regtype;
using reg::Format;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<std::uint8_t> Utf16File(std::u16string_view text) {
    std::vector<std::uint8_t> out = {0xFF, 0xFE};
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

reg::ParseResult Parse(const std::vector<std::uint8_t>& file) { return reg::ParseRegFile(file.data(), file.size()); }
reg::ParseResult Parse(std::string_view cp932) { return Parse(Bytes(cp932)); }

reg::Value Data(std::uint32_t type, std::string_view bytes) { return reg::Value{type, Bytes(bytes)}; }
reg::Value Sz(std::string_view text) { return Data(regtype::kSz, std::string(text) + '\0'); }

// The same registry in both encodings; only the hex(2) and hex(7) text data
// differ between them (CP932 bytes here, UTF-16LE there).
const std::u16string kCommonBody =
    u"; settings of this machine\r\n"
    u"\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORVANTE\\クォーヴィン]\r\n"
    u"@=\"既定の値\"\r\n"
    u"\"ComputerListToSave\"=\"pc1;pc2;\"\r\n"
    u"\"Empty\"=\"\"\r\n"
    u"\"Escapes\"=\"C:\\\\WINNT\\\\\\\"q\\\"\"\r\n"
    u"\"ソ\"=\"表\"\r\n"
    u"\"MaxComputer\"=dword:000001f4\r\n"
    u"\"Short\"=DWORD:7 ; fewer digits\r\n"
    u"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
    u"  17 , 18,\\ ; a comment after the backslash\r\n"
    u"\r\n"
    u"; comment lines between continued lines are skipped\r\n"
    u"  19,1A,1b ; trailing comment\r\n"
    u"\"None\"=hex(0):\r\n"
    u"\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    u"   \"Spaced\" =  \"x\"  \r\n"
    u"[hkey_local_machine\\software\\orvante\\クォーヴィン\\\\Sub\\]\r\n"
    u"[HKEY_CLASSES_ROOT\\.evt]\r\n"
    u"@=\"evtfile\"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Skipped]\r\n"
    u"\"Ignored\"=\"y\"\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM\\Gone\\Below]\r\n"
    u"\"v\"=\"1\"\r\n"
    u"[-HKEY_LOCAL_MACHINE\\SYSTEM\\Gone]\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n"
    u"\"Removed\"=\"x\"\r\n"
    u"\"removed\"=-\r\n";

void FillExpected(reg::Key& root) {
    reg::Key& app = *root.AddSubKey("SOFTWARE")->AddSubKey("ORVANTE")->AddSubKey("クォーヴィン");
    app.SetValue("", Sz("既定の値"));
    app.SetValue("ComputerListToSave", Sz("pc1;pc2;"));
    app.SetValue("Empty", Sz(""));
    app.SetValue("Escapes", Sz("C:\\WINNT\\\"q\""));
    app.SetValue("ソ", Sz("表"));
    app.SetValue("MaxComputer", Data(regtype::kDword, std::string("\xF4\x01\x00\x00", 4)));
    app.SetValue("Short", Data(regtype::kDword, std::string("\x07\x00\x00\x00", 4)));
    std::string blob;
    for (char c = 0; c < 0x1C; ++c) blob += c;
    app.SetValue("Blob", Data(regtype::kBinary, blob));
    app.SetValue("None", Data(regtype::kNone, ""));
    app.SetValue("Qword", Data(11, std::string("\x01\0\0\0\0\0\0\0", 8)));
    app.SetValue("Spaced", Sz("x"));
    app.SetValue("Path", Data(regtype::kExpandSz, std::string("%SystemRoot%\\表\0", 16)));
    app.SetValue("Multi", Data(regtype::kMultiSz, std::string("a\0ソ\0\0", 6)));
    app.AddSubKey("Sub");
    root.FindSubKey("SOFTWARE")->AddSubKey("Classes")->AddSubKey(".evt")->SetValue("", Sz("evtfile"));
    root.AddSubKey("SYSTEM");
}

}  // namespace

TEST(RegFile, ReadsEveryValueTypeInBothEncodings) {
    // REGEDIT4: CP932 throughout, hex(2)/hex(7) data are CP932 bytes.
    const std::string file4 = "REGEDIT4\r\n" + quorvin::text::FromUtf16(kCommonBody) +
                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORVANTE\\クォーヴィン]\r\n"
                              "\"Path\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,95,5c,00\r\n"
                              "\"Multi\"=hex(7):61,00,83,5c,00,00\n";
    // Version 5: UTF-16LE, and so are the bytes of hex(2)/hex(7).
    const std::u16string file5 =
        u"Windows Registry Editor Version 5.00\r\n" + kCommonBody +
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORVANTE\\クォーヴィン]\r\n"
        u"\"Path\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,5c,00,\\\r\n"
        u"  68,88,00,00\r\n"
        u"\"Multi\"=hex(7):61,00,00,00,bd,30,00,00,00,00";

    auto expected = std::make_shared<reg::Hive>();
    FillExpected(expected->root);
    for (const reg::ParseResult& r : {Parse(file4), Parse(Utf16File(file5))}) {
        ASSERT_TRUE(r.hive) << r.error;
        EXPECT_TRUE(r.hive->root == expected->root);
    }
    EXPECT_EQ(Parse(file4).format, Format::kRegedit4);
    EXPECT_EQ(Parse(Utf16File(file5)).format, Format::kVersion5);

    // Spot checks that do not go through the comparison.
    const reg::ParseResult r = Parse(file4);
    const reg::Key* app = r.hive->root.FindSubKey("software")->FindSubKey("ORVANTE")->FindSubKey("クォーヴィン");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->Values().front().name, "");
    EXPECT_EQ(Text(app->FindValue("")->data), std::string("既定の値\0", 9));
    EXPECT_EQ(Text(app->FindValue("ソ")->data), std::string("\x95\x5C\0", 3));
    EXPECT_EQ(app->FindValue("blob")->data.size(), 0x1Cu);
    EXPECT_EQ(r.hive->root.FindSubKey("SYSTEM")->Values().size(), 0u);
}

TEST(RegFile, WritesWhatRegeditWrites) {
    auto hive = std::make_shared<reg::Hive>();
    reg::Key& soft = *hive->root.AddSubKey("SOFTWARE");
    reg::Key& key = *soft.AddSubKey("ソフト");
    key.SetValue("", Sz("表\\"));
    key.SetValue("Count", Data(regtype::kDword, std::string("\x0A\0\0\0", 4)));
    std::string bin;
    for (char c = 0; c < 40; ++c) bin += c;
    key.SetValue("Bin", Data(regtype::kBinary, bin));
    key.SetValue("NoNul", Data(regtype::kSz, "abc"));
    key.SetValue("Lines", Sz("a\r\nb"));
    key.SetValue("Odd", Data(regtype::kDword, "\x01\x02"));

    const std::string body =
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ソフト]\r\n"
        "@=\"表\\\\\"\r\n"
        "\"Count\"=dword:0000000a\r\n"
        "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
        "\"NoNul\"=hex(1):61,62,63\r\n"
        "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
        "\"Odd\"=hex(4):01,02\r\n"
        "\r\n";
    EXPECT_EQ(Text(reg::WriteRegFile(*hive, Format::kRegedit4)), "REGEDIT4\r\n" + body);

    // Version 5 is the same text in UTF-16, except that hex(1) data are UTF-16 too.
    std::u16string body5 = quorvin::text::ToUtf16(body);
    const auto replace = [&](std::u16string_view from, std::u16string_view to) {
        body5.replace(body5.find(from), from.size(), to);
    };
    replace(u"hex(1):61,62,63", u"hex(1):61,00,62,00,63,00");
    replace(u"hex(1):61,0d,0a,62,00", u"hex(1):61,00,0d,00,0a,00,62,00,00,00");
    EXPECT_EQ(reg::WriteRegFile(*hive, Format::kVersion5),
              Utf16File(u"Windows Registry Editor Version 5.00\r\n" + body5));

    // An empty hive is the header and a blank line; a root with values gets its own line.
    reg::Hive empty;
    EXPECT_EQ(Text(reg::WriteRegFile(empty, Format::kRegedit4)), "REGEDIT4\r\n\r\n");
    empty.root.SetValue("v", Sz(""));
    EXPECT_EQ(Text(reg::WriteRegFile(empty, Format::kRegedit4)),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\"v\"=\"\"\r\n\r\n");
}

TEST(RegFile, RoundTripsInBothFormats) {
    auto hive = std::make_shared<reg::Hive>();
    FillExpected(hive->root);
    reg::Key& odd = *hive->root.AddSubKey("ア")->AddSubKey("ヂ]\"[;=@ - x ");
    odd.SetValue("\"quoted\\\"", Sz("\"\\ソ\\\""));
    odd.SetValue("NoNul", Data(regtype::kSz, "abc"));
    odd.SetValue("Nuls", Data(regtype::kSz, std::string("a\0b\0", 4)));
    odd.SetValue("EmptySz", Data(regtype::kSz, ""));
    odd.SetValue("EmptyMulti", Data(regtype::kMultiSz, ""));
    odd.SetValue("Type", Data(0xFFFFFFFF, "\xFF"));
    odd.SetValue("Long", Data(regtype::kMultiSz, std::string(3000, 'x') + std::string("ｶﾅ漢字\0\0", 8)));
    hive->root.AddSubKey("Empty");

    for (Format format : {Format::kRegedit4, Format::kVersion5}) {
        const std::vector<std::uint8_t> file = reg::WriteRegFile(*hive, format);
        const reg::ParseResult back = Parse(file);
        ASSERT_TRUE(back.hive) << back.error;
        EXPECT_EQ(back.format, format);
        EXPECT_TRUE(back.hive->root == hive->root);
        // No line is longer than 80 characters once hex data are wrapped.
        const std::string text =
            format == Format::kRegedit4
                ? Text(file)
                : quorvin::text::FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(file.data() + 2),
                                                          (file.size() - 2) / 2));
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const bool wrapped = text.compare(start, 2, "  ") == 0 || (end > start && text[end - 1] == '\\');
            if (wrapped) {
                EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
            }
        }
    }
}

TEST(RegFile, DeepestAndLongestKeysRoundTrip) {
    // Each key line names the whole path, so these lines are the longest a
    // written file has: 512 levels, and 255 characters, of names whose
    // double-byte characters end in the byte of a backslash.
    auto hive = std::make_shared<reg::Hive>();
    reg::Key* key = &hive->root;
    for (int i = 0; i < 512 && key != nullptr; ++i) key = key->AddSubKey("ソ" + std::to_string(i));
    ASSERT_NE(key, nullptr);
    key->SetValue("v", Sz("深い"));
    std::string kanji;
    for (int i = 0; i < 255; ++i) kanji += "ソ";
    hive->root.AddSubKey(kanji)->SetValue("", Sz("x"));

    for (Format format : {Format::kRegedit4, Format::kVersion5}) {
        const std::vector<std::uint8_t> file = reg::WriteRegFile(*hive, format);
        const reg::ParseResult back = Parse(file);
        ASSERT_TRUE(back.hive) << back.error;
        EXPECT_TRUE(back.hive->root == hive->root);
    }
}

TEST(RegFile, KeyPathsAndNamesFollowTheRegistry) {
    const reg::ParseResult r = Parse(
        "REGEDIT4\n"
        "[HKEY_LOCAL_MACHINE\\A\\\\b\\]\n"
        "\"Name\"=\"1\"\n"
        "[HKEY_LOCAL_MACHINE\\a\\B\\ソ\\表]\n"
        "\"NAME\"=\"2\"\n"
        "\"ア\"=\"3\"\n"
        "\"ヂ\"=\"4\"\n"
        "[HKEY_LOCAL_MACHINE\\a\\B]\n"
        "\"name\"=\"5\"\n");
    ASSERT_TRUE(r.hive) << r.error;
    const reg::Key& a = r.hive->root.SubKeys().front();
    ASSERT_EQ(r.hive->root.SubKeys().size(), 1u);
    EXPECT_EQ(a.Name(), "A");
    const reg::Key& b = a.SubKeys().front();
    EXPECT_EQ(b.Name(), "b");
    // The value keeps its first spelling and place; the data are the last.
    ASSERT_EQ(b.Values().size(), 1u);
    EXPECT_EQ(b.Values().front().name, "Name");
    EXPECT_EQ(b.Values().front().value, Sz("5"));
    // A trail byte 5C is no separator.
    const reg::Key* deep = b.FindSubKey("ソ");
    ASSERT_NE(deep, nullptr);
    ASSERT_NE(deep->FindSubKey("表"), nullptr);
    // ア (83 41) and ヂ (83 61) differ only in a trail byte that is a letter: two values.
    EXPECT_EQ(deep->FindSubKey("表")->Values().size(), 3u);
    EXPECT_EQ(*deep->FindSubKey("表")->FindValue("ヂ"), Sz("4"));

    // NEC-selected IBM extensions come back as the IBM codes, as through the ANSI functions.
    const reg::ParseResult nec = Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\k]\n\"\xED\x40\"=\"\xED\x40\"\n");
    ASSERT_TRUE(nec.hive) << nec.error;
    EXPECT_EQ(nec.hive->root.SubKeys().front().Values().front().name, "\xFA\x5C");

    // Characters CP932 cannot hold become "?" in version 5 files (Hangul has no look-alike either).
    const reg::ParseResult q = Parse(Utf16File(u"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\\uD55C]\n"));
    ASSERT_TRUE(q.hive) << q.error;
    EXPECT_EQ(q.hive->root.SubKeys().front().Name(), "?");

    // 512 levels are allowed, 255 characters a name.
    std::string path;
    for (int i = 0; i < 512; ++i) path += "\\k";
    EXPECT_TRUE(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE" + path + "]\n").hive);
    EXPECT_TRUE(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(255, 'n') + "]\n").hive);
    std::string kanji;
    for (int i = 0; i < 255; ++i) kanji += "亜";
    EXPECT_TRUE(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + kanji + "]\n").hive);
}

TEST(RegFile, BadInputGivesTheLine) {
    struct Case {
        std::string file;
        std::size_t line;
        const char* says;
    };
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "\\k";
    const std::string k = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\k]\r\n";
    const Case cases[] = {
        {"", 1, "empty file"},
        {"REGEDIT5\r\n", 1, "not a registry file"},
        {"\xEF\xBB\xBFREGEDIT4\r\n", 1, "UTF-8 file"},
        {"REGEDIT4\r\n\"v\"=\"1\"\r\n", 2, "outside a key"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\k]\r\n[-HKEY_LOCAL_MACHINE\\k]\r\n\"v\"=\"1\"\r\n", 4, "outside a key"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\k\r\n", 2, "closing ]"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\k] x\r\n", 2, "after the ]"},
        {"REGEDIT4\r\n[HKLM\\k]\r\n", 2, "unknown root"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\\\k]\r\n", 2, "right after the root"},
        {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE]\r\n", 2, "cannot be removed"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE" + deep + "]\r\n", 2, "512 levels"},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'n') + "]\r\n", 2, "cannot hold"},
        {k + "x=1\r\n", 3, "expected a [key] line"},
        {k + "\"v\"=\"abc\r\n", 3, "string without its closing quote"},
        {k + "\"v\"=\"ab\\\r\n", 3, "string without its closing quote"},
        {k + "\"v=\"abc\"\r\n", 3, "expected ="},
        {k + "\"v\r\n", 3, "value name without its closing quote"},
        {k + "\"v\"=\"C:\\WINNT\"\r\n", 3, "unknown escape"},
        {k + "\"v\"=\"a\" b\r\n", 3, "after the closing quote"},
        {k + "\"v\"=- x\r\n", 3, "after the -"},
        {k + "\"v\"=str:\"a\"\r\n", 3, "unknown data"},
        {k + "@\r\n", 3, "expected ="},
        {k + "\"v\"=dword:123456789\r\n", 3, "more than 8"},
        {k + "\"v\"=dword:\r\n", 3, "without hex digits"},
        {k + "\"v\"=dword:12 3\r\n", 3, "after the hex digits"},
        {k + "\"v\"=hex:123\r\n", 3, "more than 2 digits"},
        {k + "\"v\"=hex:0g\r\n", 3, "expected , between"},
        {k + "\"v\"=hex:01,,02\r\n", 3, "expected a hex byte"},
        {k + "\"v\"=hex(:01\r\n", 3, "hex(N):"},
        {k + "\"v\"=hex(123456789):01\r\n", 3, "longer than 8"},
        {k + "\"v\"=hex:01,\\ x\r\n", 3, "after the \\"},
        {k + "\"v\"=hex:01,\\\r\n\r\n", 4, "ends inside continued hex"},
        {k + "\"v\"=hex:01,\\\r\n\"w\"=\"1\"\r\n", 4, "expected a hex byte"},
        {k + "\"v\"=hex(2):41,81\r\n", 3, "no code page 932 text"},
        {k + std::string("\"v\"=\"a\0b\"\r\n", 11), 3, "NUL byte"},
        {k + "\"v\"=\"\x81\"\r\n", 3, "no code page 932 text"},
        {k + "\"v\"=\"\x80\"\r\n", 3, "no code page 932 text"},
        {k + "\"v\"=\"\x85\x40\"\r\n", 3, "no code page 932 text"},
        {k + "\"v\"=\"" + std::string(reg::kMaxValueBytes, 'x') + "\"\r\n", 3, "longer than 1 MiB"},
    };
    for (const Case& c : cases) {
        const reg::ParseResult r = Parse(c.file);
        EXPECT_FALSE(r.hive) << c.file.substr(0, 80);
        EXPECT_EQ(r.errorLine, c.line) << r.error;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error << " / expected: " << c.says;
        EXPECT_EQ(r.error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << r.error;
    }

    struct Case5 {
        std::vector<std::uint8_t> file;
        std::size_t line;
        const char* says;
    };
    const std::u16string k5 = u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\k]\r\n";
    std::vector<std::uint8_t> half = Utf16File(k5 + u"\"v\"=\"1\"");
    half.push_back('x');
    const Case5 cases5[] = {
        {Utf16File(k5 + u"\"v\"=\"\xD800\"\r\n"), 3, "unpaired UTF-16 surrogate"},
        {Utf16File(k5 + u"\"v\"=\"\xDC00\xD800\"\r\n"), 3, "unpaired UTF-16 surrogate"},
        {Utf16File(k5 + std::u16string(u"\"v\"=\"a\0\"\r\n", 10)), 3, "NUL character"},
        {Utf16File(k5 + u"\"v\"=hex(7):41,00,00\r\n"), 3, "odd number of bytes"},
        {Utf16File(k5 + u"\"v\"=hex(1):00,d8\r\n"), 3, "unpaired UTF-16 surrogate"},
        {half, 3, "half a UTF-16 character"},
        {Utf16File(u"Windows Registry Editor Version 4.00\r\n"), 1, "not a registry file"},
    };
    for (const Case5& c : cases5) {
        const reg::ParseResult r = Parse(c.file);
        EXPECT_FALSE(r.hive);
        EXPECT_EQ(r.errorLine, c.line) << r.error;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error << " / expected: " << c.says;
    }
}

TEST(RegFile, LargeInputStaysLinear) {
    // A 3 MB comment line, a key with 50,000 sub-keys and one with 50,000
    // values, each looked up by name: a quadratic reader would take minutes.
    std::string file = "REGEDIT4\r\n;" + std::string(3 << 20, 'c') + "\r\n";
    for (int i = 0; i < 50000; ++i) file += "[HKEY_LOCAL_MACHINE\\k\\" + std::to_string(i) + "]\r\n";
    file += "[HKEY_LOCAL_MACHINE\\v]\r\n";
    for (int i = 0; i < 50000; ++i) file += "\"" + std::to_string(i) + "\"=dword:1\r\n";
    for (int i = 0; i < 50000; i += 2) file += "\"" + std::to_string(i) + "\"=-\r\n";
    const auto start = std::chrono::steady_clock::now();
    const reg::ParseResult r = Parse(file);
    ASSERT_TRUE(r.hive) << r.error;
    EXPECT_EQ(r.hive->root.FindSubKey("k")->SubKeys().size(), 50000u);
    EXPECT_EQ(r.hive->root.FindSubKey("v")->Values().size(), 25000u);
    EXPECT_EQ(r.hive->root.FindSubKey("v")->Values().front().name, "1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}
