// Collecting from the window on simulated networks: the start dialog and
// its refusals, the run with its progress positions, rows and report, the
// stop in its three places, Esc and Enter in the progress dialog, the
// result dialog's copy, the event detail dialog and the debug trace.

#include "run_support.h"

#include "support/evtx_test_util.h"

#include <fstream>
#include <sstream>

using namespace quorvin::gui_test;

namespace {

// Two computers; five events, all within the default window of three days.
const char* const kTwoComputers =
    "local ADMIN\n"
    "computer ADMIN\n"
    "computer PC1\n"
    "  systemroot C:\\WINDOWS\n"
    "  log System\n"
    "    event -2h error Disk 7 \"disk one\"\n"
    "    event -1h information Tcpip 4201 \"lan\"\n"
    "  log Security\n"
    "    event -1h success Security 528 \"admin\"\n"
    "  log Application\n"
    "    event -30m warning App 1 \"warn\"\n"
    "computer PC2\n"
    "  systemroot C:\\WINDOWS\n"
    "  log Application\n"
    "    event -10m information App 2 \"late\"\n";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A run's progress positions as the program wrote them, one per line.
class PositionLog {
public:
    explicit PositionLog(const std::filesystem::path& folder)
        : path_(folder / "positions.txt"), environment_(L"QUORVIN_PROGRESS_LOG", path_.wstring()) {}
    std::string Text() const { return ReadFile(path_); }
    void Clear() const { std::filesystem::remove(path_); }

private:
    std::filesystem::path path_;
    ScopedEnvironment environment_;
};

TEST(Run, CompleteRunOverTwoComputersFillsTheListAndTheReport) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    PositionLog positions(net.Folder());
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    app.ClickButton(start, IDOK);
    HWND progress = app.WaitForDialog(kProgressTitle);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(ControlText(progress, IDC_STOP), "中止");
    EXPECT_FALSE(GetWindowLongW(progress, GWL_STYLE) & WS_SYSMENU);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(progress, IDOK)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(progress, IDCANCEL)));
    EXPECT_EQ(SendMessageW(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, 0), 1000);

    HWND result = nullptr;
    const std::string report = WaitForReport(app, result);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(positions.Text(), "111\r\n222\r\n323\r\n444\r\n555\r\n656\r\n");
    // The bar stays where the last step put it.
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n", 0), 0u) << report;
    EXPECT_TRUE(Contains(report, "確認:(PC1)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n")) << report;
    EXPECT_TRUE(Contains(report, "確認:(PC1)ｾｷｭﾘﾃｨｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\n")) << report;
    EXPECT_TRUE(Contains(report, "確認:(PC2)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得を終了しました。\r\n")) << report;
    EXPECT_TRUE(EndsWith(report, "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\nﾄｰﾀﾙ：5件")) << report;

    // Rows in collection order: PC1 System newest first, Security, Application, then PC2.
    ASSERT_EQ(app.RowCount(), 5);
    EXPECT_EQ(app.Cell(0, 4), "PC1");
    EXPECT_EQ(app.Cell(0, 1), "成功");
    EXPECT_EQ(app.Cell(0, 6), "4201");
    EXPECT_EQ(app.Cell(1, 1), "エラー");
    EXPECT_EQ(app.Cell(1, 7), "ｿｰｽ (Disk) 内のｲﾍﾞﾝﾄ ID (7) に関する説明が見つかりません。次の挿入文字列が含まれています:disk one");
    EXPECT_EQ(app.Cell(2, 3), "ｾｷｭﾘﾃｨ");
    EXPECT_EQ(app.Cell(3, 5), "App");
    EXPECT_EQ(app.Cell(4, 4), "PC2");
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // The rows were not exported: the exit asks.
    PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

TEST(Run, TheResultSummaryPutsFailedComputersFirstAndTheTreeMarksThemUntilTheNextRun) {
    TestNetwork net(std::string(kTwoComputers) + "computer PC3\n  services eventlog=off\n");
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;PC3;"));
    App app(net.Arguments());
    ASSERT_READY(app);
    std::string report;
    HWND result = RunToResult(app, report);
    ASSERT_NE(result, nullptr);

    // Above the report, one row per computer: PC3, which is off, first.
    HWND summary = GetDlgItem(result, IDC_RESULT_SUMMARY);
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(IsWindowVisible(summary));
    ASSERT_EQ(app.RowCount(summary), 3);
    EXPECT_EQ(app.ColumnTitle(2, summary), "失敗したﾛｸﾞ");
    EXPECT_EQ(app.Cell(0, 0, summary) + "|" + app.Cell(0, 1, summary) + "|" + app.Cell(0, 2, summary),
              "PC3|0|ｼｽﾃﾑ、ｾｷｭﾘﾃｨ、ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(app.Cell(0, 3, summary).rfind("ｲﾍﾞﾝﾄのｵｰﾌﾟﾝに失敗しました。 ", 0), 0u) << app.Cell(0, 3, summary);
    EXPECT_EQ(app.Cell(1, 0, summary) + "|" + app.Cell(1, 1, summary) + "|" + app.Cell(1, 2, summary), "PC1|4|");
    EXPECT_EQ(app.Cell(2, 0, summary) + "|" + app.Cell(2, 1, summary), "PC2|1");
    EXPECT_TRUE(Contains(report, "失敗:(PC3)ｼｽﾃﾑﾛｸﾞの取得に失敗しました。\r\n")) << report;

    // The dialog is resizable: a larger one gives the report the room.
    EXPECT_TRUE(GetWindowLongW(result, GWL_STYLE) & WS_THICKFRAME);
    RECT before{}, after{}, dialog{};
    ASSERT_TRUE(GetWindowRect(GetDlgItem(result, IDC_REPORT), &before));
    ASSERT_TRUE(GetWindowRect(result, &dialog));
    ASSERT_TRUE(SetWindowPos(result, nullptr, 0, 0, dialog.right - dialog.left + 200, dialog.bottom - dialog.top + 150,
                             SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_TRUE(GetWindowRect(GetDlgItem(result, IDC_REPORT), &after));
    EXPECT_EQ(after.right - after.left, before.right - before.left + 200);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 150);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // The tree marks PC3 (picture 2) until the next run starts.
    const auto images = [&] {
        std::string pictures;
        for (int entry = 0; entry < 3; ++entry) pictures += std::to_string(app.TreeItemImage(app.Entry(entry)));
        return pictures;
    };
    EXPECT_EQ(images(), "112");
    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(images(), "111");
    app.ClickButton(start, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(Run, OneComputerPositionsAndEmptyTreeRefusal) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings(nullptr));
    PositionLog positions(net.Folder());
    App app(net.Arguments());
    ASSERT_READY(app);

    // Only the root: the refusal, no start dialog.
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_START_COLLECTION, 0), 0);
    HWND refusal = app.WaitForDialog("注意");
    ASSERT_NE(refusal, nullptr);
    EXPECT_TRUE(Contains(app.DialogText(refusal), "ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。"));
    app.ClickButton(refusal, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    app.Command(ID_ADD_COMPUTER);
    HWND add = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(add, nullptr);
    SendMessageW(GetDlgItem(add, IDC_COMPUTER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"PC2"));
    app.ClickButton(add, IDOK);
    app.ClickButton(add, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    ASSERT_EQ(app.TreeNames(), std::vector<std::string>{"PC2"});
    const std::string report = CompleteRun(app);
    EXPECT_EQ(positions.Text(), "166\r\n333\r\n490\r\n");
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：1件")) << report;
    EXPECT_EQ(app.RowCount(), 1);
    EXPECT_EQ(app.Close(), 0);
}

TEST(Run, StartDialogRefusalsEnablingAndCancel) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;"));
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    // First opening: from three days back, to the end of the log.
    EXPECT_FALSE(Checked(start, IDC_FROM_LOG_START));
    EXPECT_TRUE(Checked(start, IDC_TO_LOG_END));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(start, IDC_START_DATE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(start, IDC_END_DATE)));
    SYSTEMTIME shown{};
    RemoteMemory memory(app.Process().ProcessHandle(), sizeof shown);
    ASSERT_EQ(SendMessageW(GetDlgItem(start, IDC_START_DATE), DTM_GETSYSTEMTIME, 0,
                           reinterpret_cast<LPARAM>(memory.Address())),
              GDT_VALID);
    ASSERT_TRUE(memory.Read(0, &shown, sizeof shown));
    const std::time_t threeDaysBack = std::time(nullptr) - 3 * 86400;
    std::tm expected{};
    localtime_s(&expected, &threeDaysBack);
    EXPECT_EQ(shown.wDay, expected.tm_mday);
    // The user's short date form: neither the long form nor a time.
    const LONG pickerStyle = GetWindowLongW(GetDlgItem(start, IDC_START_DATE), GWL_STYLE);
    EXPECT_EQ(pickerStyle & (DTS_LONGDATEFORMAT | DTS_TIMEFORMAT), 0);
    EXPECT_TRUE(pickerStyle & DTS_RIGHTALIGN);

    // Enabling follows the open-end boxes.
    ToggleBox(app, start, IDC_FROM_LOG_START);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(start, IDC_START_DATE)));
    ToggleBox(app, start, IDC_TO_LOG_END);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(start, IDC_END_DATE)));
    ToggleBox(app, start, IDC_FROM_LOG_START);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(start, IDC_START_DATE)));

    // Each refusal in turn; the dialog stays open with its entries.
    const auto refusal = [&](const std::string& text) {
        app.ClickButton(start, IDOK);
        HWND box = app.WaitForDialog("注意");
        if (!box) return std::string("<no message>");
        const std::string shownText = app.DialogText(box);
        app.ClickButton(box, IDOK);
        app.WaitForDialog(kStartTitle);
        Sleep(100);
        return Contains(shownText, text) ? text : shownText;
    };
    for (int id : {IDC_LOG_SYSTEM, IDC_LOG_SECURITY, IDC_LOG_APPLICATION}) ToggleBox(app, start, id);
    EXPECT_EQ(refusal("ｱﾌﾟﾘｹｰｼｮﾝ、ｾｷｭﾘﾃｨ、ｼｽﾃﾑの中から一つ以上選択してください。"),
              "ｱﾌﾟﾘｹｰｼｮﾝ、ｾｷｭﾘﾃｨ、ｼｽﾃﾑの中から一つ以上選択してください。");
    ToggleBox(app, start, IDC_LOG_SYSTEM);
    for (int id : {IDC_TYPE_INFORMATION, IDC_TYPE_ERROR, IDC_TYPE_WARNING}) ToggleBox(app, start, id);
    EXPECT_EQ(refusal("情報、警告、ｴﾗｰの中から一つ以上選択してください。"), "情報、警告、ｴﾗｰの中から一つ以上選択してください。");
    ToggleBox(app, start, IDC_TYPE_ERROR);
    ToggleBox(app, start, IDC_LOG_SECURITY);
    for (int id : {IDC_TYPE_AUDIT_SUCCESS, IDC_TYPE_AUDIT_FAILURE}) ToggleBox(app, start, id);
    EXPECT_EQ(refusal("成功の監査、失敗の監査の中から一つ以上選択してください。"),
              "成功の監査、失敗の監査の中から一つ以上選択してください。");
    ToggleBox(app, start, IDC_TYPE_AUDIT_FAILURE);

    // Start after end with both ends applied, then an end date tomorrow.
    SYSTEMTIME later = shown;
    const std::time_t tomorrow = std::time(nullptr) + 86400;
    std::tm next{};
    localtime_s(&next, &tomorrow);
    later.wYear = static_cast<WORD>(next.tm_year + 1900);
    later.wMonth = static_cast<WORD>(next.tm_mon + 1);
    later.wDay = static_cast<WORD>(next.tm_mday);
    memory.Write(0, &later, sizeof later);
    SendMessageW(GetDlgItem(start, IDC_START_DATE), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(memory.Address()));
    EXPECT_EQ(refusal("終了日が開始日より前の日付に設定されています。"), "終了日が開始日より前の日付に設定されています。");
    SendMessageW(GetDlgItem(start, IDC_END_DATE), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(memory.Address()));
    EXPECT_EQ(refusal("終了日が本日より後の日付に設定されています。"), "終了日が本日より後の日付に設定されています。");

    // Cancel: the job keeps its values, and reopening shows them.
    app.ClickButton(start, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(Checked(start, IDC_LOG_SYSTEM));
    EXPECT_TRUE(Checked(start, IDC_LOG_SECURITY));
    EXPECT_TRUE(Checked(start, IDC_TYPE_AUDIT_FAILURE));
    EXPECT_TRUE(Checked(start, IDC_TO_LOG_END));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(start, IDC_END_DATE)));

    // Other logs: a name Windows refuses is refused naming the field; two
    // channels and no log box make a job, and the text is kept.
    EXPECT_EQ(ControlText(start, IDC_OTHER_LOGS), "");
    for (int id : {IDC_LOG_SYSTEM, IDC_LOG_SECURITY}) ToggleBox(app, start, id);
    SetControlText(start, IDC_OTHER_LOGS, "Setup; a|b");
    EXPECT_EQ(refusal("その他のログ: 「a|b」にﾁｬﾈﾙ名に使えない文字"), "その他のログ: 「a|b」にﾁｬﾈﾙ名に使えない文字");
    SetControlText(start, IDC_OTHER_LOGS, " Setup ; Microsoft-Windows-PowerShell/Operational;setup");
    app.ClickButton(start, IDOK);
    HWND result = nullptr;
    WaitForReport(app, result);
    ASSERT_NE(result, nullptr);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
    std::string kept;
    EXPECT_TRUE(settings::ReadString("OtherLogs", kept));
    EXPECT_EQ(kept, " Setup ; Microsoft-Windows-PowerShell/Operational;setup");
}

// The stop that the progress dialog presses itself at a position (the
// QUORVIN_STOP_AT_POSITION seam), and the report it leaves.
std::string StoppedRun(App& app, bool applicationOnly) {
    HWND start = OpenStartDialog(app);
    if (!start) return "<no start dialog>";
    if (applicationOnly) {
        ToggleBox(app, start, IDC_LOG_SYSTEM);
        ToggleBox(app, start, IDC_LOG_SECURITY);
    }
    app.ClickButton(start, IDOK);
    HWND result = nullptr;
    const std::string report = WaitForReport(app, result);
    if (result) app.ClickButton(result, IDOK);
    app.WaitForNoDialog();
    return report;
}

TEST(Run, StopDuringTheSecondComputersSystemLog) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    ScopedEnvironment stopAt(L"QUORVIN_STOP_AT_POSITION", L"444");
    App app(net.Arguments());
    ASSERT_READY(app);
    const std::string report = StoppedRun(app, false);
    // The engine notices the stop before the first record and ends the System log.
    EXPECT_TRUE(EndsWith(report, "確認:(PC2)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n"
                                 "確認:(PC2)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n"
                                 "確認:(PC2)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n"))
        << report;
    EXPECT_FALSE(Contains(report, "ﾄｰﾀﾙ")) << report;
    EXPECT_FALSE(Contains(report, "(PC2)ｾｷｭﾘﾃｨ")) << report;
    // PC1's rows stay.
    EXPECT_EQ(app.RowCount(), 4);
    EXPECT_EQ(app.Close(), 0);
}

TEST(Run, StopBetweenLogsCancelsAtTheNextCheck) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    ScopedEnvironment stopAt(L"QUORVIN_STOP_AT_POSITION", L"222");
    App app(net.Arguments());
    ASSERT_READY(app);
    const std::string report = StoppedRun(app, true);
    // Only the Application log is chosen: no log was read before the cancel.
    EXPECT_EQ(report, "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n確認:(PC1)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n");
    EXPECT_EQ(app.RowCount(), 0);

    // The stop request was cleared: the next run (stopped again at 222
    // would need the position; this one runs all logs) completes.
    EXPECT_EQ(app.Close(), 0);
}

TEST(Run, StopAfterTheLastCheckCompletesAndIsCleared) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC2;"));
    PositionLog positions(net.Folder());
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    app.ClickButton(start, IDOK);
    HWND progress = app.WaitForDialog(kProgressTitle);
    ASSERT_NE(progress, nullptr);
    // 490 comes before the Application log, which holds one event: the
    // worker is then in its last second's pause.
    const DWORD begin = GetTickCount();
    while (positions.Text().find("490") == std::string::npos && GetTickCount() - begin < 10000) Sleep(10);
    Sleep(400);
    app.ClickButton(progress, IDC_STOP);
    HWND result = nullptr;
    std::string report = WaitForReport(app, result);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：1件")) << report;
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // StopRequested was cleared after the result dialog: the next run completes.
    report = CompleteRun(app);
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：1件")) << report;
    EXPECT_EQ(app.Close(), 0);
}

// A log of `count` events, each with a message of its own.
std::string LargeLog(int count) {
    std::string text = "local ADMIN\ncomputer ADMIN\ncomputer BIG\n  systemroot C:\\WINDOWS\n  log System\n";
    for (int i = 0; i < count; ++i)
        text += "    event -" + std::to_string(1 + i % 3000) + "s information Tcpip " + std::to_string(i) +
                " \"event " + std::to_string(i) + "\"\n";
    return text;
}

TEST(Run, LargeRunStaysResponsiveAndEscAndEnterStopIt) {
    // Rows reach the list in batches, at the engine's pace: the log must
    // last long enough to be stopped seconds before its end.
    constexpr int kCount = 100000;
    TestNetwork net(LargeLog(kCount));
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("BIG;"));
    App app(net.Arguments());
    ASSERT_READY(app);

    // Esc, Enter and "中止" each stop the run; the dialog stays until the worker ends it.
    for (const char* how : {"button", "esc", "enter"}) {
        HWND start = OpenStartDialog(app);
        ASSERT_NE(start, nullptr);
        app.ClickButton(start, IDOK);
        HWND progress = app.WaitForDialog(kProgressTitle);
        ASSERT_NE(progress, nullptr);
        HWND stop = GetDlgItem(progress, IDC_STOP);
        HWND status = GetDlgItem(progress, IDC_PROGRESS_TEXT);
        // Wait until some hundreds of rows of this run are in (the rows of
        // the run before stay until the worker empties the list; the status
        // line is empty until this run's first rows come).
        const DWORD begin = GetTickCount();
        while ((app.RowCount() < 300 || WindowText(status).empty()) && GetTickCount() - begin < 20000) Sleep(20);
        ASSERT_GE(app.RowCount(), 300) << how;
        EXPECT_TRUE(Contains(Narrow(WindowText(status)), "BIG ： system ﾛｸﾞを処理中 ﾄｰﾀﾙ ")) << Narrow(WindowText(status));

        const DWORD pressed = GetTickCount();
        if (std::string(how) == "button")
            PostMessageW(stop, BM_CLICK, 0, 0);
        else if (std::string(how) == "esc")
            PostMessageW(stop, WM_KEYDOWN, VK_ESCAPE, 0);
        else
            PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        while (IsWindowEnabled(stop) && GetTickCount() - pressed < 5000) Sleep(5);
        const DWORD answered = GetTickCount() - pressed;
        EXPECT_LT(answered, 1000u) << how;
        RecordProperty(std::string("stop_answer_ms_") + how, static_cast<int>(answered));

        HWND result = nullptr;
        const std::string report = WaitForReport(app, result);
        ASSERT_NE(result, nullptr) << how;
        EXPECT_TRUE(EndsWith(report, "確認:(BIG)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n")) << how << report;
        // The report is complete when the result dialog reads it: no row came after.
        const int rows = app.RowCount();
        EXPECT_LT(rows, kCount) << how;
        Sleep(200);
        EXPECT_EQ(app.RowCount(), rows) << how;
        app.ClickButton(result, IDOK);
        ASSERT_TRUE(app.WaitForNoDialog()) << how;
    }
    EXPECT_EQ(app.Close(), 0);
}

TEST(Run, CopyPutsTheWholeReportOnTheClipboard) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;PC3;PC4;PC5;PC6;PC7;PC8;"));
    App app(net.Arguments());
    ASSERT_READY(app);
    std::string report;
    HWND result = RunToResult(app, report);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：5件")) << report;

    app.ClickButton(result, IDC_COPY);
    Sleep(200);
    EXPECT_NE(IsWindowVisible(result), FALSE);
    const LRESULT selection = SendMessageW(GetDlgItem(result, IDC_REPORT), EM_GETSEL, 0, 0);
    EXPECT_EQ(LOWORD(selection), 0);
    EXPECT_EQ(HIWORD(selection), Wide(report).size());

    ASSERT_TRUE(OpenClipboard(nullptr));
    std::wstring unicode;
    std::string bytes;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        unicode = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        bytes = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(unicode, Wide(report));
    EXPECT_EQ(bytes, report);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace

// A channel named in the start dialog is read after the three logs: its
// rows carry the channel's name in the log column.
TEST(Run, ChannelRowsNameTheirChannel) {
    TestNetwork net(kTwoComputers);
    ASSERT_TRUE(net.Ok()) << net.Error();
    using namespace quorvin::evtx::test;
    quorvin::evtx::Template data;
    data.root = EventElement({Element(u"EventData", {}, {Element(u"Data", {{u"Name", {Text(u"Index")}}},
                                                                     {Sub(kSystemValues, quorvin::evtx::type::kUInt32)})})});
    std::vector<quorvin::evtx::WrittenRecord> records;
    for (std::uint64_t n : {1, 3}) {
        records.push_back({n, 0, {0, SystemValues(n, 7036)}});
        records.back().instance.values.push_back(Number(quorvin::evtx::type::kUInt32, n, 4));
    }
    const std::vector<std::uint8_t> file = quorvin::evtx::WriteFile({data}, records);
    std::ofstream(net.Folder() / "net" / "PC1" / "logs" / "Microsoft-Windows-Test%4Operational.evtx",
                  std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    ASSERT_TRUE(FreshSettings("PC1;"));
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    for (int id : {IDC_FROM_LOG_START, IDC_LOG_SYSTEM, IDC_LOG_SECURITY, IDC_LOG_APPLICATION}) ToggleBox(app, start, id);
    SetControlText(start, IDC_OTHER_LOGS, "Microsoft-Windows-Test/Operational");
    app.ClickButton(start, IDOK);
    HWND result = nullptr;
    const std::string report = WaitForReport(app, result);
    ASSERT_NE(result, nullptr);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    ASSERT_EQ(app.RowCount(), 2) << report;
    for (int row = 0; row < 2; ++row) EXPECT_EQ(app.Cell(row, 3), "Microsoft-Windows-Test/Operational") << report;

    // The filter lists the channel, checked: without System its rows stay,
    // with its box cleared (a click on it) they go, and so it is kept.
    const auto openFilter = [&app] {
        app.KeyWithModifier(app.list, VK_CONTROL, 'F');
        return app.WaitForDialog("絞り込み");
    };
    const auto channelChecked = [](HWND channels) {
        return SendMessageW(channels, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    };
    HWND filter = openFilter();
    ASSERT_NE(filter, nullptr);
    HWND channels = GetDlgItem(filter, IDC_FILTER_CHANNELS);
    ASSERT_EQ(app.RowCount(channels), 1);
    EXPECT_EQ(app.Cell(0, 0, channels), "Microsoft-Windows-Test/Operational");
    EXPECT_TRUE(channelChecked(channels));
    ToggleBox(app, filter, IDC_FILTER_SYSTEM);
    app.ClickButton(filter, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.RowCount(), 2);
    filter = openFilter();
    ASSERT_NE(filter, nullptr);
    channels = GetDlgItem(filter, IDC_FILTER_CHANNELS);
    RECT item{};
    ASSERT_TRUE(app.RowRect(0, item, channels));
    app.ClickList({item.left + 8, (item.top + item.bottom) / 2}, false, channels);
    app.Settle();
    EXPECT_FALSE(channelChecked(channels));
    EXPECT_FALSE(Checked(filter, IDC_FILTER_SYSTEM));
    app.ClickButton(filter, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.RowCount(), 0);
    EXPECT_EQ(app.Close(), 0);
    std::string hidden;
    EXPECT_TRUE(settings::ReadString("ViewFilterHiddenChannels", hidden));
    EXPECT_EQ(hidden, "Microsoft-Windows-Test/Operational");
}
