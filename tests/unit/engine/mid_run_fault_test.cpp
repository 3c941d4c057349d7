// Services that fail part way through a run, on a copy of the demo network
// with [faults] in its computer.ini files: the rows made before a fault
// stay, the coded report lines name what failed, the run goes on with the
// next log and the next computer, and no row appears twice.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "engine/collector.h"
#include "fake_platform.h"
#include "formats/messages/format_message.h"
#include "services/simulated/simulated_network.h"
#include "support/temp_folder.h"

namespace quorvin::engine::test {
namespace {

namespace fs = std::filesystem;

fs::path DemoNetwork() {
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    return binary ? fs::u8path(binary) / "demo-network" : fs::path();
}

const std::vector<std::string> kComputers = {"ADMIN-PC", "DC01", "FS01", "NT4SV", "PC01", "PC02", "PC03"};

struct Outcome {
    std::vector<EventRow> rows;
    std::string report;
    // The rows of each computer and log ("PC01|ｼｽﾃﾑ"), in list order.
    std::map<std::string, std::vector<EventRow>> logs;
};

class MidRunFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(DemoNetwork() / "network.ini")) GTEST_SKIP() << "the build made no demo network";
        fs::copy(DemoNetwork(), folder_.Path() / "net", fs::copy_options::recursive);
    }

    // Adds a [faults] section with `lines` to a computer's computer.ini.
    void Fault(const std::string& computer, const std::string& lines) {
        std::ofstream(folder_.Path() / "net" / computer / "computer.ini", std::ios::app | std::ios::binary)
            << "\r\n[faults]\r\n" << lines << "\r\n";
    }

    Outcome Collect(bool cache = true) {
        std::string error;
        auto network = network::SimulatedNetwork::Open(folder_.Path() / "net", error);
        EXPECT_TRUE(network) << error;
        Outcome outcome;
        if (!network) return outcome;
        platform::Platform services = network->Services();
        engine::RunOptions settings = EveryRecord();
        RecordingView view;
        view.computers = kComputers;
        std::atomic<int> stop{0};
        RunEnvironment environment{services, settings, outcome.report, stop, view, nullptr, [] {}};
        environment.cacheWithinLog = cache;
        Collector(environment).Run();
        outcome.rows = view.rows;
        for (const EventRow& row : view.rows) outcome.logs[row.columns[4] + "|" + row.columns[3]].push_back(row);
        return outcome;
    }

    network::test::TempFolder folder_;
};

// The columns that come from the record alone, not from message files.
std::string Identity(const EventRow& row) {
    std::string s;
    for (int i = 1; i <= 6; ++i) s += row.columns[static_cast<std::size_t>(i)] + "\t";
    return s;
}

std::vector<std::string> Identities(const std::vector<EventRow>& rows) {
    std::vector<std::string> out;
    for (const EventRow& row : rows) out.push_back(Identity(row));
    return out;
}

bool SameRows(const std::vector<EventRow>& a, const std::vector<EventRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].image != b[i].image || a[i].columns != b[i].columns) return false;
    return true;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

std::string Cause(std::uint32_t code) { return messages::SystemErrorText(code); }

TEST_F(MidRunFaults, ReadBreakingPartWayKeepsTheRowsBeforeAndGoesOn) {
    const Outcome before = Collect();
    ASSERT_GT(before.logs.at("PC01|ｼｽﾃﾑ").size(), 3u);
    Fault("PC01", "ReadFailsAfter=3,1726");
    Fault("ADMIN-PC", "ReadFailsAfter=0,1722");
    const Outcome after = Collect();

    for (const auto& [log, rows] : before.logs) {
        const auto found = after.logs.find(log);
        const std::vector<EventRow> got = found == after.logs.end() ? std::vector<EventRow>{} : found->second;
        if (log.rfind("PC01|", 0) == 0) {
            // The first three records of each of PC01's logs, as they were.
            const std::vector<EventRow> first(rows.begin(), rows.begin() + std::min<std::size_t>(3, rows.size()));
            EXPECT_TRUE(SameRows(got, first)) << log;
        } else if (log.rfind("ADMIN-PC|", 0) == 0) {
            EXPECT_TRUE(got.empty()) << log;
        } else {
            EXPECT_TRUE(SameRows(got, rows)) << log;
        }
    }
    const std::string& r = after.report;
    for (const char* log : {"system", "security", "application"}) {
        EXPECT_EQ(Count(r, std::string("ｴﾗｰ 015:[\\\\PC01][") + log + "]"), 1u) << log;
        EXPECT_EQ(Count(r, std::string("ｴﾗｰ 015:[\\\\ADMIN-PC][") + log + "]"), 1u) << log;
    }
    EXPECT_EQ(Count(r, "原因 016:" + Cause(1726)), 3u);
    EXPECT_EQ(Count(r, "原因 016:" + Cause(1722)), 3u);
    EXPECT_NE(r.find("失敗:(PC01)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得に失敗しました。"), std::string::npos);
    EXPECT_NE(r.find("確認:(PC02)ｼｽﾃﾑﾛｸﾞの取得を開始します。"), std::string::npos);
    EXPECT_NE(r.find("ﾄｰﾀﾙ：" + std::to_string(after.rows.size()) + "件"), std::string::npos);
}

TEST_F(MidRunFaults, RegistryDroppingPartWayKeepsEveryRowOnce) {
    const Outcome before = Collect();
    Fault("PC01", "RegistryFailsAfter=6,1726");
    Fault("DC01", "RegistryFailsAfter=2,1722");
    for (bool cache : {true, false}) {
        const Outcome after = Collect(cache);
        // Every record still makes its row, once, in the same place.
        EXPECT_EQ(Identities(after.rows), Identities(before.rows)) << cache;
        std::size_t changed = 0;
        for (std::size_t i = 0; i < after.rows.size() && i < before.rows.size(); ++i) {
            const std::string& computer = after.rows[i].columns[4];
            if (computer != "PC01" && computer != "DC01")
                EXPECT_EQ(after.rows[i].columns, before.rows[i].columns) << i;
            else if (after.rows[i].columns[7] != before.rows[i].columns[7])
                ++changed;
        }
        EXPECT_GT(changed, 0u) << cache;
        EXPECT_NE(after.report.find(Cause(1726)), std::string::npos) << cache;
        EXPECT_NE(after.report.find(Cause(1722)), std::string::npos) << cache;
        EXPECT_EQ(after.report.find("ｴﾗｰ 015:"), std::string::npos) << cache;
        EXPECT_NE(after.report.find("ﾄｰﾀﾙ：" + std::to_string(before.rows.size()) + "件"), std::string::npos);
    }
}

TEST_F(MidRunFaults, ShareGoingAwayPartWayKeepsEveryRowOnce) {
    const Outcome before = Collect();
    Fault("PC01", "SharesFailAfter=2,64");
    Fault("NT4SV", "SharesFailAfter=0,53");
    for (bool cache : {true, false}) {
        const Outcome after = Collect(cache);
        EXPECT_EQ(Identities(after.rows), Identities(before.rows)) << cache;
        std::set<std::string> changedOn;
        for (std::size_t i = 0; i < after.rows.size() && i < before.rows.size(); ++i)
            if (after.rows[i].columns != before.rows[i].columns) changedOn.insert(after.rows[i].columns[4]);
        // NT4SV's texts come from this machine's files when its share is gone;
        // PC01's modules loaded before the share went away stop giving texts.
        EXPECT_EQ(changedOn, (std::set<std::string>{"PC01"})) << cache;
        EXPECT_NE(after.report.find("原因 049:[\\\\NT4SV]"), std::string::npos) << cache;
        EXPECT_NE(after.report.find(Cause(64)), std::string::npos) << cache;
        EXPECT_NE(after.report.find(Cause(53)), std::string::npos) << cache;
        EXPECT_NE(after.report.find("ﾄｰﾀﾙ：" + std::to_string(before.rows.size()) + "件"), std::string::npos);
    }
}

TEST_F(MidRunFaults, EveryFaultAtOnceOnOneComputer) {
    const Outcome before = Collect();
    Fault("PC01", "ReadFailsAfter=5,1726\r\nRegistryFailsAfter=3,1726\r\nSharesFailAfter=1,1722");
    const Outcome after = Collect();
    for (const auto& [log, rows] : before.logs) {
        const auto found = after.logs.find(log);
        const std::vector<EventRow> got = found == after.logs.end() ? std::vector<EventRow>{} : found->second;
        if (log.rfind("PC01|", 0) == 0) {
            const std::vector<EventRow> first(rows.begin(), rows.begin() + std::min<std::size_t>(5, rows.size()));
            EXPECT_EQ(Identities(got), Identities(first)) << log;
        } else {
            EXPECT_TRUE(SameRows(got, rows)) << log;
        }
    }
    EXPECT_EQ(Count(after.report, "ｴﾗｰ 015:[\\\\PC01]"), 3u);
}

}  // namespace
}  // namespace quorvin::engine::test
