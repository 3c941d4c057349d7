// Saved .evtx and .evt files read as a run reads a computer's logs: the
// run's types and window, every readable record of a damaged file, a report
// line for each file that cannot be read, a stop that ends the run where it
// is, and .evt records given their texts by this machine's message files;
// .evtx records by this machine's publishers, as their channel gives them.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/cp932.h"
#include "engine/collector.h"
#include "engine/file_run.h"
#include "fake_platform.h"
#include "rules/event_json.h"
#include "services/simulated/simulated_network.h"
#include "unit/formats/evtx/sample_log.h"
#include "support/temp_folder.h"
#include "support/test_network.h"

namespace quorvin::engine::test {
namespace {

using namespace evtx::test;

struct FileRunResult {
    std::vector<EventRow> rows;
    std::string report;
};

// The files are named "f0.evtx"... unless `given` names them.
FileRunResult ReadFiles(const std::vector<std::vector<std::uint8_t>>& files, const RunOptions& options,
                        std::size_t stopAfter = 0, std::vector<std::string> given = {},
                        platform::Platform* machine = nullptr) {
    RecordingView view;
    std::atomic<int> stop{0};
    FileRunResult result;
    view.onRow = [&] {
        if (stopAfter != 0 && view.rows.size() == stopAfter) stop = 1;
    };
    FileRunEnvironment environment{options, result.report, stop, view, true, machine};
    std::vector<std::string> names = std::move(given);
    for (std::size_t i = names.size(); i < files.size(); ++i) names.push_back("f" + std::to_string(i) + ".evtx");
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

TEST(FileRun, EvtRecordsTakeTheirTextsFromThisMachineUnderTheLogTheNameOrTheSourceTells) {
    // HOME plays this machine; the records were written on OLDSV.
    const std::string description =
        "now 2003-06-17 10:00\nlocal HOME\ncomputer HOME\n  systemroot C:\\WINDOWS\n"
        "  file C:\\WINDOWS\\System32\\msgtest_ansi32.dll msgtest_ansi32.dll\n"
        "  source System SysSvc message=%SystemRoot%\\System32\\msgtest_ansi32.dll\n"
        "  source Application AppSvc message=%SystemRoot%\\System32\\msgtest_ansi32.dll\n"
        "  source Security AppSvc message=C:\\gone.dll\n"
        "  source Security SecSvc message=%SystemRoot%\\System32\\msgtest_ansi32.dll\n"
        "computer OLDSV\n  log System\n"
        "    event -4h error SysSvc 1 \"一\"\n    event -3h warning AppSvc 1 \"二\"\n"
        "    event -2h success SecSvc 1 \"三\"\n    event -1h information Nobody 7 \"四\"\n";
    network::test::TempFolder temp;
    std::string error;
    const auto network = network::test::BuildTestNetwork(temp, description, error);
    ASSERT_TRUE(network) << error;
    std::ifstream in(temp.Path() / "net" / "OLDSV" / "logs" / "System.evt", std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    platform::Platform machine = network->Services();
    const FileRunResult run =
        ReadFiles({file, file}, EveryRecord(), 0, {"C:\\old\\SYSEVENT.EVT", "saved.evt"}, &machine);
    ASSERT_EQ(run.rows.size(), 8u) << run.report;
    const std::string text = "ANSI の日本語ソ表 ";
    const auto column = [&](std::size_t row, std::size_t c) { return run.rows[row].columns[c]; };
    // Newest first, as a log is read; the file's name makes every source a System one.
    EXPECT_EQ(column(3, 7).rfind(text + "一", 0), 0u) << column(3, 7);
    EXPECT_EQ(column(3, 4), "OLDSV");
    for (std::size_t row = 0; row < 3; ++row) {
        EXPECT_EQ(column(row, 3), "ｼｽﾃﾑ");
        EXPECT_EQ(column(row, 7).rfind("ｿｰｽ (", 0), 0u) << column(row, 7);
    }
    // A name of no log: each source under the first of System, Application, Security that has it.
    EXPECT_EQ(column(4, 3), "ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(column(4, 7).rfind("ｿｰｽ (Nobody) 内のｲﾍﾞﾝﾄ ID (7)", 0), 0u) << column(4, 7);
    EXPECT_EQ(column(5, 3), "ｾｷｭﾘﾃｨ");
    EXPECT_EQ(column(5, 7).rfind(text + "三", 0), 0u) << column(5, 7);
    EXPECT_EQ(column(6, 3), "ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(column(6, 7).rfind(text + "二", 0), 0u) << column(6, 7);
    EXPECT_EQ(column(7, 3), "ｼｽﾃﾑ");
    EXPECT_EQ(column(7, 0 + 1), "エラー");
    EXPECT_EQ(run.rows[7].facts->computerName, "OLDSV");
    EXPECT_EQ(run.rows[7].facts->xml, nullptr);
    EXPECT_EQ(Count(run.report, "063"), 0u) << run.report;

    // Without a machine: the texts not found, and one line for the file that says why.
    const FileRunResult bare = ReadFiles({file}, EveryRecord(), 0, {"saved.evt"});
    ASSERT_EQ(bare.rows.size(), 4u);
    for (const EventRow& row : bare.rows) EXPECT_EQ(row.columns[7].rfind("ｿｰｽ (", 0), 0u) << row.columns[7];
    EXPECT_EQ(Count(bare.report, "注意 063:[saved.evt]"), 1u) << bare.report;
}

// The demo's APP01 playing this machine: its channels copied off as .evtx
// files show the texts the channels show when the computer is read.
TEST(FileRun, EvtxRecordsTakeTheTextsTheirChannelGivesFromThisMachinesPublishers) {
    namespace fs = std::filesystem;
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    const fs::path demo = binary ? fs::u8path(binary) / "demo-network" : fs::path();
    if (!fs::exists(demo / "APP01" / "logs")) GTEST_SKIP() << "the build made no demo network";
    network::test::TempFolder folder;
    fs::copy(demo, folder.Path() / "net", fs::copy_options::recursive);
    std::ifstream in(folder.Path() / "net" / "network.ini", std::ios::binary);
    std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::size_t local = ini.find("computer=ADMIN-PC");
    ASSERT_NE(local, std::string::npos);
    std::ofstream(folder.Path() / "net" / "network.ini", std::ios::binary)
        << ini.replace(local, 17, "computer=APP01");
    std::string problem;
    const auto net = network::SimulatedNetwork::Open(folder.Path() / "net", problem);
    ASSERT_TRUE(net) << problem;
    platform::Platform services = net->Services();

    const std::vector<std::string> channels = {"Microsoft-Windows-PowerShell/Operational",
                                               "Microsoft-Windows-TaskScheduler/Operational"};
    RunOptions options = EveryRecord();
    options.Filter_System = options.Filter_Security = options.Filter_Application = 0;
    options.Channels = channels;
    RecordingView view;
    view.computers = {"APP01"};
    std::string report;
    std::atomic<int> stop{0};
    Collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();

    std::vector<std::vector<std::uint8_t>> files;
    for (const char* file : {"Microsoft-Windows-PowerShell%4Operational.evtx",
                             "Microsoft-Windows-TaskScheduler%4Operational.evtx"}) {
        std::ifstream bytes(folder.Path() / "net" / "APP01" / "logs" / file, std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(bytes), std::istreambuf_iterator<char>());
    }
    const FileRunResult saved = ReadFiles(files, options, 0, {}, &services);
    const FileRunResult bare = ReadFiles(files, options);

    std::vector<std::string> read, offline;
    for (const EventRow& row : view.rows) read.push_back(row.columns[7]);
    for (const EventRow& row : saved.rows) offline.push_back(row.columns[7]);
    ASSERT_GT(read.size(), 4u) << report;
    std::sort(read.begin(), read.end());
    std::sort(offline.begin(), offline.end());
    EXPECT_EQ(offline, read);
    // Without this machine's services the same records show no such text.
    ASSERT_EQ(bare.rows.size(), saved.rows.size());
    for (std::size_t i = 0; i < bare.rows.size(); ++i) EXPECT_NE(bare.rows[i].columns[7], saved.rows[i].columns[7]) << i;
}

}  // namespace
}  // namespace quorvin::engine::test
