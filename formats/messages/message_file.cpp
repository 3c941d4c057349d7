#include "formats/messages/message_file.h"

#include <algorithm>
#include <cstring>

#include "core/cp932.h"
#include "formats/messages/image_reader.h"

namespace quorvin::messages {

namespace {

constexpr std::uint16_t kMuiName = 1;

// A resource of a type known by name ("MUI", "WEVT_TEMPLATE").
struct NamedResource {
    const char* type;
    std::uint16_t name;  // the resource's number; 0 takes the first entry, whatever its name
    std::size_t largest;  // a larger one is taken for damaged
};

// The entry of the resource type named `name` among the named entries.
const ResourceEntry* FindNamedType(ImageReader& image, const ResourceDirectory& types, const char* name) {
    for (std::size_t i = 0; i < types.namedCount && i < types.entries.size(); ++i)
        if (image.NameIs(types.entries[i], name)) return &types.entries[i];
    return nullptr;
}

// The data entry of the first language of the resource, at its offset from
// the root: false, with `problem`, when the resource is damaged.
bool FindNamedData(ImageReader& image, const ResourceEntry& type, const NamedResource& what, std::uint32_t& entry,
                   std::string& problem) {
    ResourceDirectory names, languages;
    if (!type.IsDirectory()) {
        problem = std::string("the ") + what.type + " resource type leads to no directory";
        return false;
    }
    if (!image.ReadDirectory(type.Offset(), names, problem)) return false;
    const ResourceEntry* name = nullptr;
    if (what.name != 0) {
        name = FindById(names, what.name, true);
    } else if (!names.entries.empty() && names.entries.front().IsDirectory()) {
        name = &names.entries.front();
    }
    if (name == nullptr) {
        problem = std::string("the ") + what.type + " resources have none named " + std::to_string(what.name);
        return false;
    }
    if (!image.ReadDirectory(name->Offset(), languages, problem)) return false;
    const auto language = std::find_if(languages.entries.begin(), languages.entries.end(),
                                       [](const ResourceEntry& e) { return !e.IsDirectory(); });
    if (language == languages.entries.end()) {
        problem = std::string("the ") + what.type + " resource named " + std::to_string(what.name) + " has no language";
        return false;
    }
    entry = language->Offset();
    return true;
}

// The bytes of the resource: false when there is none (`problem` empty)
// or it is damaged.
bool ReadNamedResource(ImageReader& image, const NamedResource& what, std::vector<std::uint8_t>& out,
                       std::string& problem) {
    ResourceDirectory types;
    // A resource directory that cannot be walked is the table's problem already.
    if (image.FindResources(problem) != platform::error::kSuccess || !image.ReadDirectory(0, types, problem)) {
        problem.clear();
        return false;
    }
    const ResourceEntry* type = FindNamedType(image, types, what.type);
    std::uint32_t entry = 0, rva = 0, size = 0;
    std::uint64_t offset = 0;
    if (type == nullptr || !FindNamedData(image, *type, what, entry, problem)) return false;
    if (!image.ReadDataEntry(entry, rva, size)) {
        problem = "the resource data entry at " + Hex(entry) + " of the " + what.type +
                  " resource lies past the end of the file";
        return false;
    }
    if (size > what.largest) {
        problem = std::string("the ") + what.type + " resource of " + std::to_string(size) + " bytes is larger than any real one";
        return false;
    }
    if (!image.Locate(rva, size, offset) || !image.Append(offset, size, out)) {
        problem = std::string("the ") + what.type + " resource (RVA " + Hex(rva) + ", " + std::to_string(size) +
                  " bytes) lies outside the file";
        return false;
    }
    return true;
}

bool ReadMuiBytes(ImageReader& image, std::vector<std::uint8_t>& out, std::string& problem) {
    return ReadNamedResource(image, {"MUI", kMuiName, mui::kLargest}, out, problem);
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

platform::Error ReadManifestResource(ByteSource& source, std::vector<std::uint8_t>& bytes, std::string* problem) {
    bytes.clear();
    ImageReader image(source);
    std::string why;
    platform::Error result = platform::error::kSuccess;
    if (!image.ReadHeaders(why)) {
        result = platform::error::kBadExeFormat;
    } else if (!ReadNamedResource(image, {"WEVT_TEMPLATE", 0, kLargestManifestResource}, bytes, why)) {
        result = why.empty() ? platform::error::kResourceTypeNotFound : platform::error::kInvalidData;
        if (why.empty()) why = "the file has no WEVT_TEMPLATE resource";
    }
    if (image.Failed()) {
        why = image.Failure();
        result = image.Error();
    }
    if (result != platform::error::kSuccess) bytes.clear();
    if (problem) *problem = result == platform::error::kSuccess ? std::string() : why;
    return result;
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
