#pragma once
// One event log record as the event log service hands it to ReadEventLogA,
// read as the collector reads it (formats/evt/evt.h: ReadServiceRecord).

#include <cstddef>
#include <cstdint>

#include "formats/evt/evt.h"

namespace quorvin::engine {

using LogRecord = evt::ServiceRecord;

constexpr std::size_t kMaxInsertionStrings = evt::kMostServiceStrings;

inline bool ParseLogRecord(const std::uint8_t* data, std::size_t size, LogRecord& record, bool origin = false) {
    return evt::ReadServiceRecord(data, size, record, origin);
}

}  // namespace quorvin::engine
