// The memory a console run needs as its input grows: quorvin-cli (the
// program given) collects a log of many small records, then a log whose
// sources use large message DLLs. Prints the run's peak resident memory and
// its seconds; the memory should stay flat however large the log.
//
//   large_run_bench QUORVIN_CLI [EVENTS] [DLLS] [DLL_MB]
//       (default: 1000000 events; 10 DLLs of 60 MB)

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/evt/evt.h"
#include "support/pe_image.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void Write(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A network of this machine (ADMIN) and BIG, whose System log holds `events`.
void MakeNetwork(const fs::path& folder, const std::vector<quorvin::evt::Event>& events, const std::string& registry) {
    Write(folder / "network.ini", "[local]\ncomputer=ADMIN\n");
    fs::create_directories(folder / "ADMIN");
    Write(folder / "BIG" / "logs" / "System.evt", quorvin::evt::WriteLogFile(events));
    if (!registry.empty()) Write(folder / "BIG" / "registry.reg", registry);
}

// Runs `cli` on BIG; prints its peak memory and time.
void Measure(const char* what, const std::string& cli, const fs::path& network) {
    // The child's peak counts what it shares with this process until its
    // exec: the memory the records were made in goes back to the system first.
    ::malloc_trim(0);
    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string net = network.string();
        const std::string csv = (network / "events.csv").string();
        ::execl(cli.c_str(), cli.c_str(), "--network", net.c_str(), "--computers", "BIG", "--logs", "system", "--csv",
                csv.c_str(), "--report", "/dev/null", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double log = static_cast<double>(fs::file_size(network / "BIG" / "logs" / "System.evt")) / 1e6;
    std::error_code ec;
    const double csv = static_cast<double>(fs::file_size(network / "events.csv", ec)) / 1e6;
    std::printf("%-8s log %8.1f MB  csv %8.1f MB  exit %d  peak %8.1f MB  %8.2f s\n", what, log, csv,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, static_cast<double>(usage.ru_maxrss) / 1024.0, seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: large_run_bench QUORVIN_CLI [EVENTS] [DLLS] [DLL_MB]\n");
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000000;
    const std::size_t dlls = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10;
    const std::size_t dllMegabytes = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 60;
    const fs::path root = fs::temp_directory_path() / ("quorvin-large-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);

    {
        // Minimal records of a source without a message file: a row and a
        // report line each.
        std::vector<quorvin::evt::Event> events(count);
        for (std::size_t i = 0; i < count; ++i) {
            events[i].timeGenerated = events[i].timeWritten = 1100000000 + static_cast<std::uint32_t>(i);
            events[i].eventType = 4;
            events[i].sourceName = "S";
            events[i].computerName = "BIG";
        }
        MakeNetwork(root / "records", events, "");
    }
    Measure("records", cli, root / "records");

    {
        // DLLS sources, each with its own DLL of messages 1..n, their events
        // in runs of a thousand.
        const std::size_t perMessage = 1000;  // UTF-16 characters
        const std::size_t messages = dllMegabytes * 1000000 / (2 * perMessage);
        std::string reg = "REGEDIT4\r\n\r\n";
        for (std::size_t d = 0; d < dlls; ++d) {
            std::vector<std::pair<std::uint32_t, std::u16string>> texts;
            for (std::size_t m = 1; m <= messages; ++m)
                texts.emplace_back(static_cast<std::uint32_t>(m), std::u16string(perMessage - 2, u'a' + d % 26) + u"\r\n");
            Write(root / "modules" / "BIG" / "drives" / "C" / "WINNT" / "System32" / ("big" + std::to_string(d) + ".dll"),
                  quorvin::network::test::MessageDll(texts));
            reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Src" +
                   std::to_string(d) + "]\r\n\"EventMessageFile\"=\"C:\\\\WINNT\\\\System32\\\\big" + std::to_string(d) +
                   ".dll\"\r\n\r\n";
        }
        const std::size_t moduleEvents = dlls * 1000;
        std::vector<quorvin::evt::Event> events(moduleEvents);
        for (std::size_t i = 0; i < moduleEvents; ++i) {
            events[i].timeGenerated = events[i].timeWritten = 1100000000 + static_cast<std::uint32_t>(i);
            events[i].eventType = 4;
            events[i].eventId = 1 + static_cast<std::uint32_t>(i % messages);
            events[i].sourceName = "Src" + std::to_string(i / 1000);
            events[i].computerName = "BIG";
        }
        MakeNetwork(root / "modules", events, reg);
    }
    Measure("modules", cli, root / "modules");
    fs::remove_all(root);
    return 0;
}
