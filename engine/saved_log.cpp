#include "engine/saved_log.h"

#include "core/cp932.h"
#include "services/records_log.h"
#include "core/bytes.h"

namespace quorvin::engine {

namespace {

class NoRegistry final : public platform::RegistryService {
public:
    platform::Error ConnectLocalMachine(const std::string&, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        return platform::error::kFileNotFound;
    }
};

class NoConnections final : public platform::ConnectionService {
public:
    platform::Error AddConnection(const std::string&, const std::string&, std::string_view) override {
        return platform::error::kBadNetPath;
    }
    platform::Error CancelConnection(const std::string&) override { return platform::error::kSuccess; }
};

class NoMessages final : public platform::MessageService {
public:
    platform::Error LoadDataFile(const std::string&, std::unique_ptr<platform::MessageModule>& module) override {
        module.reset();
        return platform::error::kFileNotFound;
    }
    platform::Error FormatMessage(const platform::MessageModule*, std::uint32_t, const std::vector<std::string>*,
                                  std::string& text) override {
        text.clear();
        return platform::error::kMessageNotFound;
    }
    std::string SystemErrorText(platform::Error) override { return std::string(); }
};

class NoSystem final : public platform::SystemService {
public:
    std::string ExpandEnvironmentStrings(const std::string& text) override { return text; }
    std::string SystemDirectory() override { return std::string(); }
};

class NoBrowse final : public platform::BrowseService {
public:
    platform::Error EnumServers(const std::string&, std::vector<platform::ServerInfo>& servers) override {
        servers.clear();
        return platform::error::kNoBrowserServers;
    }
    platform::Error LanGroup(std::string& group) override {
        group.clear();
        return platform::error::kNoBrowserServers;
    }
};

// The name after the last folder separator that is a character of its own.
std::string BaseName(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (text::IsLeadByte(c))
            ++i;
        else if (c == '\\' || c == '/' || c == ':')
            start = i + 1;
    }
    return path.substr(start < path.size() ? start : path.size());
}

}  // namespace

platform::Error SavedLogService::Open(const std::string&, const std::string&, std::unique_ptr<platform::EventLog>& log) {
    log = platform::LogOfRecords(reader_);
    return platform::error::kSuccess;
}

struct NoMachine::Parts {
    NoRegistry registry;
    NoConnections connections;
    NoMessages messages;
    NoSystem system;
    NoBrowse browse;
};

NoMachine::NoMachine() : parts_(std::make_unique<Parts>()) {}
NoMachine::~NoMachine() = default;

platform::Platform NoMachine::Services(platform::EventLogService& eventLog) {
    return {eventLog, parts_->registry, parts_->connections, parts_->messages, parts_->system, parts_->browse};
}

std::string LogOfFileName(const std::string& path) {
    static const char* const kNames[][3] = {{"SysEvent.Evt", "System.evt", "system"},
                                            {"SecEvent.Evt", "Security.evt", "security"},
                                            {"AppEvent.Evt", "Application.evt", "application"}};
    const std::string name = BaseName(path);
    for (const auto& names : kNames)
        if (text::MbsICmp(name, names[0]) == 0 || text::MbsICmp(name, names[1]) == 0) return names[2];
    return std::string();
}

bool LooksLikeEvtFile(const std::uint8_t* data, std::size_t size) {
    return size >= evt::kHeaderSize && bytes::LoadU32(data) == evt::kHeaderSize &&
           bytes::LoadU32(data + 4) == evt::kSignature;
}

}  // namespace quorvin::engine
