#pragma once
// Builds small PE images with message table and MUI resources, and remembers
// where each structure lies so tests can damage it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "formats/messages/message_file.h"

namespace quorvin::messages::test {

struct BuiltImage {
    std::vector<std::uint8_t> bytes;
    std::size_t peHeader = 0;      // "PE\0\0"
    std::size_t optionalHeader = 0;
    std::size_t resourceEntry = 0; // the resource data directory entry (RVA, size)
    std::size_t sectionTable = 0;
    std::size_t rsrc = 0;          // file offset of the resource section
    std::uint32_t rsrcRva = 0;
    // Offsets from rsrc: the root lists type 11, which leads to the names
    // directory, which lists name 1, which leads to the languages directory.
    std::size_t namesDirectory = 0, languagesDirectory = 0;
    std::vector<std::size_t> dataEntries;  // offsets from rsrc
    std::vector<std::size_t> tables;       // file offsets of the message tables
    std::size_t mui = 0;                   // file offset of the MUI resource's data (0: none)

    void Put16(std::size_t at, std::uint32_t v) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void Put32(std::size_t at, std::uint32_t v) {
        Put16(at, v & 0xFFFF);
        Put16(at + 2, v >> 16);
    }
    std::uint32_t Get32(std::size_t at) const {
        return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    }
};

constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::size_t kRsrcFileOffset = 0x200;

// What an image holds: RT_MESSAGETABLE / 1 / each language with its
// MESSAGE_RESOURCE_DATA (none when `tables` is empty), "MUI" / 1 / neutral
// with `mui` (none when empty), and before the resources a code section of
// `codeSize` bytes (none when 0).
struct ImageSpec {
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> tables;
    std::vector<std::uint8_t> mui;
    std::size_t codeSize = 0;
    bool pe32plus = false;
};

// Where the resources lie, as offsets from the start of .rsrc.
struct ResourceLayout {
    std::size_t rootSize = 0, muiTypeDirectory = 0, muiNamesDirectory = 0, muiDataEntry = 0, muiName = 0;
    std::vector<std::size_t> dataAt;
    std::size_t muiAt = 0, end = 0;
};

inline ResourceLayout LayResources(const ImageSpec& spec, BuiltImage& img) {
    ResourceLayout lay;
    const std::size_t n = spec.tables.size();
    const bool mui = !spec.mui.empty();
    lay.rootSize = 16 + 8 * ((n ? 1 : 0) + (mui ? 1 : 0));
    std::size_t at = lay.rootSize;
    if (n) {
        img.namesDirectory = at;
        img.languagesDirectory = at + 24;
        at += 24 + 16 + 8 * n;
    }
    if (mui) {
        lay.muiTypeDirectory = at;
        lay.muiNamesDirectory = at + 24;
        at += 48;
    }
    for (std::size_t i = 0; i < n; ++i, at += 16) img.dataEntries.push_back(at);
    if (mui) {
        lay.muiDataEntry = at;
        lay.muiName = at + 16;
        at += 24;
    }
    for (const auto& lang : spec.tables) {
        lay.dataAt.push_back(at);
        at = (at + lang.second.size() + 3) / 4 * 4;
    }
    lay.muiAt = at;
    lay.end = at + spec.mui.size();
    return lay;
}

inline void PutDirectory(BuiltImage& img, std::size_t at, std::uint16_t named, std::uint16_t ids) {
    img.Put16(at + 12, named);
    img.Put16(at + 14, ids);
}

inline void PutEntry(BuiltImage& img, std::size_t at, std::uint32_t name, std::uint32_t target) {
    img.Put32(at, name);
    img.Put32(at + 4, target);
}

inline void WriteResources(const ImageSpec& spec, const ResourceLayout& lay, BuiltImage& img) {
    const std::size_t r = img.rsrc, n = spec.tables.size();
    const bool mui = !spec.mui.empty();
    const std::uint32_t dir = 0x80000000u;
    PutDirectory(img, r, mui ? 1 : 0, n ? 1 : 0);
    std::size_t entry = r + 16;
    if (mui) {
        PutEntry(img, entry, dir | static_cast<std::uint32_t>(lay.muiName), dir | static_cast<std::uint32_t>(lay.muiTypeDirectory));
        entry += 8;
        PutDirectory(img, r + lay.muiTypeDirectory, 0, 1);
        PutEntry(img, r + lay.muiTypeDirectory + 16, 1, dir | static_cast<std::uint32_t>(lay.muiNamesDirectory));
        PutDirectory(img, r + lay.muiNamesDirectory, 0, 1);
        PutEntry(img, r + lay.muiNamesDirectory + 16, 0, static_cast<std::uint32_t>(lay.muiDataEntry));
        img.Put32(r + lay.muiDataEntry, img.rsrcRva + static_cast<std::uint32_t>(lay.muiAt));
        img.Put32(r + lay.muiDataEntry + 4, static_cast<std::uint32_t>(spec.mui.size()));
        img.Put16(r + lay.muiName, 3);
        for (std::size_t i = 0; i < 3; ++i) img.Put16(r + lay.muiName + 2 + 2 * i, static_cast<std::uint8_t>("MUI"[i]));
        std::copy(spec.mui.begin(), spec.mui.end(), img.bytes.begin() + static_cast<std::ptrdiff_t>(r + lay.muiAt));
        img.mui = r + lay.muiAt;
    }
    if (n == 0) return;
    PutEntry(img, entry, 11, dir | static_cast<std::uint32_t>(img.namesDirectory));
    PutDirectory(img, r + img.namesDirectory, 0, 1);
    PutEntry(img, r + img.namesDirectory + 16, 1, dir | static_cast<std::uint32_t>(img.languagesDirectory));
    PutDirectory(img, r + img.languagesDirectory, 0, static_cast<std::uint16_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        PutEntry(img, r + img.languagesDirectory + 16 + 8 * i, spec.tables[i].first, static_cast<std::uint32_t>(img.dataEntries[i]));
        img.Put32(r + img.dataEntries[i], img.rsrcRva + static_cast<std::uint32_t>(lay.dataAt[i]));
        img.Put32(r + img.dataEntries[i] + 4, static_cast<std::uint32_t>(spec.tables[i].second.size()));
        std::copy(spec.tables[i].second.begin(), spec.tables[i].second.end(),
                  img.bytes.begin() + static_cast<std::ptrdiff_t>(r + lay.dataAt[i]));
        img.tables.push_back(r + lay.dataAt[i]);
    }
}

inline void PutSection(BuiltImage& img, std::size_t at, const char* name, std::size_t virtualSize, std::uint32_t rva,
                       std::size_t rawSize, std::size_t rawOffset, std::uint32_t flags) {
    for (std::size_t i = 0; name[i] != 0 && i < 8; ++i) img.bytes[at + i] = static_cast<std::uint8_t>(name[i]);
    img.Put32(at + 8, static_cast<std::uint32_t>(virtualSize));
    img.Put32(at + 12, rva);
    img.Put32(at + 16, static_cast<std::uint32_t>(rawSize));
    img.Put32(at + 20, static_cast<std::uint32_t>(rawOffset));
    img.Put32(at + 36, flags);
}

inline void WriteHeaders(const ImageSpec& spec, std::size_t resourceSize, BuiltImage& img) {
    img.bytes[0] = 'M';
    img.bytes[1] = 'Z';
    img.Put32(0x3C, 0x40);
    img.peHeader = 0x40;
    img.bytes[0x40] = 'P';
    img.bytes[0x41] = 'E';
    const std::size_t file = 0x44;
    const std::uint16_t optionalSize = spec.pe32plus ? 0xF0 : 0xE0;
    img.Put16(file, spec.pe32plus ? 0x8664 : 0x14C);
    img.Put16(file + 2, spec.codeSize ? 2 : 1);
    img.Put16(file + 16, optionalSize);
    img.Put16(file + 18, 0x2102);
    img.optionalHeader = file + 20;
    const std::size_t opt = img.optionalHeader;
    img.Put16(opt, spec.pe32plus ? 0x20B : 0x10B);
    img.Put32(opt + 32, 0x1000);
    img.Put32(opt + 36, 0x200);
    img.Put32(opt + 56, img.rsrcRva + 0x1000);
    img.Put32(opt + 60, 0x200);
    const std::size_t countField = spec.pe32plus ? 108 : 92;
    img.Put32(opt + countField, 16);
    img.resourceEntry = opt + countField + 4 + 2 * 8;
    img.Put32(img.resourceEntry, img.rsrcRva);
    img.Put32(img.resourceEntry + 4, static_cast<std::uint32_t>(resourceSize));
    img.sectionTable = opt + optionalSize;
    std::size_t section = img.sectionTable;
    if (spec.codeSize) {
        PutSection(img, section, ".text", spec.codeSize, 0x1000, img.rsrc - kRsrcFileOffset, kRsrcFileOffset, 0x60000020);
        section += 40;
    }
    PutSection(img, section, ".rsrc", resourceSize, img.rsrcRva, img.bytes.size() - img.rsrc, img.rsrc, 0x40000040);
}

// A DLL holding what `spec` says, PE32 or PE32+.
inline BuiltImage BuildImage(const ImageSpec& spec) {
    BuiltImage img;
    const std::size_t codeRaw = (spec.codeSize + 0x1FF) / 0x200 * 0x200;
    img.rsrc = kRsrcFileOffset + codeRaw;
    img.rsrcRva = kRsrcRva + static_cast<std::uint32_t>((spec.codeSize + 0xFFF) / 0x1000 * 0x1000);
    const ResourceLayout lay = LayResources(spec, img);
    img.bytes.assign(img.rsrc + (lay.end + 0x1FF) / 0x200 * 0x200, 0);
    std::fill(img.bytes.begin() + static_cast<std::ptrdiff_t>(kRsrcFileOffset),
              img.bytes.begin() + static_cast<std::ptrdiff_t>(kRsrcFileOffset + spec.codeSize), 0xCC);
    WriteHeaders(spec, lay.end, img);
    WriteResources(spec, lay, img);
    return img;
}

// A DLL whose .rsrc holds RT_MESSAGETABLE / 1 / each language with its
// MESSAGE_RESOURCE_DATA, PE32 or PE32+.
inline BuiltImage BuildMessageImage(const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& languages,
                                    bool pe32plus = false) {
    ImageSpec spec;
    spec.tables = languages;
    spec.pe32plus = pe32plus;
    return BuildImage(spec);
}

// A language-neutral file: a MUI resource for `config` and no message table.
inline BuiltImage NeutralImage(const MuiConfig& config, std::size_t codeSize = 0) {
    ImageSpec spec;
    spec.mui = EncodeMui(config);
    spec.codeSize = codeSize;
    return BuildImage(spec);
}

// A language file: the message table of one language and a MUI resource.
inline BuiltImage LanguageImage(const MuiConfig& config, std::uint16_t language,
                                const std::vector<std::pair<std::uint32_t, std::u16string>>& texts) {
    ImageSpec spec;
    spec.tables = {{language, EncodeMessageData(texts)}};
    spec.mui = EncodeMui(config);
    return BuildImage(spec);
}

// The MUI resource of a neutral file whose message tables are in its
// language files, and of one of its language files; `checksum` fills the
// checksum that ties them.
inline MuiConfig NeutralMui(std::uint8_t checksum, const std::string& ultimateFallback = "en-US") {
    MuiConfig config;
    config.fileType = mui::kNeutralFile;
    config.checksum.fill(checksum);
    config.ultimateFallbackLanguage = ultimateFallback;
    config.ultimateFallbackLocation = mui::kFallbackExternal;
    config.mainTypeIds = {16, 24};
    config.mainTypeNames = {u"MUI"};
    config.muiTypeIds = {11, 16};
    return config;
}

inline MuiConfig LanguageMui(std::uint8_t checksum, const std::string& language) {
    MuiConfig config;
    config.fileType = mui::kLanguageFile;
    config.checksum.fill(checksum);
    config.language = language;
    config.mainTypeIds = {11, 16};
    config.mainTypeNames = {u"MUI"};
    return config;
}

}  // namespace quorvin::messages::test
