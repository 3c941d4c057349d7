// Saved .evtx files read as a run reads a computer's logs: the run's types
// and window, every readable record of a damaged file, a report line for
// each file that cannot be read, and a stop that ends the run where it is.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/cp932.h"
#include "engine/file_run.h"
#include "fake_platform.h"
#include "rules/event_json.h"
#include "unit/formats/evtx/sample_log.h"

namespace quorvin::engine::test {
namespace {

using namespace evtx::test;

struct FileRunResult {
    std::vector<EventRow> rows;
    std::string report;
};

FileRunResult ReadFiles(const std::vector<std::vector<std::uint8_t>>& files, const RunOptions& options,
                        std::size_t stopAfter = 0) {
    RecordingView view;
    std::atomic<int> stop{0};
    FileRunResult result;
    view.onRow = [&] {
        if (stopAfter != 0 && view.rows.size() == stopAfter) stop = 1;
    };
    FileRunEnvironment environment{options, result.report, stop, view, true};
    std::vector<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) names.push_back("f" + std::to_string(i) + ".evtx");
    ReadLogFiles(environment, names, [&](std::size_t i, std::vector<std::uint8_t>& bytes, std::string& reason) {
        if (files[i].empty()) reason = "no such file";
        bytes = files[i];
        return !files[i].empty();
    });
    EXPECT_EQ(view.ended, 1);
    result.rows = view.rows;
    return result;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(FileRun, EveryKeptRecordOfEveryReadableFileIsARowAndEachFaultAReportLine) {
    // Levels go 0 to 4 by record: errors and warnings are records 1, 2, 3 of every five.
    const std::vector<std::uint8_t> good = evtx::WriteFile(SampleTemplates(), SampleRecords(1, 300));
    std::vector<std::uint8_t> damaged = good;
    ASSERT_GT(damaged.size(), evtx::kHeaderBlockSize + 2 * evtx::kChunkSize);
    damaged[evtx::kHeaderBlockSize + evtx::kChunkSize + evtx::kChunkHeaderSize + 100] ^= 0x55;
    const std::vector<std::uint8_t> text = {'n', 'o', ' ', 'l', 'o', 'g'};
    RunOptions options = EveryRecord();
    options.Filter_Information = 0;
    const FileRunResult run = ReadFiles({good, {}, text, damaged}, options);

    EXPECT_EQ(Count(run.report, "ｴﾗｰ 061:[f1.evtx]"), 1u) << run.report;
    EXPECT_EQ(Count(run.report, "ｴﾗｰ 062:[f2.evtx]"), 1u) << run.report;
    EXPECT_EQ(Count(run.report, "注意 060:[f3.evtx]"), 1u) << run.report;
    std::size_t fromGood = 0;
    for (const EventRow& row : run.rows) fromGood += row.facts->xml->recordId == 298 ? 1 : 0;
    ASSERT_EQ(fromGood, 2u);  // once from each readable file
    const std::size_t second = 180;
    ASSERT_GT(run.rows.size(), second + 100);
    EXPECT_LT(run.rows.size(), 2 * second);
    EXPECT_NE(run.report.find("ﾄｰﾀﾙ：" + std::to_string(run.rows.size()) + "件"), std::string::npos);

    // Record 1: UserData of an event with its own source name, level 1.
    const EventRow& first = run.rows[0];
    EXPECT_EQ(first.columns[1], "エラー");
    EXPECT_EQ(first.columns[3], "ｼｽﾃﾑ");
    EXPECT_EQ(first.columns[4], "dc01.example.local");
    EXPECT_EQ(first.columns[5], "Service Control Manager");
    EXPECT_EQ(first.columns[6], "1102");
    EXPECT_NE(first.columns[7].find("S-1-5-21-3623811015-3361044348-30300820-1101,管理者,EXAMPLE,0x3e8"),
              std::string::npos)
        << first.columns[7];

    // Record 2 as JSON Lines: its own texts in UTF-8, the record's 100 ns.
    const nlohmann::json j = nlohmann::json::parse(run::EventJsonLine(run.rows[1], "1"));
    EXPECT_EQ(j["winlog.api"], "wineventlog");
    EXPECT_EQ(j["winlog.channel"], "Security");
    EXPECT_EQ(j["winlog.record_id"], 2);
    EXPECT_EQ(j["winlog.event_id"], 7036);
    EXPECT_EQ(j["winlog.event_data.param1"], "Windows Update");
    EXPECT_EQ(j["winlog.process.pid"], 20);
    EXPECT_EQ(j["winlog.keywords"], nlohmann::json::array({"WDI Diag"}));
    EXPECT_EQ(std::string(j["@timestamp"]).size(), std::string("2016-07-08T18:12:51.6816408Z").size()) << j;
    EXPECT_EQ(std::string(j["winlog.provider_guid"]).front(), '{');
    // Record 7 names its computer in Japanese: UTF-8 from the record, not through CP932.
    for (const EventRow& row : run.rows) {
        if (row.facts->xml->recordId != 7) continue;
        EXPECT_EQ(nlohmann::json::parse(run::EventJsonLine(row, "1"))["host.name"],
                  "\xE3\x82\xB5\xE3\x83\xBC\xE3\x83\x90\xE3\x83\xBC" "01.example.local");
    }
}

TEST(FileRun, AStopEndsTheRunAtTheNextRecord) {
    const std::vector<std::uint8_t> good = evtx::WriteFile(SampleTemplates(), SampleRecords(1, 300));
    const FileRunResult run = ReadFiles({good, good}, EveryRecord(), 10);
    EXPECT_EQ(run.rows.size(), 10u);
    EXPECT_EQ(Count(run.report, "確認:(f0.evtx)ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。"), 1u) << run.report;
    EXPECT_EQ(Count(run.report, "ﾄｰﾀﾙ"), 0u);
    EXPECT_EQ(Count(run.report, "f1.evtx"), 0u);
}

}  // namespace
}  // namespace quorvin::engine::test
