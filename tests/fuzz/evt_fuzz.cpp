// Event log files from anywhere: the reader, then the records as
// ReadEventLogA hands them out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/evt/evt.h"

using namespace quorvin::evt;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ParsedLog log = ParseLogFile(data, size);
    if (log.error != 0) {
        if (log.message.empty() || !log.records.empty()) std::abort();
        return 0;
    }
    for (const LogRecord& r : log.records) {
        // Every record the reader gives is a sound wide record, and converts.
        const auto converted = ConvertWideRecord(r.raw.data(), r.raw.size());
        if (!converted) std::abort();
        // The reader's conversion, from the parsed event, is the same.
        if (ConvertParsedRecord(r.event, r.raw.data(), r.raw.size()) != *converted) std::abort();
        const auto ansi = ToAnsiRecord(r.event);
        const auto back = ParseAnsiRecord(ansi.data(), ansi.size());
        if (!back || ansi.size() % 4 != 0) std::abort();
    }
    BackwardReader reader = ReaderForLog(log.records);
    std::vector<std::uint8_t> buffer(512);
    std::size_t steps = 0;
    for (;;) {
        std::uint32_t read = 0, needed = 0;
        const auto e = reader.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read, needed);
        if (e == quorvin::platform::error::kHandleEof) break;
        if (e == quorvin::platform::error::kInsufficientBuffer) {
            if (needed <= buffer.size()) std::abort();
            buffer.resize(needed);
        } else if (e != 0 || read == 0 || read > buffer.size()) {
            std::abort();
        }
        if (++steps > 2 * log.records.size() + 1) std::abort();
    }
    return 0;
}
