#pragma once
// Builds small PE images with a message table resource, and remembers where
// each structure lies so tests can damage it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvin::messages::test {

struct BuiltImage {
    std::vector<std::uint8_t> bytes;
    std::size_t peHeader = 0;      // "PE\0\0"
    std::size_t optionalHeader = 0;
    std::size_t resourceEntry = 0; // the resource data directory entry (RVA, size)
    std::size_t sectionTable = 0;
    std::size_t rsrc = 0;          // file offset of the resource section
    // Offsets from rsrc: the root lists type 11, which leads to the names
    // directory, which lists name 1, which leads to the languages directory.
    std::size_t namesDirectory = 0, languagesDirectory = 0;
    std::vector<std::size_t> dataEntries;  // offsets from rsrc
    std::vector<std::size_t> tables;       // file offsets of the message tables

    void Put16(std::size_t at, std::uint32_t v) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void Put32(std::size_t at, std::uint32_t v) {
        Put16(at, v & 0xFFFF);
        Put16(at + 2, v >> 16);
    }
};

constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::size_t kRsrcFileOffset = 0x200;

// A DLL whose .rsrc holds RT_MESSAGETABLE / 1 / each language with its
// MESSAGE_RESOURCE_DATA, PE32 or PE32+.
inline BuiltImage BuildMessageImage(const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& languages,
                                    bool pe32plus = false) {
    BuiltImage img;
    const std::size_t n = languages.size();
    img.namesDirectory = 24;
    img.languagesDirectory = 48;
    std::size_t at = img.languagesDirectory + 16 + 8 * n;
    for (std::size_t i = 0; i < n; ++i, at += 16) img.dataEntries.push_back(at);
    std::vector<std::size_t> dataAt;
    for (const auto& lang : languages) {
        dataAt.push_back(at);
        at = (at + lang.second.size() + 3) / 4 * 4;
    }
    const std::size_t rawSize = (at + 0x1FF) / 0x200 * 0x200;
    img.bytes.assign(kRsrcFileOffset + rawSize, 0);

    img.bytes[0] = 'M';
    img.bytes[1] = 'Z';
    img.Put32(0x3C, 0x40);
    img.peHeader = 0x40;
    img.bytes[0x40] = 'P';
    img.bytes[0x41] = 'E';
    const std::size_t file = 0x44;
    const std::uint16_t optionalSize = pe32plus ? 0xF0 : 0xE0;
    img.Put16(file, pe32plus ? 0x8664 : 0x14C);
    img.Put16(file + 2, 1);
    img.Put16(file + 16, optionalSize);
    img.Put16(file + 18, 0x2102);
    img.optionalHeader = file + 20;
    const std::size_t opt = img.optionalHeader;
    img.Put16(opt, pe32plus ? 0x20B : 0x10B);
    img.Put32(opt + 32, 0x1000);
    img.Put32(opt + 36, 0x200);
    img.Put32(opt + 56, kRsrcRva + 0x1000);
    img.Put32(opt + 60, 0x200);
    const std::size_t countField = pe32plus ? 108 : 92;
    img.Put32(opt + countField, 16);
    img.resourceEntry = opt + countField + 4 + 2 * 8;
    img.Put32(img.resourceEntry, kRsrcRva);
    img.Put32(img.resourceEntry + 4, static_cast<std::uint32_t>(at));
    img.sectionTable = opt + optionalSize;
    const char name[] = ".rsrc";
    for (std::size_t i = 0; i < 5; ++i) img.bytes[img.sectionTable + i] = static_cast<std::uint8_t>(name[i]);
    img.Put32(img.sectionTable + 8, static_cast<std::uint32_t>(at));
    img.Put32(img.sectionTable + 12, kRsrcRva);
    img.Put32(img.sectionTable + 16, static_cast<std::uint32_t>(rawSize));
    img.Put32(img.sectionTable + 20, static_cast<std::uint32_t>(kRsrcFileOffset));
    img.Put32(img.sectionTable + 36, 0x40000040);

    img.rsrc = kRsrcFileOffset;
    const std::size_t r = img.rsrc;
    img.Put16(r + 14, 1);
    img.Put32(r + 16, 11);
    img.Put32(r + 20, 0x80000000u | static_cast<std::uint32_t>(img.namesDirectory));
    img.Put16(r + img.namesDirectory + 14, 1);
    img.Put32(r + img.namesDirectory + 16, 1);
    img.Put32(r + img.namesDirectory + 20, 0x80000000u | static_cast<std::uint32_t>(img.languagesDirectory));
    img.Put16(r + img.languagesDirectory + 14, static_cast<std::uint32_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        img.Put32(r + img.languagesDirectory + 16 + 8 * i, languages[i].first);
        img.Put32(r + img.languagesDirectory + 20 + 8 * i, static_cast<std::uint32_t>(img.dataEntries[i]));
        img.Put32(r + img.dataEntries[i], kRsrcRva + static_cast<std::uint32_t>(dataAt[i]));
        img.Put32(r + img.dataEntries[i] + 4, static_cast<std::uint32_t>(languages[i].second.size()));
        std::copy(languages[i].second.begin(), languages[i].second.end(), img.bytes.begin() + static_cast<std::ptrdiff_t>(r + dataAt[i]));
        img.tables.push_back(r + dataAt[i]);
    }
    return img;
}

}  // namespace quorvin::messages::test
