// Channels read after the classic logs, over the simulated network: every
// row is the reader's record of the channel's file, newest first; each way
// a channel cannot be read is a report line the result dialog's summary
// reads; a bookmark kept in the state file reads on from the last event
// handed on, and after a clearing reads the channel again.

#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "core/cp932.h"
#include "engine/collector.h"
#include "fake_platform.h"
#include "rules/collection_state.h"
#include "rules/event_json.h"
#include "rules/run_outcome.h"
#include "services/simulated/simulated_network.h"
#include "support/channel_logs.h"
#include "support/temp_folder.h"

namespace quorvin::engine::test {
namespace {

using evtx::test::ChannelFile;
using evtx::test::ExpectedRows;

constexpr const char* kSysmon = "Microsoft-Windows-Sysmon/Operational";

// A view that keeps the bookmarks complete reads leave, as the console does.
class StateView : public RecordingView {
public:
    run::CollectionState state;
    void LogEnded(const std::string& computer, const std::string& log, const LogEnd& end) override {
        if (end.complete) state.Set(computer, log, end.bookmark);
    }
};

class ChannelRun : public ::testing::Test {
protected:
    void SetUp() override {
        sysmon = ChannelFile(1, 700, 1);
        forwarded = ChannelFile(40, 90, 4624, true);
        temp.Write("network.ini", "[local]\ncomputer=ADMIN\n");
        temp.Write("ADMIN/logs/System.evt", "");
        temp.Write("PC1/logs/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon);
        temp.Write("PC1/logs/ForwardedEvents.evtx", forwarded);
        temp.Write("PC2/computer.ini", "[services]\nchannels=off\n");
        temp.Write("PC3/computer.ini", "[faults]\nReadFailsAfter=300,1726\n");
        temp.Write("PC3/logs/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon);
        temp.Write("PC4/computer.ini", "[services]\nchannels=auth\n[accounts]\nuser=pw\n");
        temp.Write("PC4/logs/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon);
        temp.Write("PC5/registry.reg",
                   "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                   "\"CurrentVersion\"=\"5.2\"\r\n");
        temp.Write("PC5/computer.ini", "[services]\nchannels=off\n");
        Open();
    }
    void Open() {
        std::string error;
        network = network::SimulatedNetwork::Open(temp.Path(), error);
        ASSERT_TRUE(network) << error;
    }
    // The channels of `computers` alone, the classic logs left out; with
    // `password`, as the alternate account "user".
    std::string Collect(const std::vector<std::string>& computers, const std::vector<std::string>& channels,
                        RecordingView& view, bool withChannelService = true,
                        std::function<std::optional<LogBookmark>(const std::string&, const std::string&)> bookmarks =
                            nullptr,
                        const char* password = nullptr) {
        const platform::Platform simulated = network->Services();
        platform::Platform services{simulated.eventLog, simulated.registry, simulated.connections, simulated.messages,
                                    simulated.system,   simulated.browse,
                                    withChannelService ? simulated.channels : platform::NoChannels()};
        RunOptions options = EveryRecord();
        options.Filter_System = options.Filter_Security = options.Filter_Application = 0;
        options.Channels = channels;
        if (password) {
            options.AnotherLoginName = 1;
            std::strcpy(options.Username, "user");
            std::strcpy(options.Password, password);
        }
        view.computers = computers;
        std::string report;
        std::atomic<int> stop{0};
        RunEnvironment environment{services, options, report, stop, view, nullptr, [] {}};
        environment.bookmarks = std::move(bookmarks);
        environment.eventFacts = true;
        Collector(std::move(environment)).Run();
        return report;
    }

    network::test::TempFolder temp;
    std::vector<std::uint8_t> sysmon, forwarded;
    std::unique_ptr<network::SimulatedNetwork> network;
};

TEST_F(ChannelRun, EveryRowIsTheReadersRecordAndAForwardedEventKeepsItsRenderedText) {
    RecordingView view;
    const std::string report = Collect({"PC1"}, {kSysmon, "ForwardedEvents"}, view);
    std::vector<EventRow> expected = ExpectedRows(sysmon, "PC1", kSysmon);
    const std::vector<EventRow> rest = ExpectedRows(forwarded, "PC1", "ForwardedEvents");
    expected.insert(expected.end(), rest.begin(), rest.end());
    ASSERT_EQ(view.rows.size(), expected.size()) << report;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(view.rows[i].columns, expected[i].columns) << "row " << i;
    }
    EXPECT_EQ(view.rows.back().columns[7], "アカウントがログオンしました。  番号 0");
    EXPECT_NE(view.rows.front().columns[7].find("に関する説明が見つかりません。"), std::string::npos);
    // JSON Lines: the facts of the record, as a saved .evtx file's rows have them.
    const nlohmann::json j = nlohmann::json::parse(run::EventJsonLine(view.rows.back(), "1"));
    EXPECT_EQ(j["winlog.api"], "wineventlog");
    EXPECT_EQ(j["winlog.channel"], "Security");
    EXPECT_EQ(j["winlog.record_id"], 40);
    EXPECT_EQ(j["winlog.event_data.Index"], "40");
    EXPECT_EQ(j["message"], "\xE3\x82\xA2\xE3\x82\xAB\xE3\x82\xA6\xE3\x83\xB3\xE3\x83\x88"
                            "\xE3\x81\x8C\xE3\x83\xAD\xE3\x82\xB0\xE3\x82\xAA\xE3\x83\xB3"
                            "\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F\xE3\x80\x82\r\n"
                            "\xE7\x95\xAA\xE5\x8F\xB7 0");  // UTF-8, the line break kept
    EXPECT_EQ(report, "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n"
                      "確認:(PC1)Microsoft-Windows-Sysmon/Operationalの取得を開始します。\r\n"
                      "確認:(PC1)Microsoft-Windows-Sysmon/Operationalの取得を終了しました。\r\n"
                      "確認:(PC1)ForwardedEventsの取得を開始します。\r\n"
                      "確認:(PC1)ForwardedEventsの取得を終了しました。\r\n"
                      "確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\nﾄｰﾀﾙ：" +
                          std::to_string(expected.size()) + "件");
}

// Each way a channel is not read, as the report says it and the summary reads it.
TEST_F(ChannelRun, EveryFailureIsAReportLineTheSummaryReads) {
    struct Case {
        const char* computer;
        bool channelService;
        const char* password;  // of the alternate account "user"; null: none
        std::vector<std::string> lines;   // in this order
        std::vector<std::string> failed;  // the summary's failed logs
        std::size_t rows;
    };
    const std::string sysmon = kSysmon;
    const std::vector<Case> cases = {
        {"PC1", true, nullptr,
         {"確認:(PC1)Missing/Operationalの取得を開始します。", "ｴﾗｰ 002:[\\\\PC1][Missing/Operational]:", "原因 003:",
          "失敗:(PC1)Missing/Operationalの取得に失敗しました。", "確認:(PC1)" + sysmon + "の取得を終了しました。"},
         {"Missing/Operational"},
         700},
        {"PC2", true, nullptr,
         {"ｴﾗｰ 002:[\\\\PC2][Missing/Operational]:", "原因 003:", "ｴﾗｰ 002:[\\\\PC2][" + sysmon + "]:", "原因 003:",
          "失敗:(PC2)" + sysmon + "の取得に失敗しました。"},
         {"Missing/Operational", sysmon},
         0},
        {"PC3", true, nullptr,
         {"ｴﾗｰ 015:[\\\\PC3][" + sysmon + "][Service Control Manager]:", "原因 016:",
          "失敗:(PC3)" + sysmon + "の取得に失敗しました。"},
         {"Missing/Operational", sysmon},
         300},
        {"PC4", true, nullptr, {"ｴﾗｰ 002:[\\\\PC4][" + sysmon + "]:", "原因 003:"}, {"Missing/Operational", sysmon}, 0},
        // The alternate account opens the session; refused, the user's own
        // is tried, which this computer refuses without a connection.
        {"PC4", true, "pw", {"ｴﾗｰ 002:[\\\\PC4][Missing/Operational]:", "確認:(PC4)" + sysmon + "の取得を終了しました。"},
         {"Missing/Operational"}, 700},
        {"PC4", true, "wrong",
         {"注意 803:[PC4][user]:", "注意 072:[\\\\PC4][user]:別名でのﾁｬﾈﾙへのﾛｸﾞｲﾝに失敗しました。\r\n"
          "          現在ログオン中のアカウントで接続を試みます。\r\n原因:ログオン失敗: ユーザー名を認識できないか、またはパスワードが間違っています。",
          "ｴﾗｰ 002:[\\\\PC4][Missing/Operational]:", "原因 003:アクセスが拒否されました。",
          "ｴﾗｰ 002:[\\\\PC4][" + sysmon + "]:"},
         {"Missing/Operational", sysmon},
         0},
        {"PC5", true, nullptr, {"注意 071:[\\\\PC5][Missing/Operational]:", "注意 071:[\\\\PC5][" + sysmon + "]:"}, {}, 0},
        {"PC1", false, nullptr, {"注意 070:[\\\\PC1]:"}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.computer) + (c.channelService ? "" : " without a channel service") +
                     (c.password ? std::string(" as user/") + c.password : ""));
        network->Reset();
        RecordingView view;
        const std::string report =
            Collect({c.computer}, {"Missing/Operational", kSysmon}, view, c.channelService, nullptr, c.password);
        EXPECT_EQ(view.rows.size(), c.rows);
        std::size_t at = 0;
        for (const std::string& line : c.lines) {
            at = report.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << "\n" << text::Cp932ToUtf8(report);
        }
        // A line once per computer, or per channel, never more.
        if (!c.channelService || std::string(c.computer) == "PC5") {
            EXPECT_EQ(report.find("の取得を開始します。\r\n", report.find("\r\n")), std::string::npos) << report;
            EXPECT_EQ(report.find(c.lines.back(), report.find(c.lines.back()) + 1), std::string::npos) << report;
        }
        EXPECT_EQ(report.find("注意 072", report.find("注意 072") + 1), std::string::npos) << report;
        const std::vector<run::ComputerOutcome> outcomes = run::ReadRunOutcomes(report);
        ASSERT_EQ(outcomes.size(), 1u) << report;
        EXPECT_EQ(outcomes[0].failedLogs, c.failed);
        EXPECT_EQ(outcomes[0].firstProblem.empty(), false);
    }
}

// The state file keeps each channel's last event handed on: the next run
// hands on only what came after it; a channel cleared since is read again
// from its start, with the line that says so.
TEST_F(ChannelRun, TheBookmarkReadsOnFromTheLastEventHandedOnAndAfterAClearingFromTheStart) {
    StateView first;
    Collect({"PC1"}, {kSysmon, "ForwardedEvents"}, first);
    ASSERT_EQ(first.rows.size(), 700u + 51u);
    run::CollectionState state;
    std::string error;
    ASSERT_TRUE(run::ParseState(run::WriteState(first.state), state, error)) << error;
    ASSERT_TRUE(state.Find("pc1", kSysmon));
    EXPECT_EQ(state.Find("pc1", kSysmon)->recordNumber, 700u);
    EXPECT_EQ(state.Find("PC1", "ForwardedEvents")->recordNumber, 90u);

    // 50 new events in one channel; the other cleared and written again from record 1.
    const std::vector<std::uint8_t> grown = ChannelFile(1, 750, 1);
    const std::vector<std::uint8_t> cleared = ChannelFile(1, 20, 4624, true, 5000);
    temp.Write("PC1/logs/Microsoft-Windows-Sysmon%4Operational.evtx", grown);
    temp.Write("PC1/logs/ForwardedEvents.evtx", cleared);
    Open();
    StateView second;
    second.state = state;
    const std::string report = Collect({"PC1"}, {kSysmon, "ForwardedEvents"}, second, true,
                                       [&state](const std::string& computer, const std::string& log) {
                                           return state.Find(computer, log);
                                       });
    std::vector<EventRow> expected = ExpectedRows(grown, "PC1", kSysmon);
    expected.resize(50);
    const std::vector<EventRow> again = ExpectedRows(cleared, "PC1", "ForwardedEvents");
    expected.insert(expected.end(), again.begin(), again.end());
    ASSERT_EQ(second.rows.size(), expected.size()) << report;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(second.rows[i].columns, expected[i].columns) << "row " << i;
    }
    EXPECT_NE(report.find("情報 054:[\\\\PC1][ForwardedEvents]:前回取得した最後のｲﾍﾞﾝﾄ(ﾚｺｰﾄﾞ番号 90)"), std::string::npos)
        << report;
    EXPECT_EQ(report.find("情報 054:[\\\\PC1][" + std::string(kSysmon)), std::string::npos) << report;
    EXPECT_EQ(second.state.Find("PC1", kSysmon)->recordNumber, 750u);
    EXPECT_EQ(second.state.Find("PC1", "ForwardedEvents")->recordNumber, 20u);

    // Nothing new: no row, the bookmarks stay.
    StateView third;
    third.state = second.state;
    Collect({"PC1"}, {kSysmon, "ForwardedEvents"}, third, true,
            [&second](const std::string& computer, const std::string& log) { return second.state.Find(computer, log); });
    EXPECT_TRUE(third.rows.empty());
    EXPECT_EQ(run::WriteState(third.state), run::WriteState(second.state));
}

}  // namespace
}  // namespace quorvin::engine::test
