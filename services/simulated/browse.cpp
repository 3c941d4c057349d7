// The browse service: the browse lists of network.ini.

#include "services/simulated/network_state.h"

namespace quorvin::network {

platform::Error Browse::EnumServers(const std::string& domain, std::vector<platform::ServerInfo>& servers) {
    servers.clear();
    std::string_view name = CString(domain);
    if (name.empty()) name = state_.config.lanGroup;
    const BrowseList* list = state_.config.FindBrowse(name);
    if (!list) return error::kNoBrowserServers;
    // 234 (more data) hands out the entries read, as NetServerEnum does;
    // any other failure none.
    if (list->result != error::kSuccess && list->result != error::kMoreData) return list->result;
    servers = list->servers;
    return list->result;
}

platform::Error Browse::LanGroup(std::string& group) {
    group = state_.config.lanGroup;
    return error::kSuccess;
}

}  // namespace quorvin::network
