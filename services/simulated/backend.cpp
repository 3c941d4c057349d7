#include "services/simulated/backend.h"

#include <algorithm>
#include <cstring>

#include "formats/evt/evt.h"
#include "formats/messages/format_message.h"
#include "formats/messages/message_table.h"
#include "formats/registry/reg_file.h"
#include "services/simulated/hive_key.h"

namespace quorvin::network::backend {

// ---- Event logs -------------------------------------------------------------

namespace {

class FileLog final : public platform::EventLog {
public:
    explicit FileLog(evt::BackwardReader reader) : reader_(std::move(reader)) {}
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        // The service refuses reads larger than the protocol allows.
        if (size > platform::error::kLargestEventLogRead) {
            bytesRead = 0;
            bytesNeeded = 0;
            return platform::error::kInvalidParameter;
        }
        return reader_.Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    evt::BackwardReader reader_;
};

}  // namespace

platform::Error OpenLogFile(const std::uint8_t* data, std::size_t size, std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const evt::ParsedLog parsed = evt::ParseLogFile(data, size);
    if (parsed.error != platform::error::kSuccess) return platform::error::kEventLogFileCorrupt;
    log = std::make_unique<FileLog>(evt::ReaderForLog(parsed.records));
    return platform::error::kSuccess;
}

std::unique_ptr<platform::EventLog> EmptyLog() { return std::make_unique<FileLog>(evt::BackwardReader({})); }

namespace {

constexpr platform::Error kEventLogFileChanged = 1503;

std::vector<evt::Event> Changed(std::vector<evt::Event> oldestFirst, const Change& change) {
    evt::Event model;
    if (!oldestFirst.empty()) model = oldestFirst.back();
    if (change.cleared) {
        oldestFirst.clear();
        model.recordNumber = 0;
    } else {
        oldestFirst.erase(oldestFirst.begin(),
                          oldestFirst.begin() + std::min<std::size_t>(change.count, oldestFirst.size()));
    }
    for (std::uint32_t i = 1; i <= change.count; ++i) {
        evt::Event added = model;
        added.recordNumber = model.recordNumber + i;
        added.timeGenerated = model.timeGenerated + i;
        added.timeWritten = model.timeWritten + i;
        added.eventId = model.eventId + i;
        oldestFirst.push_back(std::move(added));
    }
    return oldestFirst;
}

// Hands out whole records newest first as BackwardReader does, but no more
// than `left` of them before the log changes under the handle.
class ChangingLog final : public platform::EventLog {
public:
    ChangingLog(std::vector<std::vector<std::uint8_t>> newestFirst, std::uint32_t left,
                std::shared_ptr<std::atomic<bool>> changed)
        : records_(std::move(newestFirst)), left_(left), changed_(std::move(changed)) {}

    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        bytesRead = bytesNeeded = 0;
        if (size > platform::error::kLargestEventLogRead) return platform::error::kInvalidParameter;
        if (buffer == nullptr) size = 0;
        if (left_ == 0 && next_ < records_.size()) *changed_ = true;
        if (*changed_) return kEventLogFileChanged;
        if (next_ == records_.size()) return platform::error::kHandleEof;
        if (records_[next_].size() > size) {
            bytesNeeded = static_cast<std::uint32_t>(records_[next_].size());
            return platform::error::kInsufficientBuffer;
        }
        while (next_ < records_.size() && left_ > 0 && records_[next_].size() <= size - bytesRead) {
            std::memcpy(buffer + bytesRead, records_[next_].data(), records_[next_].size());
            bytesRead += static_cast<std::uint32_t>(records_[next_].size());
            ++next_;
            --left_;
        }
        return platform::error::kSuccess;
    }

private:
    std::vector<std::vector<std::uint8_t>> records_;
    std::size_t next_ = 0;
    std::uint32_t left_;
    std::shared_ptr<std::atomic<bool>> changed_;
};

}  // namespace

platform::Error OpenChangingLogFile(const std::uint8_t* data, std::size_t size, const Change& change,
                                    std::shared_ptr<std::atomic<bool>> changed,
                                    std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const evt::ParsedLog parsed = evt::ParseLogFile(data, size);
    if (parsed.error != platform::error::kSuccess) return platform::error::kEventLogFileCorrupt;
    std::vector<evt::Event> events;
    for (const evt::LogRecord& record : parsed.records) events.push_back(record.event);
    const bool already = *changed;
    if (already) events = Changed(std::move(events), change);
    std::vector<std::vector<std::uint8_t>> newestFirst;
    for (auto it = events.rbegin(); it != events.rend(); ++it) newestFirst.push_back(evt::ToAnsiRecord(*it));
    if (already) {
        std::reverse(newestFirst.begin(), newestFirst.end());
        log = std::make_unique<FileLog>(evt::BackwardReader(std::move(newestFirst)));
    } else {
        log = std::make_unique<ChangingLog>(std::move(newestFirst), change.afterRecords, std::move(changed));
    }
    return platform::error::kSuccess;
}

// ---- Registry ---------------------------------------------------------------

struct Hive {
    std::shared_ptr<reg::Hive> hive;
    reg::Format format = reg::Format::kVersion5;
};

std::shared_ptr<Hive> LoadHive(const std::uint8_t* data, std::size_t size, std::string& error) {
    reg::ParseResult parsed = reg::ParseRegFile(data, size);
    if (!parsed.hive) {
        error = parsed.error;
        return nullptr;
    }
    return std::make_shared<Hive>(Hive{std::move(parsed.hive), parsed.format});
}

std::shared_ptr<Hive> EmptyHive() { return std::make_shared<Hive>(Hive{std::make_shared<reg::Hive>()}); }

std::unique_ptr<platform::RegistryKey> ReadOnlyRoot(const std::shared_ptr<Hive>& hive) {
    return reg::OpenHiveRoot(hive->hive, false);
}

std::unique_ptr<platform::RegistryKey> WritableRoot(const std::shared_ptr<Hive>& hive,
                                                    std::function<platform::Error()> changed) {
    return reg::OpenHiveRoot(hive->hive, true, std::move(changed));
}

std::vector<std::uint8_t> SaveHive(const Hive& hive) { return reg::WriteRegFile(*hive.hive, hive.format); }

// ---- Message modules --------------------------------------------------------

namespace {

class TableModule final : public platform::MessageModule {
public:
    explicit TableModule(std::shared_ptr<const ModuleImage> i) : image(std::move(i)) {}
    std::uint64_t Bytes() const override;
    std::shared_ptr<const ModuleImage> image;
};

}  // namespace

struct ModuleImage {
    messages::MessageTable table;
    std::uint64_t fileBytes = 0;
};

std::uint64_t TableModule::Bytes() const { return image->fileBytes; }

platform::Error LoadModuleImage(const std::uint8_t* data, std::size_t size, std::shared_ptr<const ModuleImage>& image) {
    image.reset();
    auto loaded = std::make_shared<ModuleImage>();
    loaded->fileBytes = size;
    if (const platform::Error e = messages::MessageTable::Load(data, size, loaded->table)) return e;
    image = std::move(loaded);
    return platform::error::kSuccess;
}

std::unique_ptr<platform::MessageModule> ModuleOf(std::shared_ptr<const ModuleImage> image) {
    return std::make_unique<TableModule>(std::move(image));
}

platform::Error FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                              const std::vector<std::string>* arguments, std::string& text) {
    text.clear();
    const auto* loaded = dynamic_cast<const TableModule*>(module);
    if (module && !loaded) return platform::error::kInvalidHandle;  // a module of another service
    return messages::FormatMessageA(loaded ? &loaded->image->table : nullptr, id, arguments, text);
}

std::string SystemErrorText(platform::Error code) { return messages::SystemErrorText(code); }

}  // namespace quorvin::network::backend
