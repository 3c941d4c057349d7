#pragma once
// One event log record as the event log service hands it to ReadEventLogA
// (the EVENTLOGRECORD layout with CP932 strings), read from the bytes of a
// read buffer with every offset checked against the record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvin::engine {

struct LogRecord {
    std::uint32_t length = 0;
    std::uint32_t timeGenerated = 0;
    std::uint32_t eventId = 0;
    std::uint16_t eventType = 0;
    std::uint16_t eventCategory = 0;
    std::string source;
    // The insertion strings, at most the first 256.
    std::vector<std::string> strings;
};

constexpr std::size_t kMaxInsertionStrings = 256;

// Reads the record at the start of `data` (`size` bytes left in the buffer).
// False when the record's length cannot be walked: 0, not a multiple of 4,
// shorter than the fixed part or running past `size`. A source name or a
// string that runs past the record is cut at its end; strings that would
// start past it are empty.
bool ParseLogRecord(const std::uint8_t* data, std::size_t size, LogRecord& record);

}  // namespace quorvin::engine
