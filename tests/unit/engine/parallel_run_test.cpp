// Several computers at once: over the demo network made slow (every call a
// round trip, unknown names and stopped services a timeout), with a log
// that cannot be read, the same names twice, one computer under its name
// and its address, and the alternate account, a run of 4 or 16 at a time
// gives the view, the report and the trace exactly what a run of one after
// another gives; a stop ends it as a run of one after another stopped at
// some point would end.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "engine/collector.h"
#include "fake_platform.h"
#include "services/simulated/simulated_network.h"
#include "support/channel_logs.h"
#include "support/heap.h"
#include "support/temp_folder.h"

namespace quorvin::engine::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSysmon = "Microsoft-Windows-Sysmon/Operational";

const std::vector<std::string> kComputers = {"ADMIN-PC", "DC01",     "192.168.10.2", "GHOST", "FS01",
                                             "NT4SV",    "PC01",     "pc01",         "PC02",  "PC03",
                                             "10.9.9.9", "DC01",     "NT4SV",        "BADLOG"};

// Everything a run hands to the view, the report and the trace.
struct Outcome {
    std::vector<EventRow> rows;
    std::vector<int> positions;
    std::vector<std::string> texts;
    int ended = 0;
    std::string report;
    std::string trace;
    int stopLeft = 0;

    bool operator==(const Outcome& o) const {
        if (rows.size() != o.rows.size()) return false;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].image != o.rows[i].image || rows[i].columns != o.rows[i].columns) return false;
        return positions == o.positions && texts == o.texts && ended == o.ended && report == o.report &&
               trace == o.trace && stopLeft == o.stopLeft;
    }
};

// A view that presses the stop button after its `stopAfter`-th call of
// AppendRow, SetProgressPosition or TreeItemCount (0: never).
class StoppingView : public RecordingView {
public:
    StoppingView(std::atomic<int>& stop, std::size_t stopAfter, bool countTree)
        : stop_(stop), stopAfter_(stopAfter), countTree_(countTree) {}
    std::size_t calls = 0;
    int TreeItemCount() override {
        if (countTree_) Called();
        return RecordingView::TreeItemCount();
    }
    void AppendRow(const EventRow& row) override {
        RecordingView::AppendRow(row);
        Called();
    }
    void SetProgressPosition(int position) override {
        RecordingView::SetProgressPosition(position);
        Called();
    }

private:
    void Called() {
        if (++calls == stopAfter_) stop_ = 1;
    }
    std::atomic<int>& stop_;
    std::size_t stopAfter_;
    bool countTree_;
};

class ParallelRun : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = std::getenv("QUORVIN_BINARY_DIR");
        const fs::path demo = binary ? fs::u8path(binary) / "demo-network" : fs::path();
        if (!fs::exists(demo / "network.ini")) GTEST_SKIP() << "the build made no demo network";
        fs::copy(demo, folder_.Path() / "net", fs::copy_options::recursive);
        // Every call a round trip of 1 ms; 4 ms before a computer that does not answer is given up.
        std::ofstream(folder_.Path() / "net" / "network.ini", std::ios::app) << "\n[network]\nlatency=1\ntimeout=4\n";
        // A computer whose System log is no log file, and whose channel fails part way.
        folder_.Write("net/BADLOG/logs/System.evt", std::string(4096, 'x'));
        folder_.Write("net/BADLOG/computer.ini", "[faults]\nReadFailsAfter=40,1726\n");
        folder_.Write("net/BADLOG/logs/ForwardedEvents.evtx", evtx::test::ChannelFile(1, 60, 4624, true));
        // Two channels of a computer the registry does not tell older than
        // Vista; the others' registries do, or they cannot be reached.
        folder_.Write("net/PC02/logs/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon_);
        folder_.Write("net/PC02/logs/ForwardedEvents.evtx", forwarded_);
        std::string error;
        network_ = network::SimulatedNetwork::Open(folder_.Path() / "net", error);
        ASSERT_TRUE(network_) << error;
    }

    // `countTree`: the tree's size counts as a call (a run of one after
    // another asks it per computer, a parallel run once).
    Outcome Collect(int parallel, const char* user, const char* password, std::size_t stopAfter = 0,
                    bool countTree = true) {
        network_->Reset();
        platform::Platform services = network_->Services();
        RunOptions settings = EveryRecord();
        settings.Channels = {kSysmon, "ForwardedEvents"};
        if (user) {
            settings.AnotherLoginName = 1;
            std::strcpy(settings.Username, user);
            std::strcpy(settings.Password, password);
        }
        Outcome outcome;
        std::atomic<int> stop{0};
        StoppingView view(stop, stopAfter, countTree);
        view.computers = kComputers;
        StringTrace trace;
        RunEnvironment environment{services, settings, outcome.report, stop, view, &trace, [] {}};
        environment.parallel = parallel;
        Collector(std::move(environment)).Run();
        outcome.rows = view.rows;
        outcome.positions = view.positions;
        outcome.texts = view.texts;
        outcome.ended = view.ended;
        outcome.trace = trace.text;
        outcome.stopLeft = stop;
        return outcome;
    }

    quorvin::network::test::TempFolder folder_;
    std::unique_ptr<network::SimulatedNetwork> network_;
    // Two batches of the one, one of the other.
    const std::vector<std::uint8_t> sysmon_ = evtx::test::ChannelFile(1, 260, 1);
    const std::vector<std::uint8_t> forwarded_ = evtx::test::ChannelFile(61, 90, 4624, true);
};

TEST_F(ParallelRun, GivesWhatOneAfterAnotherGives) {
    const char* accounts[][2] = {{nullptr, nullptr}, {"Administrator", "P@ssw0rd"}, {"Administrator", "wrong"}};
    for (const auto& account : accounts) {
        const Outcome sequential = Collect(1, account[0], account[1]);
        EXPECT_GT(sequential.rows.size(), 800u);
        EXPECT_NE(sequential.report.find("ｴﾗｰ 002:[\\\\GHOST][system]:"), std::string::npos);
        EXPECT_NE(sequential.report.find("[\\\\BADLOG][system]:"), std::string::npos);
        EXPECT_NE(sequential.report.find("ｴﾗｰ 015:[\\\\BADLOG][ForwardedEvents]"), std::string::npos);
        EXPECT_NE(sequential.report.find("注意 071:[\\\\DC01][" + std::string(kSysmon) + "]"), std::string::npos);
        if (!account[0]) {
            // Each channel's rows are the reader's records of its file.
            std::vector<EventRow> expected = evtx::test::ExpectedRows(sysmon_, "PC02", kSysmon);
            const std::vector<EventRow> forwarded = evtx::test::ExpectedRows(forwarded_, "PC02", "ForwardedEvents");
            expected.insert(expected.end(), forwarded.begin(), forwarded.end());
            std::vector<EventRow> channelRows;
            for (const EventRow& row : sequential.rows)
                if (row.columns[4] == "PC02" && (row.columns[3] == kSysmon || row.columns[3] == "ForwardedEvents"))
                    channelRows.push_back(row);
            ASSERT_EQ(channelRows.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                ASSERT_EQ(channelRows[i].columns, expected[i].columns) << "row " << i;
            }
        }
        if (account[1] && std::strcmp(account[1], "wrong") == 0) {
            EXPECT_NE(sequential.report.find("注意 803:[DC01][Administrator]:"), std::string::npos);
        }
        for (int parallel : {4, 16}) {
            const Outcome together = Collect(parallel, account[0], account[1]);
            EXPECT_TRUE(together == sequential) << parallel << " at once, account " << (account[0] ? account[1] : "-");
        }
    }
}

TEST_F(ParallelRun, AStopEndsItAsOneAfterAnotherStoppedSomewhere) {
    const Outcome whole = Collect(1, "Administrator", "P@ssw0rd");
    const std::size_t calls = whole.rows.size() + whole.positions.size() + kComputers.size();
    // Stops early, in the middle and near the end of the list.
    for (std::size_t stopAfter : {std::size_t{3}, calls / 2, calls - 20}) {
        const Outcome stopped = Collect(8, "Administrator", "P@ssw0rd", stopAfter);
        EXPECT_EQ(stopped.ended, 1);
        const std::size_t cancel = stopped.report.rfind("ｷｬﾝｾﾙ");
        bool found = false;
        if (cancel == std::string::npos) {
            // Every computer was past its last look at the button: the run
            // ends whole, the button still pressed, as one after another would.
            Outcome late = whole;
            late.stopLeft = 1;
            found = stopped == late;
        } else {
            EXPECT_EQ(stopped.stopLeft, 0);
            // The cancel line is the last line.
            EXPECT_EQ(stopped.report.find("\r\n", cancel) + 2, stopped.report.size());
            // A run of one after another stopped at one of the calls around
            // where this one ended gives the same (it asks the tree's size
            // once per computer, this run once).
            const std::size_t reached = stopped.rows.size() + stopped.positions.size();
            for (std::size_t at = reached; at < reached + kComputers.size() + 3 && !found; ++at)
                found = Collect(1, "Administrator", "P@ssw0rd", at) == stopped;
        }
        EXPECT_TRUE(found) << "stopped after call " << stopAfter << ": " << stopped.rows.size() << " rows";
    }
}

// The window presses stop while it shows what the run hands it (a row, a
// progress position): the run ends at the next place a run of one computer
// after another looks at the button, with the same lines, even when the
// computers' threads are long past it.
TEST_F(ParallelRun, AStopPressedWhileResultsAreShownEndsWhereOneAfterAnotherEnds) {
    const Outcome whole = Collect(1, nullptr, nullptr, 0, false);
    const std::size_t calls = whole.rows.size() + whole.positions.size();
    for (std::size_t stopAfter : {std::size_t{1}, std::size_t{2}, std::size_t{5}, calls / 3, calls / 2, calls - 3}) {
        const Outcome sequential = Collect(1, nullptr, nullptr, stopAfter, false);
        ASSERT_NE(sequential.report.find("ｷｬﾝｾﾙ"), std::string::npos) << stopAfter;
        for (int parallel : {4, 16})
            EXPECT_TRUE(Collect(parallel, nullptr, nullptr, stopAfter, false) == sequential)
                << "stopped after call " << stopAfter << " of " << calls << ", " << parallel << " at once";
    }
}

// Holds threads until it is opened, for ten seconds at most.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    // False when the ten seconds passed first.
    bool Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        return opened_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Computers SV0, SV1 and SV2 with empty logs; `events` records of `bytes`
// of insertion string in one computer's System log.
class ParallelThreads : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"\\\\SV0", "\\\\SV1", "\\\\SV2"}) {
            for (const char* log : {"system", "security", "application"}) platform_.logs[name][log];
            platform_.registries[name].Set("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot",
                                           "C:\\WINNT", platform::regtype::kSz);
        }
        platform_.registries[""];
    }
    void Fill(const char* computer, std::size_t events, std::size_t bytes) {
        auto& log = platform_.logs[computer]["system"].newestFirst;
        for (std::size_t i = 0; i < events; ++i) {
            FakeEvent e;
            e.timeGenerated = 1700000000;
            e.eventId = 1;
            e.source = "Svc";
            e.strings = {std::string(bytes, 'x')};
            log.push_back(std::move(e));
        }
    }
    // A run of the three computers, two at a time.
    void Run(RunEnvironment::ParallelSeams seams, std::size_t heldBytes = std::size_t{64} << 20) {
        platform::Platform services = platform_.Get();
        const RunOptions settings = EveryRecord();
        view_.computers = {"SV0", "SV1", "SV2"};
        RunEnvironment environment{services, settings, report_, stop_, view_, nullptr, [] {}};
        environment.parallel = 2;
        environment.heldBytes = heldBytes;
        environment.seams = std::move(seams);
        Collector(std::move(environment)).Run();
    }

    FakePlatform platform_;
    RecordingView view_;
    std::string report_;
    std::atomic<int> stop_{0};
};

// The run's thread only hands out while computers' threads run. Held so
// that it looks for results before any thread has taken a computer, the
// first computer is still read by a thread of its own, and the stop pressed
// during its log reaches that thread at its next record.
TEST_F(ParallelThreads, TheRunsThreadOnlyHandsOutAndAStopReachesTheReader) {
    Fill("\\\\SV0", 5000, 1000);
    Gate handingOut;
    std::atomic<bool> workersHeld{true};
    std::atomic<std::size_t> furthest{0};
    platform_.beforeRecord = [&](const std::string& server, const std::string&, std::size_t index) {
        if (server != "\\\\SV0") return;
        furthest = std::max<std::size_t>(furthest, index);
        if (index == 100) stop_ = 1;
    };
    RunEnvironment::ParallelSeams seams;
    seams.workerStarting = [&] {
        if (!handingOut.Wait()) workersHeld = false;
    };
    seams.awaitingResults = [&] { handingOut.Open(); };
    Run(std::move(seams));
    EXPECT_TRUE(workersHeld) << "the run's thread collected while the computers' threads waited";
    EXPECT_LT(furthest.load(), 1500u) << "records read after the stop";
    EXPECT_NE(report_.find("ｷｬﾝｾﾙ"), std::string::npos);
    EXPECT_LT(view_.rows.size(), 200u);
}

// While the first computer waits, the second holds what it reads until the
// run holds its share, and then waits its turn: the heap grows by that
// share and the read buffers, whatever the second computer's log holds.
TEST_F(ParallelThreads, WhatTheComputersHoldStaysWithinTheirShare) {
#if !defined(__linux__) || defined(QUORVIN_UNDER_ASAN)
    GTEST_SKIP() << "measured with glibc's own heap";
#else
    constexpr std::size_t kShare = std::size_t{8} << 20;
    Fill("\\\\SV0", 10, 10);
    Fill("\\\\SV1", 60000, 300);
    // Its texts come from a message file, grown as they are formatted.
    platform_.registries["\\\\SV1"].Set("SYSTEM\\CurrentControlSet\\Services\\EventLog\\system\\Svc",
                                         "EventMessageFile", "C:\\m.dll");
    platform_.files["\\\\SV1\\C$\\m.dll"].messages[1] = "%1";
    Gate full;
    std::atomic<bool> firstWaited{false};
    // Sampled until the second computer first waits (the view keeps every
    // row handed out after that).
    std::mutex peakMutex;
    std::size_t peak = 0;
    bool waited = false;
    const auto sample = [&] {
        std::lock_guard<std::mutex> lock(peakMutex);
        if (!waited) peak = std::max<std::size_t>(peak, quorvin::testing::HeapInUse());
    };
    platform_.beforeRecord = [&](const std::string& server, const std::string&, std::size_t index) {
        if (server == "\\\\SV1") sample();
        if (server == "\\\\SV0" && index == 0) firstWaited = full.Wait();
    };
    RunEnvironment::ParallelSeams seams;
    seams.heldFull = [&] {
        sample();
        std::lock_guard<std::mutex> lock(peakMutex);
        waited = true;
        full.Open();
    };
    const std::size_t before = quorvin::testing::HeapInUse();
    Run(std::move(seams), kShare);
    EXPECT_TRUE(firstWaited) << "the second computer never waited for its turn";
    EXPECT_EQ(view_.rows.size(), 60010u);
    // Two read buffers of 320,000 bytes and the caches of two logs beside the share.
    EXPECT_LE(peak - before, kShare + (std::size_t{1} << 20)) << "held " << (peak - before) << " bytes";
#endif
}

}  // namespace
}  // namespace quorvin::engine::test
