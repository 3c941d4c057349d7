// Turning one accepted record into its message text and its row.

#include <cstdlib>

#include "engine/collector.h"
#include "engine/message_files.h"

namespace quorvin::engine {

namespace {

// The insertion-string table: 256 entries, the record's strings first.
std::vector<std::string> BuildTable(const LogRecord& record) {
    std::vector<std::string> table(kMaxInsertionStrings);
    for (std::size_t i = 0; i < record.strings.size() && i < table.size(); ++i) table[i] = record.strings[i];
    return table;
}

// "%%1234": a parameter reference, numbered like the C library reads an integer.
bool ParameterNumber(const std::string& text, std::uint32_t& number) {
    if (text.size() < 2 || text[0] != '%' || text[1] != '%') return false;
    number = static_cast<std::uint32_t>(std::strtol(text.c_str() + 2, nullptr, 10));
    return true;
}

std::string FallbackText(const LogRecord& record, const std::vector<std::string>& table) {
    std::string strings;
    const std::size_t count = record.strings.size() < table.size() ? record.strings.size() : table.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) strings += ",";
        strings += table[i];
    }
    return "ｿｰｽ (" + record.source + ") 内のｲﾍﾞﾝﾄ ID (" + std::to_string(record.eventId & 0xFFFFu) +
           ") に関する説明が見つかりません。次の挿入文字列が含まれています:" + strings;
}

}  // namespace

struct Collector::Substitute {
    std::unique_ptr<platform::MessageModule> module;
    bool hasParameterFile = false;
    std::string parameterPath;
};

void Collector::ResolveEventMessage(const LogRecord& record, const std::string& timeText) {
    const std::string& source = record.source;
    platform::MessageService& messages = env_.platform.messages;
    bool rowMade = false;
    auto makeRow = [&](const std::string& message, const char* trace) {
        if (rowMade) return;
        AppendRow(record, message, timeText);
        rowMade = true;
        TraceInsert(trace, source);
    };

    if (record.eventCategory != 0) CategoryStep(record);
    std::vector<std::string> table = BuildTable(record);

    std::unique_ptr<platform::RegistryKey> sourceKey;
    platform::Error error = registry_ ? registry_->OpenKey(SourceKeyPath(log_, source), sourceKey)
                                      : platform::error::kInvalidHandle;
    if (error != platform::error::kSuccess || !sourceKey) {
        makeRow(FallbackText(record, table), "InsertEventMessage5");
        TraceLine("Point 5\n");
        return;
    }

    table = ParameterStep(record, *sourceKey);

    std::string value;
    error = ReadValueText(*sourceKey, "EventMessageFile", value);
    if (error != platform::error::kSuccess) {
        report_.NoEventMessageFile(computer_, log_, source, error);
    } else {
        const std::string list = ExpandSystemRoot(value, systemRoot_, env_.platform.system);
        const bool severalFiles = list.find(';') != std::string::npos;
        for (const std::string& name : SplitFileList(list)) {
            std::unique_ptr<platform::MessageModule> module;
            error = messages.LoadDataFile(MapToShare(computer_, name), module);
            if (error == platform::error::kSuccess && module) {
                TraceLine("リモートファイルの読み込み成功\n");
                std::string text;
                if (messages.FormatMessage(module.get(), record.eventId, &table, text) == platform::error::kSuccess) {
                    makeRow(text, "InsertEventMessage1");
                    break;
                }
                // Only the last file of the list is tried after the first that loads.
                if (severalFiles) {
                    std::unique_ptr<platform::MessageModule> last;
                    if (messages.LoadDataFile(MapToShare(computer_, LastFileOfList(list)), last) ==
                            platform::error::kSuccess &&
                        last &&
                        messages.FormatMessage(last.get(), record.eventId, &table, text) == platform::error::kSuccess)
                        makeRow(text, "InsertEventMessage2");
                }
                break;
            }

            report_.RemoteMessageFileUnreachable(computer_, log_, source, error);
            Substitute substitute;
            if (!LocalSubstitute(source, substitute)) break;
            table = LocalParameterTable(record, substitute);
            std::string text;
            if (messages.FormatMessage(substitute.module.get(), record.eventId, &table, text) !=
                platform::error::kSuccess)
                break;
            makeRow(text, "InsertEventMessage4");
        }
    }

    if (!rowMade) makeRow(FallbackText(record, table), "InsertEventMessage3");
    TraceLine("Point 5\n");
}

void Collector::CategoryStep(const LogRecord& record) {
    if (!registry_) return;
    std::unique_ptr<platform::RegistryKey> key;
    if (registry_->OpenKey(SourceKeyPath(log_, record.source), key) != platform::error::kSuccess || !key) return;
    std::string value;
    if (ReadValueText(*key, "CategoryMessageFile", value) != platform::error::kSuccess) return;

    platform::MessageService& messages = env_.platform.messages;
    const std::string list = ExpandSystemRoot(value, systemRoot_, env_.platform.system);
    for (const std::string& name : SplitFileList(list)) {
        const std::string path = MapToShare(computer_, name);
        std::unique_ptr<platform::MessageModule> module;
        platform::Error error = messages.LoadDataFile(path, module);
        if (error != platform::error::kSuccess || !module) {
            report_.CategoryFileLoadFailed(computer_, log_, record.source, path, error);
            continue;
        }
        std::string text;
        error = messages.FormatMessage(module.get(), record.eventCategory, nullptr, text);
        if (error == platform::error::kSuccess) return;
        report_.CategoryFormatFailed(computer_, log_, record.source, error);
    }
}

std::vector<std::string> Collector::ParameterStep(const LogRecord& record, platform::RegistryKey& sourceKey) {
    std::vector<std::string> table = BuildTable(record);
    std::string value;
    if (ReadValueText(sourceKey, "ParameterMessageFile", value) != platform::error::kSuccess) {
        TraceLine("Point 3\n");
        return table;
    }
    platform::MessageService& messages = env_.platform.messages;
    const std::string list = ExpandSystemRoot(value, systemRoot_, env_.platform.system);
    for (const std::string& name : SplitFileList(list)) {
        const std::string path = MapToShare(computer_, name);
        std::unique_ptr<platform::MessageModule> module;
        const platform::Error error = messages.LoadDataFile(path, module);
        if (error != platform::error::kSuccess || !module) {
            report_.ParameterFileLoadFailed(computer_, log_, record.source, path, error);
            continue;
        }
        // Every file that loads builds the table afresh: the last one decides.
        table = BuildTable(record);
        for (std::string& entry : table) {
            std::uint32_t number = 0;
            std::string text;
            if (ParameterNumber(entry, number) &&
                messages.FormatMessage(module.get(), number, nullptr, text) == platform::error::kSuccess) {
                entry = text;
                TraceLine("point 0a\n");
            }
        }
        TraceLine("Point 1\n");
    }
    return table;
}

bool Collector::ReadLocalValue(const std::string& subKey, const std::string& name, std::string& text) {
    text.clear();
    if (!localMachine_ &&
        env_.platform.registry.ConnectLocalMachine("", localMachine_) != platform::error::kSuccess)
        return false;
    if (!localMachine_) return false;
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
        if (env_.platform.messages.LoadDataFile(name, substitute.module) == platform::error::kSuccess &&
            substitute.module)
            return true;
    }
    substitute.module.reset();
    report_.NoLocalMessageFile(computer_, log_, source);
    return false;
}

std::vector<std::string> Collector::LocalParameterTable(const LogRecord& record, const Substitute& substitute) {
    std::vector<std::string> table = BuildTable(record);
    if (!substitute.hasParameterFile) return table;
    platform::MessageService& messages = env_.platform.messages;
    for (std::string& entry : table) {
        std::uint32_t number = 0;
        if (!ParameterNumber(entry, number)) continue;
        // The parameter file is loaded for this one string and released again.
        std::unique_ptr<platform::MessageModule> module;
        std::string text;
        if (messages.LoadDataFile(substitute.parameterPath, module) == platform::error::kSuccess && module &&
            messages.FormatMessage(module.get(), number, nullptr, text) == platform::error::kSuccess) {
            entry = text;
            TraceLine("point 0c\n");
        }
    }
    return table;
}

}  // namespace quorvin::engine
