// Rules of the windows that need no window: the command line, texts cut to
// their room, command texts, file dialog filters and file-error messages.

#include <gtest/gtest.h>

#include "rules/command_line.h"
#include "core/display_text.h"
#include "rules/file_error.h"
#include "core/file_filter.h"

using namespace quorvin::app;

TEST(GuiCommandLine, NetworkFolderFollowsTheSwitchInAnyCaseAndLastOneWins) {
    EXPECT_EQ(ParseGuiCommandLine({}).networkFolder, L"");
    EXPECT_TRUE(ParseGuiCommandLine({}).valid);
    EXPECT_EQ(ParseGuiCommandLine({L"/network", L"C:\\net"}).networkFolder, L"C:\\net");
    EXPECT_EQ(ParseGuiCommandLine({L"-NETWORK", L"x"}).networkFolder, L"x");
    EXPECT_EQ(ParseGuiCommandLine({L"/network", L"a", L"/Network", L"b"}).networkFolder, L"b");
    // Other arguments are no options of the window program: they are left alone.
    const GuiCommandLine other = ParseGuiCommandLine({L"file.txt", L"/networks", L"/net", L"y"});
    EXPECT_TRUE(other.valid);
    EXPECT_EQ(other.networkFolder, L"");
}

TEST(GuiCommandLine, SwitchWithoutFolderIsInvalid) {
    EXPECT_FALSE(ParseGuiCommandLine({L"/network"}).valid);
    EXPECT_FALSE(ParseGuiCommandLine({L"/network", L"a", L"/network"}).valid);
}

TEST(CutToBytes, NeverSplitsADoubleByteCharacter) {
    EXPECT_EQ(CutToBytes("abc", 5), "abc");
    EXPECT_EQ(CutToBytes("abcdef", 3), "abc");
    EXPECT_EQ(CutToBytes("", 0), "");
    // "アイ" is two double-byte characters: three bytes hold only the first.
    const std::string two = "アイ";
    ASSERT_EQ(two.size(), 4u);
    EXPECT_EQ(CutToBytes(two, 3), "ア");
    EXPECT_EQ(CutToBytes("a" + two, 4), "aア");
    // Half-width katakana are single bytes.
    EXPECT_EQ(CutToBytes("ｺﾝﾋﾟｭｰﾀ", 3), "ｺﾝﾋ");
    // A lead byte that ends the text is one byte of its own.
    EXPECT_EQ(CutToBytes("ab\x83", 3), "ab\x83");
    EXPECT_EQ(CutToBytes(std::string(300, 'x'), 255).size(), 255u);
}

TEST(SplitCommandText, PromptBeforeAndTipAfterTheFirstLineFeed) {
    const CommandTexts texts = SplitCommandText("ヘルプ\nヘルプの表示");
    EXPECT_EQ(texts.prompt, "ヘルプ");
    EXPECT_EQ(texts.tip, "ヘルプの表示");
    EXPECT_EQ(SplitCommandText("only").prompt, "only");
    EXPECT_EQ(SplitCommandText("only").tip, "");
    EXPECT_EQ(SplitCommandText("a\nb\nc").tip, "b\nc");
    EXPECT_EQ(SplitCommandText("").prompt, "");
}

TEST(DialogFilter, PipesBecomeNulsAndTheListEndsInTwo) {
    using namespace std::string_literals;
    EXPECT_EQ(DialogFilter("a|*.a|b|*.b||"), "a\0*.a\0b\0*.b\0\0"s);
    // A filter without its end gets one.
    EXPECT_EQ(DialogFilter("a|*.a"), "a\0*.a\0\0"s);
    EXPECT_EQ(DialogFilter(""), "\0\0"s);
    // A NUL ends the text where it stands.
    EXPECT_EQ(DialogFilter("a|*.a\0b|*.b||"s), "a\0*.a\0\0"s);
    // "ポ" is 83 7C: its second byte is no separator.
    EXPECT_EQ(DialogFilter("ポ|*.p||"), "ポ\0*.p\0\0"s);
    EXPECT_EQ(DialogFilter("テキストファイル(*.txt)|*.txt||"), "テキストファイル(*.txt)\0*.txt\0\0"s);
}

TEST(FileError, CausesOfCommonCodesAndTheirStrings) {
    EXPECT_EQ(FileErrorCauseOf(0), FileErrorCause::None);
    EXPECT_EQ(FileErrorCauseOf(2), FileErrorCause::FileNotFound);
    EXPECT_EQ(FileErrorCauseOf(3), FileErrorCause::BadPath);
    EXPECT_EQ(FileErrorCauseOf(123), FileErrorCause::BadPath);
    EXPECT_EQ(FileErrorCauseOf(5), FileErrorCause::AccessDenied);
    EXPECT_EQ(FileErrorCauseOf(32), FileErrorCause::SharingViolation);
    EXPECT_EQ(FileErrorCauseOf(33), FileErrorCause::LockViolation);
    EXPECT_EQ(FileErrorCauseOf(112), FileErrorCause::DiskFull);
    EXPECT_EQ(FileErrorCauseOf(39), FileErrorCause::DiskFull);
    EXPECT_EQ(FileErrorCauseOf(38), FileErrorCause::EndOfFile);
    EXPECT_EQ(FileErrorCauseOf(9999), FileErrorCause::Generic);
    // The texts are string table entries 61856 (no cause) to 61870 (end of file).
    EXPECT_EQ(FileErrorStringId(FileErrorCause::None), 61856u);
    EXPECT_EQ(FileErrorStringId(FileErrorCause::AccessDenied), 61861u);
    EXPECT_EQ(FileErrorStringId(FileErrorCause::DiskFull), 61869u);
    EXPECT_EQ(FileErrorStringId(FileErrorCause::EndOfFile), 61870u);
}

TEST(FileError, PathTakesThePlaceOfEveryPercentOne) {
    EXPECT_EQ(FillFileErrorText("%1 へのｱｸｾｽは拒否されました。", "C:\\a.txt"), "C:\\a.txt へのｱｸｾｽは拒否されました。");
    EXPECT_EQ(FillFileErrorText("%1 %1", "x"), "x x");
    // A path holding "%1" is not filled again; a lone "%" stays.
    EXPECT_EQ(FillFileErrorText("[%1]", "%1"), "[%1]");
    EXPECT_EQ(FillFileErrorText("100%", "x"), "100%");
    EXPECT_EQ(FillFileErrorText("%2", "x"), "%2");
}
