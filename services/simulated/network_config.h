#pragma once
// The description of a simulated network as its folder gives it: network.ini
// and every computer folder's computer.ini, read and checked in one go.

#include "services/services.h"
#include "services/simulated/environment.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::network {

enum class Shares { kOn, kAuth, kOff };

// [services] channels=: on, auth (a connection made with one of the
// computer's accounts first, else 5), off (1722). Unset: on when the
// computer's logs/ folder holds an .evtx file.
enum class ChannelAccess { kUnset, kOn, kAuth, kOff };

// A log that changes while it is read (computer.ini, [faults] LogChanges):
// once `afterRecords` of its records have been handed out, newer records
// overwrite the `count` oldest (wrapped), or the log is cleared and `count`
// new records are written (cleared). The read that comes next fails with
// 1503 and every later open sees the changed log.
struct LogChange {
    std::string log;  // empty: none
    std::uint32_t afterRecords = 0;
    bool cleared = false;
    std::uint32_t count = 0;
};

// A service that fails part way: after `after` calls (records, for the event
// log) every further one gives `error`. `error` 0: no such fault.
struct ServiceFault {
    std::uint32_t after = 0;
    platform::Error error = 0;
    bool Set() const { return error != 0; }
};

// The [faults] of a computer.ini that make services fail in the middle of a run.
struct MidRunFaults {
    ServiceFault read;      // ReadFailsAfter: records handed out per opened log or channel query
    ServiceFault registry;  // RegistryFailsAfter: calls per registry connection
    ServiceFault shares;    // SharesFailAfter: message file loads from its shares
};

struct ComputerConfig {
    std::string name;  // the folder's name (CP932)
    std::filesystem::path folder;
    bool eventLog = true;
    bool registry = true;
    Shares shares = Shares::kOn;
    ChannelAccess channels = ChannelAccess::kUnset;
    std::vector<std::pair<std::string, std::string>> accounts;  // user, password
    std::vector<std::string> addresses;                         // other names it answers to (IP addresses)
    Environment environment;                                    // used when it plays this machine
    LogChange logChange;
    // Milliseconds; -1: the network's default (NetworkConfig).
    int latencyMs = -1;
    int timeoutMs = -1;
    MidRunFaults faults;
};

struct BrowseList {
    std::string domain;
    platform::Error result = platform::error::kSuccess;
    std::vector<platform::ServerInfo> servers;  // in file order
};

struct NetworkConfig {
    std::filesystem::path folder;
    int localComputer = -1;  // index into computers, -1: no folder plays this machine
    std::string lanGroup = "WORKGROUP";
    std::vector<BrowseList> browse;
    std::vector<ComputerConfig> computers;  // in byte order of their names
    // The round trip of every call to a computer and the wait before a
    // computer that does not answer is given up, in milliseconds, for the
    // computers that set none of their own and for unknown names.
    int latencyMs = 0;
    int timeoutMs = 0;
    // [demo]: the registry key (under HKEY_LOCAL_MACHINE) the window
    // program keeps its settings in while it runs on this network, and the
    // computers it lists when that key holds no list yet. Empty: a network
    // that is no demo; the program's own key is used.
    std::string demoSettingsKey;
    std::vector<std::string> demoComputers;

    // What a call to computer `index` waits (-1: an unknown name).
    int LatencyOf(int index) const;
    int TimeoutOf(int index) const;

    // The computer a server name or address names (MbsICmp), or -1.
    int FindComputer(std::string_view name) const;
    // The browse list of a domain (MbsICmp), or null.
    const BrowseList* FindBrowse(std::string_view domain) const;
};

// Reads network.ini and the computer folders of `folder`. On failure returns
// false with `error` naming the file, the line where there is one, and what
// is wrong.
bool LoadNetworkConfig(const std::filesystem::path& folder, NetworkConfig& config, std::string& error);

// The parts of LoadNetworkConfig that read one file's text; `file` names the
// file in errors.
bool ParseComputerIni(std::string_view data, const std::string& file, ComputerConfig& computer, std::string& error);
bool ParseNetworkIni(std::string_view data, const std::string& file, NetworkConfig& config,
                     std::string& localComputer, std::string& error);

// One key of a [faults] section. `known` tells whether the key is one of
// the mid-run faults; if so its value ("N,CODE") is set into `faults`, and
// false comes back with `error` when the value is bad.
bool ParseMidRunFault(std::string_view key, std::string_view value, MidRunFaults& faults, bool& known,
                      std::string& error);

// "5.0,0x00011003,comment" -> a browse entry named `name`. False with `error`
// when the text does not have that form.
bool ParseServerLine(const std::string& name, std::string_view value, platform::ServerInfo& server,
                     std::string& error);

}  // namespace quorvin::network
