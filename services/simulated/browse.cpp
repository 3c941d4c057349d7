// The browse service: the browse lists of network.ini.

#include "services/simulated/network_state.h"

namespace quorvin::network {

platform::Error Browse::EnumServers(const std::string& domain, std::vector<platform::ServerInfo>& servers) {
    servers.clear();
    std::string_view name = CString(domain);
    if (name.empty()) name = state_.config.lanGroup;
    const BrowseList* list = state_.config.FindBrowse(name);
    if (!list) return error::kNoBrowserServers;
    if (list->result != error::kSuccess) return list->result;
    servers = list->servers;
    return error::kSuccess;
}

platform::Error Browse::LanGroup(std::string& group) {
    group = state_.config.lanGroup;
    return error::kSuccess;
}

}  // namespace quorvin::network
