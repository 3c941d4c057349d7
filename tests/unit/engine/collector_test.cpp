// The collection run against an in-memory platform: report lines, rows,
// progress and trace, byte for byte.

#include "engine/collector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "fake_platform.h"
#include "support/time_zone.h"

namespace quorvin::engine::test {
namespace {

const std::string kEventKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\system\\Svc";
const std::string kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

class CollectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(zone_.Applied());
        settings.Filter_System = 1;
        settings.Filter_Information = settings.Filter_Warning = settings.Filter_Error = 1;
        settings.Filter_Securityok = settings.Filter_Securityng = 1;
        settings.EnableStartDate = 1;
        settings.EnableEndDate = 1;
    }

    // A computer with a registry naming its system root.
    void AddComputer(const std::string& name, const std::string& root = "C:\\WINNT") {
        view.computers.push_back(name);
        platform.logs["\\\\" + name];
        platform.registries["\\\\" + name].Set(kVersionKey, "SystemRoot", root, platform::regtype::kSz);
    }

    FakeEvent Event(std::uint32_t id, std::vector<std::string> strings = {}, std::uint16_t type = 4) {
        FakeEvent e;
        e.timeGenerated = 1700000000;  // 2023-11-14 22:13:20 UTC
        e.eventId = id;
        e.eventType = type;
        e.source = "Svc";
        e.strings = std::move(strings);
        return e;
    }

    int Run() {
        Collector collector(Environment());
        const int result = collector.Run();
        count = collector.EventCount();
        return result;
    }

    RunEnvironment Environment() {
        return RunEnvironment{platformView, settings, report, stop, view, traceOn ? &trace : nullptr, [] {}};
    }

    quorvin::testing::ScopedTimeZone zone_{"UTC0"};
    FakePlatform platform;
    platform::Platform platformView = platform.Get();
    engine::RunOptions settings;
    std::string report;
    std::atomic<int> stop{0};
    RecordingView view;
    StringTrace trace;
    bool traceOn = false;
    std::uint32_t count = 0;
};

TEST_F(CollectorTest, OneComputerSystemLogOnlyWritesFiveLines) {
    AddComputer("SV1");
    platform.registries["\\\\SV1"].Set(kEventKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.files["\\\\SV1\\C$\\WINNT\\System32\\svc.dll"].messages[7] = "started %1\r\nok";
    platform.logs["\\\\SV1"]["system"].newestFirst = {Event(7, {"now"})};

    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(report,
              "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n"
              "確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n"
              "確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n"
              "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\nﾄｰﾀﾙ：1件");
    ASSERT_EQ(view.rows.size(), 1u);
    const EventRow& row = view.rows[0];
    EXPECT_EQ(row.image, 0);
    EXPECT_EQ(row.columns[1], "成功");
    EXPECT_EQ(row.columns[2], "2023/11/14 22:13:20  ");
    EXPECT_EQ(row.columns[3], "ｼｽﾃﾑ");
    EXPECT_EQ(row.columns[4], "SV1");
    EXPECT_EQ(row.columns[5], "Svc");
    EXPECT_EQ(row.columns[6], "7");
    EXPECT_EQ(row.columns[7], "started now  ok");
    EXPECT_EQ(view.texts, std::vector<std::string>{"SV1 ： system ﾛｸﾞを処理中 ﾄｰﾀﾙ 1 件"});
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(view.clears, 1);
}

TEST_F(CollectorTest, EmptyComputerListWritesStartAndTotalOnly) {
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(report, "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\nﾄｰﾀﾙ：0件");
    EXPECT_TRUE(view.positions.empty());
    EXPECT_EQ(view.ended, 1);
}

TEST_F(CollectorTest, ProgressMovesThroughThreeStepsPerComputerWhateverLogsAreChosen) {
    settings.Filter_System = 0;
    settings.Filter_Application = 1;
    AddComputer("A");
    AddComputer("B");
    AddComputer("C");
    Run();
    EXPECT_EQ(view.positions, (std::vector<int>{83, 166, 240, 333, 416, 490, 583, 666, 740}));
    // Only the Application log was read.
    EXPECT_EQ(report.find("ｼｽﾃﾑ"), std::string::npos);
    EXPECT_NE(report.find("確認:(C)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得を終了しました。\r\n"), std::string::npos);
}

TEST_F(CollectorTest, SecurityLogEndLineNamesTheEventLog) {
    settings.Filter_System = 0;
    settings.Filter_Security = 1;
    AddComputer("SV1");
    platform.logs["\\\\SV2"]["security"].openError = 5;
    Run();
    EXPECT_NE(report.find("確認:(SV1)ｾｷｭﾘﾃｨﾛｸﾞの取得を開始します。\r\n確認:(SV1)ｾｷｭﾘﾃｨｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\n"),
              std::string::npos);
}

TEST_F(CollectorTest, UnreachableComputerFailsEachLogAndGoesOn) {
    settings.Filter_Security = settings.Filter_Application = 1;
    view.computers = {"OFF"};
    AddComputer("SV1");
    Run();
    EXPECT_NE(report.find("ｴﾗｰ 002:[\\\\OFF][system]:ｲﾍﾞﾝﾄのｵｰﾌﾟﾝに失敗しました。\r\n原因 003:T1722\r\n"
                          "失敗:(OFF)ｼｽﾃﾑﾛｸﾞの取得に失敗しました。\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("失敗:(OFF)ｾｷｭﾘﾃｨﾛｸﾞの取得に失敗しました。\r\n"), std::string::npos);
    EXPECT_NE(report.find("失敗:(OFF)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得に失敗しました。\r\n"), std::string::npos);
    EXPECT_NE(report.find("確認:(SV1)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得を終了しました。\r\n確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。"),
              std::string::npos);
}

TEST_F(CollectorTest, WrongAlternatePasswordIsReportedOncePerComputerAndTheLogsAreStillRead) {
    settings.AnotherLoginName = 1;
    std::strcpy(settings.Username, "admin");
    std::strcpy(settings.Password, "wrong");
    AddComputer("SV1");
    AddComputer("SV2");
    platform.passwords["\\\\SV1\\admin$"] = "secret";
    platform.passwords["\\\\SV2\\admin$"] = "wrong";
    platform.logs["\\\\SV1"]["system"].newestFirst = {Event(1)};
    Run();
    EXPECT_NE(report.find("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n"
                          "注意 803:[SV1][admin]:別名でのﾛｸﾞｲﾝに失敗しました。\r\n"
                          "          現在ログオン中のアカウントで接続を試みます。\r\n"
                          "原因:T1326\r\n"
                          "確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n"),
              std::string::npos);
    EXPECT_EQ(report.find("注意 803:[SV2]"), std::string::npos);
    EXPECT_EQ(view.rows.size(), 1u);
    // Only the computer that was connected has connections to cancel.
    EXPECT_EQ(platform.connectionLog,
              (std::vector<std::string>{"add \\\\SV1\\admin$ admin", "add \\\\SV2\\admin$ admin",
                                        "cancel \\\\SV2\\IPC$", "cancel \\\\SV2\\admin$"}));
}

TEST_F(CollectorTest, StopDuringSecurityLogOfSecondComputerEndsTheRun) {
    settings.Filter_Security = settings.Filter_Application = 1;
    settings.AnotherLoginName = 1;
    std::strcpy(settings.Username, "admin");
    AddComputer("SV1");
    AddComputer("SV2");
    AddComputer("SV3");
    platform.passwords["\\\\SV2\\admin$"] = "";
    platform.logs["\\\\SV2"]["security"].newestFirst = {Event(1, {}, 8), Event(2, {}, 8)};
    view.onRow = [&] { stop = 1; };
    Run();
    const std::string tail =
        "確認:(SV2)ｾｷｭﾘﾃｨﾛｸﾞの取得を開始します。\r\n"
        "確認:(SV2)ｾｷｭﾘﾃｨｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\n"
        "確認:(SV2)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n";
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
    EXPECT_EQ(stop.load(), 0);
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(platform.connectionLog.back(), "cancel \\\\SV2\\admin$");
}

TEST_F(CollectorTest, StopAfterTheLastRecordOfALogIsFoundBetweenLogs) {
    settings.Filter_Security = settings.Filter_Application = 1;
    AddComputer("SV1");
    AddComputer("SV2");
    // Pressed while the last row of SV1's System log is added: the log read
    // reaches its end, the run finds the flag before the Security log.
    platform.logs["\\\\SV1"]["system"].newestFirst = {Event(1)};
    view.onRow = [&] { stop = 1; };
    Run();
    EXPECT_NE(report.find("確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n確認:(SV1)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n"),
              std::string::npos);
    EXPECT_EQ(report.find("ｾｷｭﾘﾃｨ"), std::string::npos);
    EXPECT_EQ(view.positions, (std::vector<int>{111}));
    EXPECT_EQ(stop.load(), 0);
}

TEST_F(CollectorTest, StopAfterTheLastLogOfTheLastComputerLeavesNoTotalLine) {
    settings.Filter_Application = 1;
    AddComputer("SV1");
    platform.logs["\\\\SV1"]["application"].newestFirst = {Event(1)};
    view.onRow = [&] { stop = 1; };
    Run();
    const std::string tail =
        "確認:(SV1)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得を終了しました。\r\n確認:(SV1)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n";
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
    EXPECT_EQ(stop.load(), 0);
    EXPECT_EQ(view.ended, 1);
}

TEST_F(CollectorTest, StopBeforeTheFirstComputerStillOpensItsSystemLog) {
    AddComputer("SV1");
    platform.logs["\\\\SV1"]["system"].newestFirst = {Event(1)};
    stop = 1;
    Run();
    EXPECT_TRUE(view.positions.empty());
    EXPECT_EQ(report,
              "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n"
              "確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n"
              "確認:(SV1)ｼｽﾃﾑﾛｸﾞの取得を終了しました。\r\n"
              "確認:(SV1)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n");
}

}  // namespace
}  // namespace quorvin::engine::test
