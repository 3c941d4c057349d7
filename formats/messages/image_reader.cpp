#include "formats/messages/image_reader.h"

#include <algorithm>
#include <cstring>

#include "formats/messages/message_file.h"

namespace quorvin::messages {

namespace {

constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::size_t kSectionHeaderSize = 40;
// Fetches through a source go by aligned 1 KB pages, each read once, a run
// of missing pages in one read: the headers, the section table and the
// directories of a message module lie in a few such pages. Larger fetches
// (a big table's data) are read as they are.
constexpr std::uint64_t kPage = 1024;
constexpr std::size_t kLargestPaged = 256 * 1024;

char FoldAscii(std::uint16_t c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c < 0x80 ? static_cast<char>(c) : '\0';
}

}  // namespace

const ResourceEntry* FindById(const ResourceDirectory& directory, std::uint16_t id, bool wantDirectory) {
    for (std::size_t i = directory.namedCount; i < directory.entries.size(); ++i) {
        const ResourceEntry& entry = directory.entries[i];
        if (entry.Id() != id) continue;
        return entry.IsDirectory() == wantDirectory ? &entry : nullptr;
    }
    return nullptr;
}

ImageReader::ImageReader(const std::uint8_t* data, std::size_t size) : memory_(data), size_(data ? size : 0) {}

ImageReader::ImageReader(ByteSource& source) : source_(&source), size_(source.Size()) {}

// ---- Reading ------------------------------------------------------------------

bool ImageReader::ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    const platform::Error e = source_->ReadAt(offset, size, out);
    if (e != platform::error::kSuccess) {
        error_ = e;
        failure_ = "reading " + std::to_string(size) + " bytes at offset " + Hex(offset) + " failed with error " +
                   std::to_string(e);
        return false;
    }
    bytesRead_ += size;
    return true;
}

bool ImageReader::LoadPages(std::uint64_t first, std::uint64_t last) {
    for (std::uint64_t page = first; page <= last; ++page) {
        if (pages_.count(page) != 0) continue;
        std::uint64_t end = page;
        while (end < last && pages_.count(end + 1) == 0) ++end;
        const std::uint64_t start = page * kPage;
        std::vector<std::uint8_t> run(static_cast<std::size_t>(std::min((end + 1) * kPage, size_) - start));
        if (!ReadAt(start, run.size(), run.data())) return false;
        for (std::size_t from = 0; from < run.size(); from += kPage, ++page) {
            const std::size_t to = std::min<std::size_t>(from + kPage, run.size());
            pages_.emplace(page, std::vector<std::uint8_t>(run.begin() + from, run.begin() + to));
        }
        page = end;
    }
    return true;
}

bool ImageReader::Fetch(std::uint64_t offset, std::size_t size, bytes::Span& span) {
    if (Failed() || !Within(offset, size, size_)) return false;
    if (size == 0) {
        span = bytes::Span();
        return true;
    }
    if (memory_ != nullptr) {
        span = bytes::Span(memory_ + offset, size);
        return true;
    }
    const std::uint64_t first = offset / kPage, last = (offset + size - 1) / kPage;
    if (size > kLargestPaged) {
        scratch_.resize(size);
        if (!ReadAt(offset, size, scratch_.data())) return false;
        span = bytes::Span(scratch_.data(), size);
        return true;
    }
    if (!LoadPages(first, last)) return false;
    if (first == last) {
        span = bytes::Span(pages_[first].data() + (offset - first * kPage), size);
        return true;
    }
    scratch_.resize(size);
    for (std::uint64_t page = first, at = offset; page <= last; ++page) {
        const std::vector<std::uint8_t>& bytes = pages_[page];
        const std::size_t from = static_cast<std::size_t>(at - page * kPage);
        const std::size_t done = static_cast<std::size_t>(at - offset);
        const std::size_t count = std::min(bytes.size() - from, size - done);
        std::copy(bytes.begin() + from, bytes.begin() + from + count, scratch_.begin() + done);
        at += count;
    }
    span = bytes::Span(scratch_.data(), size);
    return true;
}

bool ImageReader::U16(std::uint64_t offset, std::uint16_t& value) {
    bytes::Span span;
    if (!Fetch(offset, 2, span)) return false;
    value = bytes::LoadU16(span.Data());
    return true;
}

bool ImageReader::U32(std::uint64_t offset, std::uint32_t& value) {
    bytes::Span span;
    if (!Fetch(offset, 4, span)) return false;
    value = bytes::LoadU32(span.Data());
    return true;
}

bool ImageReader::Append(std::uint64_t offset, std::uint64_t size, std::vector<std::uint8_t>& out) {
    if (Failed() || !Within(offset, size, size_) || size > out.max_size() - out.size()) return false;
    if (memory_ != nullptr || size <= kLargestPaged) {
        bytes::Span span;
        if (!Fetch(offset, static_cast<std::size_t>(size), span)) return false;
        out.insert(out.end(), span.Data(), span.Data() + span.Size());
        return true;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    if (ReadAt(offset, static_cast<std::size_t>(size), out.data() + at)) return true;
    out.resize(at);
    return false;
}

// ---- Headers --------------------------------------------------------------------

bool ImageReader::ReadHeaders(std::string& problem) {
    std::uint16_t mz = 0;
    if (!U16(0, mz) || mz != 0x5A4D) {
        problem = "no DOS header (\"MZ\") at offset 0";
        return false;
    }
    std::uint32_t peOffset = 0;
    if (!U32(0x3C, peOffset)) {
        problem = "DOS header ends before its PE header offset at 0x3C";
        return false;
    }
    std::uint32_t signature = 0;
    if (!U32(peOffset, signature) || signature != 0x00004550) {
        problem = "no PE signature at offset " + Hex(peOffset);
        return false;
    }
    const std::uint64_t fileHeader = std::uint64_t{peOffset} + 4;
    std::uint16_t sectionCount = 0, optionalSize = 0;
    if (!U16(fileHeader + 2, sectionCount) || !U16(fileHeader + 16, optionalSize)) {
        problem = "file header at " + Hex(fileHeader) + " runs past the end of the file";
        return false;
    }
    const std::uint64_t optional = fileHeader + 20;
    return ReadOptionalHeader(optional, optionalSize, problem) &&
           ReadSections(optional + optionalSize, sectionCount, problem);
}

bool ImageReader::ReadOptionalHeader(std::uint64_t optional, std::uint16_t optionalSize, std::string& problem) {
    std::uint16_t magic = 0;
    if (!U16(optional, magic)) {
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
    if (optionalSize < countField + 4 || !U32(optional + countField, directoryCount)) {
        problem = "optional header at " + Hex(optional) + " ends before its data directory count";
        return false;
    }
    // The resource entry counts only when the header says it has one and the
    // header's own size covers it.
    const std::size_t resourceEntry = directories + 8 * kResourceDirectoryIndex;
    if (directoryCount > kResourceDirectoryIndex && optionalSize >= resourceEntry + 8) {
        std::uint32_t resourceSize = 0;
        if (!U32(optional + resourceEntry, resourceRva_) || !U32(optional + resourceEntry + 4, resourceSize)) {
            problem = "data directories at " + Hex(optional + directories) + " run past the end of the file";
            return false;
        }
        hasResourceEntry_ = true;
    }
    return true;
}

bool ImageReader::ReadSections(std::uint64_t table, std::uint16_t count, std::string& problem) {
    bytes::Span span;
    if (!Fetch(table, std::size_t{count} * kSectionHeaderSize, span)) {
        problem = "section table of " + std::to_string(count) + " sections at " + Hex(table) +
                  " runs past the end of the file";
        return false;
    }
    sections_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = i * kSectionHeaderSize;
        span.U32(at + 12, sections_[i].virtualAddress);
        span.U32(at + 16, sections_[i].rawSize);
        span.U32(at + 20, sections_[i].rawOffset);
    }
    return true;
}

// ---- Resources -------------------------------------------------------------------

bool ImageReader::RvaToOffset(std::uint32_t rva, std::uint64_t& offset) const {
    for (const Section& section : sections_) {
        const std::uint64_t start = section.virtualAddress;
        if (rva >= start && rva < start + section.rawSize) {
            offset = std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
            return true;
        }
    }
    return false;
}

bool ImageReader::Locate(std::uint32_t rva, std::uint32_t size, std::uint64_t& offset) const {
    return RvaToOffset(rva, offset) && Within(offset, size, size_);
}

platform::Error ImageReader::FindResources(std::string& problem) {
    if (!hasResourceEntry_ || resourceRva_ == 0) {
        problem = "the image has no resource directory";
        return 1812;  // ERROR_RESOURCE_DATA_NOT_FOUND
    }
    // Offsets in the directory count from its root and may reach anywhere in the file after it.
    if (!RvaToOffset(resourceRva_, root_)) {
        problem = "the resource directory RVA " + Hex(resourceRva_) + " lies in no section's raw data";
        return 1812;
    }
    if (root_ >= size_) {
        problem = "the resource directory at file offset " + Hex(root_) + " lies past the end of the file";
        return platform::error::kInvalidData;
    }
    return platform::error::kSuccess;
}

bool ImageReader::ReadDirectory(std::uint32_t offset, ResourceDirectory& directory, std::string& problem) {
    const std::uint64_t at = root_ + offset;
    std::uint16_t named = 0, ids = 0;
    if (!U16(at + 12, named) || !U16(at + 14, ids)) {
        problem = "resource directory at " + Hex(offset) + " of the resource section lies past the end of the file";
        return false;
    }
    const std::size_t count = std::size_t{named} + ids;
    bytes::Span span;
    if (!Fetch(at + 16, count * 8, span)) {
        problem = "the " + std::to_string(count) + " entries of the resource directory at " + Hex(offset) +
                  " run past the end of the file";
        return false;
    }
    directory.entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        span.U32(i * 8, directory.entries[i].name);
        span.U32(i * 8 + 4, directory.entries[i].target);
    }
    directory.namedCount = named;
    return true;
}

bool ImageReader::NameIs(const ResourceEntry& entry, const char* name) {
    if (!entry.Named()) return false;
    const std::uint64_t at = root_ + entry.NameOffset();
    const std::size_t length = std::strlen(name);
    std::uint16_t stored = 0;
    bytes::Span chars;
    if (!U16(at, stored) || stored != length || !Fetch(at + 2, length * 2, chars)) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (FoldAscii(bytes::LoadU16(chars.Data() + 2 * i)) != FoldAscii(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

bool ImageReader::ReadDataEntry(std::uint32_t offset, std::uint32_t& rva, std::uint32_t& size) {
    const std::uint64_t at = root_ + offset;
    return U32(at, rva) && U32(at + 4, size);
}

}  // namespace quorvin::messages
