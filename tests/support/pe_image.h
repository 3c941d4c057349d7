#pragma once
// A minimal resource-only PE32 DLL holding one message table, for tests that
// need a message module file without the resource compiler.

#include "formats/messages/message_table.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::network::test {

inline std::vector<std::uint8_t> MessageDll(const std::vector<std::pair<std::uint32_t, std::u16string>>& texts,
                                            std::uint16_t language = 0x0409) {
    const std::vector<std::uint8_t> table = messages::EncodeMessageData(texts);
    constexpr std::uint32_t kFileAlign = 0x200, kSectionRva = 0x1000, kDataAt = 88;
    const std::uint32_t rawSize = (kDataAt + static_cast<std::uint32_t>(table.size()) + kFileAlign - 1) / kFileAlign * kFileAlign;
    std::vector<std::uint8_t> image(kFileAlign + rawSize);
    auto put16 = [&image](std::size_t at, std::uint32_t v) {
        image[at] = static_cast<std::uint8_t>(v);
        image[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x40);
    const std::size_t pe = 0x40, optional = pe + 24, section = optional + 0xE0;
    image[pe] = 'P';
    image[pe + 1] = 'E';
    put16(pe + 4, 0x14C);     // i386
    put16(pe + 6, 1);         // one section
    put16(pe + 20, 0xE0);     // size of the optional header
    put16(pe + 22, 0x2102);   // DLL, 32-bit, executable
    put16(optional, 0x10B);   // PE32
    put32(optional + 28, 0x10000000);  // image base
    put32(optional + 32, 0x1000);      // section alignment
    put32(optional + 36, kFileAlign);
    put16(optional + 48, 4);           // subsystem version
    put32(optional + 56, kSectionRva + (rawSize + 0xFFF) / 0x1000 * 0x1000);  // size of image
    put32(optional + 60, kFileAlign);  // size of headers
    put16(optional + 68, 2);           // GUI subsystem
    put32(optional + 92, 16);          // data directories
    put32(optional + 96 + 2 * 8, kSectionRva);
    put32(optional + 96 + 2 * 8 + 4, kDataAt + static_cast<std::uint32_t>(table.size()));
    const char name[] = ".rsrc";
    for (std::size_t i = 0; i < 5; ++i) image[section + i] = static_cast<std::uint8_t>(name[i]);
    put32(section + 8, kDataAt + static_cast<std::uint32_t>(table.size()));
    put32(section + 12, kSectionRva);
    put32(section + 16, rawSize);
    put32(section + 20, kFileAlign);
    put32(section + 36, 0x40000040);  // initialised data, readable

    // Resource directory: type 11 (RT_MESSAGETABLE) -> name 1 -> the language -> data.
    const std::size_t r = kFileAlign;
    put16(r + 14, 1);
    put32(r + 16, 11);
    put32(r + 20, 0x80000000u | 24);
    put16(r + 24 + 14, 1);
    put32(r + 24 + 16, 1);
    put32(r + 24 + 20, 0x80000000u | 48);
    put16(r + 48 + 14, 1);
    put32(r + 48 + 16, language);
    put32(r + 48 + 20, 72);
    put32(r + 72, kSectionRva + kDataAt);
    put32(r + 76, static_cast<std::uint32_t>(table.size()));
    std::copy(table.begin(), table.end(), image.begin() + static_cast<std::ptrdiff_t>(r + kDataAt));
    return image;
}

}  // namespace quorvin::network::test
