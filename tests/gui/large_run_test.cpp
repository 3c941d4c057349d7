// A large run through the window: 20,000 events of one log shown in the
// order the log is read, sorted by a header click, and a stop in the
// middle of a run that keeps every row made before it.

#include "run_support.h"

using namespace quorvin::gui_test;

namespace {

constexpr int kEvents = 20000;

// `computers` computers BIG1, BIG2..., each with a System log of `count`
// events; event i is (count - i) seconds old, so the log is read from i =
// count - 1 down to 0, and its event ID is i.
std::string LargeNetwork(int computers, int count) {
    std::string text = "local ADMIN\ncomputer ADMIN\n";
    for (int c = 1; c <= computers; ++c) {
        text += "computer BIG" + std::to_string(c) + "\n  systemroot C:\\WINDOWS\n  log System\n";
        for (int i = 0; i < count; ++i)
            text += "    event -" + std::to_string(count - i) + "s information Tcpip " + std::to_string(i) +
                    " \"big" + std::to_string(c) + " event " + std::to_string(i) + "\"\n";
    }
    return text;
}

// The row that shows event `id` of computer `c` as the run made it.
void ExpectRow(App& app, int row, int c, int id) {
    EXPECT_EQ(app.Cell(row, 4), "BIG" + std::to_string(c)) << row;
    EXPECT_EQ(app.Cell(row, 6), std::to_string(id)) << row;
    // Tcpip has no message file here: the message ends with the event's own strings.
    const std::string message = app.Cell(row, 7);
    EXPECT_TRUE(EndsWith(message, ":big" + std::to_string(c) + " event " + std::to_string(id))) << row << message;
}

TEST(LargeRun, TwentyThousandEventsShowInOrderAndSortByAColumn) {
    TestNetwork net(LargeNetwork(1, kEvents));
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("BIG1;"));
    App app(net.Arguments());
    ASSERT_READY(app);

    const std::string report = CompleteRun(app);
    EXPECT_TRUE(EndsWith(report, "ﾄｰﾀﾙ：20000件")) << report;
    ASSERT_EQ(app.RowCount(), kEvents);
    // Newest first, every row in its place, the images with them.
    for (int row : {0, 1, 4999, 10000, kEvents - 2, kEvents - 1}) ExpectRow(app, row, 1, kEvents - 1 - row);
    EXPECT_EQ(app.Cell(kEvents - 1, 0), "");

    // The event ID sorts by number; equal keys cannot occur, so the order is fixed.
    app.ClickHeader(6);
    for (int row : {0, 1, 2, 9, 10, 9999, 10000, kEvents - 1}) ExpectRow(app, row, 1, row);
    // Again: the largest first.
    app.ClickHeader(6);
    for (int row : {0, 1, 10000, kEvents - 1}) ExpectRow(app, row, 1, kEvents - 1 - row);
    // The time column: newest first again.
    app.ClickHeader(2);
    ExpectRow(app, 0, 1, kEvents - 1);
    ExpectRow(app, kEvents - 1, 1, 0);
    EXPECT_EQ(app.RowCount(), kEvents);

    // The position text counts the table's rows.
    app.ClickRow(2);
    EXPECT_EQ(app.StatusText(0), "3/20000");
    EXPECT_EQ(app.Close(), 0);
}

TEST(LargeRun, StopPressedDuringTheRunKeepsEveryRowMadeBeforeIt) {
    TestNetwork net(LargeNetwork(2, kEvents));
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("BIG1;BIG2;"));
    // "中止" is pressed when the bar reaches BIG2's System log (4000 / 3 / 3):
    // the run is waiting for that message, so the stop comes between BIG1's
    // last row and BIG2's first record, whatever the speed, and however many
    // computers are collected at once.
    ScopedEnvironment stopAt(L"QUORVIN_STOP_AT_POSITION", L"444");
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    app.ClickButton(start, IDOK);
    HWND result = nullptr;
    const std::string report = WaitForReport(app, result, 120000);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(EndsWith(report, "確認:(BIG2)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n"
                                 "確認:(BIG2)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n"
                                 "確認:(BIG2)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n"))
        << report;
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // All of BIG1's rows, the last of them included, in the order they were read; none of BIG2's.
    ASSERT_EQ(app.RowCount(), kEvents);
    for (int row : {0, 777, kEvents - 1}) ExpectRow(app, row, 1, kEvents - 1 - row);
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
