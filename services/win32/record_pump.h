#pragma once
// The event log service gives records in the wide layout (UTF-16 strings);
// the engine reads them in the ReadEventLogA layout (CP932 strings). The
// record pump sits between the two: it reads batches of wide records,
// converts each record and hands them on with the semantics of
// ReadEventLogA(EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ).
// Portable: the wide reads come through a function.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "core/error.h"
#include "core/event_log_read.h"

namespace quorvin::win32 {

// One ReadEventLogW call: 0 with `bytesRead` (whole records, back to back),
// 122 with `bytesNeeded` when the next record alone does not fit `size`,
// 38 after the oldest record, or any other error code.
using WideRead = std::function<platform::Error(std::uint8_t* buffer, std::uint32_t size,
                                               std::uint32_t& bytesRead, std::uint32_t& bytesNeeded)>;

// Splits `size` bytes of wide records, each starting with its 32-bit
// length, and appends each record converted to the ANSI layout to `out`.
// Records before a malformed one are kept; the malformed one and the rest
// of the batch give 1500 (ERROR_EVENTLOG_FILE_CORRUPT).
platform::Error ConvertBatch(const std::uint8_t* data, std::size_t size,
                             std::deque<std::vector<std::uint8_t>>& out);

class RecordPump {
public:
    // Every batch moves the whole size it asks for over the network: the
    // first asks for little, and each batch doubles while the service fills
    // the one before (platform::NextEventLogRead).
    static constexpr std::uint32_t kFirstBatchSize = platform::kFirstEventLogRead;
    // Never more: a record that needs a larger buffer cannot be read at all
    // and ends the log with 122 (bytesNeeded 0).
    static constexpr std::uint32_t kLargestBatchSize = platform::error::kLargestEventLogRead;

    explicit RecordPump(WideRead read, std::uint32_t firstBatchSize = kFirstBatchSize);

    // ReadEventLogA semantics: as many whole converted records as fit,
    // newest first; 122 with `bytesNeeded` when the next record alone does
    // not fit (nothing is consumed); 38 after the oldest. A service failure
    // after some records were copied ends the call with those records; the
    // next call returns the failure, and the one after asks the service
    // again. A malformed record ends the log with
    // 1500 once the records before it have been handed on. A null buffer
    // counts as size 0.
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded);

private:
    platform::Error Fill();

    WideRead read_;
    std::uint32_t batchSize_;
    std::vector<std::uint8_t> batch_;
    std::deque<std::vector<std::uint8_t>> pending_;
    bool end_ = false;
    platform::Error broken_ = platform::error::kSuccess;
    platform::Error deferred_ = platform::error::kSuccess;
};

}  // namespace quorvin::win32
