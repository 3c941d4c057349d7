#include "formats/messages/message_table.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "formats/messages/bytes.h"
#include "formats/messages/image_reader.h"

namespace quorvin::messages {

namespace {

using bytes::Span;
namespace perror = platform::error;

constexpr std::uint16_t kMessageTableType = 11;  // RT_MESSAGETABLE
constexpr std::uint16_t kMessageTableName = 1;
constexpr std::uint16_t kUnicodeFlag = 1;  // MESSAGE_RESOURCE_UNICODE

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
    ImageReader image(data, size);
    std::string why;
    if (data == nullptr || !image.ReadHeaders(why)) {
        if (problem) *problem = data == nullptr ? "no data" : why;
        return perror::kBadExeFormat;
    }
    if (problem) problem->clear();
    Read(image, table);
    return perror::kSuccess;
}

void MessageTable::Read(ImageReader& image, MessageTable& table) {
    table = MessageTable{};
    auto fail = [&table](platform::Error code, std::string text) {
        table.tableError_ = code;
        table.problem_ = std::move(text);
    };
    std::string why;
    const platform::Error rootError = image.FindResources(why);
    if (rootError != perror::kSuccess) return fail(rootError, why);
    ResourceDirectory types, names, languages;
    if (!image.ReadDirectory(0, types, why)) return fail(perror::kInvalidData, why);
    const ResourceEntry* type = FindById(types, kMessageTableType, true);
    if (type == nullptr)
        return fail(perror::kResourceTypeNotFound, "the resource directory has no message table (type 11)");
    if (!image.ReadDirectory(type->Offset(), names, why)) return fail(perror::kInvalidData, why);
    const ResourceEntry* name = FindById(names, kMessageTableName, true);
    if (name == nullptr)
        return fail(error::kResourceNameNotFound, "the message table resources have none named 1");
    if (!image.ReadDirectory(name->Offset(), languages, why)) return fail(perror::kInvalidData, why);
    table.ReadLanguages(image, languages);
    if (table.languages_.empty())
        return fail(error::kResourceLanguageNotFound, "the message table resource has no language");
    table.tableError_ = perror::kSuccess;
}

// Where the data of one language lies in the file.
struct MessageTable::Placement {
    std::size_t language = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

void MessageTable::ReadLanguages(ImageReader& image, const ResourceDirectory& directory) {
    std::vector<Placement> placed;
    for (std::size_t i = 0; i < directory.entries.size(); ++i) {
        const ResourceEntry& entry = directory.entries[i];
        if (entry.IsDirectory()) continue;  // a language must be a data entry
        Language lang;
        lang.id = entry.Id();
        lang.named = i < directory.namedCount;
        std::uint32_t rva = 0, length = 0;
        std::uint64_t offset = 0;
        if (!image.ReadDataEntry(entry.Offset(), rva, length)) {
            lang.error = perror::kInvalidData;
            lang.problem = "resource data entry at " + Hex(entry.Offset()) + " of language " + Hex(lang.id) +
                           " lies past the end of the file";
        } else if (!image.Locate(rva, length, offset)) {
            lang.error = perror::kInvalidData;
            lang.problem = "message table of language " + Hex(lang.id) + " (RVA " + Hex(rva) + ", " +
                           std::to_string(length) + " bytes) lies outside the file";
        } else {
            placed.push_back(Placement{languages_.size(), offset, length});
        }
        languages_.push_back(std::move(lang));
    }
    TakeData(image, std::move(placed));
}

// Reads the data of the languages, each byte once: ranges that overlap or
// touch are read as one, so what is held never passes the file's size.
void MessageTable::TakeData(ImageReader& image, std::vector<Placement> placed) {
    std::sort(placed.begin(), placed.end(), [](const Placement& a, const Placement& b) { return a.offset < b.offset; });
    std::size_t i = 0;
    while (i < placed.size()) {
        const std::uint64_t start = placed[i].offset;
        std::uint64_t end = start + placed[i].size;
        std::size_t next = i + 1;
        for (; next < placed.size() && placed[next].offset <= end; ++next)
            end = std::max(end, placed[next].offset + placed[next].size);
        const std::size_t base = bytes_.size();
        // Only a read that fails stops here; the caller then drops the table.
        if (!image.Append(start, end - start, bytes_)) return;
        for (; i < next; ++i) {
            Language& lang = languages_[placed[i].language];
            lang.offset = base + static_cast<std::size_t>(placed[i].offset - start);
            lang.size = placed[i].size;
        }
    }
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

platform::Error MessageTable::Data(std::uint16_t language, std::vector<std::uint8_t>& data) const {
    data.clear();
    if (tableError_ != perror::kSuccess) return tableError_;
    for (const Language& lang : languages_) {
        if (lang.named || lang.id != language) continue;
        if (lang.error != perror::kSuccess) return lang.error;
        const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(lang.offset);
        data.assign(first, first + static_cast<std::ptrdiff_t>(lang.size));
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
