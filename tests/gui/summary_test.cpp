// The summary window: opened after a run, its table is the summary rule
// over the list's rows; a double-click on a group sets the filter so that
// the list shows exactly that group; it follows the filter, Esc closes it,
// and its size is kept for the next start.

#include "run_support.h"

#include <algorithm>

#include "core/cp932.h"
#include "rules/event_summary.h"

using namespace quorvin::gui_test;

namespace {

const wchar_t kSummaryClass[] = L"QuorvinSummary";

std::string Description() {
    return "local ADMIN\n"
           "computer ADMIN\n"
           "computer PC1\n"
           "  systemroot C:\\WINDOWS\n"
           "  log System\n"
           "    event -50h error Disk 7 \"bad block one\"\n"
           "    event -5h error Disk 7 \"bad block two\"\n"
           "    event -4h information Tcpip 4201 \"lan up\"\n"
           "    event -3h error disk 7 \"bad block three\"\n"
           "    event -3h error Disk 11 \"controller error\"\n"
           "  log Application\n"
           "    event -30m warning App 9 \"warned\"\n"
           "computer PC2\n"
           "  systemroot C:\\WINDOWS\n"
           "  log System\n"
           "    event -2h error Disk 7 \"bad block four\"\n"
           "    event -1h information EventLog 6008 \"unexpected shutdown\"\n";
}

// The program's summary window, once it shows; null when it does not.
HWND WaitForSummary(App& app, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowW(kSummaryClass, nullptr);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (window && process == app.Process().ProcessId() && IsWindowVisible(window)) return window;
        Sleep(30);
    }
    return nullptr;
}

bool SummaryGone(App& app) {
    for (int i = 0; i < 100; ++i) {
        app.Settle();
        if (!FindWindowW(kSummaryClass, nullptr)) return true;
    }
    return false;
}

using Table = std::vector<std::vector<std::string>>;

Table ReadTable(const App& app, HWND list) {
    Table rows;
    for (int row = 0; row < app.RowCount(list); ++row) {
        rows.emplace_back();
        for (int column = 0; column < quorvin::views::kSummaryColumns; ++column)
            rows.back().push_back(app.Cell(row, column, list));
    }
    return rows;
}

// The summary rule over the rows the event list shows.
Table Expected(const App& app) {
    quorvin::views::EventSummary summary;
    for (int row = 0; row < app.RowCount(); ++row) {
        quorvin::engine::EventRow event;
        for (int column = 1; column < 8; ++column) event.columns[static_cast<std::size_t>(column)] = app.Cell(row, column);
        const std::string& type = event.columns[1];
        event.image = type == "エラー" ? 2 : type == "警告" ? 1 : type == "失敗" ? 4 : 0;
        summary.Add(event);
    }
    Table rows;
    for (const quorvin::views::SummaryRow& group : summary.Rows()) {
        rows.emplace_back();
        for (int column = 0; column < quorvin::views::kSummaryColumns; ++column)
            rows.back().push_back(quorvin::views::SummaryText(group, static_cast<quorvin::views::SummaryColumn>(column)));
    }
    return rows;
}

}  // namespace

TEST(Summary, CountsTheListsRowsAndADoubleClickShowsOneGroup) {
    TestNetwork net(Description());
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    App app(net.Arguments());
    ASSERT_READY(app);
    ASSERT_TRUE(EndsWith(CompleteRun(app), "ﾄｰﾀﾙ：8件"));

    app.KeyWithModifier(app.list, VK_CONTROL, 'G');
    HWND summary = WaitForSummary(app);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(Narrow(WindowText(summary)), "集計");
    HWND table = FindDescendant(summary, "SysListView32");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(app.ColumnTitle(5, table), "件数");
    const Table all = ReadTable(app, table);
    EXPECT_EQ(all, Expected(app));
    // Disk 7 on PC1 is one group of three, "disk" and "Disk" alike, named
    // as its newest row, and comes first.
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0][0] + all[0][3] + all[0][4] + all[0][5], "PC1disk73");

    // Sorted by event ID, largest first on the second click.
    app.ClickHeader(4, table);
    app.ClickHeader(4, table);
    EXPECT_EQ(app.Cell(0, 4, table), "6008");

    // A double-click on PC1's Disk 7 sets the filter to it and the list shows those rows.
    int chosen = -1;
    for (int row = 0; row < app.RowCount(table); ++row)
        if (app.Cell(row, 0, table) == "PC1" && app.Cell(row, 4, table) == "7") chosen = row;
    RECT rect{};
    ASSERT_TRUE(app.RowRect(chosen, rect, table));
    app.ClickList({rect.left + 20, (rect.top + rect.bottom) / 2}, true, table);
    ASSERT_TRUE(SummaryGone(app));
    ASSERT_EQ(app.RowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(app.Cell(row, 4) + app.Cell(row, 3) + quorvin::text::MbsICmpKey(app.Cell(row, 5)) + app.Cell(row, 6),
                  "PC1ｼｽﾃﾑdisk7");
    EXPECT_EQ(app.StatusText(5), "3 / 8 件");

    // Opened again it counts what the list shows; clearing the filter brings every group back.
    app.KeyWithModifier(app.list, VK_CONTROL, 'G');
    summary = WaitForSummary(app);
    ASSERT_NE(summary, nullptr);
    table = FindDescendant(summary, "SysListView32");
    EXPECT_EQ(app.RowCount(table), 1);
    app.Command(ID_VIEW_CLEAR_FILTER);
    for (int i = 0; i < 50 && app.RowCount(table) != static_cast<int>(all.size()); ++i) app.Settle();
    Table again = ReadTable(app, table), before = all;
    std::sort(again.begin(), again.end());
    std::sort(before.begin(), before.end());
    EXPECT_EQ(again, before);

    // Esc closes it; its size is written at exit and used at the next start.
    ASSERT_TRUE(MoveWindow(summary, 10, 10, 640, 480, TRUE));
    app.Settle();
    app.Key(table, VK_ESCAPE);
    ASSERT_TRUE(SummaryGone(app));
    EXPECT_EQ(app.Close(), 0);
    DWORD width = 0, height = 0;
    EXPECT_TRUE(settings::ReadDword("SummaryWidth", width) && settings::ReadDword("SummaryHeight", height));
    EXPECT_EQ(width, 640u);
    EXPECT_EQ(height, 480u);
}
