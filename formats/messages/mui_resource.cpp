// The MUI resource: the resource configuration of a language-neutral file
// and of its language files. Layout (little-endian, offsets in bytes from
// the resource's start; docs/windows.md, "MUI message files"):
//
//   0x00 signature 0xFECDFECD     0x04 size of the resource
//   0x08 version (0x10000)        0x0C path type (not used here)
//   0x10 file type                0x14 system attributes
//   0x18 ultimate fallback location
//   0x1C service checksum [16]    0x2C checksum [16]
//   0x3C 24 reserved bytes
//   0x54 main type names   0x5C main type ids   0x64 MUI type names
//   0x6C MUI type ids      0x74 language        0x7C ultimate fallback language
//        (each an offset and a size in bytes: type ids are 32-bit numbers,
//        names and languages UTF-16LE with terminators; size 0: none)
//   0x84 end of the header; the parts follow, each at a multiple of 8.

#include <algorithm>

#include "formats/messages/bytes.h"
#include "formats/messages/message_file.h"

namespace quorvin::messages {

namespace {

using bytes::Span;

constexpr std::size_t kHeaderSize = 0x84;
constexpr std::size_t kFileType = 0x10, kServiceChecksum = 0x1C, kChecksum = 0x2C;
constexpr std::size_t kMainNames = 0x54, kMainIds = 0x5C, kMuiNames = 0x64, kMuiIds = 0x6C;
constexpr std::size_t kLanguage = 0x74, kUltimateFallback = 0x7C;
constexpr std::size_t kLongestLanguageName = 84;  // LOCALE_NAME_MAX_LENGTH less its terminator

// The part an offset and size pair at `field` names: false, with `problem`,
// when it lies in the header or outside the resource.
bool Part(Span resource, std::size_t field, const char* what, Span& part, std::string& problem) {
    const std::uint32_t offset = bytes::LoadU32(resource.Data() + field);
    const std::uint32_t size = bytes::LoadU32(resource.Data() + field + 4);
    part = Span();
    if (size == 0) return true;
    if (offset >= kHeaderSize && resource.Sub(offset, size, part)) return true;
    problem = std::string("the ") + what + " of the MUI resource at offset " + Hex(offset) + " (" +
              std::to_string(size) + " bytes, field " + Hex(field) + ") lies outside its " +
              std::to_string(resource.Size()) + " bytes";
    return false;
}

bool ReadIds(Span resource, std::size_t field, const char* what, std::vector<std::uint32_t>& ids,
             std::string& problem) {
    Span part;
    if (!Part(resource, field, what, part, problem)) return false;
    for (std::size_t at = 0; part.Has(at, 4); at += 4) ids.push_back(bytes::LoadU32(part.Data() + at));
    return true;
}

// UTF-16 names, each ended by a NUL; an empty name or the end of the part ends the list.
bool ReadNames(Span resource, std::size_t field, const char* what, std::vector<std::u16string>& names,
               std::string& problem) {
    Span part;
    if (!Part(resource, field, what, part, problem)) return false;
    std::u16string name;
    for (std::size_t at = 0; part.Has(at, 2); at += 2) {
        const char16_t unit = static_cast<char16_t>(bytes::LoadU16(part.Data() + at));
        if (unit != 0) {
            name += unit;
        } else if (name.empty()) {
            return true;
        } else {
            names.push_back(std::move(name));
            name.clear();
        }
    }
    if (!name.empty()) names.push_back(std::move(name));
    return true;
}

bool IsLanguageNameCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'_';
}

// A language name up to its terminator. It becomes a folder name, so only
// what language names are made of is taken: letters, digits, '-' and '_'.
bool ReadLanguageName(Span resource, std::size_t field, const char* what, std::string& name, std::string& problem) {
    Span part;
    if (!Part(resource, field, what, part, problem)) return false;
    for (std::size_t at = 0; part.Has(at, 2); at += 2) {
        const char16_t unit = static_cast<char16_t>(bytes::LoadU16(part.Data() + at));
        if (unit == 0) break;
        if (!IsLanguageNameCharacter(unit) || name.size() == kLongestLanguageName) {
            problem = std::string("the ") + what + " of the MUI resource at offset " +
                      Hex(bytes::LoadU32(resource.Data() + field)) + " is no language name";
            name.clear();
            return false;
        }
        name += static_cast<char>(unit);
    }
    return true;
}

bool ReadHeader(Span resource, MuiConfig& config, std::string& problem) {
    const std::uint8_t* p = resource.Data();
    config.version = bytes::LoadU32(p + 8);
    if (config.version >> 16 != mui::kVersion >> 16) {
        problem = "the MUI resource has the unknown version " + Hex(config.version);
        return false;
    }
    config.fileType = bytes::LoadU32(p + kFileType);
    config.systemAttributes = bytes::LoadU32(p + kFileType + 4);
    config.ultimateFallbackLocation = bytes::LoadU32(p + kFileType + 8);
    std::copy(p + kServiceChecksum, p + kServiceChecksum + 16, config.serviceChecksum.begin());
    std::copy(p + kChecksum, p + kChecksum + 16, config.checksum.begin());
    return true;
}

// ---- Writing ----------------------------------------------------------------------

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<std::uint8_t> out((text.size() + 1) * 2, 0);
    for (std::size_t i = 0; i < text.size(); ++i) bytes::StoreU16(out.data() + 2 * i, text[i]);
    return out;
}

std::vector<std::uint8_t> NameBytes(const std::vector<std::u16string>& names) {
    std::vector<std::uint8_t> out;
    for (const std::u16string& name : names) {
        const std::vector<std::uint8_t> one = Utf16Bytes(name);
        out.insert(out.end(), one.begin(), one.end());
    }
    if (!out.empty()) out.resize(out.size() + 2, 0);
    return out;
}

std::vector<std::uint8_t> IdBytes(const std::vector<std::uint32_t>& ids) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t id : ids) bytes::AppendU32(out, id);
    return out;
}

std::vector<std::uint8_t> LanguageBytes(const std::string& name) {
    if (name.empty()) return {};
    return Utf16Bytes(std::u16string(name.begin(), name.end()));
}

}  // namespace

bool ParseMui(const std::uint8_t* data, std::size_t size, MuiConfig& config, std::string& problem) {
    config = MuiConfig{};
    if (data == nullptr || size < kHeaderSize) {
        problem = "the MUI resource of " + std::to_string(size) + " bytes is shorter than its " +
                  std::to_string(kHeaderSize) + "-byte header";
        return false;
    }
    const std::uint32_t signature = bytes::LoadU32(data), length = bytes::LoadU32(data + 4);
    if (signature != mui::kSignature) {
        problem = "the MUI resource has the signature " + Hex(signature) + ", not 0xFECDFECD";
        return false;
    }
    if (length < kHeaderSize || length > size) {
        problem = "the MUI resource says it has " + std::to_string(length) + " bytes, its resource entry " +
                  std::to_string(size);
        return false;
    }
    const Span resource(data, length);
    MuiConfig read;
    const bool ok = ReadHeader(resource, read, problem) &&
                    ReadNames(resource, kMainNames, "main type names", read.mainTypeNames, problem) &&
                    ReadIds(resource, kMainIds, "main type ids", read.mainTypeIds, problem) &&
                    ReadNames(resource, kMuiNames, "MUI type names", read.muiTypeNames, problem) &&
                    ReadIds(resource, kMuiIds, "MUI type ids", read.muiTypeIds, problem) &&
                    ReadLanguageName(resource, kLanguage, "language", read.language, problem) &&
                    ReadLanguageName(resource, kUltimateFallback, "ultimate fallback language",
                                     read.ultimateFallbackLanguage, problem);
    if (ok) config = std::move(read);
    return ok;
}

std::vector<std::uint8_t> EncodeMui(const MuiConfig& config) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bytes::RoundUp(kHeaderSize, 8)), 0);
    std::uint8_t* p = out.data();
    bytes::StoreU32(p, mui::kSignature);
    bytes::StoreU32(p + 8, config.version);
    bytes::StoreU32(p + kFileType, config.fileType);
    bytes::StoreU32(p + kFileType + 4, config.systemAttributes);
    bytes::StoreU32(p + kFileType + 8, config.ultimateFallbackLocation);
    std::copy(config.serviceChecksum.begin(), config.serviceChecksum.end(), p + kServiceChecksum);
    std::copy(config.checksum.begin(), config.checksum.end(), p + kChecksum);
    auto place = [&out](std::size_t field, const std::vector<std::uint8_t>& part) {
        if (part.empty()) return;
        const std::size_t at = out.size();
        out.insert(out.end(), part.begin(), part.end());
        out.resize(static_cast<std::size_t>(bytes::RoundUp(out.size(), 8)), 0);
        bytes::StoreU32(out.data() + field, static_cast<std::uint32_t>(at));
        bytes::StoreU32(out.data() + field + 4, static_cast<std::uint32_t>(part.size()));
    };
    place(kMainNames, NameBytes(config.mainTypeNames));
    place(kMainIds, IdBytes(config.mainTypeIds));
    place(kMuiNames, NameBytes(config.muiTypeNames));
    place(kMuiIds, IdBytes(config.muiTypeIds));
    place(kLanguage, LanguageBytes(config.language));
    place(kUltimateFallback, LanguageBytes(config.ultimateFallbackLanguage));
    bytes::StoreU32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

}  // namespace quorvin::messages
