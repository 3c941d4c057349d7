// The event list's filter: set in its dialog after a run, with sorting,
// the detail dialog's steps and the export inside it, cleared again, kept
// over a new run and for the next start.

#include "run_support.h"

#include <algorithm>
#include <dlgs.h>

using namespace quorvin::gui_test;

namespace {

const std::string kFilterTitle = "絞り込み";
// The status bar pane of the filter's count, after the message pane and the four indicators.
constexpr int kFilterPane = 5;

std::string Description() {
    return "local ADMIN\n"
           "computer ADMIN\n"
           "computer PC1\n"
           "  systemroot C:\\WINDOWS\n"
           "  log System\n"
           "    event -5h error Disk 7 \"bad block one\"\n"
           "    event -4h information Tcpip 4201 \"lan up\"\n"
           "    event -3h error Disk 11 \"controller error\"\n"
           "  log Application\n"
           "    event -30m warning App 9 \"Taro logon warned\"\n"
           "computer PC2\n"
           "  systemroot C:\\WINDOWS\n"
           "  log System\n"
           "    event -2h error Disk 7 \"bad block two\"\n"
           "    event -1h information EventLog 6008 \"unexpected shutdown for taro\"\n";
}

// Opens the filter dialog with Ctrl+F in the list, sets the IDs and the
// text, and presses `button`; false when the dialog did not show or stay closed.
bool SetFilter(App& app, const std::string& ids, const std::string& text, int button = IDOK) {
    app.KeyWithModifier(app.list, VK_CONTROL, 'F');
    HWND dialog = app.WaitForDialog(kFilterTitle);
    if (!dialog) return false;
    SetControlText(dialog, IDC_FILTER_EVENT_IDS, ids);
    SetControlText(dialog, IDC_FILTER_TEXT, text);
    app.ClickButton(dialog, button);
    if (!app.WaitForNoDialog()) return false;
    app.Settle();
    return true;
}

std::vector<std::string> Column(const App& app, int column) {
    std::vector<std::string> cells;
    for (int row = 0; row < app.RowCount(); ++row) cells.push_back(app.Cell(row, column));
    return cells;
}

using Cells = std::vector<std::string>;

}  // namespace

TEST(Filter, ByIdAndTextWithSortDetailsExportClearAndANewRun) {
    TestNetwork net(Description());
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    App app(net.Arguments());
    ASSERT_READY(app);
    ASSERT_TRUE(EndsWith(CompleteRun(app), "ﾄｰﾀﾙ：6件"));
    ASSERT_EQ(app.RowCount(), 6);
    EXPECT_EQ(app.StatusText(kFilterPane), "");

    // Bad fields are refused in the dialog, which stays open: an ID list
    // without its end, and a character CP932 has not (read as '?', it
    // would match question marks).
    app.KeyWithModifier(app.list, VK_CONTROL, 'F');
    HWND dialog = app.WaitForDialog(kFilterTitle);
    ASSERT_NE(dialog, nullptr);
    const struct {
        const wchar_t *ids, *text;
        const char* refusal;
    } bad[] = {
        {L"7-", L"", "イベントID: '7-' に範囲の終わりがありません。"},
        {L"", L"ab\U0001F600", "メッセージの文字列: 3 文字目はシフトJISにない文字のため使えません。"},
    };
    for (const auto& fields : bad) {
        SendMessageW(GetDlgItem(dialog, IDC_FILTER_EVENT_IDS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fields.ids));
        SendMessageW(GetDlgItem(dialog, IDC_FILTER_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fields.text));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        HWND refusal = app.WaitForDialog("注意");
        ASSERT_NE(refusal, nullptr);
        EXPECT_EQ(app.DialogText(refusal), fields.refusal);
        app.ClickButton(refusal, IDOK);
        ASSERT_NE(app.WaitForDialog(kFilterTitle), nullptr);
    }
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.RowCount(), 6);

    // By ID with a range and an exclusion: 7 to 11 but not 9.
    ASSERT_TRUE(SetFilter(app, "7-11,-9", ""));
    EXPECT_EQ(Column(app, 6), (Cells{"11", "7", "7"}));
    EXPECT_EQ(app.StatusText(0), "0/3");
    EXPECT_EQ(app.StatusText(kFilterPane), "3 / 6 件");
    // Sorting orders what is shown (newest first); the detail dialog steps through it only.
    app.ClickHeader(2);
    EXPECT_EQ(Column(app, 4), (Cells{"PC2", "PC1", "PC1"}));
    EXPECT_EQ(Column(app, 6), (Cells{"7", "11", "7"}));
    RECT rect{};
    ASSERT_TRUE(app.RowRect(0, rect));
    app.ClickList({rect.left + 60, (rect.top + rect.bottom) / 2}, true);
    HWND detail = app.WaitForDialog(kDetailTitle);
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(EndsWith(ControlText(detail, IDC_DETAIL_MESSAGE), ":bad block two"));
    for (const char* message : {":controller error", ":bad block one"}) {
        app.ClickButton(detail, IDC_DETAIL_NEXT);
        app.Settle();
        EXPECT_TRUE(EndsWith(ControlText(detail, IDC_DETAIL_MESSAGE), message));
        EXPECT_EQ(app.StatusText(kFilterPane), "3 / 6 件");
    }
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(detail, IDC_DETAIL_NEXT)));
    app.ClickButton(detail, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // The export writes what is shown, in the shown order, and its dialog
    // says so. The CSV filter chosen, a name without extension gets ".csv".
    TempFile file(L"quorvin-filtered.csv");
    app.Command(ID_SAVE_RESULTS);
    HWND save = app.WaitForFileDialog();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(Narrow(WindowText(save)), "名前を付けて保存 (絞り込み中: 3 / 6 件)");
    HWND types = GetDlgItem(save, cmb1);
    ASSERT_EQ(SendMessageW(types, CB_GETCOUNT, 0, 0), 3);
    SendMessageW(types, CB_SETCURSEL, 1, 0);
    // A choice with the mouse or the keys ends in both notifications.
    for (const WORD code : {CBN_SELCHANGE, CBN_SELENDOK})
        SendMessageW(save, WM_COMMAND, MAKEWPARAM(cmb1, code), reinterpret_cast<LPARAM>(types));
    ASSERT_TRUE(app.ChooseFile(save, file.Path().substr(0, file.Path().size() - 4)));
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 4);
    const std::size_t two = bytes.find(",PC2,Disk,7,"), error = bytes.find(",PC1,Disk,11,"),
                      one = bytes.find(",PC1,Disk,7,");
    EXPECT_TRUE(two != std::string::npos && two < error && error < one && one != std::string::npos) << bytes;
    EXPECT_TRUE(EndsWith(bytes, ":bad block one\r\n"));

    // By text, ASCII in either case.
    ASSERT_TRUE(SetFilter(app, "", "TARO"));
    EXPECT_EQ(Column(app, 6), (Cells{"9", "6008"}));
    EXPECT_EQ(app.StatusText(kFilterPane), "2 / 6 件");

    // A new run keeps the filter and applies it as rows arrive.
    ASSERT_TRUE(EndsWith(CompleteRun(app), "ﾄｰﾀﾙ：6件"));
    EXPECT_EQ(Column(app, 6).size(), 2u);
    EXPECT_EQ(app.StatusText(kFilterPane), "2 / 6 件");

    // The command clears it, and the dialog's clear button does too.
    app.Command(ID_VIEW_CLEAR_FILTER);
    app.Settle();
    EXPECT_EQ(app.RowCount(), 6);
    EXPECT_EQ(app.StatusText(kFilterPane), "");
    ASSERT_TRUE(SetFilter(app, "6008", ""));
    EXPECT_EQ(app.RowCount(), 1);
    ASSERT_TRUE(SetFilter(app, "6008", "", IDC_FILTER_CLEAR));
    EXPECT_EQ(app.RowCount(), 6);

    // The last filter is there at the next start, in values of its own.
    ASSERT_TRUE(SetFilter(app, "4201", ""));
    app.Command(ID_APP_EXIT);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
    std::string stored;
    EXPECT_TRUE(settings::ReadString("ViewFilterEventIds", stored));
    EXPECT_EQ(stored, "4201");
    EXPECT_EQ(settings::ValueNames().size(), 27u + 7u + 2u);

    App again(net.Arguments());
    ASSERT_READY(again);
    ASSERT_EQ(CompleteRun(again).empty(), false);
    EXPECT_EQ(Column(again, 6), (Cells{"4201"}));
    EXPECT_EQ(again.StatusText(kFilterPane), "1 / 6 件");
    EXPECT_EQ(again.Close(), 0);
}

// Another program's rows under a filter: the row it inserts is shown where
// it asked, so it can fill in its texts, and stays until the rows are
// looked at again (here a sort).
TEST(Filter, ARowAnotherProgramInsertsStaysShownUntilTheNextSort) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    for (const char* id : {"7", "9", "7"})
        app.InsertRow({2, {"ｴﾗｰ", "2003/01/15 10:00:00  ", "ｼｽﾃﾑ", "pc01", "Disk", id, "m"}});
    app.Settle();
    ASSERT_TRUE(SetFilter(app, "7", ""));
    EXPECT_EQ(app.RowCount(), 2);
    EXPECT_EQ(app.StatusText(0), "0/2");
    app.InsertRow({0, {"情報", "2003/01/16 10:00:00  ", "ｼｽﾃﾑ", "pc02", "Tcpip", "4201", "up"}});
    app.InsertRow({2, {"ｴﾗｰ", "2003/01/14 10:00:00  ", "ｼｽﾃﾑ", "pc02", "Disk", "7", "down"}});
    app.Settle();
    EXPECT_EQ(Column(app, 6), (Cells{"7", "7", "4201", "7"}));
    EXPECT_EQ(Column(app, 7), (Cells{"m", "m", "up", "down"}));
    EXPECT_EQ(app.StatusText(0), "0/4");
    EXPECT_EQ(app.StatusText(kFilterPane), "4 / 5 件");
    // Newest first; the row that does not match goes.
    app.ClickHeader(2);
    EXPECT_EQ(Column(app, 7), (Cells{"m", "m", "down"}));
    EXPECT_EQ(app.StatusText(kFilterPane), "3 / 5 件");
    EXPECT_EQ(app.Close(), 0);
}

TEST(Filter, AStoredFilterThatIsNoFilterIsReportedAndEverythingShown) {
    ASSERT_TRUE(FreshSettings(nullptr));
    ASSERT_TRUE(settings::SetString("ViewFilterEventIds", "529,,675"));
    App app;
    HWND box = app.WaitForDialog("注意", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(Contains(app.DialogText(box), "イベントID: 2 番目の項目が空です。")) << app.DialogText(box);
    app.ClickButton(box, IDOK);
    ASSERT_READY(app);
    EXPECT_EQ(app.StatusText(kFilterPane), "");
    EXPECT_EQ(app.Close(), 0);
    // The exit writes the filter in use over it: the next start says nothing.
    std::string stored;
    EXPECT_TRUE(settings::ReadString("ViewFilterEventIds", stored));
    EXPECT_EQ(stored, "");
}
