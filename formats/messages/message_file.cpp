#include "formats/messages/message_file.h"

#include <algorithm>
#include <cstring>

#include "core/cp932.h"
#include "formats/messages/image_reader.h"

namespace quorvin::messages {

namespace {

constexpr std::uint16_t kMuiName = 1;

// The entry of the resource type named "MUI" among the named entries.
const ResourceEntry* FindMuiType(ImageReader& image, const ResourceDirectory& types) {
    for (std::size_t i = 0; i < types.namedCount && i < types.entries.size(); ++i)
        if (image.NameIs(types.entries[i], "MUI")) return &types.entries[i];
    return nullptr;
}

// The data entry of the first language of the MUI resource named 1, at its
// offset from the root: false, with `problem`, when the resource is damaged.
bool FindMuiData(ImageReader& image, const ResourceEntry& type, std::uint32_t& entry, std::string& problem) {
    ResourceDirectory names, languages;
    if (!type.IsDirectory()) {
        problem = "the MUI resource type leads to no directory";
        return false;
    }
    if (!image.ReadDirectory(type.Offset(), names, problem)) return false;
    const ResourceEntry* name = FindById(names, kMuiName, true);
    if (name == nullptr) {
        problem = "the MUI resources have none named 1";
        return false;
    }
    if (!image.ReadDirectory(name->Offset(), languages, problem)) return false;
    const auto language = std::find_if(languages.entries.begin(), languages.entries.end(),
                                       [](const ResourceEntry& e) { return !e.IsDirectory(); });
    if (language == languages.entries.end()) {
        problem = "the MUI resource named 1 has no language";
        return false;
    }
    entry = language->Offset();
    return true;
}

// The bytes of the MUI resource: false when there is none (`problem` empty)
// or it is damaged.
bool ReadMuiBytes(ImageReader& image, std::vector<std::uint8_t>& out, std::string& problem) {
    ResourceDirectory types;
    // A resource directory that cannot be walked is the table's problem already.
    if (image.FindResources(problem) != platform::error::kSuccess || !image.ReadDirectory(0, types, problem)) {
        problem.clear();
        return false;
    }
    const ResourceEntry* type = FindMuiType(image, types);
    std::uint32_t entry = 0, rva = 0, size = 0;
    std::uint64_t offset = 0;
    if (type == nullptr || !FindMuiData(image, *type, entry, problem)) return false;
    if (!image.ReadDataEntry(entry, rva, size)) {
        problem = "the resource data entry at " + Hex(entry) + " of the MUI resource lies past the end of the file";
        return false;
    }
    if (size > mui::kLargest) {
        problem = "the MUI resource of " + std::to_string(size) + " bytes is larger than any real one";
        return false;
    }
    if (!image.Locate(rva, size, offset) || !image.Append(offset, size, out)) {
        problem = "the MUI resource (RVA " + Hex(rva) + ", " + std::to_string(size) + " bytes) lies outside the file";
        return false;
    }
    return true;
}

void ReadMui(ImageReader& image, MessageFile& file) {
    std::vector<std::uint8_t> bytes;
    std::string problem;
    if (ReadMuiBytes(image, bytes, problem) && ParseMui(bytes.data(), bytes.size(), file.mui, problem)) {
        file.hasMui = true;
        return;
    }
    file.muiProblem = problem;
}

bool SameName(const std::string& a, const std::string& b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&fold](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

platform::Error MemorySource::ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    if (!Within(offset, size, size_)) return platform::error::kHandleEof;
    if (size != 0) std::memcpy(out, data_ + offset, size);
    return platform::error::kSuccess;
}

platform::Error ReadMessageFile(ByteSource& source, MessageFile& file, std::string* problem) {
    file = MessageFile{};
    ImageReader image(source);
    std::string why;
    const bool isImage = image.ReadHeaders(why);
    if (isImage) {
        MessageTable::Read(image, file.table);
        ReadMui(image, file);
    }
    const std::uint64_t cost = image.BytesRead();
    if (image.Failed()) {
        file = MessageFile{};
        file.bytesRead = cost;
        if (problem) *problem = image.Failure();
        return image.Error();
    }
    file.bytesRead = cost;
    if (!isImage) {
        if (problem) *problem = why;
        return platform::error::kBadExeFormat;
    }
    if (problem) problem->clear();
    return platform::error::kSuccess;
}

bool BelongsTo(const MuiConfig& neutral, const MuiConfig& languageFile) {
    const std::array<std::uint8_t, 16> none{};
    if (neutral.checksum == none || languageFile.checksum == none) return true;
    return neutral.checksum == languageFile.checksum;
}

std::vector<std::string> MuiLanguageOrder(const std::string& uiLanguage, const std::string& systemLanguage,
                                          const MuiConfig& neutral) {
    const std::string english = "en-US";
    std::vector<std::string> order;
    for (const std::string* name : {&uiLanguage, &systemLanguage, &neutral.ultimateFallbackLanguage, &english}) {
        const bool seen = std::any_of(order.begin(), order.end(),
                                      [name](const std::string& kept) { return SameName(kept, *name); });
        if (!name->empty() && !seen) order.push_back(*name);
    }
    return order;
}

std::string MuiPath(const std::string& neutralPath, const std::string& language) {
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < neutralPath.size(); ++i) {
        const char c = neutralPath[i];
        if (text::IsLeadByte(static_cast<unsigned char>(c))) {
            ++i;  // its trail byte may be 0x5C
        } else if (c == '\\' || c == '/' || c == ':') {
            nameStart = i + 1;
        }
    }
    return neutralPath.substr(0, nameStart) + language + "\\" + neutralPath.substr(nameStart) + ".mui";
}

}  // namespace quorvin::messages
