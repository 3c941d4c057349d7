#pragma once
// Writes a small resource-only PE DLL holding message tables, a MUI
// resource and a provider manifest: the message files of a simulated network (the network builder
// splits a message DLL into a language-neutral file and its .mui language
// files) and of tests. ReadMessageFile reads back what it writes.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvin::messages {

// What an image holds: RT_MESSAGETABLE / 1 / each language with its
// MESSAGE_RESOURCE_DATA (no table when `tables` is empty), "MUI" / 1 /
// neutral (0) with `mui` and "WEVT_TEMPLATE" / 1 / neutral with `manifest`
// (each none when empty), and before the resources a code section of
// `codeSize` bytes of 0xCC (none when 0).
struct ResourceImageSpec {
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> tables;
    std::vector<std::uint8_t> mui;
    std::vector<std::uint8_t> manifest;
    std::size_t codeSize = 0;
    bool pe32plus = false;
};

// Where the writer put each structure, for readers' tests that damage them.
struct ResourceImageLayout {
    std::size_t peHeader = 0;        // "PE\0\0"
    std::size_t optionalHeader = 0;
    std::size_t resourceEntry = 0;   // the resource data directory entry (RVA, size)
    std::size_t sectionTable = 0;
    std::size_t rsrc = 0;            // file offset of the resource section
    std::uint32_t rsrcRva = 0;
    // Offsets from rsrc: the root lists type 11, which leads to the names
    // directory, which lists name 1, which leads to the languages directory.
    std::size_t namesDirectory = 0, languagesDirectory = 0;
    std::vector<std::size_t> dataEntries;  // offsets from rsrc, one per table
    std::vector<std::size_t> tables;       // file offsets of the message tables
    std::size_t mui = 0;                   // file offset of the MUI resource's data (0: none)
};

// The largest resource data an image takes: more gives no image.
constexpr std::size_t kLargestResourceImage = 256u << 20;

// The image for `spec` (PE32, or PE32+ with spec.pe32plus; a DLL, file
// alignment 0x200, section alignment 0x1000); empty when its code and
// resources pass kLargestResourceImage. `layout`, when given, receives
// where each part lies.
std::vector<std::uint8_t> WriteResourceImage(const ResourceImageSpec& spec, ResourceImageLayout* layout = nullptr);

}  // namespace quorvin::messages
