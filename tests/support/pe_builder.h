#pragma once
// Small PE images with message table and MUI resources (written by
// formats/messages/resource_image.h), with where each structure lies so
// tests can damage it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "formats/messages/message_file.h"
#include "formats/messages/resource_image.h"

namespace quorvin::messages::test {

// An image and where each of its structures lies (ResourceImageLayout), so
// tests can damage them.
struct BuiltImage : ResourceImageLayout {
    std::vector<std::uint8_t> bytes;

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

using ImageSpec = ResourceImageSpec;

// A DLL holding what `spec` says, PE32 or PE32+.
inline BuiltImage BuildImage(const ImageSpec& spec) {
    BuiltImage img;
    img.bytes = WriteResourceImage(spec, &img);
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
