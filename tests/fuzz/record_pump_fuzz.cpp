// The record pump over a scripted event log service whose answers and
// record bytes come from the input: no crash, no overread, every answer
// within the caller's buffer, and an end within a bounded number of reads.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "formats/evt/evt.h"
#include "services/win32/record_pump.h"

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::uint32_t Take(int bytes) {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes && at < size; ++i) v |= static_cast<std::uint32_t>(data[at++]) << (8 * i);
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    const std::uint32_t firstBatch = in.Take(2);
    quorvin::win32::RecordPump pump(
        [&in](std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t& bytesRead, std::uint32_t& bytesNeeded) {
            if (in.at >= in.size) return quorvin::platform::error::kHandleEof;
            switch (in.Take(1) % 5) {
            case 0: return quorvin::platform::error::kHandleEof;
            case 1: {
                // Mostly sizes up to 64 KB; a shift byte of 0xF0 or more asks
                // for up to 2 GB, past what the pump accepts. Sizes of many
                // megabytes on every input made the target run at a few
                // hundred executions a second.
                bytesNeeded = in.Take(2);
                const std::uint32_t shift = in.Take(1);
                if (shift >= 0xF0) bytesNeeded <<= (shift - 0xF0);
                return quorvin::platform::error::kInsufficientBuffer;
            }
            case 2: return quorvin::platform::error::kRpcServerUnavailable;
            default: {
                std::uint32_t n = in.Take(2);
                if (n > capacity) n = capacity;
                if (n > in.size - in.at) n = static_cast<std::uint32_t>(in.size - in.at);
                std::memcpy(buffer, in.data + in.at, n);
                in.at += n;
                bytesRead = n;
                return quorvin::platform::error::kSuccess;
            }
            }
        },
        firstBatch);
    static std::vector<std::uint8_t> buffer(0x10000);
    for (int i = 0; i < 4096; ++i) {
        const std::uint32_t callerSize = in.Take(2);
        std::uint32_t read = 0;
        std::uint32_t needed = 0;
        const quorvin::platform::Error e = pump.Read(buffer.data(), callerSize, read, needed);
        if (read > callerSize) std::abort();
        if (e == quorvin::platform::error::kSuccess) {
            // Every record handed on is a whole ANSI record.
            std::uint32_t offset = 0;
            while (offset < read) {
                auto event = quorvin::evt::ParseAnsiRecord(buffer.data() + offset, read - offset);
                if (!event) std::abort();
                const std::uint8_t* p = buffer.data() + offset;
                offset += static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                          static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
            }
            if (offset != read) std::abort();
        } else if (e == quorvin::platform::error::kInsufficientBuffer && needed != 0) {
            if (needed <= callerSize) std::abort();
        } else if (in.at >= in.size) {
            // Other failures, and 122 with nothing needed: the service asked
            // for a buffer past the largest read, a record no read can give.
            break;
        }
    }
    return 0;
}
