#pragma once
// How many bytes a read of an event log asks for. The protocol declares the
// answer's buffer by the size asked alone, so every answer (records, "too
// small", "the end") carries that many bytes over the network: reads start
// small and grow only while the log fills them.

#include <cstdint>

#include "core/error.h"

namespace quorvin::platform {

// The size of a log's first read.
constexpr std::uint32_t kFirstEventLogRead = 0x10000;

// A read came back full when its records fill more than half of it. The
// service hands out as many whole records as fit, so a read in the middle
// of a log leaves less room than one record; one that leaves half of it
// was the log's last, or met a record larger than that half.
constexpr bool CameBackFull(std::uint32_t size, std::uint32_t bytesRead) { return bytesRead > size / 2; }

// The size of the read after one of `size` bytes that returned `bytesRead`:
// twice `size` after a full read, up to error::kLargestEventLogRead; else `size`.
constexpr std::uint32_t NextEventLogRead(std::uint32_t size, std::uint32_t bytesRead) {
    if (!CameBackFull(size, bytesRead) || size >= error::kLargestEventLogRead) return size;
    return size > error::kLargestEventLogRead / 2 ? error::kLargestEventLogRead : size * 2;
}

}  // namespace quorvin::platform
