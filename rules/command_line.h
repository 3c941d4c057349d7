#pragma once
// The program's command line: "/network DIR" runs it against a simulated
// Windows network (a folder, docs/network.md) instead of the real one.
// Other arguments are ignored, as the window program has no documents to open.

#include <string>
#include <vector>

namespace quorvin::app {

struct GuiCommandLine {
    // The folder after /network (or -network, any case); empty: the real network.
    std::wstring networkFolder;
    // False when /network is the last argument, without its folder.
    bool valid = true;
};

// `arguments` are those after the program name.
GuiCommandLine ParseGuiCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace quorvin::app
