// Saved event log files opened from the file menu: two files chosen in the
// open dialog fill the list as a run does, and the report names each.

#include "run_support.h"

#include "gui/resources/resource.h"
#include "unit/formats/evtx/sample_log.h"

using namespace quorvin::gui_test;

namespace {

TEST(LogFile, TwoSavedFilesFillTheListAsARunDoes) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile first(L"quorvin-saved-1.evtx"), second(L"quorvin-saved-2.evtx");
    using namespace quorvin::evtx;
    const std::vector<std::uint8_t> a = WriteFile(test::SampleTemplates(), test::SampleRecords(1, 120));
    const std::vector<std::uint8_t> b = WriteFile(test::SampleTemplates(), test::SampleRecords(500, 30));
    ASSERT_TRUE(first.Write(std::string(a.begin(), a.end())));
    ASSERT_TRUE(second.Write(std::string(b.begin(), b.end())));
    App app;
    ASSERT_READY(app);

    // Both files at once, as the dialog takes several: the folder first,
    // then "a" "b" in its name box.
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_OPEN_LOG_FILES, 0), 0);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    const std::wstring& path = first.Path();
    ASSERT_TRUE(app.ChooseFile(dialog, path.substr(0, path.rfind(L'\\') + 1)));
    app.Settle();
    ASSERT_TRUE(app.ChooseFile(dialog, L"\"quorvin-saved-1.evtx\" \"quorvin-saved-2.evtx\""));
    HWND result = nullptr;
    const std::string report = WaitForReport(app, result);
    ASSERT_NE(result, nullptr);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();

    EXPECT_TRUE(Contains(report, "quorvin-saved-1.evtx]ﾛｸﾞﾌｧｲﾙの読み込みを終了しました。120件")) << report;
    EXPECT_TRUE(Contains(report, "quorvin-saved-2.evtx]ﾛｸﾞﾌｧｲﾙの読み込みを終了しました。30件")) << report;
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：150件")) << report;
    ASSERT_EQ(app.RowCount(), 150);
    // The first record: level 1 of its own source, the System channel, the record's computer.
    EXPECT_EQ(app.Cell(0, 1), "エラー");
    EXPECT_EQ(app.Cell(0, 3), "ｼｽﾃﾑ");
    EXPECT_EQ(app.Cell(0, 4), "dc01.example.local");
    EXPECT_EQ(app.Cell(0, 5), "Service Control Manager");
    EXPECT_EQ(app.Cell(0, 6), "1102");
    // For the help's picture: the window stays as it is for the time asked.
    wchar_t hold[16] = {};
    if (GetEnvironmentVariableW(L"QUORVIN_SCREENSHOT_HOLD_MS", hold, 16) > 0) Sleep(static_cast<DWORD>(_wtoi(hold)));
}

}  // namespace
