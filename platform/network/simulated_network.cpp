#include "platform/network/simulated_network.h"

#include "platform/network/backend.h"
#include "platform/network/environment.h"
#include "platform/network/paths.h"
#include "platform/text/cp932.h"

#include <map>
#include <mutex>

namespace quorvin::network {

namespace fs = std::filesystem;
namespace error = platform::error;

namespace {

constexpr platform::Error kRegistryCorrupt = 1015;   // ERROR_REGISTRY_CORRUPT
constexpr platform::Error kRegistryIoFailed = 1016;  // ERROR_REGISTRY_IO_FAILED
constexpr platform::Error kModNotFound = 126;        // ERROR_MOD_NOT_FOUND
constexpr platform::Error kNotConnected = 2250;      // ERROR_NOT_CONNECTED
constexpr platform::Error kFileInvalid = 1006;       // ERROR_FILE_INVALID
constexpr std::uint64_t kLogLimit = 256u << 20;
constexpr std::uint64_t kHiveLimit = 64u << 20;
constexpr std::uint64_t kModuleLimit = 64u << 20;
constexpr const char* kDefaultSystemRoot = "C:\\WINNT";
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

bool Equal(std::string_view a, std::string_view b) { return text::MbsICmp(a, b) == 0; }

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(out[i]))) {
            ++i;
        } else if (out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
    }
    return out;
}

// A REG_SZ or REG_EXPAND_SZ value as text, or false.
bool QueryText(platform::RegistryKey& key, const std::string& name, std::string& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (key.QueryValue(name, type, nullptr, size) != error::kSuccess) return false;
    if (type != platform::regtype::kSz && type != platform::regtype::kExpandSz) return false;
    std::vector<std::uint8_t> data(size);
    if (key.QueryValue(name, type, data.data(), size) != error::kSuccess) return false;
    value.assign(data.begin(), data.begin() + std::min<std::size_t>(size, data.size()));
    value = std::string(CString(value));
    return true;
}

}  // namespace

// ---- The services -------------------------------------------------------------

class EventLogs final : public platform::EventLogService {
public:
    explicit EventLogs(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error Open(const std::string& server, const std::string& source,
                         std::unique_ptr<platform::EventLog>& log) override;

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
                                  const std::string& password) override;
    platform::Error CancelConnection(const std::string& remoteName) override;

private:
    SimulatedNetwork::State& state_;
};

class Messages final : public platform::MessageService {
public:
    explicit Messages(SimulatedNetwork::State& state) : state_(state) {}
    platform::Error LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) override;
    platform::Error FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                  const std::vector<std::string>* arguments, std::string& text) override {
        return backend::FormatMessage(module, id, arguments, text);
    }
    std::string SystemErrorText(platform::Error code) override { return backend::SystemErrorText(code); }

private:
    // Finds, reads and parses a message file below a drive folder.
    platform::Error ReadModule(const fs::path& root, const std::vector<std::string>& components,
                               std::shared_ptr<const backend::ModuleImage>& image);

    SimulatedNetwork::State& state_;
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
        : config(std::move(c)), shares(config.computers.size()), hives(config.computers.size()) {}

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
    // Whether computer `index` has a connection made with one of its accounts.
    bool Connected(int index);

    NetworkConfig config;
    std::mutex mutex;                             // guards shares and hives
    std::vector<std::vector<std::string>> shares;  // per computer: upper-case names of the connected shares
    std::vector<HiveSlot> hives;
    std::shared_ptr<backend::Hive> memoryHive;
    std::mutex saveMutex;  // one save of a registry.reg at a time
    FolderCache folders;   // the network's folders as first listed

    // A message file's outcome, by computer, drive and path as resolved:
    // the image or the error of finding, reading or parsing it.
    struct ModuleSlot {
        platform::Error error = error::kSuccess;
        std::shared_ptr<const backend::ModuleImage> image;
    };
    bool shareModules = true;
    std::mutex moduleMutex;
    std::map<std::string, ModuleSlot> modules;

    EventLogs eventLog{*this};
    Registry registry{*this};
    Connections connections{*this};
    Messages messages{*this};
    System system{*this};
    Browse browse{*this};
};

platform::Error SimulatedNetwork::State::HiveOf(int index, std::shared_ptr<backend::Hive>& hive, fs::path* file) {
    std::lock_guard<std::mutex> lock(mutex);
    HiveSlot& slot = hives[static_cast<std::size_t>(index)];
    if (!slot.loaded) {
        slot.loaded = true;
        const fs::path& folder = config.computers[static_cast<std::size_t>(index)].folder;
        if (!FindEntry(folder, "registry.reg", EntryKind::kFile, slot.file)) {
            slot.file = folder / "registry.reg";
            slot.hive = backend::EmptyHive();
        } else {
            std::vector<std::uint8_t> data;
            std::string parseError;
            if (ReadWholeFile(slot.file, kHiveLimit, data) != error::kSuccess)
                slot.error = kRegistryCorrupt;
            else if (!(slot.hive = backend::LoadHive(data.data(), data.size(), parseError)))
                slot.error = kRegistryCorrupt;
        }
    }
    hive = slot.hive;
    if (file) *file = slot.file;
    return slot.error;
}

platform::Error SimulatedNetwork::State::LocalHive(std::shared_ptr<backend::Hive>& hive) {
    if (config.localComputer >= 0) return HiveOf(config.localComputer, hive);
    std::lock_guard<std::mutex> lock(mutex);
    if (!memoryHive) memoryHive = backend::EmptyHive();
    hive = memoryHive;
    return error::kSuccess;
}

std::string SimulatedNetwork::State::SystemRootOf(int index) {
    std::shared_ptr<backend::Hive> hive;
    const platform::Error e = index >= 0 ? HiveOf(index, hive) : LocalHive(hive);
    if (e != error::kSuccess || !hive) return kDefaultSystemRoot;
    std::unique_ptr<platform::RegistryKey> root = backend::ReadOnlyRoot(hive);
    std::unique_ptr<platform::RegistryKey> key;
    std::string value;
    if (root->OpenKey(kCurrentVersionKey, key) != error::kSuccess || !QueryText(*key, "SystemRoot", value) ||
        value.empty())
        return kDefaultSystemRoot;
    return value;
}

bool SimulatedNetwork::State::Connected(int index) {
    std::lock_guard<std::mutex> lock(mutex);
    return !shares[static_cast<std::size_t>(index)].empty();
}

// ---- Event log ------------------------------------------------------------------

platform::Error EventLogs::Open(const std::string& server, const std::string& source,
                                std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const std::string name = ServerName(server);
    const NetworkConfig& config = state_.config;
    const int index = name.empty() ? config.localComputer : config.FindComputer(name);
    if (index < 0) {
        // This machine without a folder of its own has logs without records.
        if (!name.empty()) return error::kRpcServerUnavailable;
        log = backend::EmptyLog();
        return error::kSuccess;
    }
    const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
    if (!computer.eventLog) return error::kRpcServerUnavailable;

    // A log without a file has no records yet. The service opens the
    // Application log for a name that is no log of its own.
    const std::string logName(CString(source));
    const bool standard = Equal(logName, "System") || Equal(logName, "Security") || Equal(logName, "Application");
    fs::path logs, file;
    bool haveFile = false;
    if (FindEntry(computer.folder, "logs", EntryKind::kDirectory, logs, &state_.folders)) {
        haveFile = !logName.empty() && FindEntry(logs, logName + ".evt", EntryKind::kFile, file, &state_.folders);
        if (!haveFile && !standard) haveFile = FindEntry(logs, "Application.evt", EntryKind::kFile, file, &state_.folders);
    }
    if (!haveFile) {
        log = backend::EmptyLog();
        return error::kSuccess;
    }

    std::vector<std::uint8_t> data;
    const platform::Error read = ReadWholeFile(file, kLogLimit, data);
    if (read != error::kSuccess) return read == error::kNotEnoughMemory ? read : error::kEventLogFileCorrupt;
    if (data.empty()) {
        log = backend::EmptyLog();
        return error::kSuccess;
    }
    return backend::OpenLogFile(data.data(), data.size(), log);
}

// ---- Registry -------------------------------------------------------------------

platform::Error Registry::ConnectLocalMachine(const std::string& machine, std::unique_ptr<platform::RegistryKey>& key) {
    key.reset();
    const std::string name = ServerName(machine);
    std::shared_ptr<backend::Hive> hive;
    if (name.empty()) {
        const int local = state_.config.localComputer;
        fs::path file;
        const platform::Error e = local >= 0 ? state_.HiveOf(local, hive, &file) : state_.LocalHive(hive);
        if (e != error::kSuccess) return e;
        if (local < 0) {
            key = backend::WritableRoot(hive, [] { return error::kSuccess; });
            return error::kSuccess;
        }
        SimulatedNetwork::State* state = &state_;
        const std::weak_ptr<backend::Hive> weak = hive;
        key = backend::WritableRoot(hive, [state, weak, file]() -> platform::Error {
            const std::shared_ptr<backend::Hive> saved = weak.lock();
            if (!saved) return kRegistryIoFailed;
            std::lock_guard<std::mutex> lock(state->saveMutex);
            return WriteFileAtomically(file, backend::SaveHive(*saved)).empty() ? error::kSuccess : kRegistryIoFailed;
        });
        return error::kSuccess;
    }
    const int index = state_.config.FindComputer(name);
    if (index < 0 || !state_.config.computers[static_cast<std::size_t>(index)].registry) return error::kBadNetPath;
    const platform::Error e = state_.HiveOf(index, hive);
    if (e != error::kSuccess) return e;
    key = backend::ReadOnlyRoot(hive);
    return error::kSuccess;
}

// ---- Connections ----------------------------------------------------------------

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

platform::Error Connections::AddConnection(const std::string& remoteName, const std::string& user,
                                           const std::string& password) {
    std::string server, share;
    if (!ParseRemoteName(remoteName, server, share)) return error::kBadNetName;
    const int index = state_.config.FindComputer(server);
    if (index < 0) return error::kBadNetPath;
    const ComputerConfig& computer = state_.config.computers[static_cast<std::size_t>(index)];
    const char drive = DriveShareLetter(share);
    fs::path drives, driveFolder;
    const bool driveExists = drive != 0 && FindEntry(computer.folder, "drives", EntryKind::kDirectory, drives, &state_.folders) &&
                             FindEntry(drives, std::string(1, drive), EntryKind::kDirectory, driveFolder, &state_.folders);
    if (!driveExists && !Equal(share, "admin$") && !Equal(share, "IPC$")) return error::kBadNetName;

    const std::string_view userName = CString(user);
    const std::string_view secret = CString(password);
    bool valid = false;
    for (const auto& [accountUser, accountPassword] : computer.accounts)
        if (Equal(accountUser, userName) && accountPassword == secret) valid = true;
    if (!valid) return error::kLogonFailure;

    std::lock_guard<std::mutex> lock(state_.mutex);
    std::vector<std::string>& connected = state_.shares[static_cast<std::size_t>(index)];
    const std::string upper = UpperAscii(share);
    if (std::find(connected.begin(), connected.end(), upper) == connected.end()) connected.push_back(upper);
    return error::kSuccess;
}

platform::Error Connections::CancelConnection(const std::string& remoteName) {
    std::string server, share;
    if (!ParseRemoteName(remoteName, server, share)) return kNotConnected;
    const int index = state_.config.FindComputer(server);
    if (index < 0) return kNotConnected;
    std::lock_guard<std::mutex> lock(state_.mutex);
    std::vector<std::string>& connected = state_.shares[static_cast<std::size_t>(index)];
    const auto it = std::find(connected.begin(), connected.end(), UpperAscii(share));
    if (it == connected.end()) return kNotConnected;
    connected.erase(it);
    return error::kSuccess;
}

// ---- Message modules --------------------------------------------------------------

platform::Error Messages::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    module.reset();
    const WindowsPath parsed = ParseWindowsPath(path);
    const NetworkConfig& config = state_.config;
    int index = -1;
    char drive = 0;
    std::vector<std::string> pieces;
    if (parsed.kind == WindowsPath::Kind::kUnc) {
        index = config.FindComputer(parsed.server);
        if (index < 0) return error::kBadNetPath;
        const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
        if (computer.shares == Shares::kOff) return error::kAccessDenied;
        if (computer.shares == Shares::kAuth && !state_.Connected(index)) return error::kAccessDenied;
        drive = DriveShareLetter(parsed.share);
        if (drive == 0 && Equal(parsed.share, "admin$")) {
            // admin$ is the system root folder.
            const WindowsPath root = ParseWindowsPath(state_.SystemRootOf(index) + "\\");
            if (root.kind != WindowsPath::Kind::kDrive) return error::kBadNetName;
            drive = root.drive;
            pieces = root.components;
        } else if (drive == 0) {
            return error::kBadNetName;
        }
        pieces.insert(pieces.end(), parsed.components.begin(), parsed.components.end());
    } else if (parsed.kind == WindowsPath::Kind::kDrive) {
        index = config.localComputer;
        if (index < 0) return error::kPathNotFound;
        drive = parsed.drive;
        pieces = parsed.components;
    } else {
        return kModNotFound;
    }

    const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
    fs::path drives, root;
    if (!FindEntry(computer.folder, "drives", EntryKind::kDirectory, drives, &state_.folders) ||
        !FindEntry(drives, std::string(1, drive), EntryKind::kDirectory, root, &state_.folders))
        return parsed.kind == WindowsPath::Kind::kUnc ? error::kBadNetName : error::kPathNotFound;

    std::vector<std::string> components;
    if (const platform::Error e = NormalizeComponents(pieces, components)) return e;

    SimulatedNetwork::State::ModuleSlot slot;
    std::string key;
    if (state_.shareModules) {
        key = std::to_string(index) + ":" + drive;
        for (const std::string& c : components) key += "\\" + c;
        std::lock_guard<std::mutex> lock(state_.moduleMutex);
        if (const auto found = state_.modules.find(key); found != state_.modules.end()) slot = found->second;
    }
    if (key.empty() || (!slot.image && slot.error == error::kSuccess)) {
        slot.error = ReadModule(root, components, slot.image);
        if (!key.empty()) {
            std::lock_guard<std::mutex> lock(state_.moduleMutex);
            state_.modules[key] = slot;
        }
    }
    if (slot.error != error::kSuccess) return slot.error;
    module = backend::ModuleOf(slot.image);
    return error::kSuccess;
}

platform::Error Messages::ReadModule(const fs::path& root, const std::vector<std::string>& components,
                                     std::shared_ptr<const backend::ModuleImage>& image) {
    fs::path file;
    if (const platform::Error e = ResolveFile(root, components, file, &state_.folders)) return e;
    std::vector<std::uint8_t> data;
    if (const platform::Error e = ReadWholeFile(file, kModuleLimit, data))
        return e == error::kNotEnoughMemory ? error::kBadExeFormat : e;
    if (data.empty()) return kFileInvalid;  // an empty file cannot be mapped
    return backend::LoadModuleImage(data.data(), data.size(), image);
}

// ---- This machine -----------------------------------------------------------------

std::string System::SystemDirectory() { return state_.SystemRootOf(state_.config.localComputer) + "\\System32"; }

std::string System::ExpandEnvironmentStrings(const std::string& text) {
    const int local = state_.config.localComputer;
    Environment environment;
    if (local >= 0) environment = state_.config.computers[static_cast<std::size_t>(local)].environment;
    const std::string root = state_.SystemRootOf(local);
    const std::string systemDrive = root.size() >= 2 && root[1] == ':' ? root.substr(0, 2) : "C:";
    environment.emplace_back("SystemRoot", root);
    environment.emplace_back("windir", root);
    environment.emplace_back("SystemDrive", systemDrive);
    environment.emplace_back("ProgramFiles", systemDrive + "\\Program Files");
    environment.emplace_back("CommonProgramFiles", systemDrive + "\\Program Files\\Common Files");
    environment.emplace_back("ComSpec", root + "\\system32\\cmd.exe");
    environment.emplace_back("OS", "Windows_NT");
    if (local >= 0) environment.emplace_back("COMPUTERNAME", UpperAscii(state_.config.computers[static_cast<std::size_t>(local)].name));
    return ExpandEnvironment(CString(text), environment);
}

// ---- Browse -------------------------------------------------------------------------

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

// ---- The network ----------------------------------------------------------------------

std::unique_ptr<SimulatedNetwork> SimulatedNetwork::Open(const fs::path& folder, std::string& error) {
    return Open(folder, Options{}, error);
}

std::unique_ptr<SimulatedNetwork> SimulatedNetwork::Open(const fs::path& folder, const Options& options,
                                                         std::string& error) {
    NetworkConfig config;
    if (!LoadNetworkConfig(folder, config, error)) return nullptr;
    return std::unique_ptr<SimulatedNetwork>(new SimulatedNetwork(std::move(config), options));
}

SimulatedNetwork::SimulatedNetwork(NetworkConfig config, const Options& options)
    : state_(std::make_unique<State>(std::move(config))) {
    state_->shareModules = options.shareModules;
}

SimulatedNetwork::~SimulatedNetwork() = default;

platform::Platform SimulatedNetwork::Services() {
    return platform::Platform{state_->eventLog, state_->registry, state_->connections,
                              state_->messages, state_->system,   state_->browse};
}

void SimulatedNetwork::Reset() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (auto& connected : state_->shares) connected.clear();
}

const NetworkConfig& SimulatedNetwork::Config() const { return state_->config; }

}  // namespace quorvin::network
