// Not a check: sets the main window up for the documentation's picture.
// Runs only with QUORVIN_SCREENSHOT_EVENTS naming an export file (CP932,
// e.g. quorvin-cli's --csv of a run on the demo network); the window then
// stays for QUORVIN_SCREENSHOT_HOLD_MS (8000) while the picture is taken;
// the file QUORVIN_SCREENSHOT_READY, when given, is made once it is ready.

#include "run_support.h"

#include <sstream>

using namespace quorvin::gui_test;

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[2048] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 2048);
    return n > 0 && n < 2048 ? std::wstring(value, n) : std::wstring();
}

// A message as the export quotes it when it holds a comma or a double quote.
std::string Unquoted(const std::string& cell) {
    if (cell.size() < 2 || cell.front() != '"' || cell.back() != '"') return cell;
    std::string text;
    for (std::size_t i = 1; i + 1 < cell.size(); ++i) {
        text += cell[i];
        if (cell[i] == '"') ++i;
    }
    return text;
}

// Rows of an export file: the header line is skipped, the message is
// everything after the sixth comma (the other columns hold no comma).
std::vector<App::Row> ReadExport(const std::string& bytes, std::vector<std::string>& computers) {
    std::vector<App::Row> rows;
    std::istringstream lines(bytes);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        App::Row row;
        std::size_t at = 0;
        for (int field = 0; field < 6; ++field) {
            const std::size_t comma = line.find(',', at);
            if (comma == std::string::npos) break;
            row.cells.push_back(line.substr(at, comma - at));
            at = comma + 1;
        }
        if (row.cells.size() != 6) continue;
        row.cells.push_back(Unquoted(line.substr(at)));
        const std::string& type = row.cells[0];
        row.image = type == "エラー" ? 2 : type == "警告" ? 1 : type == "失敗" ? 4 : row.cells[2] == "ｾｷｭﾘﾃｨ" ? 3 : 0;
        if (std::find(computers.begin(), computers.end(), row.cells[3]) == computers.end())
            computers.push_back(row.cells[3]);
        rows.push_back(row);
    }
    return rows;
}

TEST(Screenshot, MainWindowWithComputersAndEvents) {
    const std::wstring events = Environment(L"QUORVIN_SCREENSHOT_EVENTS");
    if (events.empty()) GTEST_SKIP() << "QUORVIN_SCREENSHOT_EVENTS not set";
    std::string bytes;
    HANDLE handle = CreateFileW(events.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(handle);
    std::vector<std::string> computers;
    const std::vector<App::Row> rows = ReadExport(bytes, computers);
    ASSERT_FALSE(rows.empty());

    std::string stored;
    for (const std::string& name : computers) stored += name + ";";
    ASSERT_TRUE(FreshSettings(stored.c_str()));
    App app;
    ASSERT_READY(app);
    ShowWindow(app.frame, SW_MAXIMIZE);
    for (const App::Row& row : rows) app.InsertRow(row);
    app.Settle();
    app.ClickHeader(2);
    app.ClickRow(3);
    app.ClickTree(app.Entry(1));
    app.Settle();
    const std::wstring ready = Environment(L"QUORVIN_SCREENSHOT_READY");
    if (!ready.empty()) {
        HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
    const std::wstring hold = Environment(L"QUORVIN_SCREENSHOT_HOLD_MS");
    Sleep(hold.empty() ? 8000 : static_cast<DWORD>(std::stoul(hold)));
    EXPECT_EQ(app.Close(), 0);
}

// Not a check: the demo as a user first meets it, for scripts/demo's picture.
// Runs only with QUORVIN_DEMO_READY naming a marker file: the program starts
// on the demo network with the computers it lists, collects with the start
// dialog's defaults and selects the first event; then the marker is made and
// the window stays for QUORVIN_SCREENSHOT_HOLD_MS (8000) while the picture
// is taken. The demo's settings start afresh, as at its first start.
TEST(Screenshot, DemoAfterACollection) {
    const std::wstring ready = Environment(L"QUORVIN_DEMO_READY");
    if (ready.empty()) GTEST_SKIP() << "QUORVIN_DEMO_READY not set";
    settings::UseKey demo(settings::kDemoKey);
    ASSERT_TRUE(FreshSettings(nullptr));
    App app(L"/network \"" + DemoNetworkFolder() + L"\"");
    ASSERT_READY(app);
    ShowWindow(app.frame, SW_MAXIMIZE);
    const std::string report = CompleteRun(app);
    ASSERT_GT(app.RowCount(), 0) << report;
    app.ClickRow(0);
    app.Settle();
    HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);
    CloseHandle(marker);
    const std::wstring hold = Environment(L"QUORVIN_SCREENSHOT_HOLD_MS");
    Sleep(hold.empty() ? 8000 : static_cast<DWORD>(std::stoul(hold)));
    // The rows were not saved: the exit asks, and the demo keeps nothing.
    PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
    if (HWND question = app.WaitForDialog("確認")) app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

}  // namespace

namespace {

// Shows `dialog` for its picture: writes "x y width height" of its window
// into FOLDER\NAME.ready and waits (at most 30 s) until the picture taker
// has removed the file.
void HoldForPicture(const std::wstring& folder, const wchar_t* name, HWND dialog) {
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(dialog, &rect));
    const std::wstring path = folder + L"\\" + name + L".ready";
    const std::string line = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                             std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
    HANDLE marker = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(marker, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(marker, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(marker);
    for (int i = 0; i < 300 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
}

}  // namespace

// Not a check: every dialog of the program for the help document's pictures.
// Runs only with QUORVIN_SCREENSHOT_DIALOGS naming a folder for the markers
// (see HoldForPicture) and QUORVIN_SCREENSHOT_NETWORK the demo network.
TEST(Screenshot, EveryDialog) {
    const std::wstring folder = Environment(L"QUORVIN_SCREENSHOT_DIALOGS");
    const std::wstring network = Environment(L"QUORVIN_SCREENSHOT_NETWORK");
    if (folder.empty() || network.empty()) GTEST_SKIP() << "QUORVIN_SCREENSHOT_DIALOGS or _NETWORK not set";
    ASSERT_TRUE(FreshSettings("DC01;FS01;PC03;"));
    App app(L"/network \"" + network + L"\"");
    ASSERT_READY(app);
    app.Settle();

    PostMessageW(app.frame, WM_COMMAND, 32771, 0);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"PC01"));
    app.Settle();
    HoldForPicture(folder, L"add-computer-dialog", dialog);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    PostMessageW(app.frame, WM_COMMAND, 32781, 0);
    dialog = app.WaitForDialog("オプション");
    ASSERT_NE(dialog, nullptr);
    HoldForPicture(folder, L"options-dialog", dialog);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    PostMessageW(app.frame, WM_COMMAND, 32786, 0);
    const struct {
        const char* caption;
        const wchar_t* name;
    } pages[] = {{"ようこそ", L"quick-start-welcome"}, {"ステップ１", L"quick-start-step1"}};
    for (const auto& page : pages) {
        dialog = app.WaitForDialog(page.caption);
        ASSERT_NE(dialog, nullptr);
        HoldForPicture(folder, page.name, dialog);
        app.ClickButton(dialog, IDOK);
    }
    dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    dialog = app.WaitForDialog("ステップ２");
    ASSERT_NE(dialog, nullptr);
    HoldForPicture(folder, L"quick-start-step2", dialog);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    dialog = OpenStartDialog(app);
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, IDC_OTHER_LOGS, "Microsoft-Windows-PowerShell/Operational; Setup");
    app.Settle();
    HoldForPicture(folder, L"start-dialog", dialog);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    PostMessageW(app.frame, WM_COMMAND, 57664, 0);
    dialog = app.WaitForDialog("クォーヴィンのバージョン情報");
    ASSERT_NE(dialog, nullptr);
    HoldForPicture(folder, L"about-box", dialog);
    app.ClickButton(dialog, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // A run's result with PC03 off, the tree marking it, and one row in detail.
    std::string report;
    HWND result = RunToResult(app, report, 60000);
    ASSERT_NE(result, nullptr);
    ASSERT_TRUE(EndsWith(report, "件"));
    HoldForPicture(folder, L"result-dialog", result);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    HoldForPicture(folder, L"failed-computer", app.frame);
    RECT row{};
    ASSERT_TRUE(app.RowRect(1, row));
    app.ClickList({row.left + 60, (row.top + row.bottom) / 2}, true);
    dialog = app.WaitForDialog(kDetailTitle);
    ASSERT_NE(dialog, nullptr);
    HoldForPicture(folder, L"event-detail-dialog", dialog);
    app.ClickButton(dialog, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // The filter after the run: its dialog, then the list it leaves.
    app.KeyWithModifier(app.list, VK_CONTROL, 'F');
    dialog = app.WaitForDialog("絞り込み");
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, IDC_FILTER_EVENT_IDS, "528-529,538,-644");
    SetControlText(dialog, IDC_FILTER_TEXT, "administrator");
    app.Settle();
    HoldForPicture(folder, L"filter-dialog", dialog);
    app.ClickButton(dialog, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    HoldForPicture(folder, L"filtered-list", app.frame);

    // The summary of every event, the first group chosen.
    app.Command(ID_VIEW_CLEAR_FILTER);
    app.KeyWithModifier(app.list, VK_CONTROL, 'G');
    HWND summary = nullptr;
    for (int i = 0; i < 100 && !summary; ++i, Sleep(50)) summary = FindWindowW(L"QuorvinSummary", nullptr);
    ASSERT_NE(summary, nullptr);
    app.Settle();
    HoldForPicture(folder, L"summary-window", summary);
    EXPECT_EQ(app.Close(), 0);
}
