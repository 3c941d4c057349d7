// A log that is cleared or overwritten while it is read: the engine opens it
// again and reads on below the last record it walked, never listing a record
// twice, and fails the log as before when the older records are gone.

#include <gtest/gtest.h>

#include <fstream>

#include "engine/collector.h"
#include "fake_platform.h"
#include "support/temp_folder.h"
#include "support/test_network.h"

namespace quorvin::engine::test {
namespace {

class ChangedLog : public ::testing::Test {
protected:
    // SV1's System log holds the events 1 to 10 (record numbers 1 to 10);
    // `faults` is the [faults] section of its computer.ini.
    bool Open(const std::string& faults, std::string& error) {
        std::string description = "now 2003-06-17 10:00\ncomputer SV1\n  log System\n";
        for (int i = 1; i <= 10; ++i)
            description += "  event -" + std::to_string(11 - i) + "h information Svc " + std::to_string(i) + "\n";
        network.reset();
        temp = std::make_unique<network::test::TempFolder>();
        report.clear();
        if (!network::test::BuildTestNetwork(*temp, description, error)) return false;
        std::ofstream((temp->Path() / "net" / "SV1" / "computer.ini"), std::ios::app) << "[faults]\n" << faults << "\n";
        network = network::SimulatedNetwork::Open(temp->Path() / "net", error);
        return network != nullptr;
    }

    std::vector<std::string> Collect() {
        platform::Platform services = network->Services();
        RunOptions options;
        options.Filter_System = 1;
        options.Filter_Information = 1;
        options.EnableStartDate = options.EnableEndDate = 1;
        RecordingView view;
        view.computers = {"SV1"};
        std::atomic<int> stop{0};
        Collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();
        std::vector<std::string> ids;
        for (const EventRow& row : view.rows) ids.push_back(row.columns[6]);
        return ids;
    }

    static std::vector<std::string> Ids(int newest, int oldest) {
        std::vector<std::string> ids;
        for (int i = newest; i >= oldest; --i) ids.push_back(std::to_string(i));
        return ids;
    }

    bool Has(const std::string& line) const { return report.find(line) != std::string::npos; }

    std::unique_ptr<network::test::TempFolder> temp;
    std::unique_ptr<network::SimulatedNetwork> network;
    std::string report;
};

const char kReopened[] = "情報 053:[\\\\SV1][system][Svc]:読み込み中にｲﾍﾞﾝﾄﾛｸﾞがｸﾘｱまたは上書きされました。";
const char kFailed[] = "ｴﾗｰ 015:[\\\\SV1][system][Svc]:ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n原因 016:";

TEST_F(ChangedLog, OverwrittenNewerRecordsArePassedOverAndTheOlderOnesStillRead) {
    std::string error;
    ASSERT_TRUE(Open("LogChanges=System,3,wrapped,2", error)) << error;
    // 10, 9 and 8 are read; 11 and 12 overwrite 1 and 2; reading goes on at 7.
    EXPECT_EQ(Collect(), Ids(10, 3));
    EXPECT_TRUE(Has(std::string(kReopened) + "ｲﾍﾞﾝﾄﾛｸﾞを開き直し、ﾚｺｰﾄﾞ番号 8 より前のｲﾍﾞﾝﾄから読み込みを続けます。\r\n"))
        << report;
    EXPECT_TRUE(Has("確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n")) << report;
    EXPECT_FALSE(Has("ｴﾗｰ 015")) << report;
}

TEST_F(ChangedLog, AChangeBeforeTheFirstRecordReadsTheChangedLogFromItsNewest) {
    std::string error;
    ASSERT_TRUE(Open("LogChanges=System,0,wrapped,2", error)) << error;
    EXPECT_EQ(Collect(), Ids(12, 3));
    EXPECT_TRUE(Has("情報 053:[\\\\SV1][system][]:読み込み中にｲﾍﾞﾝﾄﾛｸﾞがｸﾘｱまたは上書きされました。"
                    "ｲﾍﾞﾝﾄﾛｸﾞを開き直し、最新のｲﾍﾞﾝﾄから読み込みを続けます。\r\n"))
        << report;
    EXPECT_FALSE(Has("ｴﾗｰ 015")) << report;
}

TEST_F(ChangedLog, WhenTheOlderRecordsAreGoneTheLogFailsWithTheRowsAlreadyMade) {
    for (const char* faults : {"LogChanges=System,3,wrapped,9",   // 1 to 9 overwritten
                               "LogChanges=System,3,wrapped,7",   // 7 is the newest gone
                               "LogChanges=System,3,cleared",     // nothing left
                               "LogChanges=System,3,cleared,7"}) {  // new records 1 to 7, newer than 8
        SCOPED_TRACE(faults);
        std::string error;
        ASSERT_TRUE(Open(faults, error)) << error;
        EXPECT_EQ(Collect(), Ids(10, 8));
        EXPECT_TRUE(Has(kReopened)) << report;
        EXPECT_TRUE(Has(kFailed)) << report;
        EXPECT_TRUE(Has("失敗:(SV1)ｼｽﾃﾑﾛｸﾞの取得に失敗しました。\r\n")) << report;
    }
}

TEST_F(ChangedLog, WrongFaultLinesAreRefusedWithTheirPlace) {
    for (const char* faults : {"LogChanges=System,3,wrapped", "LogChanges=System,x,cleared", "LogChanges=,3,cleared",
                               "LogChanges=System,3,moved,2", "Unknown=1"}) {
        SCOPED_TRACE(faults);
        std::string error;
        EXPECT_FALSE(Open(faults, error));
        EXPECT_NE(error.find("computer.ini"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace quorvin::engine::test
