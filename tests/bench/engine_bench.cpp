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
#include <sstream>

#include <unistd.h>

#include "engine/collector.h"
#include "tools/netbuild/builder.h"
#include "tools/netbuild/description.h"
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

// A dozen sources over the demo network's message DLLs: events with inserts,
// categories and %%n parameter strings.
std::string Description(std::size_t events) {
    struct Source {
        const char* name;
        const char* files;
        unsigned ids[3];
        int category;
        bool parameters;
    };
    const Source sources[] = {
        {"Tcpip", "message=%SystemRoot%\\System32\\netevent.dll", {0xC0001067, 0x40001069, 0x8000106A}, 0, false},
        {"W32Time", "message=%SystemRoot%\\System32\\netevent.dll", {0x40000023, 0x80000024, 0x40000023}, 0, false},
        {"Dhcp", "message=%SystemRoot%\\System32\\netevent.dll", {0xC00003EA, 0xC00003EA, 0xC00003EA}, 0, false},
        {"EventLog", "message=%SystemRoot%\\System32\\netevent.dll", {0x40001775, 0x40001779, 0x4000177D}, 0, false},
        {"SCM", "message=%SystemRoot%\\System32\\netevent.dll", {0x40001B7C, 0x40001B7B, 0xC0001B58}, 0, false},
        {"Disk", "message=%SystemRoot%\\System32\\iologmsg.dll", {0xC0000007, 0x80000033, 0xC000000B}, 0, false},
        {"atapi", "message=%SystemRoot%\\System32\\iologmsg.dll", {0xC0000009, 0xC0000009, 0xC0000009}, 0, false},
        {"Audit", "message=%SystemRoot%\\System32\\msaudite.dll category=%SystemRoot%\\System32\\msaudite.dll "
                  "parameter=%SystemRoot%\\System32\\msobjs.dll",
         {528, 560, 538}, 2, true},
        {"Userenv", "message=%SystemRoot%\\System32\\appevent.dll", {0x800005ED, 0xC0000406, 0x800005ED}, 0, false},
        {"Msi", "message=%SystemRoot%\\System32\\appevent.dll parameter=%SystemRoot%\\System32\\msobjs.dll",
         {0x40002DBB, 0x40002DCC, 0x40002DBB}, 0, true},
        {"Backup", "\"message=%SystemRoot%\\System32\\bkmsg.dll;%SystemRoot%\\System32\\bkcommon.dll\" "
                   "category=%SystemRoot%\\System32\\bkcommon.dll",
         {8000, 8001, 8002}, 1, false},
        {"AppError", "message=%SystemRoot%\\System32\\appevent.dll", {0xC00003E8, 0xC00003EA, 0xC00003E8}, 0, false},
    };
    std::ostringstream d;
    d << "local ADMIN\ncomputer ADMIN\n  systemroot C:\\WINNT\n";
    d << "computer BENCH\n  systemroot C:\\WINNT\n";
    for (const Source& s : sources) d << "  source System " << s.name << " " << s.files << "\n";
    for (const char* dll : {"netevent", "iologmsg", "msaudite", "msobjs", "appevent", "bkmsg", "bkcommon"})
        d << "  file C:\\WINNT\\System32\\" << dll << ".dll " << dll << ".dll\n";
    d << "  log System\n";
    for (std::size_t i = 0; i < events; ++i) {
        const Source& s = sources[i % 12];
        const unsigned id = s.ids[(i / 12) % 3];
        const char* type = (id >> 30) == 3 ? "error" : (id >> 30) == 2 ? "warning" : "information";
        d << "    event @" << (1100000000 + i * 7) << " " << type << " " << s.name << " " << id;
        if (s.category) d << " category=" << s.category;
        d << " \"user" << i % 97 << "\" \"" << (s.parameters ? "%%1537" : "192.168.0.1") << "\" \"%%4416\" \"PC"
          << i % 13 << "\" \"2\" \"x\"\n";
    }
    return d.str();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
    const std::size_t events = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200000;
    const fs::path folder = fs::temp_directory_path() / ("quorvin-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);

    quorvin::network::NetworkDescription description;
    std::string error;
    if (!quorvin::network::ParseDescription(Description(events), 0, description, error)) {
        std::fprintf(stderr, "description: %s\n", error.c_str());
        return 1;
    }
    quorvin::network::BuildOptions options;
    options.searchFolders.push_back(QUORVIN_DEMO_MESSAGES);
    if (!quorvin::network::BuildNetwork(description, folder / "net", options, error)) {
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
    const int result = collector.GetLog("BENCH", "system", 31);
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
