// The connections a run makes to a computer with the alternate account: all
// of them are cancelled when the computer is done with, so that the next
// connection with another account does not meet 1219.

#include "engine/connections.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/collector.h"
#include "fake_platform.h"
#include "support/pe_image.h"
#include "support/temp_folder.h"
#include "support/test_network.h"

namespace quorvin::engine::test {
namespace {

const std::string kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::string kEventKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\system\\Svc";

RunOptions AlternateAccount(const char* user, const char* password) {
    RunOptions options;
    options.Filter_System = 1;
    options.Filter_Information = options.Filter_Warning = options.Filter_Error = 1;
    options.EnableStartDate = options.EnableEndDate = 1;
    options.AnotherLoginName = 1;
    std::strcpy(options.Username, user);
    std::strcpy(options.Password, password);
    return options;
}

TEST(ComputerConnections, NotesOnlyTheSharesOfTheConnectedComputerAndCancelsThemNewestFirst) {
    FakePlatform platform;
    platform.passwords["\\\\SV1\\admin$"] = "pw";
    ComputerConnections connections(platform);
    connections.Use("IPC$");  // not connected: the user's own connection
    EXPECT_FALSE(connections.Connected());
    ASSERT_EQ(connections.Connect("SV1", "admin", "pw"), 0u);
    connections.Use("IPC$");
    connections.UsePath("\\\\SV1\\C$\\WINNT\\System32\\a.dll");
    connections.UsePath("\\\\sv1\\c$\\b.dll");        // the same share
    connections.UsePath("\\\\SV10\\D$\\b.dll");       // another computer
    connections.UsePath("\\\\SV1\\D$");               // a share without a path
    connections.UsePath("\\\\SV1\\\x95\\\\x\\c.dll");  // a share named by a double-byte character ending in 5C
    connections.CancelAll();
    EXPECT_EQ(platform.connectionLog,
              (std::vector<std::string>{"add \\\\SV1\\admin$ admin", "cancel \\\\SV1\\\x95\\",
                                        "cancel \\\\SV1\\D$", "cancel \\\\SV1\\C$", "cancel \\\\SV1\\IPC$",
                                        "cancel \\\\SV1\\admin$"}));
    connections.CancelAll();  // nothing twice
    EXPECT_EQ(platform.connectionLog.size(), 6u);
}

class RunConnections : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"SV1", "SV2"}) {
            const std::string c = std::string("\\\\") + name;
            view.computers.push_back(name);
            platform.registries[c].Set(kVersionKey, "SystemRoot", "C:\\WINNT", platform::regtype::kSz);
            platform.registries[c].Set(kEventKey, "EventMessageFile", "D:\\app\\msg.dll");
            platform.registries[c].Set(kEventKey, "CategoryMessageFile", "%SystemRoot%\\System32\\cat.dll");
            platform.files[c + "\\D$\\app\\msg.dll"].messages[7] = "seven";
            platform.files[c + "\\C$\\WINNT\\System32\\cat.dll"].messages[2] = "category";
            FakeEvent e;
            e.timeGenerated = 1700000000;
            e.eventId = 7;
            e.category = 2;
            e.source = "Svc";
            platform.logs[c]["system"].newestFirst = {e, e};
        }
    }

    void Run() {
        Collector collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}});
        collector.Run();
    }

    FakePlatform platform;
    platform::Platform services = platform.Get();
    RunOptions options = AlternateAccount("admin", "pw");
    RecordingView view;
    std::string report;
    std::atomic<int> stop{0};
};

TEST_F(RunConnections, EveryShareAComputerWasReadThroughIsCancelledBeforeTheNext) {
    platform.passwords["\\\\SV1\\admin$"] = "pw";
    platform.passwords["\\\\SV2\\admin$"] = "pw";
    Run();
    EXPECT_EQ(view.rows.size(), 4u);
    const std::vector<std::string> one = {"cancel \\\\SV1\\D$", "cancel \\\\SV1\\C$", "cancel \\\\SV1\\IPC$",
                                          "cancel \\\\SV1\\admin$"};
    std::vector<std::string> expected = {"add \\\\SV1\\admin$ admin"};
    expected.insert(expected.end(), one.begin(), one.end());
    expected.push_back("add \\\\SV2\\admin$ admin");
    for (const std::string& line : one) expected.push_back(std::string(line).replace(9, 3, "SV2"));
    EXPECT_EQ(platform.connectionLog, expected);
}

TEST_F(RunConnections, StopCancelsTheConnectionsOfTheComputerAtHand) {
    platform.passwords["\\\\SV1\\admin$"] = "pw";
    view.onRow = [&] { stop = 1; };
    Run();
    EXPECT_EQ(platform.connectionLog,
              (std::vector<std::string>{"add \\\\SV1\\admin$ admin", "cancel \\\\SV1\\D$", "cancel \\\\SV1\\C$",
                                        "cancel \\\\SV1\\IPC$", "cancel \\\\SV1\\admin$"}));
}

TEST_F(RunConnections, AnotherAccountsConnectionIsExplainedInTheReport) {
    platform.connectionErrors["\\\\SV1\\admin$"] = 1219;
    view.computers = {"SV1"};
    Run();
    EXPECT_NE(report.find("注意 803:[SV1][admin]:別名でのﾛｸﾞｲﾝに失敗しました。\r\n"
                          "          現在ログオン中のアカウントで接続を試みます。\r\n"
                          "原因:T1219\r\n"
                          "          このｺﾝﾋﾟｭｰﾀへは既に別のｱｶｳﾝﾄで接続しています。"),
              std::string::npos)
        << report;
    // Not connected: the run cancels nothing of the user's own.
    EXPECT_EQ(platform.connectionLog, (std::vector<std::string>{"add \\\\SV1\\admin$ admin"}));
}

// On the simulated network, as on Windows, one account per computer while
// any connection to it remains: a run with one account and then a run with
// another both connect, since the first left nothing behind.
TEST(RunConnectionsOnANetwork, ASecondRunWithAnotherAccountConnects) {
    network::test::TempFolder temp;
    temp.Write("src/msg.dll", network::test::MessageDll({{7, u"seven %1\r\n"}}));
    std::string error;
    auto network = network::test::BuildTestNetwork(
        temp,
        "now 2003-06-17 10:00\n"
        "computer SV1\n"
        "  services shares=auth\n"
        "  account alice a\n"
        "  account bob b\n"
        "  source System Svc message=D:\\app\\msg.dll\n"
        "  file D:\\app\\msg.dll msg.dll\n"
        "  log System\n"
        "  event -1h information Svc 7 \"x\"\n",
        error);
    ASSERT_TRUE(network) << error;
    platform::Platform services = network->Services();
    for (const auto& [user, password] : {std::pair{"alice", "a"}, std::pair{"bob", "b"}, std::pair{"alice", "a"}}) {
        RunOptions options = AlternateAccount(user, password);
        RecordingView view;
        view.computers = {"SV1"};
        std::string report;
        std::atomic<int> stop{0};
        Collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();
        EXPECT_EQ(report.find("803"), std::string::npos) << user << "\n" << report;
        ASSERT_EQ(view.rows.size(), 1u) << user;
        EXPECT_EQ(view.rows[0].columns[7], "seven x  ") << user;
    }
    // A connection left behind by hand: the other account meets 1219.
    ASSERT_EQ(services.connections.AddConnection("\\\\SV1\\IPC$", "alice", "a"), 0u);
    EXPECT_EQ(services.connections.AddConnection("\\\\SV1\\admin$", "bob", "b"), 1219u);
}

}  // namespace
}  // namespace quorvin::engine::test
