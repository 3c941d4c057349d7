// The engine's walk over a read buffer of event log records: every record
// the walk takes must lie within the bytes read, whatever they hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/log_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorvin::engine::LogRecord record;
    std::size_t offset = 0;
    while (offset < size && quorvin::engine::ParseLogRecord(data + offset, size - offset, record)) {
        if (record.length == 0 || record.length > size - offset) std::abort();
        if (record.strings.size() > quorvin::engine::kMaxInsertionStrings) std::abort();
        offset += record.length;
    }
    return 0;
}
