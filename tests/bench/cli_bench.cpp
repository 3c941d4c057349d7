// The console collector against the independent reader evtexport, each a
// whole process writing its output to a file: quorvin-cli collects the
// System log of the benchmark network (bench_log.h) into a CSV file and a
// report, evtexport prints the records of the same .evt file (its output
// thrown away, which makes it faster).
// For each log size given, both are run in turn (the best of --repeat runs
// each) and one line of figures is printed; --figures FILE also writes them
// as tab-separated columns for scripts/plot-figures. --keep FOLDER builds the
// networks there (FOLDER/EVENTS) and leaves them, for a profiler.
//
//   cli_bench QUORVIN_CLI [--repeat N] [--figures FILE] [--keep FOLDER] [EVENTS...]
//       (default: 200000 events, 3 runs each)

#include <fcntl.h>
#include <sys/resource.h>
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

#include "bench/bench_log.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Timing {
    int exitCode = -1;
    double seconds = 0;  // wall clock
    double cpu = 0;      // user and system time of the process
};

// Runs `arguments` with standard output into `output` (none: /dev/null) and
// standard error into /dev/null.
Timing Run(const std::vector<std::string>& arguments, const fs::path& output) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        if (out < 0 || null < 0 || ::dup2(out, 1) < 0 || ::dup2(null, 2) < 0) std::_Exit(126);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    Timing t;
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return t;
    t.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    t.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    t.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
}

// The best (fastest wall clock) of `repeat` runs; a failed run ends the series.
Timing Best(const std::vector<std::string>& arguments, const fs::path& output, int repeat) {
    Timing best;
    for (int i = 0; i < repeat; ++i) {
        const Timing t = Run(arguments, output);
        if (t.exitCode != 0) return t;
        if (i == 0 || t.seconds < best.seconds) best = t;
    }
    return best;
}

std::size_t LineCount(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: cli_bench QUORVIN_CLI [--repeat N] [--figures FILE] [--keep FOLDER] [EVENTS...]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    int repeat = 3;
    std::string figuresPath;
    fs::path keep;
    std::vector<std::size_t> sizes;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--figures") == 0 && i + 1 < argc)
            figuresPath = argv[++i];
        else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc)
            keep = fs::absolute(argv[++i]);
        else
            sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    if (sizes.empty()) sizes.push_back(200000);

    std::FILE* figures = nullptr;
    if (!figuresPath.empty()) {
        figures = std::fopen(figuresPath.c_str(), "w");
        if (!figures) {
            std::fprintf(stderr, "cannot write %s\n", figuresPath.c_str());
            return 1;
        }
        std::fprintf(figures, "events\tlog_mb\tcsv_mb\tcli_s\tcli_cpu_s\tcli_events_s\tevtexport_s\tevtexport_cpu_s\t"
                              "evtexport_events_s\tratio\tcpu_ratio\n");
    }
    std::printf("%9s %8s %8s | %8s %8s %11s | %8s %8s %11s | %6s %6s\n", "events", "log MB", "csv MB", "cli s", "cpu s",
                "events/s", "evtexp s", "cpu s", "events/s", "ratio", "cpu");
    int result = 0;
    for (const std::size_t events : sizes) {
        const fs::path folder = keep.empty()
                                    ? fs::temp_directory_path() / ("quorvin-cli-bench-" + std::to_string(::getpid()))
                                    : keep / std::to_string(events);
        fs::remove_all(folder);
        std::string error;
        if (!quorvin::bench::BuildBenchNetwork(events, folder / "net", QUORVIN_DEMO_MESSAGES, error)) {
            std::fprintf(stderr, "build: %s\n", error.c_str());
            return 1;
        }
        const fs::path evt = folder / "net" / "BENCH" / "logs" / "System.evt";
        const fs::path csv = folder / "events.csv";
        const Timing engine = Best({cli, "--network", (folder / "net").string(), "--computers", "BENCH", "--logs",
                                    "system", "--csv", csv.string(), "--report", (folder / "report.txt").string()},
                                   {}, repeat);
        const std::size_t lines = LineCount(csv);
        // evtexport's text is thrown away: it writes in small pieces, and
        // into a file that alone would more than double its time.
        const Timing reader = Best({"evtexport", "-c", "windows-932", evt.string()}, {}, repeat);
        const double logMb = static_cast<double>(fs::file_size(evt)) / 1e6;
        std::error_code ec;
        const double csvMb = static_cast<double>(fs::file_size(csv, ec)) / 1e6;
        if (keep.empty()) fs::remove_all(folder);
        if (engine.exitCode != 0 || lines != events + 1) {
            std::fprintf(stderr, "quorvin-cli: exit %d, %zu lines for %zu events\n", engine.exitCode, lines, events);
            result = 1;
            continue;
        }
        const double engineRate = static_cast<double>(events) / engine.seconds;
        if (reader.exitCode != 0) {
            std::printf("%9zu %8.1f %8.1f | %8.3f %8.3f %11.0f | evtexport not run (exit %d)\n", events, logMb, csvMb,
                        engine.seconds, engine.cpu, engineRate, reader.exitCode);
            continue;
        }
        const double readerRate = static_cast<double>(events) / reader.seconds;
        // The ratio of events per second, by the clock and by processor time
        // (the steadier one on a machine shared with other work).
        const double cpuRatio = reader.cpu / engine.cpu;
        std::printf("%9zu %8.1f %8.1f | %8.3f %8.3f %11.0f | %8.3f %8.3f %11.0f | %6.2f %6.2f\n", events, logMb, csvMb,
                    engine.seconds, engine.cpu, engineRate, reader.seconds, reader.cpu, readerRate,
                    engineRate / readerRate, cpuRatio);
        std::fflush(stdout);
        if (figures)
            std::fprintf(figures, "%zu\t%.1f\t%.1f\t%.3f\t%.3f\t%.0f\t%.3f\t%.3f\t%.0f\t%.2f\t%.2f\n", events, logMb,
                         csvMb, engine.seconds, engine.cpu, engineRate, reader.seconds, reader.cpu, readerRate,
                         engineRate / readerRate, cpuRatio);
    }
    if (figures && std::fclose(figures) != 0) result = 1;
    return result;
}
