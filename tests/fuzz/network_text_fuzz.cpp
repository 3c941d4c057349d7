// The simulated network's text readers on any input: INI files, network.ini
// and computer.ini rules, network descriptions, Windows paths and
// environment expansion. No crash, no overread, and the path rules hold:
// a normalised path never keeps a name that leaves its root.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/netbuild/description.h"
#include "services/simulated/environment.h"
#include "formats/ini.h"
#include "services/simulated/network_config.h"
#include "services/simulated/paths.h"

using namespace quorvin::network;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string error;
    switch (data[0] % 5) {
        case 0: {
            IniFile ini;
            if (!ParseIni(text, ini, error) && error.rfind("line ", 0) != 0) std::abort();
            break;
        }
        case 1: {
            ComputerConfig computer;
            NetworkConfig config;
            std::string local;
            ParseComputerIni(text, "computer.ini", computer, error);
            ParseNetworkIni(text, "network.ini", config, local, error);
            break;
        }
        case 2: {
            NetworkDescription description;
            if (!ParseDescription(text, 1000000000, description, error) && error.rfind("line ", 0) != 0) std::abort();
            break;
        }
        case 3: {
            const WindowsPath path = ParseWindowsPath(text);
            std::vector<std::string> components;
            if (NormalizeComponents(path.components, components) == 0)
                for (const std::string& name : components)
                    if (name.empty() || name == "." || name == ".." || SplitPath(name).size() != 1) std::abort();
            break;
        }
        default: {
            if (ExpandEnvironment(text, {}) != text) std::abort();
            ExpandEnvironment(text, {{"A", "%A%"}, {"SystemRoot", "C:\\WINNT"}});
            break;
        }
    }
    return 0;
}
