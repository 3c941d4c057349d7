// The console collector run as a program on the demo network: what it
// writes, and that a refused or bad command writes nothing.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <regex>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

#include <nlohmann/json.hpp>

#include "core/cp932.h"
#include "formats/evt/evt.h"
#include "unit/formats/evtx/sample_log.h"

namespace {

namespace fs = std::filesystem;

class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = std::getenv("QUORVIN_BINARY_DIR");
        if (!binary) GTEST_SKIP() << "QUORVIN_BINARY_DIR is not set";
        build_ = binary;
        if (!fs::exists(build_ / "demo-network" / "network.ini")) GTEST_SKIP() << "no demo network";
        out_ = fs::temp_directory_path() / ("quorvin-cli-test-" + std::to_string(::getpid()));
        fs::remove_all(out_);
        fs::create_directories(out_);
    }
    void TearDown() override {
        if (!out_.empty()) fs::remove_all(out_);
    }

    // Runs quorvin-cli with `arguments`, its standard output and error going
    // to `out` and `err` (files of the test folder unless they start with
    // "/"), after `before` (the start of a shell pipe, an environment
    // setting); its exit code.
    int Run(const std::string& arguments, const std::string& out = "stdout", const std::string& err = "stderr",
            const std::string& before = "") {
        const fs::path network = network_.empty() ? build_ / "demo-network" : network_;
        const std::string command = before + "'" + (build_ / "bin" / "quorvin-cli").string() + "' --network '" +
                                    network.string() + "' " + arguments + " >'" + Place(out) +
                                    "' 2>'" + Place(err) + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Place(const std::string& name) { return name[0] == '/' ? name : (out_ / name).string(); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(out_ / name, std::ios::binary) << bytes;
    }
    // The files of the test folder, to see that no temporary file is left.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(out_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path build_;
    fs::path out_;
    fs::path network_;  // empty: the demo network
};

TEST_F(CliRun, WritesTheExportFileAndTheReport) {
    ASSERT_EQ(Run("--computers PC01,pc01,PC03 --logs system --csv '" + (out_ / "e.csv").string() + "' --report '" +
                  (out_ / "r.txt").string() + "'"),
              0);
    const std::string csv = Read("e.csv");
    EXPECT_EQ(csv.rfind("種類,時刻,ｲﾍﾞﾝﾄ,ｺﾝﾋﾟｭｰﾀ名,ｿｰｽ,ｲﾍﾞﾝﾄID,ﾒｯｾｰｼﾞ\r\n", 0), 0u);
    EXPECT_NE(csv.find(",ｼｽﾃﾑ,PC01,"), std::string::npos);
    const std::string report = Read("r.txt");
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n確認:(PC01)ｼｽﾃﾑﾛｸﾞの取得を開始します。\r\n", 0), 0u);
    // The repeated name is collected once; PC03 is switched off.
    EXPECT_EQ(report.find("(pc01)"), std::string::npos);
    EXPECT_NE(report.find("失敗:(PC03)ｼｽﾃﾑﾛｸﾞの取得に失敗しました。\r\n"), std::string::npos);
    EXPECT_NE(report.find("ﾄｰﾀﾙ："), std::string::npos);
}

namespace {

// A row of the export file: its seven fields, the message (which may hold commas) last.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

TEST_F(CliRun, FilteredRowsAreTheUnfilteredRowsThatMatchAndTheReportIsUnchanged) {
    const std::string all = " --computers DC01,FS01,PC01,PC02,NT4SV,APP01,PC04";
    const std::string files = " --csv '" + (out_ / "e.csv").string() + "' --report '" + (out_ / "r.txt").string() + "'";
    ASSERT_EQ(Run(all + " --parallel 1" + files), 0);
    const std::string report = Read("r.txt");
    std::vector<std::string> lines;
    const std::string csv = Read("e.csv");
    for (std::size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(csv.substr(at, end - at));
    ASSERT_GT(lines.size(), 100u);
    const auto id = [](const std::vector<std::string>& f) { return std::stoi(f[5]); };
    const struct {
        std::string switches;
        std::function<bool(const std::vector<std::string>&)> match;
        bool sameReport;
    } cases[] = {
        {"--event-ids 529,675,4625,6008", [&](const auto& f) { return id(f) == 529 || id(f) == 675 || id(f) == 4625 || id(f) == 6008; }, true},
        {"--event-ids=' 7-11 , -9'", [&](const auto& f) { return id(f) >= 7 && id(f) <= 11 && id(f) != 9; }, true},
        {"--event-ids -528,-7036", [&](const auto& f) { return id(f) != 528 && id(f) != 7036; }, true},
        {"--sources 'service control manager,DISK'",
         [](const auto& f) { return AsciiLower(f[4]) == "service control manager" || f[4] == "Disk"; }, true},
        {"--text LOGON", [](const auto& f) { return AsciiLower(f[6]).find("logon") != std::string::npos; }, true},
        {"--computers DC01 --event-ids 528-529 --text administrator",
         [&](const auto& f) {
             return f[3] == "DC01" && (id(f) == 528 || id(f) == 529) &&
                    AsciiLower(f[6]).find("administrator") != std::string::npos;
         },
         false},
    };
    for (const auto& c : cases) {
        std::string expected = lines[0] + "\r\n";
        std::size_t matching = 0;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (!c.match(Fields(lines[i]))) continue;
            expected += lines[i] + "\r\n";
            ++matching;
        }
        EXPECT_GT(matching, 0u) << c.switches;
        EXPECT_LT(matching, lines.size() - 1) << c.switches;
        for (const char* parallel : {" --parallel 1", ""}) {
            const std::string computers = c.sameReport ? all : "";
            ASSERT_EQ(Run(computers + parallel + " " + c.switches + files), 0) << c.switches << Read("stderr");
            EXPECT_EQ(Read("e.csv"), expected) << c.switches << parallel;
            if (c.sameReport) {
                EXPECT_EQ(Read("r.txt"), report) << c.switches << parallel;
            }
        }
    }
}

// The summary is the run's CSV grouped: every group once, its count, its
// first and its last time, most events first; JSON Lines carry the same
// groups in the same order.
TEST_F(CliRun, SummaryIsTheWrittenRowsGrouped) {
    const std::string run = " --computers DC01,FS01,PC01,PC02,NT4SV,APP01,PC04,dc01 --parallel 16 --event-ids -7036";
    ASSERT_EQ(Run(run + " --csv '" + (out_ / "e.csv").string() + "' --summary '" + (out_ / "s.csv").string() + "'"),
              0)
        << Read("stderr");
    using Key = std::tuple<std::string, std::string, std::string, std::string, std::string>;
    std::map<Key, std::tuple<int, std::string, std::string>> expected;
    const std::string csv = Read("e.csv");
    std::size_t at = csv.find("\r\n") + 2;
    for (std::size_t end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::vector<std::string> f = Fields(csv.substr(at, end - at));
        ASSERT_NE(f[5], "7036");
        auto [place, added] = expected.try_emplace(Key{AsciiLower(f[3]), f[2], f[0], AsciiLower(f[4]), f[5]}, 0,
                                                   f[1], f[1]);
        auto& [count, first, last] = place->second;
        ++count;
        first = std::min(first, f[1]);
        last = std::max(last, f[1]);
    }
    ASSERT_GT(expected.size(), 20u);
    const std::string summary = Read("s.csv");
    ASSERT_EQ(summary.rfind("ｺﾝﾋﾟｭｰﾀ名,ｲﾍﾞﾝﾄ,種類,ｿｰｽ,ｲﾍﾞﾝﾄID,件数,最初,最後\r\n", 0), 0u);
    std::vector<int> counts;
    at = summary.find("\r\n") + 2;
    for (std::size_t end; (end = summary.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::vector<std::string> f;
        const std::string line = summary.substr(at, end - at);
        for (std::size_t start = 0, comma;; start = comma + 1) {
            comma = line.find(',', start);
            f.push_back(line.substr(start, comma - start));
            if (comma == std::string::npos) break;
        }
        ASSERT_EQ(f.size(), 8u) << line;
        const auto found = expected.find(Key{AsciiLower(f[0]), f[1], f[2], AsciiLower(f[3]), f[4]});
        ASSERT_NE(found, expected.end()) << line;
        EXPECT_EQ(found->second, std::make_tuple(std::stoi(f[5]), f[6], f[7])) << line;
        expected.erase(found);
        if (!counts.empty()) {
            EXPECT_GE(counts.back(), std::stoi(f[5])) << line;
        }
        counts.push_back(std::stoi(f[5]));
    }
    EXPECT_TRUE(expected.empty());

    // JSON Lines: the same groups in the same order, to standard output.
    ASSERT_EQ(Run(run + " --format jsonl --out '" + (out_ / "e.jsonl").string() + "' --summary -"), 0);
    const std::string lines = Read("stdout");
    std::vector<int> jsonCounts;
    const std::regex count("\"count\":([0-9]+),\"first\":\"[0-9-]+T[0-9:]+Z\",\"last\":\"[0-9-]+T[0-9:]+Z\"\\}\n");
    for (std::sregex_iterator m(lines.begin(), lines.end(), count), none; m != none; ++m)
        jsonCounts.push_back(std::stoi((*m)[1]));
    EXPECT_EQ(jsonCounts, counts);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), static_cast<long>(counts.size()));
    // The summary on standard output needs the rows in a file; a shared file is refused.
    EXPECT_EQ(Run(run + " --summary -"), 2);
    EXPECT_NE(Read("stderr").find("--summary - and the rows both go to standard output"), std::string::npos);
    EXPECT_EQ(Run(run + " --csv '" + (out_ / "x.csv").string() + "' --summary '" + (out_ / "x.csv").string() + "'"), 2);
    EXPECT_NE(Read("stderr").find("--csv and --summary name the same file"), std::string::npos);
}

TEST_F(CliRun, RowsGoToStandardOutputWithoutACsvFile) {
    ASSERT_EQ(Run("--computers PC01 --logs application --types error"), 0);
    // The terminal's encoding here is UTF-8.
    EXPECT_NE(Read("stdout").find("\xE7\xA8\xAE\xE9\xA1\x9E"), std::string::npos);  // "種類"
    EXPECT_NE(Read("stderr").find("\xE7\xA2\xBA\xE8\xAA\x8D"), std::string::npos);  // "確認"
}

TEST_F(CliRun, RefusedJobsAndBadOptionsWriteNothing) {
    const std::string files = " --csv '" + (out_ / "e.csv").string() + "' --report '" + (out_ / "r.txt").string() + "'";
    EXPECT_EQ(Run("--computers PC01 --logs system --types success" + files), 2);  // no type for the System log
    EXPECT_EQ(Run("--computers PC01 --from 2099-01-02 --to 2099-01-01" + files), 2);
    EXPECT_EQ(Run("--computers PC01 --to 2999-01-01" + files), 2);  // after today
    EXPECT_TRUE(std::regex_search(Read("stderr"), std::regex(R"(--to: '2999-01-01' is after today \(20\d\d-\d\d-\d\d\); give --to YYYY-MM-DD)")))
        << Read("stderr");
    EXPECT_EQ(Run("--computers PC01 --logs kernel" + files), 2);
    EXPECT_EQ(Run("--computers PC01 --event-ids 529,7-" + files), 2);
    EXPECT_NE(Read("stderr").find("--event-ids: '7-' has no end"), std::string::npos);
    EXPECT_EQ(Run("--computer-list '" + (out_ / "missing.txt").string() + "'" + files), 2);
    EXPECT_FALSE(fs::exists(out_ / "e.csv"));
    EXPECT_FALSE(fs::exists(out_ / "r.txt"));
}

TEST_F(CliRun, ListFilesThatAreFoldersDevicesOrEndlessAreUnreadable) {
    const std::string files = " --csv '" + (out_ / "e.csv").string() + "' --report '" + (out_ / "r.txt").string() + "'";
    for (const std::string& list : {out_.string(), std::string("/dev/zero"), std::string("/dev/null")}) {
        EXPECT_EQ(Run("--computer-list '" + list + "'" + files), 2) << list;
        EXPECT_NE(Read("stderr").find("cannot read the computer list"), std::string::npos) << list;
    }
    // A pipe is read as a file is, up to the import's limit of 64 MiB.
    EXPECT_EQ(Run("--computer-list /dev/stdin" + files, "stdout", "stderr", "head -c 70000000 /dev/zero | tr '\\0' '\\n' | "),
              2);
    EXPECT_NE(Read("stderr").find("cannot read the computer list"), std::string::npos);
    EXPECT_FALSE(fs::exists(out_ / "e.csv"));
    EXPECT_FALSE(fs::exists(out_ / "r.txt"));
    EXPECT_EQ(Run("--computer-list /dev/stdin --logs system --report '" + (out_ / "r.txt").string() + "'", "stdout",
                  "stderr", "printf 'PC01\\n' | "),
              0);
    EXPECT_NE(Read("r.txt").find("(PC01)"), std::string::npos);
}

TEST_F(CliRun, ANulOnlyListLineIsNoComputer) {
    Write("list.txt", std::string("PC01\n\0\n\r\n", 9));
    ASSERT_EQ(Run("--computer-list '" + (out_ / "list.txt").string() + "' --logs system --csv '" +
                  (out_ / "e.csv").string() + "' --report '" + (out_ / "r.txt").string() + "'"),
              0);
    const std::string report = Read("r.txt");
    EXPECT_NE(report.find("(PC01)ｼｽﾃﾑﾛｸﾞの取得を開始します"), std::string::npos);
    EXPECT_EQ(report.find("()"), std::string::npos);  // no run over this machine under an empty name
}

TEST_F(CliRun, OutputsThatCannotBeWrittenFailTheRun) {
    const std::string args = "--computers PC01 --logs application --types error";
    EXPECT_EQ(Run(args + " --trace /dev/full --csv '" + (out_ / "e.csv").string() + "'"), 1);
    EXPECT_NE(Read("stderr").find("cannot write /dev/full"), std::string::npos);
    EXPECT_EQ(Run(args + " --csv /dev/full"), 1);
    // Rows on a standard output that cannot be written; the report on such a standard error.
    EXPECT_EQ(Run(args, "/dev/full"), 1);
    EXPECT_NE(Read("stderr").find("standard output"), std::string::npos);
    EXPECT_EQ(Run(args + " --csv '" + (out_ / "e.csv").string() + "'", "stdout", "/dev/full"), 1);
    // An output that cannot be created fails before the run.
    EXPECT_EQ(Run(args + " --report '" + (out_ / "no" / "r.txt").string() + "'"), 1);
    EXPECT_NE(Read("stderr").find("cannot create"), std::string::npos);
    EXPECT_EQ(Run(args + " --report '" + out_.string() + "'"), 1);  // a folder
    // A reader of the rows that goes away: a failed run, and its report file
    // is whole. The rows (130 KB) overfill the pipe, so writing fails
    // however the two programs are scheduled.
    const std::string command = "('" + (build_ / "bin" / "quorvin-cli").string() + "' --network '" +
                                (build_ / "demo-network").string() +
                                "' --computers ADMIN-PC,DC01,FS01,NT4SV,PC01,PC02,PC03 --report '" +
                                (out_ / "r.txt").string() + "' 2>/dev/null; echo $? >'" + (out_ / "code").string() +
                                "') | true";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Read("code"), "1\n");
    EXPECT_NE(Read("r.txt").find("ﾄｰﾀﾙ："), std::string::npos);
    // Written to a device, the outputs are good.
    EXPECT_EQ(Run(args + " --csv /dev/null --report /dev/null --trace /dev/null"), 0);
    // Added to, too: a device has no length to add to or to cut back to.
    EXPECT_EQ(Run(args + " --csv /dev/null --append --report /dev/null"), 0);
    EXPECT_EQ(Read("stderr"), "");
}

TEST_F(CliRun, TwoOutputsOnOneFileOrAnEmptyNameAreRefused) {
    const std::string args = "--computers PC01 --logs application";
    const std::string x = (out_ / "x.txt").string();
    fs::create_directories(out_ / "sub");
    EXPECT_EQ(Run(args + " --csv '" + x + "' --report '" + x + "'"), 2);
    EXPECT_EQ(Run(args + " --csv '" + x + "' --trace '" + (out_ / "sub" / ".." / "x.txt").string() + "'"), 2);
    EXPECT_NE(Read("stderr").find("--csv and --trace name the same file"), std::string::npos);
    EXPECT_FALSE(fs::exists(x));
    // An existing file under another name: a link to it.
    Write("old.txt", "old");
    fs::create_symlink(out_ / "old.txt", out_ / "link.txt");
    EXPECT_EQ(Run(args + " --report '" + (out_ / "old.txt").string() + "' --trace '" + (out_ / "link.txt").string() + "'"),
              2);
    // The rows' standard output is the report file.
    EXPECT_EQ(Run(args + " --report '" + (out_ / "old.txt").string() + "'", "old.txt"), 2);
    EXPECT_EQ(Read("old.txt"), "");  // the shell emptied it; the program wrote nothing
    EXPECT_EQ(Run(args + " --csv ''"), 2);
    EXPECT_EQ(Read("stdout"), "");
    EXPECT_EQ(Run(args + " --report="), 2);
    EXPECT_EQ(Files(), (std::vector<std::string>{"link.txt", "old.txt", "stderr", "stdout", "sub"}));
}

TEST_F(CliRun, OldOutputsStayWholeWhenTheNewOnesCannotBeWritten) {
    const std::string args = "--computers PC01,DC01 --csv '" + (out_ / "e.csv").string() + "' --report '" +
                             (out_ / "r.txt").string() + "' --trace '" + (out_ / "t.log").string() + "'";
    Write("e.csv", "old rows");
    Write("r.txt", "old report");
    Write("t.log", "old trace");
    EXPECT_EQ(Run(args, "stdout", "stderr", "QUORVIN_WRITE_FAILS_AFTER=100 "), 1);
    EXPECT_NE(Read("stderr").find("cannot write " + (out_ / "e.csv").string()), std::string::npos);
    EXPECT_EQ(Read("e.csv"), "old rows");
    EXPECT_EQ(Read("r.txt"), "old report");
    EXPECT_EQ(Read("t.log"), "old trace");
    EXPECT_EQ(Files(), (std::vector<std::string>{"e.csv", "r.txt", "stderr", "stdout", "t.log"}));

    // Complete, they replace the old files; a link stays a link to the new file.
    fs::rename(out_ / "r.txt", out_ / "real.txt");
    fs::create_symlink(out_ / "real.txt", out_ / "r.txt");
    fs::permissions(out_ / "e.csv", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run(args), 0);
    EXPECT_EQ(Read("e.csv").rfind("種類,", 0), 0u);
    EXPECT_EQ(fs::status(out_ / "e.csv").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_symlink(out_ / "r.txt"));
    EXPECT_NE(Read("real.txt").find("ﾄｰﾀﾙ："), std::string::npos);
    EXPECT_NE(Read("t.log").find("\r\n"), std::string::npos);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(CliRun, RowsLeaveAsTheyCome) {
    // /usr/bin/time measures the program alone (a fork of this test would
    // count this test's memory too).
    if (!fs::exists("/usr/bin/time")) GTEST_SKIP() << "no /usr/bin/time";
    // 50,000 small records: the simulated service holds the parsed log
    // (about 20 MB); keeping the rows and the export text to the end of the
    // run would add some 27 MB more.
    constexpr std::size_t kEvents = 50000;
    std::vector<quorvin::evt::Event> events(kEvents);
    for (std::size_t i = 0; i < kEvents; ++i) {
        events[i].timeGenerated = events[i].timeWritten = 1100000000 + static_cast<std::uint32_t>(i);
        events[i].eventType = 4;
        events[i].sourceName = "S";
        events[i].computerName = "BIG";
    }
    const std::vector<std::uint8_t> log = quorvin::evt::WriteLogFile(events);
    fs::create_directories(out_ / "net" / "BIG" / "logs");
    Write("net/network.ini", "");
    Write("net/BIG/logs/System.evt", std::string(log.begin(), log.end()));

    const std::string command = "/usr/bin/time -f %M -o '" + (out_ / "peak").string() + "' '" +
                                (build_ / "bin" / "quorvin-cli").string() + "' --network '" + (out_ / "net").string() +
                                "' --computers BIG --logs system --csv '" + (out_ / "e.csv").string() +
                                "' --report '" + (out_ / "r.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string csv = Read("e.csv");
    EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), kEvents + 1);
    EXPECT_NE(Read("r.txt").find("ﾄｰﾀﾙ：50000件"), std::string::npos);
    const long peakKb = std::strtol(Read("peak").c_str(), nullptr, 10);
    EXPECT_GT(peakKb, 0);
    EXPECT_LT(peakKb, 40 * 1024) << "peak resident memory in KB";
}
#endif

}  // namespace

TEST_F(CliRun, ServicesFailingPartWayKeepTheRowsBeforeAndTheRunGoesOn) {
    const std::string files = " --logs system,application --csv '" + (out_ / "e.csv").string() + "' --report '" +
                              (out_ / "r.txt").string() + "'";
    ASSERT_EQ(Run("--computers PC01,PC02" + files), 0);
    const std::string whole = Read("e.csv");
    network_ = out_ / "net";
    fs::copy(build_ / "demo-network", network_, fs::copy_options::recursive);
    std::ofstream(network_ / "PC01" / "computer.ini", std::ios::app | std::ios::binary)
        << "\r\n[faults]\r\nReadFailsAfter=2,1726\r\nSharesFailAfter=1,64\r\n";
    ASSERT_EQ(Run("--computers PC01,PC02" + files), 0);
    const std::string csv = Read("e.csv");
    const std::string report = Read("r.txt");
    // Each of PC01's logs gives two rows, then fails; PC02 is read whole.
    auto lines = [](const std::string& text, const std::string& part) {
        std::vector<std::string> found;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = text.find("\r\n", at);
            const std::string line = text.substr(at, end - at);
            if (line.find(part) != std::string::npos) found.push_back(line);
            if (end == std::string::npos) break;
            at = end + 2;
        }
        return found;
    };
    EXPECT_EQ(lines(csv, ",PC01,").size(), 4u);
    EXPECT_EQ(lines(csv, ",PC02,"), lines(whole, ",PC02,"));
    const auto before = lines(whole, ",ｼｽﾃﾑ,PC01,");
    const auto after = lines(csv, ",ｼｽﾃﾑ,PC01,");
    ASSERT_EQ(after.size(), 2u);
    // The rows' own fields are those of the whole read (the text may differ: the share went away).
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(after[i].substr(0, after[i].rfind(",")).substr(0, 40),
                                                  before[i].substr(0, 40));
    EXPECT_EQ(lines(report, "ｴﾗｰ 015:[\\\\PC01]").size(), 2u);
    EXPECT_EQ(lines(report, "失敗:(PC01)").size(), 2u);
    EXPECT_EQ(lines(report, "失敗:(PC02)").size(), 0u);
    EXPECT_NE(report.find("ﾄｰﾀﾙ："), std::string::npos);
}

// Network folders made to break things: a clear message on the standard
// error, exit code 2 and no file written; a registry of wrong value types
// still gives every row.
TEST_F(CliRun, HostileNetworkFoldersGiveAClearMessage) {
    const std::string files = " --logs system --csv '" + (out_ / "e.csv").string() + "' --report '" +
                              (out_ / "r.txt").string() + "'";
    ASSERT_EQ(Run("--computers PC01" + files), 0);
    const std::string whole = Read("e.csv");
    network_ = out_ / "net";
    const auto fresh = [&] {
        fs::remove_all(network_);
        fs::copy(build_ / "demo-network", network_, fs::copy_options::recursive);
        fs::remove(out_ / "e.csv");
        fs::remove(out_ / "r.txt");
    };
    const auto refused = [&](const std::string& arguments, const std::string& message) {
        EXPECT_EQ(Run(arguments + files), 2) << message;
        EXPECT_NE(Read("stderr").find(message), std::string::npos) << Read("stderr");
        EXPECT_FALSE(fs::exists(out_ / "e.csv")) << message;
        EXPECT_FALSE(fs::exists(out_ / "r.txt")) << message;
    };

    fresh();
    fs::create_directory(network_ / "PC\xff\xfe");
    refused("--computers PC01", "the folder name \"PC");
    fresh();
    std::ofstream(network_ / "network.ini", std::ios::binary | std::ios::trunc) << std::string("[local]\n\0\n", 10);
    refused("--computers PC01", "network.ini line 2: NUL byte in the line");
    fresh();
    {
        std::ofstream ini(network_ / "network.ini", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 100000; ++i) ini << ";\n";
        ini << "[nowhere]\n";
    }
    refused("--computers PC01", "network.ini line 100001: unknown section [nowhere]");
    // A computer folder of 33 bytes is on the network, but no run can name it.
    fresh();
    fs::copy(network_ / "PC01", network_ / std::string(33, 'L'), fs::copy_options::recursive);
    refused("--computers " + std::string(33, 'L'), "--computers: a name longer than 32 bytes");
    ASSERT_EQ(Run("--computers PC01" + files), 0);
    EXPECT_EQ(Read("e.csv"), whole);

    // PC01's SystemRoot and every message file value of its System log as a DWORD.
    fresh();
    // The demo network's registry files are UTF-16LE with the byte order mark.
    std::ifstream in(network_ / "PC01" / "registry.reg", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    std::string reg = quorvin::text::FromUtf16(wide);
    std::size_t changed = 0;
    for (const std::string name : {"\"SystemRoot\"=", "\"EventMessageFile\"=", "\"ParameterMessageFile\"=",
                                   "\"CategoryMessageFile\"="}) {
        for (std::size_t at = reg.find(name); at != std::string::npos; at = reg.find(name, at + 1)) {
            const std::size_t end = reg.find('\n', at);
            reg.replace(at, end - at, name + "dword:00000043\r");
            ++changed;
        }
    }
    ASSERT_GT(changed, 1u);
    std::string encoded = "\xFF\xFE";
    for (char16_t c : quorvin::text::ToUtf16(reg)) encoded += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::ofstream(network_ / "PC01" / "registry.reg", std::ios::binary | std::ios::trunc) << encoded;
    ASSERT_EQ(Run("--computers PC01" + files), 0) << Read("stderr");
    const std::string csv = Read("e.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::count(whole.begin(), whole.end(), '\n'));
    EXPECT_NE(Read("r.txt").find("ﾄｰﾀﾙ："), std::string::npos);
}

TEST_F(CliRun, HelpAndVersion) {
    ASSERT_EQ(Run("--help"), 0);
    const std::string help = Read("stdout");
    for (const char* part : {"collects the event logs", "--logs LIST", "(default: all three)", "(default: all)",
                             "(default: from the oldest to the newest record)", "(default 16)", "--password -",
                             "--credential NAME", "Exit codes:", "\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ",
                             "--strict", "--state state.json", "help\\cli.html"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
    // The version of the project, and nothing else.
    std::ifstream cmake(fs::path(std::getenv("QUORVIN_SOURCE_DIR") ? std::getenv("QUORVIN_SOURCE_DIR") : ".") /
                        "CMakeLists.txt");
    const std::string lists((std::istreambuf_iterator<char>(cmake)), std::istreambuf_iterator<char>());
    std::smatch version;
    ASSERT_TRUE(std::regex_search(lists, version, std::regex(R"(project\(quorvin VERSION (\d+)\.(\d+))")));
    ASSERT_EQ(Run("--computers DC01 --version"), 0);
    EXPECT_EQ(Read("stdout"), version[1].str() + "." + version[2].str() + ".0.0\n");
    EXPECT_EQ(Read("stderr"), "");
}

// The password of the demo's domain controller reaches it from standard
// input and never leaves in an output; without it and without a terminal
// to ask on, the run is refused.
TEST_F(CliRun, PasswordFromStandardInputAndNeverInAnOutput) {
    // The rest of standard input stays for the computer list.
    const std::string files = " --computer-list /dev/stdin --logs security --csv '" + (out_ / "e.csv").string() +
                              "' --report '" + (out_ / "r.txt").string() + "' --trace '" + (out_ / "t.log").string() + "'";
    const std::string alternate = "注意 803:[DC01]";
    for (const std::string password : {"P@ssw0rd", "Wr0ngP@ss"}) {
        ASSERT_EQ(Run("--user Administrator --password -" + files, "stdout", "stderr",
                      "printf '" + password + "\\r\\nDC01\\nFS01\\n' | "),
                  0)
            << Read("stderr");
        EXPECT_EQ(Read("r.txt").find(alternate) == std::string::npos, password == "P@ssw0rd");
        EXPECT_NE(Read("r.txt").find("(FS01)"), std::string::npos);
        for (const char* output : {"e.csv", "r.txt", "t.log", "stdout", "stderr"})
            EXPECT_EQ(Read(output).find(password), std::string::npos) << output;
    }
    // Without a terminal to ask on: refused, with the ways to give it.
    ASSERT_EQ(Run("--user Administrator" + files, "stdout", "stderr", "true | "), 2);
    EXPECT_NE(Read("stderr").find("--password -"), std::string::npos);
    EXPECT_FALSE(fs::exists(out_ / "r.txt.new") || fs::exists(out_ / "e.csv.new"));
    ASSERT_EQ(Run("--user Administrator --password -" + files, "stdout", "stderr", "printf '' | "), 2);
    EXPECT_NE(Read("stderr").find("standard input ended"), std::string::npos);
    // The longest password, 30 half-width katakana (90 bytes of UTF-8), on
    // a line that ends in CR LF; one more is too long.
    std::string kana;
    for (int i = 0; i < 30; ++i) kana += "\xEF\xBD\xB1";  // U+FF71 in UTF-8
    EXPECT_EQ(Run("--user Administrator --password -" + files, "stdout", "stderr",
                  "printf '" + kana + "\\r\\nDC01\\n' | "),
              0)
        << Read("stderr");
    EXPECT_EQ(Run("--user Administrator --password -" + files, "stdout", "stderr",
                  "printf '" + kana + "\xEF\xBD\xB1\\r\\nDC01\\n' | "),
              2);
    EXPECT_NE(Read("stderr").find("longer than 30 bytes"), std::string::npos);
}

namespace {

struct PromptRun {
    int exitCode = -1;
    std::string shown;       // what the terminal showed
    bool echoWhileAsked = true, echoAfter = false;
    std::string coreLimit;   // "Max core file size" of /proc/PID/limits while asked
};

// Reads the pseudo-terminal until `until` has been shown (or it closes).
void ReadUntil(int master, std::string& shown, const std::string& until) {
    while (shown.find(until) == std::string::npos) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0) return;
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) return;
        shown.append(buffer, static_cast<std::size_t>(n));
    }
}

// quorvin-cli with `arguments` on a pseudo-terminal: `keys` typed at its
// password prompt, or `signal` sent to it there; with no `prompt`, run to its end.
PromptRun RunOnTerminal(const std::vector<std::string>& arguments, const std::string& prompt,
                        const std::string& keys = "", int signal = 0) {
    PromptRun run;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) return run;
    ReadUntil(master, run.shown, prompt);
    termios mode{};
    if (tcgetattr(master, &mode) == 0) run.echoWhileAsked = (mode.c_lflag & ECHO) != 0;
    std::ifstream limits("/proc/" + std::to_string(child) + "/limits");
    for (std::string line; std::getline(limits, line);)
        if (line.rfind("Max core file size", 0) == 0) run.coreLimit = line;
    if (signal) kill(child, signal);
    if (!keys.empty() && write(master, keys.data(), keys.size()) < 0) kill(child, SIGKILL);
    ReadUntil(master, run.shown, "\x04no end\x04");  // to the end of the output
    // A program still waiting at its prompt fails the test instead of holding it.
    int status = 0;
    for (int tries = 0; waitpid(child, &status, WNOHANG) == 0; ++tries) {
        if (tries == 300) kill(child, SIGKILL);
        usleep(100000);
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (tcgetattr(master, &mode) == 0) run.echoAfter = (mode.c_lflag & ECHO) != 0;
    close(master);
    return run;
}

}  // namespace

TEST_F(CliRun, PasswordPromptOnATerminalShowsNothingAndGivesTheTerminalBack) {
    const std::vector<std::string> arguments = {(build_ / "bin" / "quorvin-cli").string(), "--network",
                                                (build_ / "demo-network").string(), "--computers", "DC01",
                                                "--logs", "security", "--user", "Administrator",
                                                "--csv", (out_ / "e.csv").string(), "--report",
                                                (out_ / "r.txt").string()};
    const std::string prompt = "password of Administrator: ";
    PromptRun run = RunOnTerminal(arguments, prompt, "P@sx\x7Fsw0rd\r");
    EXPECT_EQ(run.exitCode, 0) << run.shown;
    EXPECT_FALSE(run.echoWhileAsked);
    EXPECT_TRUE(run.echoAfter);
    EXPECT_NE(run.coreLimit.find(" 0 "), std::string::npos) << run.coreLimit;
    EXPECT_EQ(run.shown.find("P@s"), std::string::npos) << run.shown;
    EXPECT_EQ(Read("r.txt").find("注意 803:"), std::string::npos);  // the account was taken

    // Ctrl+C at the prompt, or a signal, ends it with the terminal as it was.
    for (const auto& [keys, signal] : {std::pair<std::string, int>{"P@s\x03", 0}, {"", SIGINT}, {"", SIGTERM}}) {
        run = RunOnTerminal(arguments, prompt, keys, signal);
        EXPECT_EQ(run.exitCode, 2) << run.shown;
        EXPECT_NE(run.shown.find("no password given"), std::string::npos) << run.shown;
        EXPECT_TRUE(run.echoAfter);
    }
}

// The progress line on a terminal ends full when the run has ended, for
// one computer, and for four one after another or at once.
TEST_F(CliRun, ProgressLineEndsFullWhenTheRunEnds) {
    for (const auto& [computers, parallel] : {std::pair<std::string, std::string>{"PC01", "16"},
                                              {"DC01,FS01,PC01,PC02", "1"}, {"DC01,FS01,PC01,PC02", "16"}}) {
        const PromptRun run = RunOnTerminal({(build_ / "bin" / "quorvin-cli").string(), "--network",
                                             (build_ / "demo-network").string(), "--computers", computers,
                                             "--parallel", parallel, "--csv", (out_ / "e.csv").string(),
                                             "--report", (out_ / "r.txt").string()},
                                            "");
        ASSERT_EQ(run.exitCode, 0) << run.shown;
        const std::size_t last = run.shown.rfind("\r[");
        ASSERT_NE(last, std::string::npos) << run.shown;
        EXPECT_EQ(run.shown.substr(last, 24), "\r[" + std::string(20, '#') + "] ") << computers << "\n" << run.shown;
    }
}

// --strict: a computer that cannot be reached, or a saved file that is no
// log, makes the run's exit code 3; a run that read everything is 0, as is
// the same failing run without --strict.
TEST_F(CliRun, StrictRunsWithAFailedLogExitWithThree) {
    const std::string files = " --logs system --csv '" + (out_ / "e.csv").string() + "' --report '" +
                              (out_ / "r.txt").string() + "'";
    EXPECT_EQ(Run("--computers PC01,PC03 --strict" + files), 3);  // PC03 is switched off
    EXPECT_NE(Read("r.txt").find("失敗:(PC03)"), std::string::npos);
    EXPECT_NE(Read("e.csv").find(",PC01,"), std::string::npos);  // the outputs are written all the same
    EXPECT_EQ(Run("--computers PC01,PC03" + files), 0);
    EXPECT_EQ(Run("--computers PC01,FS01 --strict" + files), 0);
    Write("junk.evtx", "no log");
    fs::copy_file(build_ / "demo-network" / "DC01" / "logs" / "System.evt", out_ / "SysEvent.Evt");
    const std::string evt = " --csv '" + (out_ / "f.csv").string() + "' --file '" + (out_ / "SysEvent.Evt").string() + "'";
    EXPECT_EQ(Run(evt + " --file '" + (out_ / "junk.evtx").string() + "' --strict"), 3);
    EXPECT_EQ(Run(evt + " --strict"), 0);
}

TEST_F(CliRun, SavedLogFilesGiveTheirRowsThroughTheRunsFilters) {
    const std::vector<std::uint8_t> log =
        quorvin::evtx::WriteFile(quorvin::evtx::test::SampleTemplates(), quorvin::evtx::test::SampleRecords(1, 300));
    Write("a.evtx", std::string(log.begin(), log.end()));
    const std::string file = " --file '" + (out_ / "a.evtx").string() + "'";
    // DC01's System log saved under the old name, its texts from this machine (ADMIN-PC).
    fs::copy_file(build_ / "demo-network" / "DC01" / "logs" / "System.evt", out_ / "SysEvent.Evt");
    const std::string evt = " --file '" + (out_ / "SysEvent.Evt").string() + "'";
    // Errors and warnings (levels 1 to 3 of every five records) of the odd records' source, twice.
    std::size_t expected = 0;
    for (int n = 1; n <= 300; ++n) expected += n % 2 == 1 && n % 5 >= 1 && n % 5 <= 3 ? 2 : 0;
    ASSERT_EQ(Run(file + evt + file + " --types error,warning --sources 'Service Control Manager' --format jsonl --out " +
                  Place("e.jsonl") + " --report " + Place("r.txt")),
              0)
        << Read("stderr");
    std::istringstream lines(Read("e.jsonl"));
    std::size_t count = 0, classic = 0;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        if (j["winlog.api"] == "wineventlog") {
            ++count;
            continue;
        }
        ++classic;
        EXPECT_EQ(j["winlog.api"], "eventlogging") << line;
        EXPECT_EQ(j["host.name"], "DC01") << line;
        EXPECT_EQ(j["winlog.channel"], "System") << line;
        EXPECT_EQ(std::string(j["message"]).find("\xEF\xBD\xBF\xEF\xBD\xB0\xEF\xBD\xBD"), std::string::npos) << line;
    }
    EXPECT_EQ(count, expected);
    EXPECT_GT(classic, 0u);
    ASSERT_EQ(Run(file + " --csv " + Place("e.csv")), 0);
    const std::string csv = Read("e.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 301);
    EXPECT_EQ(Run(file + " --computers SV1"), 2);
}

#endif
