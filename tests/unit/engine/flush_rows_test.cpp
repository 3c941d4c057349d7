// The view is told when each log's read has ended (CollectionView::FlushRows),
// so a view that hands rows over in batches shows every row of a log before
// the bar moves on and before the run ends; in a run of several computers
// at once, every computer's rows before the next computer's.

#include <gtest/gtest.h>

#include "engine/collector.h"
#include "fake_platform.h"

namespace quorvin::engine::test {
namespace {

// What the run did to the view, in order: "row NAME", "position", "flush", "end".
class OrderView : public RecordingView {
public:
    std::vector<std::string> calls;
    void AppendRow(const EventRow& row) override {
        RecordingView::AppendRow(row);
        calls.push_back("row " + row.columns[4]);
    }
    void SetProgressPosition(int position) override {
        RecordingView::SetProgressPosition(position);
        calls.push_back("position");
    }
    void FlushRows() override { calls.push_back("flush"); }
    void EndProgress() override {
        RecordingView::EndProgress();
        calls.push_back("end");
    }
};

class FlushRows : public ::testing::Test {
protected:
    void SetUp() override {
        options.Filter_System = options.Filter_Security = options.Filter_Application = 1;
        options.Filter_Information = options.Filter_Warning = options.Filter_Error = 1;
        options.EnableStartDate = options.EnableEndDate = 1;
        for (const char* name : {"SV1", "SV2", "SV3"}) {
            const std::string c = std::string("\\\\") + name;
            view.computers.push_back(name);
            FakeEvent e;
            e.timeGenerated = 1700000000;
            e.eventId = 7;
            e.source = "Svc";
            platform.logs[c]["system"].newestFirst = {e, e};
            platform.logs[c]["application"].newestFirst = {e};
        }
    }

    void Run(int parallel) {
        RunEnvironment environment{services, options, report, stop, view, nullptr, [] {}};
        environment.parallel = parallel;
        Collector(std::move(environment)).Run();
        ASSERT_EQ(view.rows.size(), 9u);
        ASSERT_EQ(view.calls.back(), "end");
    }

    FakePlatform platform;
    platform::Platform services = platform.Get();
    RunOptions options;
    std::string report;
    std::atomic<int> stop{0};
    OrderView view;
};

TEST_F(FlushRows, EveryLogsRowsAreFlushedBeforeTheBarMovesAndBeforeTheEnd) {
    Run(1);
    // After each row a flush comes before the next position and the end; one flush per log.
    bool pending = false;
    int flushes = 0;
    for (const std::string& call : view.calls) {
        if (call.rfind("row", 0) == 0) pending = true;
        if (call == "flush") {
            pending = false;
            ++flushes;
        }
        if (call == "position" || call == "end") {
            EXPECT_FALSE(pending) << call;
        }
    }
    EXPECT_EQ(flushes, 9);
}

TEST_F(FlushRows, AtSeveralAtOnceEachComputersRowsAreFlushedBeforeTheNextOnes) {
    Run(3);
    std::string shown;  // the computer whose rows wait for a flush
    for (const std::string& call : view.calls) {
        if (call.rfind("row ", 0) == 0) {
            const std::string computer = call.substr(4);
            EXPECT_TRUE(shown.empty() || shown == computer) << computer << " after " << shown;
            shown = computer;
        }
        if (call == "flush") shown.clear();
        if (call == "end") {
            EXPECT_TRUE(shown.empty());
        }
    }
}

}  // namespace
}  // namespace quorvin::engine::test
