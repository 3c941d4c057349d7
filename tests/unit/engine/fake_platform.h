#pragma once
// An in-memory stand-in for the platform services, for testing the engine's
// rules one by one: computers with logs, registries, message modules and
// share rules, each failure set by hand.

#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "engine/collection_view.h"
#include "engine/run_options.h"
#include "services/services.h"
#include "core/cp932.h"

namespace quorvin::engine::test {

struct FakeEvent {
    std::uint32_t timeGenerated = 0;
    std::uint32_t eventId = 0;
    std::uint16_t eventType = 4;
    std::uint16_t category = 0;
    std::uint32_t recordNumber = 0;  // 0: by its place in its log, the oldest 1
    std::string source;
    std::vector<std::string> strings;
};

// The EVENTLOGRECORD (ANSI) layout of one event.
std::vector<std::uint8_t> AnsiRecord(const FakeEvent& e);

struct Less {
    bool operator()(const std::string& a, const std::string& b) const { return text::MbsICmp(a, b) < 0; }
};

// The failure kept for `name` in `once`, given out once (0 when none).
inline platform::Error TakeFailure(std::map<std::string, platform::Error, Less>& once, const std::string& name) {
    const auto found = once.find(name);
    if (found == once.end()) return 0;
    const platform::Error error = found->second;
    once.erase(found);
    return error;
}

struct FakeRegistry {
    // key path -> value name -> (type, data as text)
    std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::string>, Less>, Less> keys;
    // Key paths, or "key path|value name", whose next open or read fails
    // once with their code, then answers as before.
    std::map<std::string, platform::Error, Less> failOnce;
    void Set(const std::string& key, const std::string& name, const std::string& text,
             std::uint32_t type = platform::regtype::kExpandSz) {
        keys[key][name] = {type, text};
    }
};

struct FakeLog {
    std::vector<FakeEvent> newestFirst;
    platform::Error openError = 0;
    platform::Error readError = 0;  // returned instead of data, once the records are out
    // Raw read results handed out before the records, one per read.
    std::vector<std::vector<std::uint8_t>> rawReads;
    platform::Error reopenError = 0;  // every open after the first fails with it
    int opens = 0;
    std::vector<std::uint32_t>* sizesAsked = nullptr;  // when set, gets the size of every read
};

// A message module: numbers to patterns; "%1".."%9" are replaced by arguments.
struct FakeModule {
    std::map<std::uint32_t, std::string> messages;
};

class FakePlatform : public platform::EventLogService,
                     public platform::RegistryService,
                     public platform::ConnectionService,
                     public platform::MessageService,
                     public platform::SystemService,
                     public platform::BrowseService {
public:
    // "\\NAME" -> log name -> log
    std::map<std::string, std::map<std::string, FakeLog, Less>, Less> logs;
    std::map<std::string, FakeRegistry, Less> registries;  // "\\NAME"; "" is this machine
    std::map<std::string, platform::Error, Less> registryErrors;
    std::map<std::string, FakeModule, Less> files;         // full paths
    std::map<std::string, platform::Error, Less> fileErrors;
    std::map<std::uint32_t, std::string> systemMessages;   // the system's table (FROM_SYSTEM)
    std::map<std::string, std::string, Less> passwords;    // "\\NAME\admin$" -> password
    std::map<std::string, platform::Error, Less> connectionErrors;  // remote name -> failure
    std::vector<std::string> connectionLog;
    std::vector<std::string> loads;
    std::string systemDirectory = "C:\\WINNT\\System32";
    // Called before each record is handed out, on the thread that reads
    // the log (to press stop mid-log, or hold a reader).
    std::function<void(const std::string& server, const std::string& log, std::size_t index)> beforeRecord;
    // Loads that fail once with their code (a file held open elsewhere, a
    // disk full), then answer as before.
    std::map<std::string, platform::Error, Less> loadFailsOnce;

    platform::Platform Get() { return {*this, *this, *this, *this, *this, *this}; }

    // platform services
    platform::Error Open(const std::string& server, const std::string& source,
                         std::unique_ptr<platform::EventLog>& log) override;
    platform::Error ConnectLocalMachine(const std::string& machine,
                                        std::unique_ptr<platform::RegistryKey>& key) override;
    platform::Error AddConnection(const std::string& remote, const std::string& user,
                                  std::string_view password) override;
    platform::Error CancelConnection(const std::string& remote) override;
    platform::Error LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) override;
    platform::Error FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                  const std::vector<std::string>* arguments, std::string& text) override;
    std::string SystemErrorText(platform::Error code) override { return "T" + std::to_string(code) + "\r\n"; }
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string SystemDirectory() override { return systemDirectory; }
    platform::Error EnumServers(const std::string&, std::vector<platform::ServerInfo>&) override { return 6118; }
    platform::Error LanGroup(std::string& group) override {
        group = "WORKGROUP";
        return 0;
    }
};

// Options that collect every record: all three logs, every event type, no date bounds.
inline RunOptions EveryRecord() {
    RunOptions options;
    options.Filter_System = options.Filter_Security = options.Filter_Application = 1;
    options.Filter_Error = options.Filter_Warning = options.Filter_Information = 1;
    options.Filter_Securityok = options.Filter_Securityng = 1;
    options.EnableStartDate = options.EnableEndDate = 1;
    return options;
}

// Records what the run does to the windows.
class RecordingView : public CollectionView {
public:
    std::vector<std::string> computers;
    int extraItems = 1;  // the root
    std::vector<EventRow> rows;
    std::vector<int> positions;
    std::vector<std::string> texts;
    int ended = 0;
    int clears = 0;
    std::function<void()> onPosition;
    std::function<void()> onRow;

    bool FirstComputer(std::string& name) override {
        cursor_ = 0;
        return Take(name);
    }
    bool NextComputer(std::string& name) override {
        ++cursor_;
        return Take(name);
    }
    int TreeItemCount() override { return static_cast<int>(computers.size()) + extraItems; }
    void ClearRows() override {
        rows.clear();
        ++clears;
    }
    void AppendRow(const EventRow& row) override {
        rows.push_back(row);
        if (onRow) onRow();
    }
    void SetProgressPosition(int position) override {
        positions.push_back(position);
        if (onPosition) onPosition();
    }
    void SetProgressText(const std::string& text) override { texts.push_back(text); }
    void EndProgress() override { ++ended; }

private:
    bool Take(std::string& name) {
        if (cursor_ >= computers.size()) return false;
        name = computers[cursor_];
        return true;
    }
    std::size_t cursor_ = 0;
};

class StringTrace : public Trace {
public:
    std::string text;
    void Write(const std::string& line) override { text += line; }
};

}  // namespace quorvin::engine::test
