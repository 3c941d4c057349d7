// Faults part way through a run in the window, on a copy of the demo
// network with [faults] in a computer.ini: the run ends as usual, the rows
// made before the fault are in the list once each, and the result dialog's
// report has the coded lines of what failed.

#include "run_support.h"

#include "formats/messages/format_message.h"
#include "support/temp_folder.h"

#include <fstream>
#include <map>

using namespace quorvin::gui_test;

namespace {

namespace fs = std::filesystem;

const char* const kComputers = "FS01;NT4SV;PC01;PC02;";

struct Outcome {
    std::string report;
    std::vector<std::vector<std::string>> rows;           // columns 1 to 7
    std::map<std::string, std::vector<std::string>> logs;  // "PC01|ｼｽﾃﾑ": rows' columns 1 to 6
};

std::string Identity(const std::vector<std::string>& row) {
    std::string s;
    for (std::size_t i = 0; i < 6; ++i) s += row[i] + "\t";
    return s;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

std::vector<std::string> LogRows(const Outcome& outcome, const std::string& log) {
    const auto found = outcome.logs.find(log);
    return found == outcome.logs.end() ? std::vector<std::string>{} : found->second;
}

std::string Cause(std::uint32_t code) { return quorvin::messages::SystemErrorText(code); }

class RunFaults : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path demo = fs::path(ExecutableFolder()) / ".." / "demo-network";
        if (!fs::exists(demo / "network.ini")) GTEST_SKIP() << "the build made no demo network";
        fs::copy(demo, net(), fs::copy_options::recursive);
    }

    fs::path net() const { return folder_.Path() / "net"; }

    void Fault(const std::string& computer, const std::string& lines) {
        std::ofstream(net() / computer / "computer.ini", std::ios::app | std::ios::binary)
            << "\r\n[faults]\r\n" << lines << "\r\n";
    }

    // A run over every record of the chosen computers' logs; the report and
    // the list as it stands after the result dialog.
    Outcome Collect() {
        Outcome outcome;
        // A copy of the demo network: the program keeps its settings under the demo's key.
        settings::UseKey demo(settings::kDemoKey);
        EXPECT_TRUE(FreshSettings(kComputers));
        App app(L"/network \"" + net().wstring() + L"\"");
        std::string why;
        if (!app.Ready(why)) {
            ADD_FAILURE() << why;
            return outcome;
        }
        HWND start = OpenStartDialog(app);
        if (!start) {
            ADD_FAILURE() << "no start dialog";
            return outcome;
        }
        ToggleBox(app, start, IDC_FROM_LOG_START);
        app.ClickButton(start, IDOK);
        HWND result = nullptr;
        outcome.report = WaitForReport(app, result, 60000);
        if (!result) {
            ADD_FAILURE() << "no result dialog";
            return outcome;
        }
        app.ClickButton(result, IDOK);
        EXPECT_TRUE(app.WaitForNoDialog());
        for (int row = 0, rows = app.RowCount(); row < rows; ++row) {
            std::vector<std::string> cells;
            for (int column = 1; column <= 7; ++column) cells.push_back(app.Cell(row, column));
            outcome.logs[cells[3] + "|" + cells[2]].push_back(Identity(cells));
            outcome.rows.push_back(std::move(cells));
        }
        PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
        if (HWND question = app.WaitForDialog("確認")) app.ClickButton(question, IDNO);
        EXPECT_EQ(app.Process().WaitForExit(), 0);
        return outcome;
    }

    // The run before any fault is set, the same for every test: made once,
    // on the first test's copy before its faults.
    const Outcome& Before() {
        static Outcome before;
        if (before.rows.empty()) before = Collect();
        return before;
    }

    quorvin::network::test::TempFolder folder_;
};

TEST_F(RunFaults, ReadBreakingPartWayKeepsTheRowsBeforeOnceAndTheRunGoesOn) {
    const Outcome& before = Before();
    ASSERT_GT(LogRows(before, "PC01|ｼｽﾃﾑ").size(), 3u);
    Fault("PC01", "ReadFailsAfter=3,1726");
    const Outcome after = Collect();

    for (const auto& [log, rows] : before.logs) {
        const std::vector<std::string> got = LogRows(after, log);
        if (log.rfind("PC01|", 0) == 0) {
            EXPECT_EQ(got, std::vector<std::string>(rows.begin(), rows.begin() + std::min<std::size_t>(3, rows.size())))
                << log;
        } else {
            EXPECT_EQ(got, rows) << log;
        }
    }
    const std::string& r = after.report;
    for (const char* log : {"system", "security", "application"})
        EXPECT_EQ(Count(r, std::string("ｴﾗｰ 015:[\\\\PC01][") + log + "]"), 1u) << log << "\n" << r;
    EXPECT_EQ(Count(r, "原因 016:" + Cause(1726)), 3u) << r;
    EXPECT_EQ(Count(r, "失敗:(PC01)"), 3u) << r;
    EXPECT_EQ(Count(r, "失敗:(PC02)"), 0u) << r;
    EXPECT_TRUE(EndsWith(r, "ﾄｰﾀﾙ：" + std::to_string(after.rows.size()) + "件")) << r;
}

TEST_F(RunFaults, SharesGoingAwayKeepEveryRowOnceInItsPlace) {
    const Outcome& before = Before();
    Fault("PC01", "SharesFailAfter=2,64");
    Fault("NT4SV", "SharesFailAfter=0,53");
    const Outcome after = Collect();

    ASSERT_EQ(after.rows.size(), before.rows.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.rows.size(); ++i) {
        EXPECT_EQ(Identity(after.rows[i]), Identity(before.rows[i])) << i;
        if (after.rows[i][3] != "PC01") {
            EXPECT_EQ(after.rows[i], before.rows[i]) << i;
        } else if (after.rows[i][6] != before.rows[i][6]) {
            ++changed;
        }
    }
    // PC01's modules loaded before its share went away stop giving texts.
    EXPECT_GT(changed, 0u);
    const std::string& r = after.report;
    EXPECT_TRUE(Contains(r, "原因 049:[\\\\NT4SV]")) << r;
    EXPECT_TRUE(Contains(r, Cause(64))) << r;
    EXPECT_TRUE(Contains(r, Cause(53))) << r;
    EXPECT_EQ(Count(r, "ｴﾗｰ 015:"), 0u) << r;
    EXPECT_TRUE(EndsWith(r, "ﾄｰﾀﾙ：" + std::to_string(after.rows.size()) + "件")) << r;
}

// A log cleared under the reader, with new records written: the log is
// opened again, the older records are gone, and the log fails keeping the
// rows read before it was cleared, once each.
TEST_F(RunFaults, LogClearedDuringTheReadKeepsTheRowsReadBeforeOnce) {
    const Outcome& before = Before();
    const std::vector<std::string> system = LogRows(before, "PC02|ｼｽﾃﾑ");
    ASSERT_GT(system.size(), 4u);
    Fault("PC02", "LogChanges=System,4,cleared,2");
    const Outcome after = Collect();

    EXPECT_EQ(LogRows(after, "PC02|ｼｽﾃﾑ"), std::vector<std::string>(system.begin(), system.begin() + 4));
    for (const auto& [log, rows] : before.logs) {
        if (log != "PC02|ｼｽﾃﾑ") {
            EXPECT_EQ(LogRows(after, log), rows) << log;
        }
    }
    const std::string& r = after.report;
    EXPECT_EQ(Count(r, "情報 053:[\\\\PC02][system]"), 1u) << r;
    EXPECT_EQ(Count(r, "ｴﾗｰ 015:[\\\\PC02][system]"), 1u) << r;
    EXPECT_TRUE(EndsWith(r, "ﾄｰﾀﾙ：" + std::to_string(after.rows.size()) + "件")) << r;
}

}  // namespace
