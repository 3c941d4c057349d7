// How fast the collection engine turns a large log into rows: one computer
// of a simulated network whose System log holds 200,000 events of a dozen
// sources with message, category and parameter files, read and formatted
// completely; beside it, the independent reader evtexport on the same file.
//
//   engine_bench [EVENTS]        (prints events per second of both)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "bench/bench_log.h"
#include "engine/collector.h"
#include "services/simulated/simulated_network.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class CountingView : public quorvin::engine::CollectionView {
public:
    std::size_t rows = 0;
    std::size_t bytes = 0;
    bool FirstComputer(std::string& name) override {
        name = "BENCH";
        return true;
    }
    bool NextComputer(std::string&) override { return false; }
    int TreeItemCount() override { return 2; }
    void ClearRows() override {}
    void AppendRow(const quorvin::engine::EventRow& row) override {
        ++rows;
        bytes += row.columns[7].size();
    }
    void SetProgressPosition(int) override {}
    void SetProgressText(const std::string&) override {}
    void EndProgress() override {}
};

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
    const std::size_t events = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
    const fs::path folder = fs::temp_directory_path() / ("quorvin-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);

    std::string error;
    if (!quorvin::bench::BuildBenchNetwork(events, folder / "net", QUORVIN_DEMO_MESSAGES, error)) {
        std::fprintf(stderr, "build: %s\n", error.c_str());
        return 1;
    }
    const fs::path evt = folder / "net" / "BENCH" / "logs" / "System.evt";
    std::printf("log: %zu events, %.1f MB\n", events, fs::file_size(evt) / 1e6);

    // The engine: open the network, read and format the whole System log.
    auto network = quorvin::network::SimulatedNetwork::Open(folder / "net", error);
    if (!network) {
        std::fprintf(stderr, "open: %s\n", error.c_str());
        return 1;
    }
    quorvin::platform::Platform platform = network->Services();
    quorvin::engine::RunOptions settings;
    settings.Filter_System = 1;
    settings.Filter_Error = settings.Filter_Warning = settings.Filter_Information = 1;
    settings.EnableStartDate = settings.EnableEndDate = 1;
    std::string report;
    std::atomic<int> stop{0};
    CountingView view;
    quorvin::engine::Collector collector(
        quorvin::engine::RunEnvironment{platform, settings, report, stop, view, nullptr, [] {}});
    const auto engineStart = Clock::now();
    quorvin::engine::LogEnd end;
    const int result = collector.GetLog("BENCH", "system", 31, end);
    const double engineSeconds = Seconds(engineStart);
    if (result != 1 || view.rows != events || !report.empty()) {
        std::fprintf(stderr, "engine: result %d, %zu rows, report %zu bytes\n", result, view.rows, report.size());
        return 1;
    }

    // evtexport on the same file, its output thrown away.
    const std::string command = "evtexport -c windows-932 '" + evt.string() + "' > /dev/null 2>&1";
    const auto exportStart = Clock::now();
    const int exportResult = std::system(command.c_str());
    const double exportSeconds = Seconds(exportStart);
    fs::remove_all(folder);

    const double engineRate = events / engineSeconds;
    std::printf("engine    : %8.3f s  %10.0f events/s  (every message formatted, %.1f MB of text)\n", engineSeconds,
                engineRate, view.bytes / 1e6);
    if (exportResult != 0) {
        std::printf("evtexport : not run (exit %d)\n", exportResult);
        return 0;
    }
    const double exportRate = events / exportSeconds;
    std::printf("evtexport : %8.3f s  %10.0f events/s\n", exportSeconds, exportRate);
    std::printf("ratio     : %.2f x evtexport\n", engineRate / exportRate);
    return 0;
}
