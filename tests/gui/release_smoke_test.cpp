// The program as shipped: the test command runs this test with the 32-bit
// release executable (QUORVIN_PROGRAM) under Wine set to Windows XP; in the
// windows test build it drives the build's own executable.

#include "run_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/log_record.h"
#include "services/win32/win32_platform.h"
#include "support/temp_folder.h"

using namespace quorvin::gui_test;

namespace {

TEST(ReleaseSmoke, StartsCollectsFromTheDemoNetworkAndExits) {
    settings::UseKey demo(settings::kDemoKey);
    ASSERT_TRUE(FreshSettings("DC01;FS01;PC01;NT4SV;"));
    App app(L"/network \"" + DemoNetworkFolder() + L"\"");
    ASSERT_READY(app);
    EXPECT_TRUE(WaitForWindowText(app.frame, Wide("クォーヴィン for Windows NT Ver 1.2")));

    const std::string report = CompleteRun(app);
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n", 0), 0u) << report;
    EXPECT_TRUE(Contains(report, "ﾄｰﾀﾙ：")) << report;
    EXPECT_GT(app.RowCount(), 10);

    PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

// What the help command starts (the tests' record of it), once; given by
// F1 in the event list instead of the menu with `byKey`.
std::string HelpCommandRecord(const std::wstring& arguments = L"", bool byKey = false) {
    TempFile log(L"help-log.txt");
    ScopedEnvironment seam(L"QUORVIN_HELP_LOG", log.Path());
    App app(arguments);
    std::string why, text;
    if (!app.Ready(why)) return "<" + why + ">";
    if (byKey)
        app.Key(app.list, VK_F1);
    else
        app.Command(ID_HELP_CONTENTS);
    if (!log.Read(text)) text = "<nothing started>";
    // Nothing waits for the viewer or the browser, and nothing is shown.
    if (!app.Dialogs().empty()) text += "<a dialog>";
    if (app.Close() != 0) text += "<exit code>";
    return text;
}

// The guide ships as HTML beside the program, its pictures with it; the help
// command opens it with the shell. The compiled help file is taken only where
// it can work: beside the program, with the Windows help viewer present.
TEST(ReleaseSmoke, HelpOpensTheGuideBesideTheProgramOrTheCompiledHelpWhereItWorks) {
    namespace fs = std::filesystem;
    ASSERT_TRUE(FreshSettings(nullptr));
    const std::string record = HelpCommandRecord();
    const std::string program = Narrow(ProgramPath());
    const std::string folder = program.substr(0, program.rfind('\\') + 1);
    EXPECT_EQ(record, "open " + folder + "help\\index.html\r\n");
    EXPECT_EQ(HelpCommandRecord(L"", true), record);

    const fs::path help = fs::path(ProgramPath()).parent_path() / "help";
    std::ifstream page(help / "index.html", std::ios::binary);
    const std::string html((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("<table>"), std::string::npos);  // Markdown's tables are converted too
    int pictures = 0;
    const std::regex source("src=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), source); it != std::sregex_iterator(); ++it, ++pictures)
        EXPECT_TRUE(fs::is_regular_file(help / (*it)[1].str())) << (*it)[1].str();
    EXPECT_GT(pictures, 3);
    // The console collector's manual, which its --help names, beside the guide.
    std::ifstream manual(help / "cli.html", std::ios::binary);
    const std::string cli((std::istreambuf_iterator<char>(manual)), std::istreambuf_iterator<char>());
    EXPECT_EQ(cli.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(cli.find("--strict"), std::string::npos);

    // A copy of the program beside a compiled help file starts the viewer on it.
    quorvin::network::test::TempFolder copy;
    ASSERT_TRUE(fs::copy_file(fs::path(ProgramPath()), copy.Path() / "quorvin.exe"));
    std::ofstream(copy.Path() / "quorvin.hlp") << "?_";
    ScopedEnvironment other(L"QUORVIN_PROGRAM", (copy.Path() / "quorvin.exe").wstring());
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const bool viewer = fs::is_regular_file(fs::path(std::wstring(windows, length)) / "winhlp32.exe");
    EXPECT_EQ(HelpCommandRecord(), viewer ? "winhlp32 quorvin.hlp\r\n" : "open " + Narrow(copy.Path().wstring()) + "\\help\\index.html\r\n");
}

// The event log service of this machine through the real API, as the
// 32-bit program reads it: opened, read to its end in reads the service
// accepts (at most 0x7FFFF bytes each), every record whole, and closed.
TEST(ReleaseSmoke, ReadsThisMachinesApplicationLogThroughTheEventLogService) {
    quorvin::win32::Win32Platform platform;
    std::unique_ptr<quorvin::platform::EventLog> log;
    ASSERT_EQ(platform.Get().eventLog.Open("", "Application", log), 0u);
    ASSERT_NE(log, nullptr);
    std::vector<std::uint8_t> buffer(320000);
    quorvin::platform::Error result = 0;
    int records = 0;
    for (int reads = 0; reads < 100000; ++reads) {
        std::uint32_t read = 0, needed = 0;
        result = log->Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read, needed);
        if (result == 122 && needed > buffer.size() && needed <= 0x7FFFF) {
            buffer.resize(needed);
            continue;
        }
        if (result != 0) break;
        for (std::size_t offset = 0; offset < read;) {
            quorvin::engine::LogRecord record;
            ASSERT_TRUE(quorvin::engine::ParseLogRecord(buffer.data() + offset, read - offset, record)) << offset;
            offset += record.length;
            ++records;
        }
    }
    EXPECT_EQ(result, 38u) << "after " << records << " records";
    log.reset();
}

}  // namespace
