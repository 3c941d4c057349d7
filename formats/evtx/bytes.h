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
// continued from `crc` over `size` bytes at `data`. Eight bytes a step
// through eight tables (each entry of table k is the CRC of its byte
// followed by k zero bytes); the bytes are read one by one, so any
// alignment and byte order do.
inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    struct Tables {
        std::uint32_t v[8][256];
        Tables() {
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t c = i;
                for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                v[0][i] = c;
            }
            for (int t = 1; t < 8; ++t)
                for (std::uint32_t i = 0; i < 256; ++i) v[t][i] = (v[t - 1][i] >> 8) ^ v[0][v[t - 1][i] & 0xFF];
        }
    };
    static const Tables tables;
    const auto& v = tables.v;
    crc = ~crc;
    for (; size >= 8; size -= 8, data += 8) {
        const std::uint32_t low = crc ^ bytes::LoadU32(data);
        const std::uint32_t high = bytes::LoadU32(data + 4);
        crc = v[7][low & 0xFF] ^ v[6][(low >> 8) & 0xFF] ^ v[5][(low >> 16) & 0xFF] ^ v[4][low >> 24] ^
              v[3][high & 0xFF] ^ v[2][(high >> 8) & 0xFF] ^ v[1][(high >> 16) & 0xFF] ^ v[0][high >> 24];
    }
    for (; size > 0; --size, ++data) crc = v[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// "0x1F": offsets and numbers in problem texts.
inline std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace quorvin::evtx
