#include "formats/ini.h"

#include <gtest/gtest.h>

using quorvin::network::IniFile;
using quorvin::network::ParseIni;

namespace {

IniFile Parse(std::string_view text) {
    IniFile file;
    std::string error;
    EXPECT_TRUE(ParseIni(text, file, error)) << error;
    return file;
}

std::string ErrorOf(std::string_view text) {
    IniFile file;
    std::string error;
    EXPECT_FALSE(ParseIni(text, file, error));
    return error;
}

}  // namespace

TEST(Ini, SectionsKeysCommentsAndBlanks) {
    const IniFile file = Parse(
        "; a comment\r\n"
        "\r\n"
        "  [ services ]  \r\n"
        "eventlog = off\r\n"
        "\tshares=auth ; not a comment\r\n"
        "[Accounts]\n"
        "admin=\n"
        "user=a=b\n");
    ASSERT_EQ(file.sections.size(), 2u);
    const auto* services = file.Find("SERVICES");
    ASSERT_NE(services, nullptr);
    EXPECT_EQ(services->line, 3u);
    ASSERT_EQ(services->entries.size(), 2u);
    EXPECT_EQ(services->Find("EventLog")->value, "off");
    EXPECT_EQ(services->Find("shares")->value, "auth ; not a comment");
    EXPECT_EQ(services->Find("shares")->line, 5u);
    const auto* accounts = file.Find("accounts");
    ASSERT_NE(accounts, nullptr);
    EXPECT_EQ(accounts->Find("admin")->value, "");
    EXPECT_EQ(accounts->Find("user")->value, "a=b");  // split at the first "="
    EXPECT_EQ(accounts->Find("nobody"), nullptr);
    EXPECT_EQ(file.Find("browse"), nullptr);
}

TEST(Ini, Cp932NamesWithTrailBytesThatLookLikeAscii) {
    // "ソ" is 83 5C and "ﾝ" is one byte; "\x81\x5D" is a character whose trail byte is "]".
    const IniFile file = Parse("[browse:ソ\x81\x5D]\nソフト=1\n");
    ASSERT_EQ(file.sections.size(), 1u);
    EXPECT_EQ(file.sections[0].name, "browse:ソ\x81\x5D");
    EXPECT_EQ(file.sections[0].Find("ソフト")->value, "1");
}

TEST(Ini, Utf8AndUtf16FilesAreReadAsCp932) {
    const IniFile utf8 = Parse("\xEF\xBB\xBF[local]\ncomputer=\xE3\x82\xBD\n");  // U+30BD "ソ"
    EXPECT_EQ(utf8.Find("local")->Find("computer")->value, "ソ");

    const std::string utf16("\xFF\xFE[\0a\0]\0\n\0k\0=\0\xBD\x30", 16);
    const IniFile wide = Parse(utf16);
    ASSERT_NE(wide.Find("a"), nullptr);
    EXPECT_EQ(wide.Find("a")->Find("k")->value, "ソ");
}

TEST(Ini, BadLinesNameTheirLine) {
    EXPECT_EQ(ErrorOf("key=value\n"), "line 1: key \"key\" before any section");
    EXPECT_EQ(ErrorOf("[a]\n\njust text\n"), "line 3: expected [section] or key=value");
    EXPECT_EQ(ErrorOf("[a\n"), "line 1: section name without \"]\"");
    EXPECT_EQ(ErrorOf("[a] x\n"), "line 1: text after the section name");
    EXPECT_EQ(ErrorOf("[ ]\n"), "line 1: empty section name");
    EXPECT_EQ(ErrorOf("[a]\n=v\n"), "line 2: empty key before \"=\"");
    EXPECT_EQ(ErrorOf("[a]\nk=1\nK=2\n"), "line 3: key \"K\" already given on line 2");
    EXPECT_EQ(ErrorOf("[a]\n[A]\n"), "line 2: section [A] already opened on line 1");
    // Repeats are looked for within a section; double-byte keys compare as units.
    EXPECT_EQ(Parse("[a]\nk=1\n[b]\nk=2\n").sections.size(), 2u);
    EXPECT_EQ(Parse("[a]\n\x83\x41=1\n\x83\x61=2\n").sections[0].entries.size(), 2u);
    EXPECT_EQ(ErrorOf("[a]\nk=1\n[b]\nx=1\n[c]\n[B]\n"), "line 6: section [B] already opened on line 3");
    EXPECT_EQ(ErrorOf(std::string_view("[a]\nk=\0\n", 8)), "line 2: NUL byte in the line");
    // A "]" that is a trail byte does not close the section name.
    EXPECT_EQ(ErrorOf("[\x81\x5D\n"), "line 1: section name without \"]\"");
}

TEST(Ini, EmptyAndOddInputs) {
    EXPECT_TRUE(Parse("").sections.empty());
    EXPECT_TRUE(Parse("\n\n;x\r\n").sections.empty());
    EXPECT_TRUE(Parse("\xEF\xBB\xBF").sections.empty());
    EXPECT_EQ(Parse("[a]\r\nk=v").Find("a")->Find("k")->value, "v");  // no line end at the end
    // A lead byte at the very end of a line does not swallow the line end.
    EXPECT_EQ(Parse("[a]\nk=\x83\n[b]\n").sections.size(), 2u);
    // An odd byte of a UTF-16 file is dropped.
    EXPECT_TRUE(Parse(std::string("\xFF\xFE\n\0x", 5)).sections.empty());
}
