#pragma once
// A message file read with plain reads: the message table and the MUI
// resource of a PE file, wherever its bytes are (a file on a share, bytes in
// memory), reading only the pieces they need, never the whole file; and the
// rules that lead from a language-neutral file to its language files.
//
// The MUI resource (type "MUI", name 1) holds the resource configuration a
// language-neutral file and its .mui language files share since Windows
// Vista; its layout and what we rely on of it are in docs/windows.md
// ("MUI message files").

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/messages/message_table.h"

namespace quorvin::messages {

// Random access to a file's bytes: all a reader of a file on a share needs.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset` into `out`: 0, or the read's error
    // (38, ERROR_HANDLE_EOF, when the range passes the end).
    virtual platform::Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) = 0;
};

// Over bytes in memory (tests, fuzzing, the simulated network); the bytes
// must outlive it.
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
    std::uint64_t Size() const override { return size_; }
    platform::Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

namespace mui {
constexpr std::uint32_t kSignature = 0xFECDFECD;
constexpr std::uint32_t kVersion = 0x10000;      // major version 1, the only layout known
constexpr std::uint32_t kNeutralFile = 0x11;     // file type of a language-neutral main file
constexpr std::uint32_t kLanguageFile = 0x12;    // file type of a .mui language file
constexpr std::uint32_t kFallbackInternal = 1;   // ultimate fallback resources in the neutral file
constexpr std::uint32_t kFallbackExternal = 2;   // ... in a .mui file
constexpr std::size_t kLargest = 64 * 1024;      // a larger MUI resource is taken for damaged
}  // namespace mui

// The MUI resource (type named "MUI", name 1) of a language-neutral file or
// of a language (.mui) file.
struct MuiConfig {
    std::uint32_t fileType = 0;  // mui::kNeutralFile or mui::kLanguageFile, as stored
    std::array<std::uint8_t, 16> checksum{};  // ties a language file to its neutral file
    std::array<std::uint8_t, 16> serviceChecksum{};
    std::string language;  // ASCII, e.g. "ja-JP": a language file's own language; empty when none
    // The resource stores no fallback language besides the ultimate one: it
    // is never read (always empty) and never written.
    std::string fallbackLanguage;
    std::string ultimateFallbackLanguage;  // the neutral file's
    std::uint32_t version = mui::kVersion;
    std::uint32_t systemAttributes = 0;
    std::uint32_t ultimateFallbackLocation = 0;  // mui::kFallbackInternal or kFallbackExternal
    // The resource types kept in the neutral file and in the language files
    // (11 among muiTypeIds: the message tables are in the .mui files).
    std::vector<std::uint32_t> mainTypeIds, muiTypeIds;
    std::vector<std::u16string> mainTypeNames, muiTypeNames;
};

struct MessageFile {
    MessageTable table;  // TableError() != 0 when the file holds no usable table
    bool hasMui = false;
    MuiConfig mui;
    // Why a MUI resource that is there was not taken (damaged); empty when it
    // was taken or there is none.
    std::string muiProblem;
    std::uint64_t bytesRead = 0;  // what reading it cost, in bytes
};

// Reads the message table and the MUI resource of the PE file in `source`,
// reading only the headers, the section table, the resource directory
// entries walked and those two resources' data, never the whole file: 0,
// 193 (ERROR_BAD_EXE_FORMAT) when it is no PE image, or the source's read
// error (a share that goes away part way; `file` then holds only bytesRead).
// `problem` says what and where for those two; a damaged table or MUI
// resource is no failure (table.Problem(), muiProblem).
platform::Error ReadMessageFile(ByteSource& source, MessageFile& file, std::string* problem = nullptr);

// The largest provider manifest a file's resource is taken for.
constexpr std::size_t kLargestManifestResource = 64u << 20;

// The provider manifest of the PE file in `source`: the resource of the type
// named "WEVT_TEMPLATE" (its first name, its first language), read as
// ReadMessageFile reads, never the whole file. 0 and its bytes; 1813
// (ERROR_RESOURCE_TYPE_NOT_FOUND) when the file has none; 193 when it is no PE
// image; 13 when the resource is damaged (larger than
// kLargestManifestResource, outside the file); or the source's read error.
// `problem` says what and where.
platform::Error ReadManifestResource(ByteSource& source, std::vector<std::uint8_t>& bytes,
                                     std::string* problem = nullptr);

// The MUI resource in `data`: false, with `problem` saying what and where,
// when it is damaged (and `config` is then left empty).
bool ParseMui(const std::uint8_t* data, std::size_t size, MuiConfig& config, std::string& problem);

// The bytes of the MUI resource for `config` (for building test networks and
// tests); ReadMessageFile reads back what it writes.
std::vector<std::uint8_t> EncodeMui(const MuiConfig& config);

// Whether a language file belongs to its neutral file: their checksums are
// equal where both carry one (a checksum of zeros is none). The service
// checksums may differ: a service pack changes them, not the checksum.
bool BelongsTo(const MuiConfig& neutral, const MuiConfig& languageFile);

// The language names to try for a neutral file, in the resource loader's
// order for a program with a Japanese interface: the user-interface
// language, the system language, the neutral file's ultimate fallback
// language, then "en-US"; empty names and duplicates (ASCII letters in either
// case) dropped, the first spelling kept.
std::vector<std::string> MuiLanguageOrder(const std::string& uiLanguage, const std::string& systemLanguage,
                                          const MuiConfig& neutral);

// "<folder>\<language>\<file name>.mui" for the neutral file `path` (a CP932
// Windows path, '\' or '/' between its parts; a trail byte 0x5C is no
// separator). A path without a folder gives "<language>\<file name>.mui".
std::string MuiPath(const std::string& neutralPath, const std::string& language);

}  // namespace quorvin::messages
