#pragma once
// Inside the simulated network: the state its seven services share and the
// services themselves, one file each (event_log.cpp, channels.cpp, registry.cpp,
// connections.cpp, messages.cpp, system.cpp, browse.cpp). Only the files
// of this folder include it.
//
// Threads: the services are called from several threads at once (one per
// computer a run collects at the same time). The configuration is read only;
// everything filled later (connections, hives, folder listings, message
// files) is behind a mutex of the state, and the hives behind their own.
// Logs, keys and modules handed out belong to the caller's thread.

#include "services/simulated/simulated_network.h"

#include "core/cp932.h"
#include "core/lru_cache.h"
#include "services/message_files.h"
#include "services/simulated/backend.h"
#include "services/simulated/environment.h"
#include "services/simulated/paths.h"

#include <atomic>
#include <map>
#include <mutex>

namespace quorvin::network {

namespace fs = std::filesystem;
namespace error = platform::error;

constexpr platform::Error kRegistryCorrupt = 1015;   // ERROR_REGISTRY_CORRUPT
constexpr platform::Error kRegistryIoFailed = 1016;  // ERROR_REGISTRY_IO_FAILED
constexpr platform::Error kModNotFound = 126;        // ERROR_MOD_NOT_FOUND
constexpr platform::Error kNotConnected = 2250;      // ERROR_NOT_CONNECTED
constexpr std::uint64_t kLogLimit = 256u << 20;
constexpr std::uint64_t kHiveLimit = 64u << 20;
constexpr const char* kDefaultSystemRoot = "C:\\WINNT";
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Names compare as the network compares computer, share and file names.
inline bool Equal(std::string_view a, std::string_view b) { return text::MbsICmp(a, b) == 0; }

// Whether `user` and `password`, each up to a NUL, are one of the
// computer's accounts, the user name compared as names are
// (connections.cpp; the shares and the channel sessions both check so).
bool IsAccountOf(const ComputerConfig& computer, std::string_view user, std::string_view password);

// ASCII letters in upper case; double-byte characters stay as they are.
std::string UpperAscii(std::string_view s);

// A REG_SZ or REG_EXPAND_SZ value as text, or false.
bool QueryText(platform::RegistryKey& key, const std::string& name, std::string& value);

// ---- Faults part way through a run (faults.cpp) -------------------------------

// `log`, failing with the fault's error once its records are handed out.
std::unique_ptr<platform::EventLog> FailingAfter(std::unique_ptr<platform::EventLog> log, ServiceFault fault);
// A registry connection's root key, dropping after the fault's count of
// calls through it or any key opened from it.
std::unique_ptr<platform::RegistryKey> FailingAfter(std::unique_ptr<platform::RegistryKey> key, ServiceFault fault);

// ---- The services -------------------------------------------------------------

class EventLogs final : public platform::EventLogService {
public:
    explicit EventLogs(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error Open(const std::string& server, const std::string& source,
                         std::unique_ptr<platform::EventLog>& log) override;

private:
    // The log file of computer `index`, which answers, as its file gives it.
    platform::Error OpenLog(int index, const std::string& source, std::unique_ptr<platform::EventLog>& log);

    SimulatedNetwork::State& state_;
};

// The channels of Windows Vista and later: each computer's logs/*.evtx.
class ChannelLogs final : public platform::ChannelService {
public:
    explicit ChannelLogs(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error OpenSession(const std::string& server, const platform::ChannelAccount* account,
                                std::unique_ptr<platform::ChannelSession>& session) override;

private:
    SimulatedNetwork::State& state_;
};

class Registry final : public platform::RegistryService {
public:
    explicit Registry(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error ConnectLocalMachine(const std::string& machine, std::unique_ptr<platform::RegistryKey>& key) override;

private:
    SimulatedNetwork::State& state_;
};

class Connections final : public platform::ConnectionService {
public:
    explicit Connections(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error AddConnection(const std::string& remoteName, const std::string& user,
                                  std::string_view password) override;
    platform::Error CancelConnection(const std::string& remoteName) override;

private:
    SimulatedNetwork::State& state_;
};

// The network's message files, opened as Windows opens them over the
// shares (and on this machine's drives), for the message service.
class MessageFiles final : public platform::FileAccess {
public:
    explicit MessageFiles(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) override;

private:
    SimulatedNetwork::State& state_;
};

// The files of one computer as it opens them itself, by their drive paths
// ("C:\Windows\...") on its own drives, no share between.
class ComputerFiles final : public platform::FileAccess {
public:
    ComputerFiles(SimulatedNetwork::State& state, int index) : state_(state), index_(index) {}
    platform::Error Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) override;

private:
    SimulatedNetwork::State& state_;
    int index_;
};

// The system's messages: the built-in Japanese table.
class SystemTable final : public platform::SystemMessages {
public:
    platform::Error Format(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text) override;
    std::string ErrorText(platform::Error code) override;
};

class System final : public platform::SystemService {
public:
    explicit System(SimulatedNetwork::State& state) : state_(state) {}
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string SystemDirectory() override;

private:
    SimulatedNetwork::State& state_;
};

class Browse final : public platform::BrowseService {
public:
    explicit Browse(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error EnumServers(const std::string& domain, std::vector<platform::ServerInfo>& servers) override;
    platform::Error LanGroup(std::string& group) override;

private:
    SimulatedNetwork::State& state_;
};

struct SimulatedNetwork::State {
    explicit State(NetworkConfig c)
        : config(std::move(c)),
          shareLoads(config.computers.size()),
          hives(config.computers.size()) {}

    struct HiveSlot {
        bool loaded = false;
        platform::Error error = error::kSuccess;
        std::shared_ptr<backend::Hive> hive;
        fs::path file;  // where it is saved
    };

    // The hive of computer `index` (loaded on first use), or the error of
    // its registry.reg.
    platform::Error HiveOf(int index, std::shared_ptr<backend::Hive>& hive, fs::path* file = nullptr);
    // This machine's hive: the local computer's, or one kept in memory when
    // no computer plays this machine.
    platform::Error LocalHive(std::shared_ptr<backend::Hive>& hive);
    // The SystemRoot a computer's registry names, or C:\WINNT.
    std::string SystemRootOf(int index);
    // Whether the server name `server` (as the caller wrote it) has a
    // connection made with one of its computer's accounts.
    bool Connected(std::string_view server);
    // The event log and registry (share "IPC$") and the message files
    // (share "X$") reached through a server name that has a connection: as
    // the redirector does, the share is then connected too under that name,
    // with the same account, and stays connected until it is cancelled by name.
    void UseShare(std::string_view server, std::string_view share);
    // One opening of a message file on computer `index`'s shares: 0, or the
    // error of its SharesFailAfter fault once the shares are gone (the first
    // opening refused takes them away).
    platform::Error ShareLoad(int index);
    // 0 while computer `index`'s shares are there, else the fault's error.
    platform::Error ShareGone(int index);

    // The connections made under one server name: the account they were
    // made with and the upper-case names of the connected shares. Windows
    // keeps them per server name as written, not per machine: \\SV1 and
    // \\192.168.0.10 are two sessions, each with its own account, even
    // when both reach the same computer.
    struct Session {
        std::string user;
        std::vector<std::string> shares;
    };
    // Server names compare as the network compares names.
    struct NameLess {
        bool operator()(const std::string& a, const std::string& b) const { return text::MbsICmp(a, b) < 0; }
    };

    // Real waiting, as the network makes a caller wait: one round trip of a
    // call to computer `index`, and the connect timeout of a computer that
    // does not answer (-1: an unknown name). No wait when they are 0.
    void RoundTrip(int index) const;
    void Unreachable(int index) const;
    // The computer a server name (ServerName's form) reaches: its index, or
    // -1 for this machine without a folder of its own; 1722 after the
    // unknown name's timeout.
    platform::Error Reach(std::string_view name, int& index) const;

    // SimulatedNetwork::Traffic: one read of an event log that asked for
    // `size` bytes, one read of `bytes` from a file.
    void CountLogRead(std::uint32_t size);
    void CountFileRead(std::uint64_t bytes);

    NetworkConfig config;                   // never changed once open
    std::mutex mutex;                       // guards sessions, shareLoads and hives
    std::map<std::string, Session, NameLess> sessions;  // by server name; none empty
    std::vector<std::uint32_t> shareLoads;  // per computer: message file openings on its shares
    std::vector<HiveSlot> hives;
    std::shared_ptr<backend::Hive> memoryHive;
    std::mutex saveMutex;  // one save of a registry.reg at a time
    // Logs that have changed while they were read ([faults] LogChanges), by computer index.
    std::map<int, std::shared_ptr<std::atomic<bool>>> changedLogs;  // guarded by mutex
    FolderCache folders;   // the network's folders as first listed
    struct {
        std::atomic<std::uint64_t> eventLogBytes{0}, eventLogReads{0}, fileBytes{0}, fileReads{0};
    } traffic;

    EventLogs eventLog{*this};
    Registry registry{*this};
    Connections connections{*this};
    MessageFiles messageFiles{*this};
    SystemTable systemTable;
    platform::FileMessageService messages{messageFiles, systemTable, platform::MessageLanguages{}};
    System system{*this};
    Browse browse{*this};
    ChannelLogs channels{*this};
};

}  // namespace quorvin::network
