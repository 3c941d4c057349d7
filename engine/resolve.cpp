// Turning one accepted record into its message text and its row.

#include <algorithm>

#include "core/cp932.h"
#include "engine/collector.h"
#include "engine/event_row.h"
#include "engine/log_cache.h"
#include "engine/message_files.h"

namespace quorvin::engine {

namespace {

std::string FallbackText(const LogRecord& record, const std::vector<std::string>& table) {
    std::string strings;
    const std::size_t count = record.strings.size() < table.size() ? record.strings.size() : table.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) strings += ",";
        strings += table[i];
    }
    return DescriptionNotFound(record.source, record.eventId, strings);
}

// A computer's files by the paths it names them by ("C:\\Windows\\..."),
// opened through its drive shares with the run's connection to it.
class ShareFiles final : public platform::FileAccess {
public:
    ShareFiles(platform::FileAccess& files, std::string computer, ComputerConnections& connections)
        : files_(files), computer_(std::move(computer)), connections_(connections) {}
    platform::Error Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) override {
        const std::string mapped = MapToShare(computer_, path);
        connections_.UsePath(mapped);
        return files_.Open(mapped, file);
    }

private:
    platform::FileAccess& files_;
    const std::string computer_;
    ComputerConnections& connections_;
};

}  // namespace

struct Collector::Substitute {
    std::unique_ptr<platform::MessageModule> module;
    bool hasParameterFile = false;
    std::string parameterPath;
};

void Collector::ResolveEventMessage(const LogRecord& record, const std::string& timeText) {
    const std::string& source = record.source;
    platform::MessageService& messages = *messages_;
    bool rowMade = false;
    auto makeRow = [&](std::string message, const char* trace) {
        if (rowMade) return;
        AppendRow(record, std::move(message), timeText);
        rowMade = true;
        TraceInsert(trace, source);
    };

    if (anyLog_) log_ = LogOfSource(source);
    categoryText_.clear();
    if (record.eventCategory != 0) CategoryStep(record);
    table_.Fill(record.strings);
    const std::vector<std::string>& table = table_.Entries();

    std::unique_ptr<platform::RegistryKey> sourceKey;
    platform::Error error = registry_ ? registry_->OpenKey(SourceKeyPath(log_, source), sourceKey)
                                      : platform::error::kInvalidHandle;
    if (error != platform::error::kSuccess || !sourceKey) {
        makeRow(FallbackText(record, table), "InsertEventMessage5");
        TraceLine("Point 5\n");
        return;
    }

    ParameterStep(record, *sourceKey);

    std::string value;
    if (ManifestMessage(record, *sourceKey, value)) {
        makeRow(std::move(value), "InsertEventMessage1");
        TraceLine("Point 5\n");
        return;
    }
    error = ReadValueText(*sourceKey, "EventMessageFile", value);
    if (error != platform::error::kSuccess && PublisherMessageFile(*sourceKey, value)) error = platform::error::kSuccess;
    if (error != platform::error::kSuccess) {
        report_.NoEventMessageFile(computer_, log_, source, error);
    } else {
        const std::string list = ExpandSystemRoot(value, systemRoot_, *system_);
        const bool severalFiles = list.find(';') != std::string::npos;
        for (const std::string& name : SplitFileList(list)) {
            std::unique_ptr<platform::MessageModule> module;
            const std::string path = MapToShare(computer_, name);
            connections_.UsePath(path);
            error = messages.LoadDataFile(path, module);
            if (error == platform::error::kSuccess && module) {
                TraceLine("リモートファイルの読み込み成功\n");
                std::string text;
                if (messages.FormatMessage(module.get(), record.eventId, &table, text) == platform::error::kSuccess) {
                    makeRow(std::move(text), "InsertEventMessage1");
                    break;
                }
                // Only the last file of the list is tried after the first that loads.
                if (severalFiles) {
                    std::unique_ptr<platform::MessageModule> last;
                    const std::string lastPath = MapToShare(computer_, LastFileOfList(list));
                    connections_.UsePath(lastPath);
                    if (messages.LoadDataFile(lastPath, last) ==
                            platform::error::kSuccess &&
                        last &&
                        messages.FormatMessage(last.get(), record.eventId, &table, text) == platform::error::kSuccess)
                        makeRow(std::move(text), "InsertEventMessage2");
                }
                break;
            }

            report_.RemoteMessageFileUnreachable(computer_, log_, source, error);
            Substitute substitute;
            if (!LocalSubstitute(source, substitute)) break;
            LocalParameterTable(record, substitute);
            std::string text;
            if (messages.FormatMessage(substitute.module.get(), record.eventId, &table, text) !=
                platform::error::kSuccess)
                break;
            makeRow(std::move(text), "InsertEventMessage4");
        }
    }

    if (!rowMade) makeRow(FallbackText(record, table), "InsertEventMessage3");
    TraceLine("Point 5\n");
}

std::string Collector::LogOfSource(const std::string& source) {
    static const char* const kLogs[] = {"system", "application", "security"};
    for (const char* log : kLogs) {
        std::unique_ptr<platform::RegistryKey> key;
        if (registry_ && registry_->OpenKey(SourceKeyPath(log, source), key) == platform::error::kSuccess && key)
            return log;
    }
    return "application";
}

bool Collector::PublisherMessageFile(platform::RegistryKey& sourceKey, std::string& files) {
    std::string guid;
    if (!registry_ || ReadValueText(sourceKey, "ProviderGuid", guid) != platform::error::kSuccess || guid.empty())
        return false;
    std::unique_ptr<platform::RegistryKey> publisher;
    if (registry_->OpenKey(PublisherKeyPath(guid), publisher) != platform::error::kSuccess || !publisher) return false;
    return ReadValueText(*publisher, "MessageFileName", files) == platform::error::kSuccess && !files.empty();
}

bool Collector::ManifestMessage(const LogRecord& record, platform::RegistryKey& sourceKey, std::string& message) {
    platform::FileAccess* files = env_.platform.messages.Files();
    std::string guid;
    if (files == nullptr || !registry_ || ReadValueText(sourceKey, "ProviderGuid", guid) != platform::error::kSuccess ||
        guid.empty())
        return false;
    if (!publishers_) {
        shareFiles_ = std::make_unique<ShareFiles>(*files, computer_, connections_);
        publishers_ = std::make_unique<platform::PublisherCatalog>(*registry_, *shareFiles_);
    }
    // The table holds more entries than the record has strings; the template is chosen by the record's.
    const std::vector<std::string>& entries = table_.Entries();
    std::vector<std::u16string> strings;
    for (std::size_t i = 0; i < record.strings.size() && i < entries.size(); ++i)
        strings.push_back(text::ToUtf16(entries[i]));
    std::u16string wide;
    const auto id = static_cast<std::uint16_t>(record.eventId & 0xFFFF);
    if (publishers_->FormatClassic(guid, id, strings, wide) != platform::error::kSuccess) return false;
    message = text::FromUtf16(wide);
    return true;
}

void Collector::CategoryStep(const LogRecord& record) {
    if (!registry_) return;
    std::unique_ptr<platform::RegistryKey> key;
    if (registry_->OpenKey(SourceKeyPath(log_, record.source), key) != platform::error::kSuccess || !key) return;
    std::string value;
    if (ReadValueText(*key, "CategoryMessageFile", value) != platform::error::kSuccess) return;

    platform::MessageService& messages = *messages_;
    const std::string list = ExpandSystemRoot(value, systemRoot_, *system_);
    for (const std::string& name : SplitFileList(list)) {
        const std::string path = MapToShare(computer_, name);
        connections_.UsePath(path);
        std::unique_ptr<platform::MessageModule> module;
        platform::Error error = messages.LoadDataFile(path, module);
        if (error != platform::error::kSuccess || !module) {
            report_.CategoryFileLoadFailed(computer_, log_, record.source, path, error);
            continue;
        }
        std::string text;
        error = messages.FormatMessage(module.get(), record.eventCategory, nullptr, text);
        if (error == platform::error::kSuccess) {
            if (env_.eventFacts) categoryText_ = std::move(text);
            return;
        }
        report_.CategoryFormatFailed(computer_, log_, record.source, error);
    }
}

void Collector::ParameterStep(const LogRecord& record, platform::RegistryKey& sourceKey) {
    std::string value;
    if (ReadValueText(sourceKey, "ParameterMessageFile", value) != platform::error::kSuccess) {
        TraceLine("Point 3\n");
        return;
    }
    platform::MessageService& messages = *messages_;
    const std::string list = ExpandSystemRoot(value, systemRoot_, *system_);
    for (const std::string& name : SplitFileList(list)) {
        const std::string path = MapToShare(computer_, name);
        connections_.UsePath(path);
        std::unique_ptr<platform::MessageModule> module;
        const platform::Error error = messages.LoadDataFile(path, module);
        if (error != platform::error::kSuccess || !module) {
            report_.ParameterFileLoadFailed(computer_, log_, record.source, path, error);
            continue;
        }
        // Every file that loads builds the table afresh: the last one decides.
        table_.Fill(record.strings);
        for (std::size_t i = 0; i < record.strings.size() && i < kMaxInsertionStrings; ++i) {
            std::uint32_t number = 0;
            std::string text;
            if (ParameterNumber(table_.Entries()[i], number) &&
                messages.FormatMessage(module.get(), number, nullptr, text) == platform::error::kSuccess) {
                table_.Set(i, text);
                TraceLine("point 0a\n");
            }
        }
        TraceLine("Point 1\n");
    }
}

bool Collector::ReadLocalValue(const std::string& subKey, const std::string& name, std::string& text) {
    text.clear();
    if (!localMachine_) {
        if (env_.platform.registry.ConnectLocalMachine("", localMachine_) != platform::error::kSuccess ||
            !localMachine_)
            return false;
        if (env_.cacheWithinLog) localMachine_ = std::make_unique<CachedKey>(std::move(localMachine_));
    }
    std::unique_ptr<platform::RegistryKey> key;
    if (localMachine_->OpenKey(subKey, key) != platform::error::kSuccess || !key) return false;
    return ReadValueText(*key, name, text) == platform::error::kSuccess;
}

bool Collector::LocalSubstitute(const std::string& source, Substitute& substitute) {
    // The key path is made in a 256-byte buffer: a longer one has no substitute.
    const std::string keyPath = SourceKeyPath(log_, source);
    if (keyPath.size() >= 256) return false;
    std::string eventValue;
    if (!ReadLocalValue(keyPath, "EventMessageFile", eventValue)) return false;
    const std::string systemFolder = "%SystemRoot%\\System32";
    eventValue = ReplaceAll(eventValue, systemFolder, systemDirectory_);
    std::string parameterValue;
    substitute.hasParameterFile = ReadLocalValue(keyPath, "ParameterMessageFile", parameterValue);
    substitute.parameterPath = ReplaceAll(parameterValue, systemFolder, systemDirectory_);

    for (const std::string& name : SplitFileList(eventValue)) {
        if (messages_->LoadDataFile(name, substitute.module) == platform::error::kSuccess &&
            substitute.module)
            return true;
    }
    substitute.module.reset();
    report_.NoLocalMessageFile(computer_, log_, source);
    return false;
}

void Collector::LocalParameterTable(const LogRecord& record, const Substitute& substitute) {
    table_.Fill(record.strings);
    if (!substitute.hasParameterFile) return;
    platform::MessageService& messages = *messages_;
    for (std::size_t i = 0; i < record.strings.size() && i < kMaxInsertionStrings; ++i) {
        std::uint32_t number = 0;
        if (!ParameterNumber(table_.Entries()[i], number)) continue;
        // The parameter file is loaded for this one string and released again.
        std::unique_ptr<platform::MessageModule> module;
        std::string text;
        if (messages.LoadDataFile(substitute.parameterPath, module) == platform::error::kSuccess && module &&
            messages.FormatMessage(module.get(), number, nullptr, text) == platform::error::kSuccess) {
            table_.Set(i, text);
            TraceLine("point 0c\n");
        }
    }
}

}  // namespace quorvin::engine
