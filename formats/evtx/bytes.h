#pragma once
// The byte helpers of the .evtx code: those of core/bytes.h, 64-bit fields,
// the CRC-32 the file and chunk headers carry, and the hexadecimal numbers
// of problem texts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/bytes.h"

namespace quorvin::evtx {
namespace bytes = quorvin::bytes;

// Reads at `p`; the caller has checked that the bytes are there.
inline std::uint64_t LoadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(bytes::LoadU32(p)) | static_cast<std::uint64_t>(bytes::LoadU32(p + 4)) << 32;
}
inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
    bytes::StoreU32(p, static_cast<std::uint32_t>(v));
    bytes::StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// CRC-32 as zip and gzip compute it (reflected, polynomial 0xEDB88320),
// continued from `crc` over `size` bytes at `data`.
inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    struct Table {
        std::uint32_t v[256];
        Table() {
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t c = i;
                for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                v[i] = c;
            }
        }
    };
    static const Table table;
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table.v[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// "0x1F": offsets and numbers in problem texts.
inline std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace quorvin::evtx
