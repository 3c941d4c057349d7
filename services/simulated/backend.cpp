#include "services/simulated/backend.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

#include "formats/evt/evt.h"
#include "formats/messages/format_message.h"
#include "formats/messages/message_table.h"
#include "formats/registry/reg_file.h"
#include "services/records_log.h"
#include "services/simulated/hive_key.h"

namespace quorvin::network::backend {

// ---- Event logs -------------------------------------------------------------

namespace {

// A file's bytes read in blocks, the last block kept: the walk that finds
// the records goes forward, and the records are read back one after another.
class FileOnDisk final : public evt::FileBytes {
public:
    explicit FileOnDisk(const std::filesystem::path& file) : in_(file, std::ios::binary) {}
    bool Open() const { return static_cast<bool>(in_); }
    void Read(std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const override {
        while (n > 0) {
            const std::uint64_t block = offset / kBlock;
            if (block != cached_ && !Load(block)) {
                std::memset(out, 0, n);
                return;
            }
            const std::uint32_t at = offset % kBlock;
            const std::uint32_t take = std::min<std::uint32_t>(n, kBlock - at);
            if (at >= bytes_.size()) {
                std::memset(out, 0, n);
                return;
            }
            const std::uint32_t have = std::min<std::uint32_t>(take, static_cast<std::uint32_t>(bytes_.size()) - at);
            std::memcpy(out, bytes_.data() + at, have);
            std::memset(out + have, 0, take - have);
            out += take;
            offset += take;
            n -= take;
        }
    }

private:
    static constexpr std::uint32_t kBlock = 64 * 1024;

    bool Load(std::uint64_t block) const {
        cached_ = ~std::uint64_t{0};
        in_.clear();
        if (!in_.seekg(static_cast<std::streamoff>(block * kBlock))) return false;
        bytes_.resize(kBlock);
        in_.read(reinterpret_cast<char*>(bytes_.data()), kBlock);
        bytes_.resize(static_cast<std::size_t>(in_.gcount()));
        cached_ = block;
        return true;
    }

    mutable std::ifstream in_;
    mutable std::vector<std::uint8_t> bytes_;
    mutable std::uint64_t cached_ = ~std::uint64_t{0};
};

// Serves a log file's records newest first as BackwardReader does, each
// read from the file and converted when its turn comes.
class StreamedLog final : public platform::EventLog {
public:
    StreamedLog(std::unique_ptr<FileOnDisk> file, std::uint64_t size, std::vector<evt::RecordSpan> spans)
        : file_(std::move(file)), size_(size), spans_(std::move(spans)), left_(spans_.size()) {}

    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        bytesRead = 0;
        bytesNeeded = 0;
        // The service refuses reads larger than the protocol allows.
        if (size > platform::error::kLargestEventLogRead) return platform::error::kInvalidParameter;
        if (left_ == 0) return platform::error::kHandleEof;
        if (buffer == nullptr) size = 0;
        std::size_t used = 0;
        std::size_t copied = 0;
        while (left_ > 0) {
            if (!next_) next_ = Record(spans_[left_ - 1]);
            if (next_->size() > size - used) break;
            if (!next_->empty()) std::memcpy(buffer + used, next_->data(), next_->size());
            used += next_->size();
            next_.reset();
            ++copied;
            --left_;
        }
        if (copied == 0) {
            bytesNeeded = static_cast<std::uint32_t>(next_->size());
            return platform::error::kInsufficientBuffer;
        }
        bytesRead = static_cast<std::uint32_t>(used);
        return platform::error::kSuccess;
    }

private:
    // The record in the ANSI layout, as ReaderForLog makes it.
    std::vector<std::uint8_t> Record(evt::RecordSpan span) const {
        const std::vector<std::uint8_t> raw = evt::ReadRecordBytes(*file_, size_, span);
        if (std::optional<std::vector<std::uint8_t>> converted = evt::ConvertWideRecord(raw.data(), raw.size()))
            return std::move(*converted);
        const std::optional<evt::Event> event = evt::ParseWideRecord(raw.data(), raw.size());
        return event ? evt::ToAnsiRecord(*event) : std::vector<std::uint8_t>();
    }

    std::unique_ptr<FileOnDisk> file_;
    std::uint64_t size_;
    std::vector<evt::RecordSpan> spans_;  // oldest first
    std::size_t left_;                    // spans_[0, left_) are still to be read
    std::optional<std::vector<std::uint8_t>> next_;
};

}  // namespace

platform::Error OpenLogFileStream(const std::filesystem::path& file, std::uint64_t size,
                                  std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    auto bytes = std::make_unique<FileOnDisk>(file);
    if (!bytes->Open()) return platform::error::kEventLogFileCorrupt;
    std::vector<evt::RecordSpan> spans;
    const evt::ParsedLog parsed = evt::IndexLogFile(*bytes, size, spans);
    if (parsed.error != platform::error::kSuccess) return platform::error::kEventLogFileCorrupt;
    log = std::make_unique<StreamedLog>(std::move(bytes), size, std::move(spans));
    return platform::error::kSuccess;
}

std::unique_ptr<platform::EventLog> EmptyLog() { return platform::LogOfRecords(evt::BackwardReader({})); }

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
        log = platform::LogOfRecords(evt::BackwardReader(std::move(newestFirst)));
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

// ---- The system's messages -------------------------------------------------

platform::Error SystemMessage(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text) {
    return messages::FormatMessageA(nullptr, id, arguments, text);
}

std::string SystemErrorText(platform::Error code) { return messages::SystemErrorText(code); }

}  // namespace quorvin::network::backend
