// quorvin-netbuild: makes a simulated network folder from a text description
// (docs/network.md, "Building a network").
//
//   quorvin-netbuild [-I FOLDER]... [--now "YYYY-MM-DD HH:MM[:SS]"] DESCRIPTION OUTDIR

#include "tools/netbuild/builder.h"
#include "core/cp932.h"
#include "services/simulated/paths.h"
#include "tools/netbuild/description.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quorvin::network;

// Messages are CP932 inside; the terminal of a Linux build reads UTF-8.
void Print(const std::string& cp932) {
#ifdef _WIN32
    const std::string text = cp932;
#else
    const std::string text = quorvin::text::Cp932ToUtf8(cp932);
#endif
    std::fprintf(stderr, "quorvin-netbuild: %s\n", text.c_str());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: quorvin-netbuild [-I FOLDER]... [--now \"YYYY-MM-DD HH:MM[:SS]\"] DESCRIPTION OUTDIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> search;
    std::time_t now = std::time(nullptr);
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-I" || arg == "--now") && i + 1 >= argc) return Usage();
        if (arg == "-I") {
            search.push_back(fs::u8path(argv[++i]));
        } else if (arg == "--now") {
            const std::string value = argv[++i];
            const std::size_t blank = value.find(' ');
            std::uint32_t time = 0;
            std::size_t used = 0;
            if (blank == std::string::npos ||
                !ParseEventTime({value.substr(0, blank), value.substr(blank + 1)}, 0, time, used)) {
                Print("--now takes \"YYYY-MM-DD HH:MM[:SS]\"");
                return 2;
            }
            now = static_cast<std::time_t>(time);
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return Usage();
    const fs::path description = fs::u8path(positional[0]);
    const fs::path out = fs::u8path(positional[1]);

    std::vector<std::uint8_t> data;
    if (ReadWholeFile(description, 16u << 20, data) != 0) {
        Print("cannot read " + HostNameToCp932(description));
        return 1;
    }
    NetworkDescription parsed;
    std::string error;
    if (!ParseDescription(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), now, parsed, error)) {
        Print(HostNameToCp932(description) + " " + error);
        return 1;
    }
    BuildOptions options;
    options.baseFolder = description.parent_path();
    options.searchFolders = search;
    if (!BuildNetwork(parsed, out, options, error)) {
        Print(HostNameToCp932(description) + ": " + error);
        return 1;
    }
    return 0;
}
