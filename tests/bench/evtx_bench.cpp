// Saved .evtx files read by the console collector against the independent
// reader evtxexport, each a whole process over the same set of files:
// quorvin-cli reads them all (--file each) into JSON Lines thrown away,
// evtxexport prints each file's records as XML, one process a file (it
// reads one file a run), its output thrown away. The files are written by
// our writer with the sample events of the tests (every value type, UserData,
// templates reused across chunks). The best of --repeat runs each; one line
// of figures.
//
//   evtx_bench QUORVIN_CLI [--repeat N] [--files N] [--records N] [--keep FOLDER]
//       (default: 8 files of 25,000 records, 3 runs each)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "unit/formats/evtx/sample_log.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs `arguments` with standard output and error thrown away; the wall
// clock seconds, or a negative number when it failed.
double Run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null < 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0) std::_Exit(126);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The best of `repeat` runs of every command of `commands` one after
// another (their times added); negative when one failed.
double Best(const std::vector<std::vector<std::string>>& commands, int repeat) {
    double best = -1;
    for (int i = 0; i < repeat; ++i) {
        double total = 0;
        for (const auto& command : commands) {
            const double t = Run(command);
            if (t < 0) return t;
            total += t;
        }
        if (best < 0 || total < best) best = total;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: evtx_bench QUORVIN_CLI [--repeat N] [--files N] [--records N] [--keep FOLDER]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    int repeat = 3;
    std::size_t files = 8, records = 25000;
    fs::path folder;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--files") files = std::max<std::size_t>(1, std::strtoul(argv[i + 1], nullptr, 10));
        if (option == "--records") records = std::max<std::size_t>(1, std::strtoul(argv[i + 1], nullptr, 10));
        if (option == "--keep") folder = fs::absolute(argv[i + 1]);
    }
    const bool keep = !folder.empty();
    if (!keep) folder = fs::temp_directory_path() / ("quorvin-evtx-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);

    std::vector<std::string> ours = {cli, "--format", "jsonl", "--out", "/dev/null"};
    std::vector<std::vector<std::string>> theirs;
    std::uintmax_t bytes = 0;
    for (std::size_t f = 0; f < files; ++f) {
        const fs::path path = folder / ("log" + std::to_string(f) + ".evtx");
        const std::vector<std::uint8_t> file = quorvin::evtx::WriteFile(
            quorvin::evtx::test::SampleTemplates(), quorvin::evtx::test::SampleRecords(1 + f * records, records));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                    static_cast<std::streamsize>(file.size()));
        bytes += file.size();
        ours.insert(ours.end(), {"--file", path.string()});
        theirs.push_back({"evtxexport", "-f", "xml", path.string()});
    }
    const double total = static_cast<double>(files * records);
    const double cli_s = Best({ours}, repeat);
    const double theirs_s = Best(theirs, repeat);
    std::printf("%7s %9s %8s | %8s %11s | %8s %11s | %6s\n", "files", "records", "MB", "cli s", "records/s",
                "evtxexp s", "records/s", "ratio");
    std::printf("%7zu %9.0f %8.1f | %8.3f %11.0f | %8.3f %11.0f | %6.1f\n", files, total,
                static_cast<double>(bytes) / 1e6, cli_s, cli_s > 0 ? total / cli_s : 0, theirs_s,
                theirs_s > 0 ? total / theirs_s : 0, cli_s > 0 && theirs_s > 0 ? theirs_s / cli_s : 0);
    if (!keep) fs::remove_all(folder);
    return cli_s < 0 || theirs_s < 0 ? 1 : 0;
}
