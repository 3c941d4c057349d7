#pragma once
// Writes a network folder from a parsed description.

#include "tools/netbuild/description.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvin::network {

struct BuildOptions {
    // Where the files that "registry" and "file" lines name are looked for
    // when their names are relative: this folder first (normally the
    // description's), then the search folders in order.
    std::filesystem::path baseFolder;
    std::vector<std::filesystem::path> searchFolders;
};

// Writes the network into `out`, which must not exist or be an empty
// folder, then opens it as SimulatedNetwork does to check it. False with
// `error` telling what went wrong (with the description's line where one
// is to blame); the folder may then hold part of the network.
bool BuildNetwork(const NetworkDescription& description, const std::filesystem::path& out, const BuildOptions& options,
                  std::string& error);

}  // namespace quorvin::network
