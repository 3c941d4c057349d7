#include "services/win32/record_pump.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/bytes.h"
#include "formats/evt/evt.h"

namespace quorvin::win32 {

namespace {

namespace error = platform::error;

using bytes::Fits;

// A batch that needs more than this many growths is refused.
constexpr int kMostGrowths = 8;

}  // namespace

platform::Error ConvertBatch(const std::uint8_t* data, std::size_t size,
                             std::deque<std::vector<std::uint8_t>>& out) {
    std::size_t offset = 0;
    while (offset < size) {
        if (!Fits(offset, 4, size)) return error::kEventLogFileCorrupt;
        const std::uint32_t length = bytes::LoadU32(data + offset);
        if (length < evt::kShortestRecord || !Fits(offset, length, size)) return error::kEventLogFileCorrupt;
        auto converted = evt::ConvertWideRecord(data + offset, length);
        if (!converted) return error::kEventLogFileCorrupt;
        out.push_back(std::move(*converted));
        offset += length;
    }
    return error::kSuccess;
}

RecordPump::RecordPump(WideRead read, std::uint32_t firstBatchSize)
    : read_(std::move(read)),
      batchSize_(std::min(std::max<std::uint32_t>(firstBatchSize, evt::kShortestRecord), kLargestBatchSize)) {}

platform::Error RecordPump::Fill() {
    if (batch_.size() < batchSize_) batch_.resize(batchSize_);
    for (int growth = 0; growth <= kMostGrowths; ++growth) {
        std::uint32_t got = 0;
        std::uint32_t needed = 0;
        const platform::Error e = read_(batch_.data(), static_cast<std::uint32_t>(batch_.size()), got, needed);
        if (e == error::kHandleEof) {
            end_ = true;
            return error::kSuccess;
        }
        if (e == error::kInsufficientBuffer) {
            // A service that asks for no more than it was given would make this loop forever.
            if (needed <= batch_.size()) return error::kInvalidData;
            if (needed > kLargestBatchSize) return error::kInsufficientBuffer;
            batch_.resize(needed);
            continue;
        }
        if (e != error::kSuccess) return e;
        if (got > batch_.size()) return error::kInvalidData;
        // Success without a record: nothing more will come.
        if (got == 0) {
            end_ = true;
            return error::kSuccess;
        }
        batchSize_ = std::max(batchSize_, platform::NextEventLogRead(static_cast<std::uint32_t>(batch_.size()), got));
        const platform::Error converted = ConvertBatch(batch_.data(), got, pending_);
        if (converted != error::kSuccess) broken_ = converted;
        return error::kSuccess;
    }
    return error::kInvalidData;
}

platform::Error RecordPump::Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                                 std::uint32_t& bytesNeeded) {
    bytesRead = 0;
    bytesNeeded = 0;
    if (buffer == nullptr) size = 0;
    std::uint32_t used = 0;
    for (;;) {
        if (pending_.empty()) {
            // A malformed batch ends the log: the service has moved past it.
            if (broken_ != error::kSuccess) {
                if (used > 0) break;
                return broken_;
            }
            if (end_) break;
            // A failure met after records were copied is told by the next call.
            const platform::Error e = deferred_ != error::kSuccess ? deferred_ : Fill();
            deferred_ = error::kSuccess;
            if (e != error::kSuccess) {
                if (used == 0) return e;
                deferred_ = e;
                break;
            }
            continue;
        }
        const std::vector<std::uint8_t>& record = pending_.front();
        if (!Fits(used, record.size(), size)) {
            if (used > 0) break;
            bytesNeeded = static_cast<std::uint32_t>(record.size());
            return error::kInsufficientBuffer;
        }
        std::memcpy(buffer + used, record.data(), record.size());
        used += static_cast<std::uint32_t>(record.size());
        pending_.pop_front();
    }
    if (used == 0) return error::kHandleEof;
    bytesRead = used;
    return error::kSuccess;
}

}  // namespace quorvin::win32
