// ReadEventLogA(EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ) over a
// log's records.

#include <cstring>
#include <utility>

#include "formats/evt/evt.h"

namespace quorvin::evt {

BackwardReader::BackwardReader(std::vector<std::vector<std::uint8_t>> ansiRecords)
    : records_(std::move(ansiRecords)), left_(records_.size()) {}

platform::Error BackwardReader::Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                                     std::uint32_t& bytesNeeded) {
    bytesRead = 0;
    bytesNeeded = 0;
    if (left_ == 0) return platform::error::kHandleEof;
    if (buffer == nullptr) size = 0;
    std::size_t used = 0;
    std::size_t copied = 0;
    while (left_ > 0) {
        const std::vector<std::uint8_t>& record = records_[left_ - 1];
        if (record.size() > size - used) break;
        if (!record.empty()) std::memcpy(buffer + used, record.data(), record.size());
        used += record.size();
        ++copied;
        --left_;
    }
    if (copied == 0) {
        bytesNeeded = static_cast<std::uint32_t>(records_[left_ - 1].size());
        return platform::error::kInsufficientBuffer;
    }
    bytesRead = static_cast<std::uint32_t>(used);
    return platform::error::kSuccess;
}

BackwardReader ReaderForLog(const std::vector<LogRecord>& records) {
    std::vector<std::vector<std::uint8_t>> ansi;
    ansi.reserve(records.size());
    // Each record was parsed once by the reader of the file: its event is
    // converted, its raw bytes give the two fields the event does not hold.
    for (const LogRecord& r : records) ansi.push_back(ConvertParsedRecord(r.event, r.raw.data(), r.raw.size()));
    return BackwardReader(std::move(ansi));
}

}  // namespace quorvin::evt
