// The connection service: the administrative shares and the accounts that open them.

#include "services/simulated/network_state.h"

#include <algorithm>

namespace quorvin::network {

namespace {

// "\\NAME\SHARE" split into its computer and share, or false.
bool ParseRemoteName(const std::string& remoteName, std::string& server, std::string& share) {
    const WindowsPath path = ParseWindowsPath(remoteName);
    if (path.kind != WindowsPath::Kind::kUnc || path.server.empty() || path.share.empty()) return false;
    for (const std::string& piece : path.components)
        if (!piece.empty()) return false;
    server = path.server;
    share = path.share;
    return true;
}

}  // namespace

bool IsAccountOf(const ComputerConfig& computer, std::string_view user, std::string_view password) {
    const std::string_view userName = CString(user);
    const std::string_view secret = CString(password);
    return std::any_of(computer.accounts.begin(), computer.accounts.end(), [&](const auto& account) {
        return Equal(account.first, userName) && account.second == secret;
    });
}

platform::Error Connections::AddConnection(const std::string& remoteName, const std::string& user,
                                           std::string_view password) {
    std::string server, share;
    if (!ParseRemoteName(remoteName, server, share)) return error::kBadNetName;
    const int index = state_.config.FindComputer(server);
    if (index < 0) {
        state_.Unreachable(index);
        return error::kBadNetPath;
    }
    state_.RoundTrip(index);
    const ComputerConfig& computer = state_.config.computers[static_cast<std::size_t>(index)];
    const char drive = DriveShareLetter(share);
    fs::path drives, driveFolder;
    const bool driveExists = drive != 0 && FindEntry(computer.folder, "drives", EntryKind::kDirectory, drives, &state_.folders) &&
                             FindEntry(drives, std::string(1, drive), EntryKind::kDirectory, driveFolder, &state_.folders);
    if (!driveExists && !Equal(share, "admin$") && !Equal(share, "IPC$")) return error::kBadNetName;

    if (!IsAccountOf(computer, user, password)) return error::kLogonFailure;
    const std::string_view userName = CString(user);

    std::lock_guard<std::mutex> lock(state_.mutex);
    // One account per server name while any connection under it remains;
    // another name of the same computer is a session of its own.
    SimulatedNetwork::State::Session& session = state_.sessions[server];
    if (!session.shares.empty() && !Equal(session.user, userName)) return error::kSessionCredentialConflict;
    session.user = std::string(userName);
    const std::string upper = UpperAscii(share);
    if (std::find(session.shares.begin(), session.shares.end(), upper) == session.shares.end())
        session.shares.push_back(upper);
    return error::kSuccess;
}

platform::Error Connections::CancelConnection(const std::string& remoteName) {
    std::string server, share;
    if (!ParseRemoteName(remoteName, server, share)) return kNotConnected;
    std::lock_guard<std::mutex> lock(state_.mutex);
    const auto session = state_.sessions.find(server);
    if (session == state_.sessions.end()) return kNotConnected;
    std::vector<std::string>& shares = session->second.shares;
    const auto it = std::find(shares.begin(), shares.end(), UpperAscii(share));
    if (it == shares.end()) return kNotConnected;
    shares.erase(it);
    if (shares.empty()) state_.sessions.erase(session);
    return error::kSuccess;
}

}  // namespace quorvin::network
