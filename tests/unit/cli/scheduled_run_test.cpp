// Scheduled collection with a state file: runs over logs that grow between
// them hand on every event exactly once, whatever fails in between, and a
// run of many computers at once leaves what one after another leaves.

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

class ScheduledRun : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = std::getenv("QUORVIN_BINARY_DIR");
        if (!binary) GTEST_SKIP() << "QUORVIN_BINARY_DIR is not set";
        build_ = binary;
        dir_ = fs::temp_directory_path() / ("quorvin-scheduled-test-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // The network of `batches` batches of events: each batch adds newer
    // events to the System and Application logs of SV1, SV2 and SV3 and to
    // the Security log of SV1. `extra` goes at the end of SV2's description.
    void Network(int batches, const std::string& extra = "") {
        std::string text = "now 2003-06-20 12:00\n";
        if (latencyMs_ > 0) text += "network latency=" + std::to_string(latencyMs_) + "\n";
        for (const char* name : {"SV1", "SV2", "SV3"}) {
            text += std::string("computer ") + name + "\n";
            for (const char* log : {"System", "Application"}) {
                text += std::string("  log ") + log + "\n";
                for (int b = 0; b < batches; ++b)
                    for (int i = 0; i < 7; ++i)
                        text += "    event @" + std::to_string(1055000000 + b * 3600 + i * 60) + " " +
                                (i % 3 == 0 ? "error" : i % 3 == 1 ? "warning" : "information") + " Src" +
                                std::to_string(i % 2) + " " + std::to_string(100 + b * 10 + i) + " \"b" +
                                std::to_string(b) + "\" \"i" + std::to_string(i) + "\"\n";
            }
            if (std::string(name) == "SV1") {
                text += "  log Security\n";
                for (int b = 0; b < batches; ++b)
                    text += "    event @" + std::to_string(1055000030 + b * 3600) +
                            " failure Security 529 user=S-1-5-18 \"Administrator\"\n";
            }
            if (std::string(name) == "SV2") text += extra;
        }
        const fs::path description = dir_ / "network.txt";
        std::ofstream(description, std::ios::binary) << text;
        fs::remove_all(dir_ / "net");
        const std::string command = "'" + (build_ / "bin" / "quorvin-netbuild").string() + "' '" +
                                    description.string() + "' '" + (dir_ / "net").string() + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    // Fails reads of SV2's logs after `records` records.
    void BreakSv2(int records) {
        std::ofstream(dir_ / "net" / "SV2" / "computer.ini", std::ios::app | std::ios::binary)
            << "\r\n[faults]\r\nReadFailsAfter=" << records << ",1726\r\n";
    }
    int Cli(const std::string& arguments, const std::string& before = "") {
        const std::string command = before + "'" + (build_ / "bin" / "quorvin-cli").string() + "' --network '" +
                                    (dir_ / "net").string() + "' --computers SV1,SV2,SV3 --format jsonl " +
                                    arguments + " --report '" + (dir_ / "report.txt").string() + "' 2>'" +
                                    (dir_ / "errors.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // A scheduled run: new events appended to `name`, bookmarks in `name`.state.
    int Scheduled(const std::string& name, const std::string& more = "", const std::string& before = "") {
        return Cli("--append --out '" + (dir_ / name).string() + "' --state '" + (dir_ / (name + ".state")).string() +
                       "' " + more,
                   before);
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // A state's bookmarks, without the events file it vouches for.
    std::string Logs(const std::string& name) {
        const std::string text = Read(name);
        return text.substr(std::min(text.find("\"logs\""), text.size()));
    }
    static std::vector<std::string> SortedLines(const std::string& text) {
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    static std::size_t Count(const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

    fs::path build_;
    fs::path dir_;
    int latencyMs_ = 0;  // the round trip of every call, for runs slow enough to stop
};

TEST_F(ScheduledRun, RunsBetweenNewEventsHandOnEachEventOnceAsOneRunOverAll) {
    // One after another and eight at once, each with its own file and state.
    // The second run finds SV2 failing part way: its logs keep their old
    // bookmarks and the events it read go out of the file again.
    for (int batches = 1; batches <= 3; ++batches) {
        Network(batches);
        if (batches == 2) BreakSv2(3);
        ASSERT_EQ(Scheduled("one.jsonl", "--parallel 1"), 0);
        const std::size_t before = Count(Read("eight.jsonl"), "\n");
        ASSERT_EQ(Scheduled("eight.jsonl", "--parallel 8 --summary '" + (dir_ / "summary.jsonl").string() + "'"), 0);
        // The summary counts exactly the events this run left in the file:
        // not those of SV2's logs, cut out again when they failed.
        std::uint64_t counted = 0;
        for (const std::string& line : SortedLines(Read("summary.jsonl"))) {
            if (line.empty()) continue;
            const nlohmann::json group = nlohmann::json::parse(line);
            counted += group["count"].get<std::uint64_t>();
            if (batches == 2) {
                EXPECT_NE(group["host.name"], "SV2");
            }
        }
        EXPECT_EQ(counted, Count(Read("eight.jsonl"), "\n") - before);
        if (batches == 2) {
            EXPECT_EQ(Count(Read("report.txt"), "ｴﾗｰ 015:[\\\\SV2]"), 2u);
        }
    }
    EXPECT_EQ(Read("one.jsonl"), Read("eight.jsonl"));
    EXPECT_EQ(Logs("one.jsonl.state"), Logs("eight.jsonl.state"));

    // A fourth run finds nothing new and adds nothing.
    const std::string before = Read("one.jsonl");
    ASSERT_EQ(Scheduled("one.jsonl"), 0);
    EXPECT_EQ(Read("one.jsonl"), before);

    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    const std::vector<std::string> all = SortedLines(Read("all.jsonl"));
    EXPECT_EQ(all.size(), 3u * 2 * 21 + 3);
    EXPECT_EQ(SortedLines(Read("one.jsonl")), all);
    // Each line is one JSON object.
    for (const std::string& line : all) EXPECT_TRUE(nlohmann::json::parse(line).is_object()) << line;
}

TEST_F(ScheduledRun, AComputerListedTwiceHandsOnItsEventsOnceAtOnceAsOneAfterAnother) {
    // SV1 listed twice, under two spellings, behind SV2 and its long
    // Security log: its second entry reads on from the bookmarks the first
    // left, though those are not yet written out when it begins.
    std::string security = "  log Security\n";
    for (int i = 0; i < 1500; ++i)
        security += "    event @" + std::to_string(1054000000 + i * 60) + " success Security 528 \"s" +
                    std::to_string(i) + "\"\n";
    std::ofstream(dir_ / "list.txt", std::ios::binary) << "SV2\r\nSV1\r\nSV3\r\nsv1\r\n";
    const std::string list = "--computer-list '" + (dir_ / "list.txt").string() + "' ";
    for (int batches = 1; batches <= 2; ++batches) {
        Network(batches, security);
        for (const char* parallel : {"1", "8"}) {
            const std::string name = std::string("p") + parallel + ".jsonl";
            const std::string command = "'" + (build_ / "bin" / "quorvin-cli").string() + "' --network '" +
                                        (dir_ / "net").string() + "' " + list + "--parallel " + parallel +
                                        " --format jsonl --append --out '" + (dir_ / name).string() +
                                        "' --state '" + (dir_ / (name + ".state")).string() + "' --report '" +
                                        (dir_ / "report.txt").string() + "' 2>/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
    }
    // Compared by their lengths first: the lines are long.
    EXPECT_EQ(Read("p8.jsonl").size(), Read("p1.jsonl").size());
    EXPECT_TRUE(Read("p8.jsonl") == Read("p1.jsonl"));
    EXPECT_EQ(Logs("p8.jsonl.state"), Logs("p1.jsonl.state"));
    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    EXPECT_EQ(SortedLines(Read("p8.jsonl")).size(), SortedLines(Read("all.jsonl")).size());
    EXPECT_TRUE(SortedLines(Read("p8.jsonl")) == SortedLines(Read("all.jsonl")));
}

TEST_F(ScheduledRun, ClearedAndWrappedLogsAreReadFromTheStartWithOneLine) {
    Network(2);
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    const std::size_t first = SortedLines(Read("e.jsonl")).size();

    // SV2's System log cleared, with three events written since (numbered
    // from 1 again); SV1's Application log overwritten past the bookmark: 150
    // newer events in a file that keeps only the newest.
    Network(2);
    {
        std::string text = Read("network.txt");
        const std::size_t sv2 = text.find("computer SV2\n  log System\n");
        const std::size_t sv2End = text.find("  log Application", sv2);
        text.replace(sv2 + 13, sv2End - sv2 - 13,
                     "  log System\n"
                     "    event @1056000000 error Tcpip 4199 \"new1\"\n"
                     "    event @1056000060 warning Tcpip 4199 \"new2\"\n"
                     "    event @1056000120 information Tcpip 4199 \"new3\"\n");
        const std::size_t app = text.find("  log Application\n");
        std::string wrapped = "  log Application maxsize=4096\n";
        for (int i = 0; i < 150; ++i)
            wrapped += "    event @" + std::to_string(1056000000 + i) + " information Wrap 1 \"w" + std::to_string(i) +
                       "\"\n";
        const std::size_t appEnd = text.find("  log Security", app);
        text.replace(app, appEnd - app, wrapped);
        std::ofstream(dir_ / "network.txt", std::ios::binary) << text;
        fs::remove_all(dir_ / "net");
        const std::string command = "'" + (build_ / "bin" / "quorvin-netbuild").string() + "' '" +
                                    (dir_ / "network.txt").string() + "' '" + (dir_ / "net").string() + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    const std::string report = Read("report.txt");
    EXPECT_EQ(Count(report, "情報 054:"), 2u);
    EXPECT_EQ(Count(report, "情報 054:[\\\\SV2][system]"), 1u);
    EXPECT_EQ(Count(report, "情報 054:[\\\\SV1][application]"), 1u);

    // What the second run added is exactly what the changed logs hold now.
    const std::vector<std::string> lines = SortedLines(Read("e.jsonl"));
    ASSERT_EQ(Cli("--logs system --out '" + (dir_ / "sv2.jsonl").string() + "'"), 0);
    const std::size_t sv2System = Count(Read("sv2.jsonl"), "\"host.name\":\"SV2\"");
    ASSERT_EQ(Cli("--logs application --out '" + (dir_ / "sv1.jsonl").string() + "'"), 0);
    const std::size_t sv1Application = Count(Read("sv1.jsonl"), "\"host.name\":\"SV1\"");
    EXPECT_EQ(sv2System, 3u);
    EXPECT_GT(sv1Application, 0u);
    EXPECT_LT(sv1Application, 150u);
    EXPECT_EQ(lines.size(), first + sv2System + sv1Application);

    // The third run: nothing new anywhere.
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    EXPECT_EQ(SortedLines(Read("e.jsonl")), lines);
    EXPECT_EQ(Count(Read("report.txt"), "情報 054:"), 0u);
}

TEST_F(ScheduledRun, AFailedWriteLeavesFileAndStateAsTheyWere) {
    Network(1);
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    Network(2);
    const std::string events = Read("e.jsonl");
    const std::string state = Read("e.jsonl.state");
    // Writes fail after 3000 bytes of each file: the file cut back, the state kept.
    EXPECT_EQ(Scheduled("e.jsonl", "", "QUORVIN_WRITE_FAILS_AFTER=3000 "), 1);
    EXPECT_EQ(Read("e.jsonl"), events);
    EXPECT_EQ(Read("e.jsonl.state"), state);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find(".tmp") != std::string::npos; }), 0);

    // The next run hands on what the failed one could not.
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    EXPECT_EQ(SortedLines(Read("e.jsonl")), SortedLines(Read("all.jsonl")));

    // A damaged state file stops the run before anything is written.
    const std::string good = Read("e.jsonl.state");
    std::ofstream(dir_ / "e.jsonl.state", std::ios::binary) << good.substr(0, good.size() / 2);
    const std::string now = Read("e.jsonl");
    EXPECT_EQ(Scheduled("e.jsonl"), 2);
    EXPECT_EQ(Read("e.jsonl"), now);
}

TEST_F(ScheduledRun, AStopOrAKillAnywhereLeavesTheRestToTheNextRunOnce) {
    // Ctrl+C, SIGTERM and SIGHUP stop a slow run: the stopped logs keep their
    // old bookmarks and what they had handed on goes out of the file again.
    // SIGKILL (a power loss, the Task Scheduler's End) leaves the file torn
    // and new files behind: the next run cuts the file back to what the
    // state vouches for and removes them. Twice in a row, one after another
    // and eight at once, the next full run completes the file with every
    // event once and every line whole.
    latencyMs_ = 15;
    ASSERT_NO_FATAL_FAILURE(Network(2));
    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    const std::vector<std::string> all = SortedLines(Read("all.jsonl"));
    struct Stop {
        const char* signal;
        const char* after;
        const char* parallel;
    };
    int stopped = 0, cut = 0;
    for (const Stop& stop : {Stop{"INT", "0.1", "1"}, Stop{"TERM", "0.3", "8"}, Stop{"HUP", "0.7", "1"},
                             Stop{"KILL", "0.2", "1"}, Stop{"KILL", "0.5", "8"}, Stop{"KILL", "0.8", "1"}}) {
        const std::string name = std::string("s-") + stop.signal + stop.after + ".jsonl";
        const std::string more = std::string("--parallel ") + stop.parallel;
        const std::string kill = std::string("timeout --preserve-status -s ") + stop.signal + " " + stop.after + " ";
        const bool killed = std::string(stop.signal) == "KILL";
        for (int again = 0; again < (killed ? 2 : 1); ++again) {
            const int code = Scheduled(name, more, kill);
            EXPECT_TRUE(code == 0 || (killed && code == 128 + 9)) << name << " " << code << ": " << Read("errors.txt");
            stopped += Count(Read("report.txt"), "ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。") > 0 || code != 0 ? 1 : 0;
        }
        ASSERT_EQ(Scheduled(name, more), 0);
        cut += Count(Read("report.txt"), "情報 055:") > 0 ? 1 : 0;
        EXPECT_TRUE(SortedLines(Read(name)) == all) << name;
        for (const std::string& line : SortedLines(Read(name)))
            EXPECT_TRUE(nlohmann::json::accept(line)) << name << ": " << line;
    }
    EXPECT_GT(stopped, 0) << "no run was stopped: the runs are quicker than the stops";
    EXPECT_GT(cut, 0) << "no killed run left a part of its events behind";
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().extension(), entry.path().extension() == ".tmp" ? "" : entry.path().extension())
            << "left behind: " << entry.path();
}

TEST_F(ScheduledRun, ARunKilledInAFileRenamedAwayForTheStoresIsCutBackInTheNewFile) {
    // The stores' recipe renames the file between runs: the next run starts
    // a new one, which its state must vouch for before it adds anything.
    latencyMs_ = 15;
    ASSERT_NO_FATAL_FAILURE(Network(1));
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    fs::rename(dir_ / "e.jsonl", dir_ / "loaded.jsonl");
    ASSERT_NO_FATAL_FAILURE(Network(3));
    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    const int killed = Scheduled("e.jsonl", "--parallel 1", "timeout --preserve-status -s KILL 0.4 ");
    EXPECT_TRUE(killed == 0 || killed == 128 + 9) << killed;
    ASSERT_EQ(Scheduled("e.jsonl"), 0);
    EXPECT_TRUE(SortedLines(Read("loaded.jsonl") + Read("e.jsonl")) == SortedLines(Read("all.jsonl")));
}

TEST_F(ScheduledRun, OneRunAtATimeAddsToAFileAndMovesAStateOn) {
    ASSERT_NO_FATAL_FAILURE(Network(2));
    ASSERT_EQ(Cli("--out '" + (dir_ / "all.jsonl").string() + "'"), 0);
    const std::string binary = (build_ / "bin" / "quorvin-cli").string();
    const std::string common = "'" + binary + "' --network '" + (dir_ / "net").string() +
                               "' --computers SV1,SV2,SV3 --format jsonl --append --out '" + (dir_ / "e.jsonl").string() +
                               "' --report /dev/null";
    const std::string state = " --state '" + (dir_ / "e.state").string() + "'";
    // A run that holds the state, and one that adds to the file without a
    // state: the second run is refused, naming the first, and writes nothing.
    for (const auto& [locked, options] : {std::pair{"e.state.lock", state}, std::pair{"e.jsonl", std::string()}}) {
        const int fd = ::open((dir_ / locked).c_str(), O_RDWR | O_CREAT, 0666);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        if (!options.empty()) {
            ASSERT_EQ(::write(fd, "process 4242 since now\n", 23), 23);
        }
        const int status = std::system((common + options + " 2>'" + (dir_ / "err.txt").string() + "'").c_str());
        ::close(fd);
        EXPECT_EQ(WEXITSTATUS(status), 2) << locked;
        EXPECT_NE(Read("err.txt").find(options.empty() ? "another run is using" : "(process 4242 since now)"),
                  std::string::npos)
            << Read("err.txt");
        EXPECT_EQ(Read("e.jsonl"), "") << locked;
        EXPECT_FALSE(fs::exists(dir_ / "e.state"));
    }
    // Two runs at once, the first failing part way: whichever way they
    // meet, a third run leaves every event in the file once.
    const std::string both = "(QUORVIN_WRITE_FAILS_AFTER=40000 " + common + state + " --parallel 1 2>/dev/null & " +
                             common + state + " --parallel 8 2>/dev/null; wait) ";
    ASSERT_EQ(std::system(("sh -c \"" + both + "\"").c_str()), 0);
    ASSERT_EQ(std::system((common + state + " 2>/dev/null").c_str()), 0);
    EXPECT_TRUE(SortedLines(Read("e.jsonl")) == SortedLines(Read("all.jsonl")));
}

TEST_F(ScheduledRun, EveryOutputIsOnTheDiskBeforeTheStateThatVouchesForIt) {
    // The calls are recorded by strace: each new file forced to the disk
    // before it takes its place, its folder after, the state's rename last.
    if (std::system("strace -o /dev/null true 2>/dev/null") != 0) GTEST_SKIP() << "strace cannot trace here";
    ASSERT_NO_FATAL_FAILURE(Network(1));
    ASSERT_EQ(Cli("--out '" + (dir_ / "e.jsonl").string() + "' --state '" + (dir_ / "e.state").string() + "' --trace '" +
                      (dir_ / "trace.txt").string() + "'",
                  // LeakSanitizer cannot run under a tracer; the sanitizer build's collector would fail.
                  "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "
                  "strace -f -qq -e trace=openat,fsync,fdatasync,rename,renameat,renameat2 -o '" +
                      (dir_ / "calls.txt").string() + "' "),
              0);
    // The calls as "sync PATH" and "rename TARGET", the paths of the descriptors as they were opened.
    std::vector<std::string> calls;
    std::map<std::string, std::string> opened;
    const std::regex open(R"re(openat\(AT_FDCWD, "([^"]+)", .*\)\s*= (\d+))re");
    const std::regex sync(R"re(f(?:data)?sync\((\d+)\)\s*= 0)re");
    const std::regex rename(R"re(rename(?:at2?)?\((?:AT_FDCWD, )?"[^"]+", (?:AT_FDCWD, )?"([^"]+)".*\)\s*= 0)re");
    std::istringstream lines(Read("calls.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, open)) opened[m[2]] = fs::path(m[1].str()).filename().string();
        else if (std::regex_search(line, m, sync)) calls.push_back("sync " + opened[m[1]]);
        else if (std::regex_search(line, m, rename)) calls.push_back("rename " + fs::path(m[1].str()).filename().string());
    }
    const auto at = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    const std::string folder = dir_.filename().string();
    for (const char* output : {"e.jsonl", "report.txt", "trace.txt", "e.state"}) {
        const auto renamed = at(std::string("rename ") + output);
        ASSERT_LT(renamed, static_cast<long>(calls.size())) << output;
        ASSERT_GT(renamed, 0) << output;
        EXPECT_EQ(calls[renamed - 1].rfind("sync ." + std::string(output) + ".", 0), 0u) << output << ": " << calls[renamed - 1];
        ASSERT_LT(renamed + 1, static_cast<long>(calls.size())) << output;
        EXPECT_EQ(calls[renamed + 1], "sync " + folder) << output;
        EXPECT_LE(renamed, at("rename e.state")) << output;
    }
}

TEST_F(ScheduledRun, AStateNeedsAnEventsFileThatCanBeCutBack) {
    ASSERT_NO_FATAL_FAILURE(Network(1));
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0666), 0);
    for (const std::string& out : {std::string("/dev/null"), (dir_ / "fifo").string()}) {
        EXPECT_EQ(Cli("--out '" + out + "' --state '" + (dir_ / "e.state").string() + "'"), 2) << out;
        EXPECT_FALSE(fs::exists(dir_ / "e.state")) << out;
    }
}

}  // namespace

#endif
