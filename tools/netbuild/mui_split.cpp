#include "tools/netbuild/mui_split.h"

#include <array>

#include "formats/messages/message_file.h"
#include "formats/messages/resource_image.h"

namespace quorvin::network {

namespace {

namespace msg = quorvin::messages;

constexpr std::uint16_t kMessageTableType = 11;
constexpr platform::Error kNoManifest = 1813;  // the file has no resource of that type

struct KnownLanguage {
    const char* name;
    std::uint16_t id;
};
constexpr KnownLanguage kLanguages[] = {{"ja-JP", 0x0411}, {"en-US", 0x0409}, {"de-DE", 0x0407},
                                        {"fr-FR", 0x040C}, {"ko-KR", 0x0412}, {"zh-CN", 0x0804}};

bool SameName(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return i == a.size() && b[i] == 0;
}

// Two 64-bit FNV-1a hashes (different offset bases) of the tables.
std::array<std::uint8_t, 16> Checksum(const std::vector<std::vector<std::uint8_t>>& tables) {
    std::uint64_t h[2] = {0xCBF29CE484222325ull, 0x84222325CBF29CE4ull};
    for (const auto& table : tables)
        for (const std::uint8_t byte : table)
            for (std::uint64_t& v : h) v = (v ^ byte) * 0x100000001B3ull;
    std::array<std::uint8_t, 16> sum{};
    for (std::size_t i = 0; i < 16; ++i) sum[i] = static_cast<std::uint8_t>(h[i / 8] >> (8 * (i % 8)));
    return sum;
}

std::vector<std::uint8_t> Image(std::vector<std::uint8_t> table, std::uint16_t language, const msg::MuiConfig& mui,
                                std::vector<std::uint8_t> manifest = {}) {
    msg::ResourceImageSpec spec;
    if (!table.empty()) spec.tables = {{language, std::move(table)}};
    spec.mui = msg::EncodeMui(mui);
    spec.manifest = std::move(manifest);
    return msg::WriteResourceImage(spec);
}

}  // namespace

bool LanguageId(const std::string& name, std::uint16_t& id) {
    for (const KnownLanguage& language : kLanguages)
        if (SameName(name, language.name)) {
            id = language.id;
            return true;
        }
    return false;
}

bool SplitMessageFile(const std::vector<std::uint8_t>& source, const std::vector<std::string>& languages,
                      const std::string& fallback, MuiSplit& split, std::string& problem) {
    split = MuiSplit{};
    msg::MemorySource bytes(source.data(), source.size());
    msg::MessageFile file;
    if (msg::ReadMessageFile(bytes, file, &problem) != 0) return false;
    if (file.table.TableError() != 0) {
        problem = "holds no message table (" + file.table.Problem() + ")";
        return false;
    }
    // A provider manifest has no language: it stays in the neutral file.
    std::vector<std::uint8_t> manifest;
    msg::MemorySource again(source.data(), source.size());
    const platform::Error manifestError = msg::ReadManifestResource(again, manifest, &problem);
    if (manifestError != 0 && manifestError != kNoManifest) return false;
    std::vector<std::vector<std::uint8_t>> tables(languages.size());
    std::vector<std::uint16_t> ids(languages.size());
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (!LanguageId(languages[i], ids[i]) || file.table.Data(ids[i], tables[i]) != 0) {
            problem = "has no messages in " + languages[i];
            return false;
        }
    msg::MuiConfig mui;
    mui.checksum = Checksum(tables);
    mui.mainTypeNames = {u"MUI"};
    mui.fileType = msg::mui::kNeutralFile;
    mui.ultimateFallbackLanguage = fallback;
    mui.ultimateFallbackLocation = msg::mui::kFallbackExternal;
    mui.muiTypeIds = {kMessageTableType};
    split.neutral = Image({}, 0, mui, std::move(manifest));
    mui.fileType = msg::mui::kLanguageFile;
    mui.ultimateFallbackLanguage.clear();
    mui.ultimateFallbackLocation = 0;
    mui.muiTypeIds.clear();
    mui.mainTypeIds = {kMessageTableType};
    for (std::size_t i = 0; i < languages.size(); ++i) {
        mui.language = languages[i];
        split.languages.emplace_back(languages[i], Image(std::move(tables[i]), ids[i], mui));
    }
    return true;
}

}  // namespace quorvin::network
