#pragma once
// The byte helpers of the message module reader: those of platform/bytes.h,
// and the hexadecimal numbers its problem texts show.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/bytes.h"

namespace quorvin::messages {
namespace bytes = quorvin::bytes;

// "0x1F": offsets, RVAs and ids in problem texts.
inline std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

// The bounds rule for offsets in a file whose size may pass what size_t holds.
constexpr bool Within(std::uint64_t offset, std::uint64_t size, std::uint64_t limit) {
    return size <= limit && offset <= limit - size;
}

}  // namespace quorvin::messages
