#include "formats/messages/message_table.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "formats/messages/bytes.h"

namespace quorvin::messages {

namespace {

using bytes::Span;
namespace perror = platform::error;

constexpr std::uint16_t kMessageTableType = 11;  // RT_MESSAGETABLE
constexpr std::uint16_t kMessageTableName = 1;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint16_t kUnicodeFlag = 1;  // MESSAGE_RESOURCE_UNICODE
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

// ---- PE image ---------------------------------------------------------------

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct Image {
    Span file;
    std::uint32_t resourceRva = 0;
    std::uint32_t resourceSize = 0;
    bool hasResourceEntry = false;
    std::vector<Section> sections;
};

// The headers of a PE image. False with `problem` set when they do not lie
// within the file or carry the wrong signatures.
bool ReadImage(Span file, Image& image, std::string& problem) {
    image.file = file;
    std::uint16_t mz = 0;
    if (!file.U16(0, mz) || mz != 0x5A4D) {
        problem = "no DOS header (\"MZ\") at offset 0";
        return false;
    }
    std::uint32_t peOffset = 0;
    if (!file.U32(0x3C, peOffset)) {
        problem = "DOS header ends before its PE header offset at 0x3C";
        return false;
    }
    std::uint32_t signature = 0;
    if (!file.U32(peOffset, signature) || signature != 0x00004550) {
        problem = "no PE signature at offset " + Hex(peOffset);
        return false;
    }
    const std::size_t fileHeader = std::size_t{peOffset} + 4;
    std::uint16_t sectionCount = 0, optionalSize = 0;
    if (!file.U16(fileHeader + 2, sectionCount) || !file.U16(fileHeader + 16, optionalSize)) {
        problem = "file header at " + Hex(fileHeader) + " runs past the end of the file";
        return false;
    }
    const std::size_t optional = fileHeader + 20;
    std::uint16_t magic = 0;
    if (!file.U16(optional, magic)) {
        problem = "optional header at " + Hex(optional) + " runs past the end of the file";
        return false;
    }
    std::size_t countField = 0, directories = 0;
    if (magic == 0x10B) {  // PE32
        countField = 92;
        directories = 96;
    } else if (magic == 0x20B) {  // PE32+
        countField = 108;
        directories = 112;
    } else {
        problem = "optional header at " + Hex(optional) + " has the unknown magic " + Hex(magic);
        return false;
    }
    std::uint32_t directoryCount = 0;
    if (optionalSize < countField + 4 || !file.U32(optional + countField, directoryCount)) {
        problem = "optional header at " + Hex(optional) + " ends before its data directory count";
        return false;
    }
    // The resource entry counts only when the header says it has one and the
    // header's own size covers it.
    const std::size_t resourceEntry = directories + 8 * kResourceDirectoryIndex;
    if (directoryCount > kResourceDirectoryIndex && optionalSize >= resourceEntry + 8) {
        if (!file.U32(optional + resourceEntry, image.resourceRva) ||
            !file.U32(optional + resourceEntry + 4, image.resourceSize)) {
            problem = "data directories at " + Hex(optional + directories) + " run past the end of the file";
            return false;
        }
        image.hasResourceEntry = true;
    }
    const std::size_t table = optional + optionalSize;
    if (!file.Has(table, std::size_t{sectionCount} * 40)) {
        problem = "section table of " + std::to_string(sectionCount) + " sections at " + Hex(table) +
                  " runs past the end of the file";
        return false;
    }
    for (std::size_t i = 0; i < sectionCount; ++i) {
        Section section;
        const std::size_t at = table + i * 40;
        file.U32(at + 12, section.virtualAddress);
        file.U32(at + 16, section.rawSize);
        file.U32(at + 20, section.rawOffset);
        image.sections.push_back(section);
    }
    return true;
}

// The file offset of an RVA, through the section whose raw data holds it (a
// module loaded as a data file is mapped flat, so only raw data is there).
bool RvaToOffset(const Image& image, std::uint32_t rva, std::size_t& offset) {
    for (const Section& section : image.sections) {
        const std::uint64_t start = section.virtualAddress;
        if (rva >= start && rva < start + section.rawSize) {
            offset = std::size_t{section.rawOffset} + (rva - section.virtualAddress);
            return true;
        }
    }
    return false;
}

// ---- Resource directory -------------------------------------------------------

struct DirectoryEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
    bool Named() const { return (name & 0x80000000u) != 0; }
    std::uint16_t Id() const { return static_cast<std::uint16_t>(name); }
    bool IsDirectory() const { return (target & kSubdirectoryBit) != 0; }
    std::uint32_t Offset() const { return target & ~kSubdirectoryBit; }
};

// The entries of the IMAGE_RESOURCE_DIRECTORY at `offset` from the root, with
// the number of named entries (they come first).
bool ReadDirectory(Span root, std::uint32_t offset, std::vector<DirectoryEntry>& entries, std::size_t& namedCount,
                   std::string& problem) {
    std::uint16_t named = 0, ids = 0;
    if (!root.U16(std::size_t{offset} + 12, named) || !root.U16(std::size_t{offset} + 14, ids)) {
        problem = "resource directory at " + Hex(offset) + " of the resource section lies past the end of the file";
        return false;
    }
    const std::size_t count = std::size_t{named} + ids;
    const std::size_t first = std::size_t{offset} + 16;
    if (!root.Has(first, count * 8)) {
        problem = "the " + std::to_string(count) + " entries of the resource directory at " + Hex(offset) +
                  " run past the end of the file";
        return false;
    }
    entries.clear();
    for (std::size_t i = 0; i < count; ++i) {
        DirectoryEntry entry;
        root.U32(first + i * 8, entry.name);
        root.U32(first + i * 8 + 4, entry.target);
        entries.push_back(entry);
    }
    namedCount = named;
    return true;
}

// The entry with number `id` among the numbered entries; it counts only when
// it is (or is not) a subdirectory as the level needs.
const DirectoryEntry* FindById(const std::vector<DirectoryEntry>& entries, std::size_t namedCount, std::uint16_t id,
                               bool wantDirectory) {
    for (std::size_t i = namedCount; i < entries.size(); ++i) {
        if (entries[i].Id() != id) continue;
        return entries[i].IsDirectory() == wantDirectory ? &entries[i] : nullptr;
    }
    return nullptr;
}

// ---- MESSAGE_RESOURCE_DATA ------------------------------------------------------

struct Block {
    MessageBlock range;
    std::uint32_t entries = 0;
};

bool ReadBlock(Span data, std::uint32_t index, Block& block, std::string& problem) {
    const std::size_t at = 4 + std::size_t{index} * 12;
    if (!data.U32(at, block.range.lowId) || !data.U32(at + 4, block.range.highId) || !data.U32(at + 8, block.entries)) {
        problem = "message block " + std::to_string(index) + " at " + Hex(at) + " lies past the end of the " +
                  std::to_string(data.Size()) + "-byte message table";
        return false;
    }
    return true;
}

// The entry `steps` entries after the block's first: each step moves on by
// the entry's Length. A Length of 0 never moves on, so the rest of the steps
// stay where they are.
bool WalkEntries(Span data, const Block& block, std::uint32_t steps, std::size_t& entry, std::string& problem) {
    std::size_t at = block.entries;
    for (std::uint32_t i = 0; i < steps; ++i) {
        std::uint16_t length = 0;
        if (!data.U16(at, length)) {
            problem = "message entry at " + Hex(at) + " (message " + Hex(block.range.lowId + i) +
                      ") lies past the end of the " + std::to_string(data.Size()) + "-byte message table";
            return false;
        }
        if (length == 0) break;
        at += length;
    }
    entry = at;
    return true;
}

bool ReadText(Span data, std::size_t entry, std::uint32_t id, MessageText& text, std::string& problem) {
    std::uint16_t length = 0, flags = 0;
    if (!data.U16(entry, length) || !data.U16(entry + 2, flags)) {
        problem = "message entry at " + Hex(entry) + " (message " + Hex(id) + ") lies past the end of the " +
                  std::to_string(data.Size()) + "-byte message table";
        return false;
    }
    text = MessageText{};
    text.unicode = (flags & kUnicodeFlag) != 0;
    const std::size_t start = entry + 4;
    // The text runs to its terminator, or to the end of the table (an
    // error, with what was there as the text); found first, then taken at once.
    if (text.unicode) {
        std::size_t end = start;
        std::uint16_t unit = 1;
        while (data.U16(end, unit) && unit != 0) end += 2;
        text.wide.resize((end - start) / 2);
        for (std::size_t i = 0; i < text.wide.size(); ++i)
            text.wide[i] = static_cast<char16_t>(bytes::LoadU16(data.Data() + start + 2 * i));
        if (data.Has(end, 2)) return true;
    } else {
        std::size_t end = start;
        while (data.Has(end, 1) && data.Data()[end] != 0) ++end;
        if (end > start) text.narrow.assign(reinterpret_cast<const char*>(data.Data()) + start, end - start);
        if (data.Has(end, 1)) return true;
    }
    problem = "text of message " + Hex(id) + " at " + Hex(start) + " has no terminator before the end of the " +
              std::to_string(data.Size()) + "-byte message table";
    return false;
}

// The languages a lookup tries, in order, each once: at most nine, kept
// without allocating since every message lookup makes the list.
struct LanguageList {
    std::uint16_t ids[9] = {};
    std::size_t count = 0;
    void Push(std::uint16_t id) {
        if (std::find(ids, ids + count, id) == ids + count) ids[count++] = id;
    }
};

LanguageList OrderOfLanguages(std::uint16_t requested, const Locale& locale) {
    using namespace language;
    LanguageList list;
    list.Push(requested);
    list.Push(Make(Primary(requested), 0));
    list.Push(kNeutral);
    if (Primary(requested) == kNeutral) {
        if (Sub(requested) != Sub(kSystemDefault)) {
            list.Push(locale.thread);
            list.Push(locale.user);
            list.Push(Make(Primary(locale.user), 0));
        }
        list.Push(locale.system);
        list.Push(Make(Primary(locale.system), 0));
        list.Push(kEnglishUs);
    }
    return list;
}

}  // namespace

std::vector<std::uint16_t> LanguageOrder(std::uint16_t requested, const Locale& locale) {
    const LanguageList list = OrderOfLanguages(requested, locale);
    return std::vector<std::uint16_t>(list.ids, list.ids + list.count);
}

platform::Error MessageTable::Load(const std::uint8_t* data, std::size_t size, MessageTable& table,
                                   std::string* problem) {
    table = MessageTable{};
    Image image;
    std::string why;
    if (data == nullptr || !ReadImage(Span(data, size), image, why)) {
        if (problem) *problem = data == nullptr ? "no data" : why;
        return perror::kBadExeFormat;
    }
    if (problem) problem->clear();
    const Span file(data, size);

    auto fail = [&table](platform::Error code, std::string text) {
        table.tableError_ = code;
        table.problem_ = std::move(text);
        return perror::kSuccess;
    };

    std::size_t rootOffset = 0;
    if (!image.hasResourceEntry || image.resourceRva == 0)
        return fail(error::kResourceDataNotFound, "the image has no resource directory");
    if (!RvaToOffset(image, image.resourceRva, rootOffset))
        return fail(error::kResourceDataNotFound,
                    "the resource directory RVA " + Hex(image.resourceRva) + " lies in no section's raw data");
    // Offsets in the directory count from its root and may reach anywhere in the file after it.
    if (rootOffset >= size)
        return fail(perror::kInvalidData, "the resource directory at file offset " + Hex(rootOffset) +
                                              " lies past the end of the file");
    const Span root(data + rootOffset, size - rootOffset);

    std::vector<DirectoryEntry> entries;
    std::size_t named = 0;
    if (!ReadDirectory(root, 0, entries, named, why)) return fail(perror::kInvalidData, why);
    const DirectoryEntry* type = FindById(entries, named, kMessageTableType, true);
    if (type == nullptr)
        return fail(perror::kResourceTypeNotFound, "the resource directory has no message table (type 11)");
    if (!ReadDirectory(root, type->Offset(), entries, named, why)) return fail(perror::kInvalidData, why);
    const DirectoryEntry* name = FindById(entries, named, kMessageTableName, true);
    if (name == nullptr)
        return fail(error::kResourceNameNotFound, "the message table resources have none named 1");
    if (!ReadDirectory(root, name->Offset(), entries, named, why)) return fail(perror::kInvalidData, why);

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DirectoryEntry& entry = entries[i];
        if (entry.IsDirectory()) continue;  // a language must be a data entry
        Language lang;
        lang.id = entry.Id();
        lang.named = i < named;
        std::uint32_t rva = 0, length = 0;
        std::size_t offset = 0;
        Span part;
        if (!root.U32(entry.Offset(), rva) || !root.U32(std::size_t{entry.Offset()} + 4, length)) {
            lang.error = perror::kInvalidData;
            lang.problem = "resource data entry at " + Hex(entry.Offset()) + " of language " + Hex(lang.id) +
                           " lies past the end of the file";
        } else if (!RvaToOffset(image, rva, offset) || !file.Sub(offset, length, part)) {
            lang.error = perror::kInvalidData;
            lang.problem = "message table of language " + Hex(lang.id) + " (RVA " + Hex(rva) + ", " +
                           std::to_string(length) + " bytes) lies outside the file";
        } else {
            lang.offset = offset;
            lang.size = length;
        }
        table.languages_.push_back(std::move(lang));
    }
    if (table.languages_.empty())
        return fail(error::kResourceLanguageNotFound, "the message table resource has no language");
    table.bytes_.assign(data, data + size);
    table.tableError_ = perror::kSuccess;
    return perror::kSuccess;
}

MessageTable MessageTable::FromTexts(std::uint16_t language,
                                     const std::vector<std::pair<std::uint32_t, std::u16string>>& texts) {
    MessageTable table;
    table.bytes_ = EncodeMessageData(texts);
    Language lang;
    lang.id = language;
    lang.size = table.bytes_.size();
    table.languages_.push_back(std::move(lang));
    table.tableError_ = perror::kSuccess;
    return table;
}

std::vector<std::uint16_t> MessageTable::Languages() const {
    std::vector<std::uint16_t> ids;
    for (const Language& lang : languages_)
        if (!lang.named) ids.push_back(lang.id);
    return ids;
}

std::size_t MessageTable::DataBytes() const {
    std::set<std::pair<std::size_t, std::size_t>> ranges;
    for (const Language& lang : languages_)
        if (lang.error == perror::kSuccess) ranges.emplace(lang.offset, lang.size);
    std::size_t bytes = 0;
    for (const auto& range : ranges) bytes += range.second;
    return bytes;
}

const MessageTable::Language* MessageTable::Select(std::uint16_t requested, const Locale& locale) const {
    const LanguageList order = OrderOfLanguages(requested, locale);
    for (std::size_t i = 0; i < order.count; ++i)
        for (const Language& lang : languages_)
            if (!lang.named && lang.id == order.ids[i]) return &lang;
    if (language::Primary(requested) == language::kNeutral && !languages_.empty()) return &languages_.front();
    return nullptr;
}

platform::Error MessageTable::SelectLanguage(std::uint16_t requested, const Locale& locale,
                                             std::uint16_t& chosen) const {
    if (tableError_ != perror::kSuccess) return tableError_;
    const Language* lang = Select(requested, locale);
    if (lang == nullptr) return error::kResourceLanguageNotFound;
    chosen = lang->id;
    return perror::kSuccess;
}

platform::Error MessageTable::Blocks(std::uint16_t language, std::vector<MessageBlock>& blocks) const {
    blocks.clear();
    if (tableError_ != perror::kSuccess) return tableError_;
    for (const Language& lang : languages_) {
        if (lang.named || lang.id != language) continue;
        if (lang.error != perror::kSuccess) return lang.error;
        const Span data(bytes_.data() + lang.offset, lang.size);
        std::uint32_t count = 0;
        std::string why;
        if (!data.U32(0, count)) return perror::kInvalidData;
        for (std::uint32_t i = 0; i < count; ++i) {
            Block block;
            if (!ReadBlock(data, i, block, why)) return perror::kInvalidData;
            blocks.push_back(block.range);
        }
        return perror::kSuccess;
    }
    return error::kResourceLanguageNotFound;
}

platform::Error MessageTable::Find(std::uint32_t id, std::uint16_t requested, const Locale& locale,
                                   MessageText& text, std::string* problem) const {
    text = MessageText{};
    std::string why;
    auto fail = [&](platform::Error code) {
        if (problem) *problem = why;
        return code;
    };
    if (tableError_ != perror::kSuccess) {
        why = problem_;
        return fail(tableError_);
    }
    const Language* lang = Select(requested, locale);
    if (lang == nullptr) {
        why = "the message table has none of the languages tried for " + Hex(requested);
        return fail(error::kResourceLanguageNotFound);
    }
    if (lang->error != perror::kSuccess) {
        why = lang->problem;
        return fail(lang->error);
    }
    const Span data(bytes_.data() + lang->offset, lang->size);
    std::uint32_t count = 0;
    if (!data.U32(0, count)) {
        why = "message table of language " + Hex(lang->id) + " is shorter than its block count";
        return fail(perror::kInvalidData);
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        Block block;
        if (!ReadBlock(data, i, block, why)) return fail(perror::kInvalidData);
        if (id < block.range.lowId || id > block.range.highId) continue;
        std::size_t entry = 0;
        if (!WalkEntries(data, block, id - block.range.lowId, entry, why) || !ReadText(data, entry, id, text, why))
            return fail(perror::kInvalidData);
        if (problem) problem->clear();
        return perror::kSuccess;
    }
    // The common miss (the system's table is tried next): no text is made
    // unless the caller asks for it.
    if (problem) *problem = "message " + Hex(id) + " is in no block of the message table";
    return perror::kMessageNotFound;
}

std::vector<std::uint8_t> EncodeMessageData(std::vector<std::pair<std::uint32_t, std::u16string>> texts) {
    std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    texts.erase(std::unique(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                texts.end());

    std::vector<Block> blocks;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i == 0 || texts[i].first != texts[i - 1].first + 1)
            blocks.push_back(Block{MessageBlock{texts[i].first, texts[i].first}, 0});
        else
            blocks.back().range.highId = texts[i].first;
    }

    std::vector<std::uint8_t> out;
    auto put16 = [&out](std::size_t at, std::uint32_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&put16](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out.resize(4 + blocks.size() * 12);
    put32(0, static_cast<std::uint32_t>(blocks.size()));
    std::size_t next = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        blocks[b].entries = static_cast<std::uint32_t>(out.size());
        put32(4 + b * 12, blocks[b].range.lowId);
        put32(4 + b * 12 + 4, blocks[b].range.highId);
        put32(4 + b * 12 + 8, blocks[b].entries);
        for (std::uint64_t id = blocks[b].range.lowId; id <= blocks[b].range.highId; ++id, ++next) {
            // An entry's Length is 16 bits: longer texts are cut to fit.
            const std::u16string text = texts[next].second.substr(0, (0xFFFC - 4) / 2 - 1);
            // Header, the text, its terminator, padding to a multiple of 4.
            const std::size_t length = (4 + (text.size() + 1) * 2 + 3) / 4 * 4;
            const std::size_t at = out.size();
            out.resize(at + length, 0);
            put16(at, static_cast<std::uint32_t>(length));
            put16(at + 2, kUnicodeFlag);
            for (std::size_t k = 0; k < text.size(); ++k) put16(at + 4 + 2 * k, text[k]);
        }
    }
    return out;
}

}  // namespace quorvin::messages
