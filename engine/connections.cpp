#include "engine/connections.h"

#include <algorithm>

#include "core/cp932.h"

namespace quorvin::engine {

platform::Error ComputerConnections::Connect(const std::string& name, const std::string& user,
                                             std::string_view password) {
    CancelAll();
    prefix_ = "\\\\" + name + "\\";
    const std::string share = prefix_ + "admin$";
    const platform::Error error = service_.AddConnection(share, user, password);
    if (error == platform::error::kSuccess) shares_.push_back(share);
    return error;
}

void ComputerConnections::Use(const std::string& share) {
    if (!Connected() || share.empty()) return;
    const std::string remote = prefix_ + share;
    const bool known = std::any_of(shares_.begin(), shares_.end(),
                                   [&](const std::string& s) { return text::MbsICmp(s, remote) == 0; });
    if (!known) shares_.push_back(remote);
}

void ComputerConnections::UsePath(const std::string& path) {
    if (!Connected() || path.size() <= prefix_.size() || text::MbsICmp(path.substr(0, prefix_.size()), prefix_) != 0)
        return;
    // The share ends at the next backslash that is a character of its own.
    std::size_t end = prefix_.size();
    while (end < path.size() && path[end] != '\\') end += text::IsLeadByte(static_cast<unsigned char>(path[end])) ? 2 : 1;
    Use(path.substr(prefix_.size(), std::min(end, path.size()) - prefix_.size()));
}

void ComputerConnections::CancelAll() {
    for (auto it = shares_.rbegin(); it != shares_.rend(); ++it)
        static_cast<void>(service_.CancelConnection(*it));
    shares_.clear();
}

}  // namespace quorvin::engine
