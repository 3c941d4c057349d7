// The event list: sorting by a column header, the position text in the
// status bar, Enter, copying selected rows, the message tooltip, typing to
// find a row, the export and the close question. Rows
// are added with the messages a collection run sends to the list.

#include "common.h"

#include "gui/resources/resource.h"

#include <ctime>
#include <thread>

using namespace quorvin::gui_test;

namespace {

const std::string kLongMessage = std::string(250, 'm') + "メッセージの続き" + std::string(200, 'z');

std::vector<App::Row> SampleRows() {
    return {
        {0, {"情報", "2003/01/15 10:00:00  ", "ｼｽﾃﾑ", "pc01", "srcA", "7", "one"}},
        {1, {"警告", "2003/01/16 09:00:00  ", "ｱﾌﾟﾘｹｰｼｮﾝ", "pc02", "srcB", "1000", "two, with, commas"}},
        {2, {"ｴﾗｰ", "2003/01/14 23:59:59  ", "ｾｷｭﾘﾃｨ", "PC01", "", "7", kLongMessage}},
    };
}

void AddRows(App& app, const std::vector<App::Row>& rows) {
    for (const App::Row& row : rows) app.InsertRow(row);
    app.Settle();
}

// Column `column` of every row, top to bottom.
std::vector<std::string> ColumnTexts(App& app, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < app.RowCount(); ++row) texts.push_back(app.Cell(row, column));
    return texts;
}

using Texts = std::vector<std::string>;

// A header click sorts by its column (the time newest first, the event ID
// by number), a second click turns the order round with equal keys kept in
// their order, and the header's arrow tells the direction.
TEST(EventList, HeaderClicksSortAndASecondClickTurnsTheOrderRound) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    ASSERT_EQ(app.RowCount(), 3);

    app.ClickHeader(2);
    EXPECT_EQ(ColumnTexts(app, 7)[0], "two, with, commas");
    EXPECT_EQ(ColumnTexts(app, 4), (Texts{"pc02", "pc01", "PC01"}));
    EXPECT_EQ(app.SortArrow(2), HDF_SORTDOWN);
    // The same header again: oldest first.
    app.ClickHeader(2);
    EXPECT_EQ(ColumnTexts(app, 4), (Texts{"PC01", "pc01", "pc02"}));
    EXPECT_EQ(app.SortArrow(2), HDF_SORTUP);

    // Names in another case sort together; the arrow moves to the column.
    app.ClickHeader(4);
    const Texts names = ColumnTexts(app, 4);
    EXPECT_EQ(names[2], "pc02");
    EXPECT_NE(names[0], names[1]);
    EXPECT_EQ(app.SortArrow(4), HDF_SORTUP);
    EXPECT_EQ(app.SortArrow(2), 0);

    // The icon column holds empty texts only: the order stays.
    const Texts before = ColumnTexts(app, 7);
    app.ClickHeader(0);
    EXPECT_EQ(ColumnTexts(app, 7), before);
    // Rows keep their images and item data through the sort.
    for (int row = 0; row < 3; ++row) EXPECT_EQ(app.Cell(row, 0), "");

    // New rows end the sorted order: no arrow, and the next click starts again.
    std::vector<App::Row> more;
    for (const char* id : {"11724", "1517", "35", "4199", "51", "528"})
        more.push_back({0, {"情報", "2003/01/10 00:00:00  ", "ｼｽﾃﾑ", "pc09", "src", id, std::string("m") + id}});
    AddRows(app, more);
    EXPECT_EQ(app.SortArrow(0), 0);
    app.ClickHeader(6);
    EXPECT_EQ(ColumnTexts(app, 6), (Texts{"7", "7", "35", "51", "528", "1000", "1517", "4199", "11724"}));
    EXPECT_EQ(app.SortArrow(6), HDF_SORTUP);
    const Texts sevens = {ColumnTexts(app, 7)[0], ColumnTexts(app, 7)[1]};
    app.ClickHeader(6);
    EXPECT_EQ(ColumnTexts(app, 6), (Texts{"11724", "4199", "1517", "1000", "528", "51", "35", "7", "7"}));
    EXPECT_EQ(app.SortArrow(6), HDF_SORTDOWN);
    EXPECT_EQ((Texts{ColumnTexts(app, 7)[7], ColumnTexts(app, 7)[8]}), sevens);
    app.ClickHeader(6);
    EXPECT_EQ(ColumnTexts(app, 6)[2], "35");
    EXPECT_EQ(app.SortArrow(6), HDF_SORTUP);
    EXPECT_EQ(app.Close(), 0);
}

TEST(EventList, PositionTextOfClicksAndKeys) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    app.ClickList({100, 100});
    EXPECT_EQ(app.StatusText(0), "0/0");
    app.Key(app.list, VK_DOWN);
    EXPECT_EQ(app.StatusText(0), "0/0");

    AddRows(app, SampleRows());
    app.ClickRow(1);
    EXPECT_EQ(app.SelectedRow(), 1);
    EXPECT_EQ(app.StatusText(0), "2/3");
    app.Key(app.list, VK_DOWN);
    EXPECT_EQ(app.StatusText(0), "3/3");
    // Below the last row: no row, whatever stays selected.
    RECT last{};
    ASSERT_TRUE(app.RowRect(2, last));
    app.ClickList({last.left + 60, last.bottom + 40});
    EXPECT_EQ(app.StatusText(0), "0/3");
    // A double-click there does nothing at all; on a row it opens the detail dialog.
    app.ClickList({last.left + 60, last.bottom + 40}, true);
    EXPECT_TRUE(app.Dialogs().empty());
    app.ClickList({last.left + 60, (last.top + last.bottom) / 2}, true);
    HWND detail = app.WaitForDialog("イベントログ");
    ASSERT_NE(detail, nullptr);
    app.ClickButton(detail, IDOK);
    EXPECT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

// The position text tells the selected row's place whatever moved the
// selection: a sort, the detail dialog's steps (which also scroll the list
// to the row) or a new run's rows. Enter opens the selected row's detail.
TEST(EventList, PositionFollowsTheSelectionThroughSortsDetailStepsAndNewRows) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    app.ClickRow(0);
    EXPECT_EQ(app.StatusText(0), "1/3");
    // Newest first: the row of the 15th moves to the middle.
    app.ClickHeader(2);
    EXPECT_EQ(app.SelectedRow(), 1);
    EXPECT_EQ(app.StatusText(0), "2/3");

    std::vector<App::Row> more;
    for (int i = 0; i < 60; ++i)
        more.push_back({0, {"情報", "2003/01/10 00:00:00  ", "ｼｽﾃﾑ", "pc09", "src", std::to_string(100 + i), "m"}});
    AddRows(app, more);
    EXPECT_EQ(app.StatusText(0), "2/63");
    // Enter on the last row the list shows whole, then two steps beyond it.
    const int perPage = static_cast<int>(SendMessageW(app.list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(perPage, 2);
    ASSERT_LT(perPage, 60);
    app.ClickRow(perPage - 1);
    app.Key(app.list, VK_RETURN);
    HWND detail = app.WaitForDialog("イベントログ");
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(detail, IDC_DETAIL_EVENT_ID))), app.Cell(perPage - 1, 6));
    app.ClickButton(detail, IDC_DETAIL_NEXT);
    app.ClickButton(detail, IDC_DETAIL_NEXT);
    app.Settle();
    EXPECT_EQ(app.SelectedRow(), perPage + 1);
    EXPECT_EQ(app.StatusText(0), std::to_string(perPage + 2) + "/63");
    const int top = static_cast<int>(SendMessageW(app.list, LVM_GETTOPINDEX, 0, 0));
    EXPECT_GT(top, 0);
    EXPECT_LT(perPage + 1, top + perPage);
    app.ClickButton(detail, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // A new run empties the list and brings its own rows: none is selected,
    // and Enter opens nothing.
    SendMessageW(app.list, LVM_DELETEALLITEMS, 0, 0);
    AddRows(app, SampleRows());
    EXPECT_EQ(app.StatusText(0), "0/3");
    app.Key(app.list, VK_RETURN);
    EXPECT_TRUE(app.Dialogs().empty());
    EXPECT_EQ(app.Close(), 0);
}

// Several rows can be selected: a sort keeps them with their events,
// Ctrl+C puts them on the clipboard as tab-separated lines under the
// titles, Enter opens the focused one, the detail dialog's steps select
// their row alone and Ctrl+A selects every row.
TEST(EventList, SelectedRowsAreCopiedWithCtrlCAndCtrlASelectsAll) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    std::vector<App::Row> rows = SampleRows();
    rows.push_back({0, {"情報", "2003/01/13 08:00:00  ", "ｼｽﾃﾑ", "pc03", "srcC", "12", "tab\there\r\nand lines"}});
    AddRows(app, rows);
    app.ClickRow(1);
    app.KeyWithModifier(app.list, VK_SHIFT, VK_DOWN);
    app.KeyWithModifier(app.list, VK_SHIFT, VK_DOWN);
    EXPECT_EQ(app.SelectedRows(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(app.StatusText(0), "4/4");
    // Newest first: pc02, pc01, PC01, pc03; the selection goes with its rows.
    app.ClickHeader(2);
    EXPECT_EQ(app.SelectedRows(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(app.StatusText(0), "4/4");

    app.KeyWithModifier(app.list, VK_CONTROL, 'C');
    std::wstring unicode;
    std::string bytes;
    ASSERT_TRUE(App::ReadClipboard(unicode, bytes));
    const std::string copied = "種類\t時刻\tｲﾍﾞﾝﾄ\tｺﾝﾋﾟｭｰﾀ名\tｿｰｽ\tｲﾍﾞﾝﾄID\tﾒｯｾｰｼﾞ\r\n"
                               "警告\t2003/01/16 09:00:00  \tｱﾌﾟﾘｹｰｼｮﾝ\tpc02\tsrcB\t1000\ttwo, with, commas\r\n"
                               "ｴﾗｰ\t2003/01/14 23:59:59  \tｾｷｭﾘﾃｨ\tPC01\t\t7\t" + kLongMessage + "\r\n"
                               "情報\t2003/01/13 08:00:00  \tｼｽﾃﾑ\tpc03\tsrcC\t12\ttab here  and lines\r\n";
    EXPECT_EQ(bytes, copied);
    EXPECT_EQ(unicode, Wide(copied));

    app.Key(app.list, VK_RETURN);
    HWND detail = app.WaitForDialog("イベントログ");
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(detail, IDC_DETAIL_EVENT_ID))), "12");
    app.ClickButton(detail, IDC_DETAIL_PREVIOUS);
    app.Settle();
    EXPECT_EQ(app.SelectedRows(), (std::vector<int>{2}));
    app.ClickButton(detail, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    app.KeyWithModifier(app.list, VK_CONTROL, 'A');
    EXPECT_EQ(app.SelectedRows(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(app.StatusText(0), "3/4");
    EXPECT_EQ(app.Close(), 0);
}

TEST(EventList, TooltipShowsTheFirst255BytesOfTheMessageUnderTheMouse) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    RECT row{};
    ASSERT_TRUE(app.RowRect(2, row));
    app.MoveMouseOverList({row.left + 80, (row.top + row.bottom) / 2});
    // 250 bytes, then double-byte characters: "メッ" fits in 255 bytes, "セ" does not.
    EXPECT_EQ(app.ListToolText(), std::string(250, 'm') + "メッ");
    // The cell keeps its whole text.
    EXPECT_EQ(app.Cell(2, 7), kLongMessage);
    ASSERT_TRUE(app.RowRect(0, row));
    app.MoveMouseOverList({row.left + 80, (row.top + row.bottom) / 2});
    EXPECT_EQ(app.ListToolText(), "one");
    // Empty space: no text, so no tip.
    app.MoveMouseOverList({row.left + 80, row.bottom + 200});
    EXPECT_EQ(app.ListToolText(), "");
    EXPECT_EQ(app.Close(), 0);
}

// Points the real mouse at `client` of the list and reports whether the
// list's tooltip shows within 1.5 s (the tooltip checks where the mouse is
// before it shows).
bool TipShowsAt(App& app, POINT client) {
    POINT screen = client;
    ClientToScreen(app.list, &screen);
    SetCursorPos(screen.x, screen.y);
    app.MoveMouseOverList(client);
    HWND tip = app.ListTooltip();
    for (int i = 0; i < 60; ++i) {
        if (IsWindowVisible(tip)) return true;
        Sleep(25);
    }
    return false;
}

TEST(EventList, NoTooltipEverWhenTheSettingSaysSo) {
    for (DWORD dontShow : {0u, 1u}) {
        ASSERT_TRUE(FreshSettings(nullptr));
        ASSERT_TRUE(settings::SetDword("DontShowMessageToolTip", dontShow));
        App app;
        ASSERT_READY(app);
        AddRows(app, SampleRows());
        RECT row{};
        ASSERT_TRUE(app.RowRect(0, row));
        EXPECT_EQ(TipShowsAt(app, {row.left + 80, (row.top + row.bottom) / 2}), dontShow == 0) << dontShow;
        // The tool's text follows the mouse either way.
        EXPECT_EQ(app.ListToolText(), "one");
        EXPECT_EQ(app.Close(), 0);
    }
}

// A typed character selects the next row whose type starts with it, after
// the focused one and wrapping; other programs find rows by text.
TEST(EventList, TypingSelectsTheNextRowWhoseTypeStartsWithIt) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    std::vector<App::Row> rows = SampleRows();  // 情報, 警告, ｴﾗｰ
    rows.push_back({0, {"情報", "2003/01/13 08:00:00  ", "ｼｽﾃﾑ", "pc03", "srcC", "12", "three"}});
    rows.push_back({4, {"失敗の監査", "2003/01/12 08:00:00  ", "ｾｷｭﾘﾃｨ", "pc03", "Security", "529", "four"}});
    AddRows(app, rows);

    app.Type(app.list, L'ｴ');
    EXPECT_EQ(app.SelectedRow(), 2);
    EXPECT_EQ(app.StatusText(0), "3/5");
    // Characters typed within a moment of each other make one search (450 ms
    // under Wine): wait before each new one.
    Sleep(1000);
    app.Type(app.list, L'情');
    EXPECT_EQ(app.SelectedRow(), 3);
    Sleep(1000);
    app.Type(app.list, L'情');
    EXPECT_EQ(app.SelectedRow(), 0);
    Sleep(1000);
    app.Type(app.list, L'x');
    EXPECT_EQ(app.SelectedRow(), 0);

    EXPECT_EQ(app.FindItem(-1, LVFI_STRING, "警告"), 1);
    EXPECT_EQ(app.FindItem(-1, LVFI_STRING, "警"), -1);
    EXPECT_EQ(app.FindItem(-1, LVFI_PARTIAL, "失敗"), 4);
    // The row named is not searched; wrapping goes on from the top.
    EXPECT_EQ(app.FindItem(0, LVFI_PARTIAL, "情"), 3);
    EXPECT_EQ(app.FindItem(3, LVFI_PARTIAL, "情"), -1);
    EXPECT_EQ(app.FindItem(3, LVFI_PARTIAL | LVFI_WRAP, "情"), 0);
    EXPECT_EQ(app.FindItem(-1, LVFI_PARAM, ""), -1);
    EXPECT_EQ(app.Close(), 0);
}

TEST(EventList, ExportWritesTheShownRowsAndMarksThemSaved) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-export.txt");
    ASSERT_TRUE(file.Write(std::string(5000, 'o')));
    App app;
    ASSERT_READY(app);
    // Nothing to export yet.
    app.Command(ID_SAVE_RESULTS);
    HWND message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), "取得したﾛｸﾞがありません。");
    app.ClickButton(message, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    AddRows(app, SampleRows());
    app.ClickHeader(2);
    app.Command(ID_SAVE_RESULTS);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    // The proposed name is today's log%y%m%d.txt.
    char today[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "log%y%m%d", std::localtime(&now));
    EXPECT_EQ(Narrow(app.FileDialogName(dialog)).substr(0, 9), today);
    // Every row is written: the dialog keeps the system's title.
    EXPECT_EQ(Narrow(WindowText(dialog)).find("絞り込み中"), std::string::npos);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    // The file exists: the dialog asks before it is replaced.
    HWND question = app.WaitForDialogOtherThan(dialog);
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    const std::string cut = kLongMessage;  // shorter than 1023 bytes: whole
    EXPECT_EQ(bytes,
              "種類,時刻,ｲﾍﾞﾝﾄ,ｺﾝﾋﾟｭｰﾀ名,ｿｰｽ,ｲﾍﾞﾝﾄID,ﾒｯｾｰｼﾞ\r\n"
              "警告,2003/01/16 09:00:00  ,ｱﾌﾟﾘｹｰｼｮﾝ,pc02,srcB,1000,\"two, with, commas\"\r\n"
              "情報,2003/01/15 10:00:00  ,ｼｽﾃﾑ,pc01,srcA,7,one\r\n"
              "ｴﾗｰ,2003/01/14 23:59:59  ,ｾｷｭﾘﾃｨ,PC01,-,7," + cut + "\r\n");
    // Saved: exit does not ask.
    app.Command(ID_APP_EXIT);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

// An export that fails half way (the file layer's test seam standing in
// for a full disk) keeps the file it was to replace, says why, and leaves
// the rows unsaved.
TEST(EventList, ExportThatFailsHalfWayKeepsTheOldFile) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-export-full.txt");
    const std::string old(5000, 'o');
    ASSERT_TRUE(file.Write(old));
    const std::size_t leftovers = file.Neighbours(L"qrv*.tmp").size();
    ScopedEnvironment full(L"QUORVIN_WRITE_FAILS_AFTER", L"40");
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    app.Command(ID_SAVE_RESULTS);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    HWND question = app.WaitForDialogOtherThan(dialog);
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    HWND message = app.WaitForDialog("クォーヴィン");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), Narrow(file.Path()) + " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。");
    app.ClickButton(message, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    EXPECT_EQ(bytes, old);
    EXPECT_EQ(file.Neighbours(L"qrv*.tmp").size(), leftovers);
    // Nothing was saved: exit still asks.
    app.Command(ID_APP_EXIT);
    question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

TEST(EventList, ExitQuestionCancelStaysNoLeavesYesExportsFirst) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-exit-export.txt");
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    app.Command(ID_APP_EXIT);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(app.DialogText(question), "結果を保存しますか。");
    app.ClickButton(question, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_TRUE(app.Process().Running());

    // Yes: the export's save dialog, then the program ends.
    app.Command(ID_APP_EXIT);
    question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    EXPECT_EQ(app.Process().WaitForExit(), 0);
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    EXPECT_EQ(bytes.substr(0, 9), "種類,時刻");

    // No: the program ends without a file.
    App second;
    ASSERT_READY(second);
    AddRows(second, SampleRows());
    second.Command(ID_APP_EXIT);
    question = second.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    second.ClickButton(question, IDNO);
    EXPECT_EQ(second.Process().WaitForExit(), 0);
}

TEST(EventList, EveryWayOfClosingAsksOnlyWhileRowsAreUnsaved) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-exit-again.txt");
    {
        // An empty list: no question.
        App app;
        ASSERT_READY(app);
        app.Command(ID_APP_EXIT);
        EXPECT_EQ(app.Process().WaitForExit(), 0);
    }
    App app;
    ASSERT_READY(app);
    AddRows(app, SampleRows());
    // Yes, then the file dialog cancelled: the program ends all the same.
    app.Command(ID_SAVE_RESULTS);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    ASSERT_TRUE(app.WaitForNoDialog());
    // A new row after the export is unsaved again.
    app.InsertRow({4, {"失敗の監査", "2003/01/17 00:00:00  ", "ｾｷｭﾘﾃｨ", "pc03", "Security", "529", "logon"}});
    app.Settle();
    app.Command(ID_APP_EXIT);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    EXPECT_EQ(app.Process().WaitForExit(), 0);

    // The close box and Alt+F4 ask the same question: Cancel stays, No ends.
    App last;
    ASSERT_READY(last);
    AddRows(last, SampleRows());
    PostMessageW(last.frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    question = last.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(last.DialogText(question), "結果を保存しますか。");
    last.ClickButton(question, IDCANCEL);
    ASSERT_TRUE(last.WaitForNoDialog());
    last.Settle();
    EXPECT_TRUE(last.Process().Running());
    PostMessageW(last.frame, WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(KF_ALTDOWN) << 16 | 1);
    question = last.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    last.ClickButton(question, IDNO);
    EXPECT_EQ(last.Process().WaitForExit(), 0);
}

// WM_QUERYENDSESSION as a log-off sends it, from another thread: the
// program may answer only after a question of its own.
class SessionQuery {
public:
    explicit SessionQuery(HWND frame)
        : thread_([this, frame] {
              DWORD_PTR answer = 0;
              sent_ = SendMessageTimeoutW(frame, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &answer) != 0;
              answer_ = answer;
          }) {}
    // True when the program answered that the session may end.
    bool MayEnd() {
        thread_.join();
        return sent_ && answer_ != FALSE;
    }

private:
    bool sent_ = false;
    DWORD_PTR answer_ = 0;
    std::thread thread_;
};

RECT NormalPlace(HWND frame) {
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    GetWindowPlacement(frame, &place);
    return place.rcNormalPosition;
}

TEST(EventList, TheEndOfTheSessionAsksWhileRowsAreUnsavedAndTheWindowKeepsItsPlace) {
    ASSERT_TRUE(FreshSettings(nullptr));
    RECT placed{};
    {
        App app;
        ASSERT_READY(app);
        AddRows(app, SampleRows());
        ASSERT_TRUE(SetWindowPos(app.frame, nullptr, 40, 50, 900, 640, SWP_NOZORDER | SWP_NOACTIVATE));
        ASSERT_TRUE(SendMessageW(app.list, LVM_SETCOLUMNWIDTH, 5, MAKELPARAM(211, 0)));
        placed = NormalPlace(app.frame);
        // Unsaved rows: the exit question; Cancel keeps the session, No lets it end.
        for (const int answer : {IDCANCEL, IDNO}) {
            SessionQuery query(app.frame);
            HWND question = app.WaitForDialog("確認");
            ASSERT_NE(question, nullptr);
            EXPECT_EQ(app.DialogText(question), "結果を保存しますか。");
            app.ClickButton(question, answer);
            EXPECT_EQ(query.MayEnd(), answer == IDNO);
        }
        // The session ends: the settings are written then, the exit may never come.
        SendMessageW(app.frame, WM_ENDSESSION, TRUE, 0);
        std::string place, widths;
        ASSERT_TRUE(settings::ReadString("MainWindowPlace", place));
        EXPECT_EQ(place, std::to_string(placed.left) + "," + std::to_string(placed.top) + "," +
                             std::to_string(placed.right) + "," + std::to_string(placed.bottom) + ",0");
        ASSERT_TRUE(settings::ReadString("ListColumnWidths", widths));
        EXPECT_NE(widths.find(",211,"), std::string::npos) << widths;
        app.Close();
    }
    {
        // Back where it was; maximized now, which the next start keeps too.
        App app;
        ASSERT_READY(app);
        const RECT again = NormalPlace(app.frame);
        EXPECT_TRUE(EqualRect(&again, &placed));
        EXPECT_EQ(app.ColumnWidth(5), 211);
        // Nothing unsaved: the session ends without a question.
        SessionQuery query(app.frame);
        EXPECT_TRUE(query.MayEnd());
        ShowWindow(app.frame, SW_MAXIMIZE);
        app.Close();
    }
    {
        App app;
        ASSERT_READY(app);
        EXPECT_TRUE(IsZoomed(app.frame));
        // Restored, it takes its normal place (Wine's GetWindowPlacement of
        // another process's maximized window gives its present rectangle).
        ShowWindow(app.frame, SW_RESTORE);
        RECT restored{};
        ASSERT_TRUE(GetWindowRect(app.frame, &restored));
        EXPECT_TRUE(EqualRect(&restored, &placed));
        app.Close();
    }
    // A place on a monitor that is gone comes back onto the screen whole.
    ASSERT_TRUE(settings::SetString("MainWindowPlace", "-5000,-4000,-4100,-3360,0"));
    App app;
    ASSERT_READY(app);
    RECT shown{}, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, both{};
    ASSERT_TRUE(GetWindowRect(app.frame, &shown));
    EXPECT_TRUE(IntersectRect(&both, &shown, &screen) && EqualRect(&both, &shown));
    EXPECT_EQ(shown.right - shown.left, 900);
    app.Close();
}

}  // namespace
