// How long a run over many computers takes on a slow network, one computer
// after another and several at once: 200 computers, 40 of them unknown
// names (each call to them waits the connect timeout), every call to the
// others a round trip of 20 ms; each answering computer has a System log of
// a few events with a message file behind its admin share, and a channel of
// as many events (Windows Vista and later). The same run is timed at each
// number of computers at once, in one process, first over the System log
// alone, then over the System log and the channel; the rows and report of
// every run are checked against the first of its kind.
//
//   parallel_bench [COMPUTERS] [UNREACHABLE] [LATENCY_MS] [TIMEOUT_MS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <unistd.h>

#include "engine/collector.h"
#include "services/simulated/simulated_network.h"
#include "tools/netbuild/builder.h"
#include "tools/netbuild/description.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class ListView : public quorvin::engine::CollectionView {
public:
    explicit ListView(std::vector<std::string> names) : names_(std::move(names)) {}
    std::size_t rows = 0;
    std::string texts;
    bool FirstComputer(std::string& name) override {
        at_ = 0;
        return Take(name);
    }
    bool NextComputer(std::string& name) override {
        ++at_;
        return Take(name);
    }
    int TreeItemCount() override { return static_cast<int>(names_.size()) + 1; }
    void ClearRows() override {}
    void AppendRow(const quorvin::engine::EventRow& row) override {
        ++rows;
        texts += row.columns[7];
    }
    void SetProgressPosition(int) override {}
    void SetProgressText(const std::string&) override {}
    void EndProgress() override {}

private:
    bool Take(std::string& name) {
        if (at_ >= names_.size()) return false;
        name = names_[at_];
        return true;
    }
    std::vector<std::string> names_;
    std::size_t at_ = 0;
};

// Times the run at each number at once over `net`; 0, or 1 when a run's rows
// or report differ from the first's.
int Series(const fs::path& net, const std::vector<std::string>& names, bool channel) {
    std::string error, firstReport, firstTexts;
    double sequential = 0;
    for (int parallel : {1, 2, 4, 8, 16, 32}) {
        auto network = quorvin::network::SimulatedNetwork::Open(net, error);
        if (!network) {
            std::fprintf(stderr, "open: %s\n", error.c_str());
            return 1;
        }
        quorvin::platform::Platform platform = network->Services();
        quorvin::engine::RunOptions settings;
        settings.Filter_System = 1;
        settings.Filter_Error = settings.Filter_Warning = settings.Filter_Information = 1;
        settings.EnableStartDate = settings.EnableEndDate = 1;
        if (channel) settings.Channels = {"Quorvin-Bench/Operational"};
        std::string report;
        std::atomic<int> stop{0};
        ListView view(names);
        quorvin::engine::RunEnvironment environment{platform, settings, report, stop, view, nullptr, [] {}};
        environment.parallel = parallel;
        const auto start = Clock::now();
        quorvin::engine::Collector(std::move(environment)).Run();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (parallel == 1) {
            sequential = seconds;
            firstReport = report;
            firstTexts = view.texts;
        } else if (report != firstReport || view.texts != firstTexts) {
            std::fprintf(stderr, "%d at once: rows or report differ from one after another\n", parallel);
            return 1;
        }
        std::printf("at once %2d: %8.2f s  %6.2f x  (%zu rows)\n", parallel, seconds, sequential / seconds, view.rows);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int computers = argc > 1 ? std::atoi(argv[1]) : 200;
    const int unreachable = argc > 2 ? std::atoi(argv[2]) : 40;
    const int latency = argc > 3 ? std::atoi(argv[3]) : 20;
    const int timeout = argc > 4 ? std::atoi(argv[4]) : 250;
    const fs::path folder = fs::temp_directory_path() / ("quorvin-parallel-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder);

    // Every fifth name of the list is unknown to the network.
    std::ostringstream d;
    d << "local ADMIN\nnetwork latency=" << latency << " timeout=" << timeout << "\n";
    d << "computer ADMIN\n  systemroot C:\\WINNT\n";
    std::vector<std::string> names;
    int ghosts = 0, answering = 0;
    for (int i = 0; i < computers; ++i) {
        char name[16];
        if (ghosts < unreachable && i % 5 == 4) {
            std::snprintf(name, sizeof name, "GONE%03d", ghosts++);
            names.push_back(name);
            continue;
        }
        std::snprintf(name, sizeof name, "PC%03d", answering++);
        names.push_back(name);
        d << "computer " << name << "\n  systemroot C:\\WINNT\n"
          << "  source System Tcpip message=%SystemRoot%\\System32\\netevent.dll\n"
          << "  file C:\\WINNT\\System32\\netevent.dll netevent.dll\n  log System\n";
        for (int e = 0; e < 5; ++e)
            d << "    event @" << 1100000000 + e * 60 << " information Tcpip 1073745001 \"" << name << "\"\n";
        d << "  channel Quorvin-Bench/Operational\n";
        for (int e = 0; e < 5; ++e)
            d << "    event @" << 1100000000 + e * 60 << " information Quorvin-Bench 100 Computer=" << name << "\n";
    }
    quorvin::network::NetworkDescription description;
    std::string error;
    quorvin::network::BuildOptions build;
    build.searchFolders.push_back(QUORVIN_DEMO_MESSAGES);
    if (!quorvin::network::ParseDescription(d.str(), 0, description, error) ||
        !quorvin::network::BuildNetwork(description, folder / "net", build, error)) {
        std::fprintf(stderr, "network: %s\n", error.c_str());
        return 1;
    }
    std::printf("%d computers, %d unknown; round trip %d ms, connect timeout %d ms\n", computers, unreachable,
                latency, timeout);
    for (const bool channel : {false, true}) {
        std::printf(channel ? "System log and a channel of 5 events\n" : "System log only\n");
        if (Series(folder / "net", names, channel) != 0) return 1;
    }
    fs::remove_all(folder);
    return 0;
}
