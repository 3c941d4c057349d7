// What a run moves over the network against what it needs: every log of
// every computer of the demo network, then one computer whose System log
// holds 100,000 events, collected by the engine on the simulated network,
// whose counts say how many bytes the event log reads asked for and how
// many bytes of message files were read. Beside them: the records' own
// bytes (as the log files store them), the message files' sizes, and the
// physical limit, the records plus each message table once per computer.
//
//   traffic_bench [EVENTS]        (the large log's events, default 100,000)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <unistd.h>

#include "bench/bench_log.h"
#include "core/cp932.h"
#include "engine/collector.h"
#include "formats/evt/evt.h"
#include "formats/messages/message_table.h"
#include "services/simulated/simulated_network.h"

namespace {

namespace fs = std::filesystem;
using quorvin::network::SimulatedNetwork;

std::vector<std::uint8_t> FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The computers of a network folder, and rows counted as they come.
class RunView : public quorvin::engine::CollectionView {
public:
    explicit RunView(std::vector<std::string> computers) : computers_(std::move(computers)) {}
    std::size_t rows = 0;
    bool FirstComputer(std::string& name) override { return Next(name, 0); }
    bool NextComputer(std::string& name) override { return Next(name, next_); }
    int TreeItemCount() override { return static_cast<int>(computers_.size()) + 1; }
    void ClearRows() override {}
    void AppendRow(const quorvin::engine::EventRow&) override { ++rows; }
    void SetProgressPosition(int) override {}
    void SetProgressText(const std::string&) override {}
    void EndProgress() override {}

private:
    bool Next(std::string& name, std::size_t at) {
        if (at >= computers_.size()) return false;
        name = computers_[at];
        next_ = at + 1;
        return true;
    }
    std::vector<std::string> computers_;
    std::size_t next_ = 0;
};

// Records the message files a run loads, by their paths as the engine names them.
class LoadRecorder : public quorvin::platform::MessageService {
public:
    explicit LoadRecorder(quorvin::platform::MessageService& inner) : inner_(inner) {}
    std::set<std::string> loaded;
    quorvin::platform::Error LoadDataFile(const std::string& path,
                                          std::unique_ptr<quorvin::platform::MessageModule>& module) override {
        const quorvin::platform::Error e = inner_.LoadDataFile(path, module);
        if (e == 0) loaded.insert(path);
        return e;
    }
    quorvin::platform::Error FormatMessage(const quorvin::platform::MessageModule* module, std::uint32_t id,
                                           const std::vector<std::string>* arguments, std::string& text) override {
        return inner_.FormatMessage(module, id, arguments, text);
    }
    std::string SystemErrorText(quorvin::platform::Error code) override { return inner_.SystemErrorText(code); }

private:
    quorvin::platform::MessageService& inner_;
};

// The entry of `folder` whose name is `name`, ASCII case ignored.
bool FindEntry(const fs::path& folder, const std::string& name, fs::path& found) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string entryName = quorvin::text::Utf8ToCp932(entry.path().filename().u8string());
        if (quorvin::text::MbsICmp(entryName, name) == 0) {
            found = entry.path();
            return true;
        }
    }
    return false;
}

// "\\NAME\C$\a\b.dll", or "C:\a\b.dll" of this machine (folder `local`), as
// a file of the network folder.
bool FileOfPath(const fs::path& network, const fs::path& local, const std::string& path, fs::path& file) {
    const bool unc = path.rfind("\\\\", 0) == 0;
    std::vector<std::string> parts;
    for (std::size_t at = unc ? 2 : 0; at <= path.size();) {
        const std::size_t end = std::min(path.find('\\', at), path.size());
        parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    if (!unc) parts.insert(parts.begin(), "");
    if (parts.size() < 3 || parts[1].size() != 2 || (parts[1][1] != '$' && parts[1][1] != ':')) return false;
    if (unc ? !FindEntry(network, parts[0], file) : (file = local).empty()) return false;
    if (!FindEntry(file, "drives", file) || !FindEntry(file, parts[1].substr(0, 1), file)) return false;
    for (std::size_t i = 2; i < parts.size(); ++i)
        if (!FindEntry(file, parts[i], file)) return false;
    return true;
}

struct Run {
    std::size_t events = 0;
    SimulatedNetwork::TrafficCounts moved;
    std::set<std::string> loaded;
    fs::path local;  // this machine's folder, or empty
};

// Every log of `computers`, every record; message files read once per
// opened network (`shared`) or at every load.
Run Collect(const fs::path& network, const std::vector<std::string>& computers, bool shared) {
    SimulatedNetwork::Options options;
    options.shareModules = shared;
    std::string error;
    auto opened = SimulatedNetwork::Open(network, options, error);
    if (!opened) {
        std::fprintf(stderr, "open: %s\n", error.c_str());
        std::exit(1);
    }
    quorvin::platform::Platform platform = opened->Services();
    LoadRecorder recorder(platform.messages);
    quorvin::platform::Platform recorded{platform.eventLog, platform.registry, platform.connections,
                                         recorder,          platform.system,   platform.browse};
    quorvin::engine::RunOptions settings;
    settings.Filter_System = settings.Filter_Security = settings.Filter_Application = 1;
    settings.Filter_Error = settings.Filter_Warning = settings.Filter_Information = 1;
    settings.Filter_Securityok = settings.Filter_Securityng = 1;
    settings.EnableStartDate = settings.EnableEndDate = 1;
    std::string report;
    std::atomic<int> stop{0};
    RunView view(computers);
    quorvin::engine::Collector(quorvin::engine::RunEnvironment{recorded, settings, report, stop, view, nullptr, [] {}})
        .Run();
    const quorvin::network::NetworkConfig& config = opened->Config();
    const fs::path local =
        config.localComputer >= 0 ? config.computers[static_cast<std::size_t>(config.localComputer)].folder : fs::path();
    return Run{view.rows, opened->Traffic(), recorder.loaded, local};
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

using Bytes = unsigned long long;

// The records of the logs of `computers` as the log files store them
// (UTF-16 strings, as ReadEventLogW carries them) and as the service hands
// them to the engine's reads (CP932 strings, as ReadEventLogA carries them).
struct Records {
    Bytes stored = 0;
    Bytes read = 0;
};

Records RecordsOf(const fs::path& network, const std::vector<std::string>& computers) {
    Records records;
    for (const std::string& computer : computers) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(network / computer / "logs", ec)) {
            const std::vector<std::uint8_t> data = FileBytes(entry.path());
            for (const quorvin::evt::LogRecord& record :
                 quorvin::evt::ParseLogFile(data.data(), data.size()).records) {
                records.stored += record.raw.size();
                records.read += quorvin::evt::ToAnsiRecord(record.event).size();
            }
        }
    }
    return records;
}

// The message files a run loaded: their sizes and their message tables'
// data. A file reached by two paths (this machine's own files by a drive
// letter and through its share) is one file.
struct Files {
    std::size_t count = 0;
    std::size_t unresolved = 0;
    Bytes bytes = 0;
    Bytes tables = 0;
};

Files FilesOf(const fs::path& network, const Run& run) {
    Files files;
    std::set<fs::path> seen;
    for (const std::string& path : run.loaded) {
        fs::path file;
        if (!FileOfPath(network, run.local, path, file)) {
            ++files.unresolved;
            continue;
        }
        if (!seen.insert(file).second) continue;
        const std::vector<std::uint8_t> data = FileBytes(file);
        quorvin::messages::MessageTable table;
        quorvin::messages::MessageTable::Load(data.data(), data.size(), table);
        ++files.count;
        files.bytes += data.size();
        files.tables += table.DataBytes();
    }
    return files;
}

// Prints the figures of a run over `computers` of the network in `network`.
void Report(const char* title, const fs::path& network, const std::vector<std::string>& computers) {
    const Records records = RecordsOf(network, computers);
    const Run shared = Collect(network, computers, true);
    const Run perLoad = Collect(network, computers, false);
    const Files files = FilesOf(network, shared);
    const double events = static_cast<double>(shared.events);
    const Bytes logMoved = shared.moved.eventLogBytes;
    const Bytes limit = records.read + files.tables;
    std::printf("%s: %zu computers, %zu events\n", title, computers.size(), shared.events);
    std::printf("  records           %12llu bytes  %8.0f per event  as read (%llu as stored)\n", records.read,
                Ratio(records.read, events), records.stored);
    std::printf("  event log moved   %12llu bytes  %8.0f per event  in %llu reads  %.2f x the records\n", logMoved,
                Ratio(logMoved, events), Bytes{shared.moved.eventLogReads}, Ratio(logMoved, records.read));
    std::printf("  message files     %12llu bytes  %zu distinct per computer (%zu not found), tables %llu bytes\n",
                files.bytes, files.count, files.unresolved, files.tables);
    std::printf("  files moved       %12llu bytes  read once per run   %.2f x the files\n", Bytes{shared.moved.fileBytes},
                Ratio(shared.moved.fileBytes, files.bytes));
    std::printf("                    %12llu bytes  read at every load  %.2f x the files\n",
                Bytes{perLoad.moved.fileBytes}, Ratio(perLoad.moved.fileBytes, files.bytes));
    std::printf("  physical limit    %12llu bytes  %8.0f per event  (records + tables once per computer)\n", limit,
                Ratio(limit, events));
    for (const Run* run : {&shared, &perLoad}) {
        const Bytes total = run->moved.eventLogBytes + run->moved.fileBytes;
        std::printf("  total moved       %12llu bytes  %8.0f per event  %.2f x the limit (files %s)\n", total,
                    Ratio(total, events), Ratio(total, limit), run == &shared ? "once per run" : "at every load");
    }
}

std::vector<std::string> ComputersOf(const fs::path& network) {
    std::vector<std::string> computers;
    for (const fs::directory_entry& entry : fs::directory_iterator(network))
        if (entry.is_directory() && entry.path().filename().string()[0] != '.')
            computers.push_back(entry.path().filename().string());
    std::sort(computers.begin(), computers.end());
    return computers;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t events = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    Report("demo network", QUORVIN_DEMO_NETWORK, ComputersOf(QUORVIN_DEMO_NETWORK));

    const fs::path folder = fs::temp_directory_path() / ("quorvin-traffic-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    std::string error;
    if (!quorvin::bench::BuildBenchNetwork(events, folder / "net", QUORVIN_DEMO_MESSAGES, error)) {
        std::fprintf(stderr, "build: %s\n", error.c_str());
        return 1;
    }
    Report("large log", folder / "net", {"BENCH"});
    fs::remove_all(folder);
    return 0;
}
