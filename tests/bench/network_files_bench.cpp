// How long a simulated network takes to open as its files grow: a
// computer.ini with many keys under [accounts], a network.ini with a long
// browse list, and a network of many computer folders. Prints seconds per
// case; the time should grow with the size, not its square.
//
//   network_files_bench [KEYS...]        (default: 10000 40000 160000)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "services/simulated/network_config.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using quorvin::network::NetworkConfig;

// Short distinct names: base 36, so 160,000 keys stay within 1 MiB.
std::string Name(std::size_t i) {
    std::string name;
    do {
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[i % 36];
        i /= 36;
    } while (i != 0);
    return name;
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Opens the network in `folder`; its load time in seconds.
double Load(const fs::path& folder) {
    NetworkConfig config;
    std::string error;
    const Clock::time_point start = Clock::now();
    const bool loaded = quorvin::network::LoadNetworkConfig(folder, config, error);
    const double seconds = Seconds(start);
    if (!loaded) {
        std::fprintf(stderr, "network_files_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {10000, 40000, 160000};

    const fs::path root = fs::temp_directory_path() / ("quorvin-network-bench-" + std::to_string(::getpid()));
    std::printf("%-10s %14s %14s %14s\n", "keys", "accounts (s)", "browse (s)", "folders (s)");
    for (const std::size_t n : sizes) {
        fs::remove_all(root);
        // One computer whose computer.ini holds n accounts.
        fs::create_directories(root / "accounts" / "PC01");
        Write(root / "accounts" / "network.ini", "[local]\ncomputer=PC01\n");
        std::string ini = "[accounts]\n";
        for (std::size_t i = 0; i < n; ++i) ini += Name(i) + "=\n";
        Write(root / "accounts" / "PC01" / "computer.ini", ini);
        const double accounts = Load(root / "accounts");

        // A browse list of n servers, parsed from memory (beyond 1 MiB as a file).
        std::string browse = "[browse:DOMAIN]\n";
        for (std::size_t i = 0; i < n; ++i) browse += Name(i) + "=5.0,0x1003\n";
        NetworkConfig config;
        std::string local, error;
        const Clock::time_point start = Clock::now();
        if (!quorvin::network::ParseNetworkIni(browse, "network.ini", config, local, error)) {
            std::fprintf(stderr, "network_files_bench: %s\n", error.c_str());
            return 1;
        }
        const double browseSeconds = Seconds(start);

        // n computer folders without files of their own.
        fs::create_directories(root / "folders");
        Write(root / "folders" / "network.ini", "[local]\nlan_group=WORKGROUP\n");
        for (std::size_t i = 0; i < n; ++i) fs::create_directory(root / "folders" / ("PC" + Name(i)));
        const double folders = Load(root / "folders");

        std::printf("%-10zu %14.3f %14.3f %14.3f\n", n, accounts, browseSeconds, folders);
        std::fflush(stdout);
    }
    fs::remove_all(root);
    return 0;
}
