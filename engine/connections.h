#pragma once
// The connections a run makes to one computer with the alternate account.
// Windows keeps one account per computer while any connection to it
// remains, and the connection to "\\NAME\admin$" is not the only one: the
// event log and the registry go through IPC$, and message files through
// the drive shares (C$, D$), each connected with the same account as they
// are first used. Left behind, any of them makes a later connection to the
// computer with another account fail with 1219. So every share used is
// noted here and all are cancelled, newest first, when the computer is
// done with.

#include <string>
#include <string_view>
#include <vector>

#include "services/services.h"

namespace quorvin::engine {

class ComputerConnections {
public:
    explicit ComputerConnections(platform::ConnectionService& service) : service_(service) {}
    ComputerConnections(const ComputerConnections&) = delete;
    ComputerConnections& operator=(const ComputerConnections&) = delete;
    ~ComputerConnections() { CancelAll(); }

    // Connects "\\NAME\admin$" with the account. On success the computer
    // is read under it and its shares are noted from then on. The password
    // is not copied.
    platform::Error Connect(const std::string& name, const std::string& user, std::string_view password);
    bool Connected() const { return !shares_.empty(); }

    // A share of the connected computer that the run uses: "IPC$", or the
    // share of a path "\\NAME\SHARE\..." of that computer. Nothing is noted
    // while the computer is not connected: the connections are then the
    // user's own.
    void Use(const std::string& share);
    void UsePath(const std::string& path);

    // Cancels every connection noted, newest first; their results cannot
    // change the run and are not looked at.
    void CancelAll();

private:
    platform::ConnectionService& service_;
    std::string prefix_;               // "\\NAME\"
    std::vector<std::string> shares_;  // "\\NAME\SHARE", oldest first
};

}  // namespace quorvin::engine
