#pragma once
// A simulated network for a test, built from a description with the
// network builder (docs/network.md, "Building a network").

#include "tools/netbuild/builder.h"
#include "tools/netbuild/description.h"
#include "services/simulated/simulated_network.h"
#include "core/cp932.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "support/temp_folder.h"

namespace quorvin::network::test {

// Builds `description` (CP932, as the literals of the tests are) into
// `folder`/net and opens it. Files of "file" and "registry" lines are looked
// for in `folder`/src, then among the message DLLs the build makes from .mc
// sources ($QUORVIN_BINARY_DIR/test-messages). Null with `error` on failure.
inline std::unique_ptr<SimulatedNetwork> BuildTestNetwork(const TempFolder& folder, const std::string& description,
                                                          std::string& error, std::time_t now = 1055840400) {
    NetworkDescription parsed;
    if (!ParseDescription(text::Cp932ToUtf8(description), now, parsed, error)) return nullptr;
    BuildOptions options;
    options.baseFolder = folder.Path() / "src";
    options.searchFolders.push_back(folder.Path() / "lib");
    if (const char* binary = std::getenv("QUORVIN_BINARY_DIR"))
        options.searchFolders.push_back(std::filesystem::u8path(binary) / "test-messages");
    if (!BuildNetwork(parsed, folder.Path() / "net", options, error)) return nullptr;
    return SimulatedNetwork::Open(folder.Path() / "net", error);
}

}  // namespace quorvin::network::test
