#pragma once
// A PE image read in pieces: its headers, its section table, the resource
// directories a lookup walks and the resources it takes, each fetched when
// it is needed, from bytes in memory (read in place) or through a
// ByteSource (a file on a share is never read whole). Each piece is parsed
// from a byte span; a damaged image gives a problem text saying what and
// where, never a read outside the file.
//
// Through a ByteSource the first read that fails ends the reading: every
// later fetch fails too, and Failed() tells the caller to drop what it made.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/messages/bytes.h"

namespace quorvin::messages {

class ByteSource;

// One entry of an IMAGE_RESOURCE_DIRECTORY.
struct ResourceEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
    bool Named() const { return (name & 0x80000000u) != 0; }
    std::uint16_t Id() const { return static_cast<std::uint16_t>(name); }
    std::uint32_t NameOffset() const { return name & 0x7FFFFFFFu; }
    bool IsDirectory() const { return (target & 0x80000000u) != 0; }
    std::uint32_t Offset() const { return target & 0x7FFFFFFFu; }
};

// The entries of one directory; the named ones come first.
struct ResourceDirectory {
    std::vector<ResourceEntry> entries;
    std::size_t namedCount = 0;
};

// The entry numbered `id`; it counts only when it is (or is not) a
// subdirectory as the level needs. Null when there is none.
const ResourceEntry* FindById(const ResourceDirectory& directory, std::uint16_t id, bool wantDirectory);

class ImageReader {
public:
    ImageReader(const std::uint8_t* data, std::size_t size);
    explicit ImageReader(ByteSource& source);

    // The DOS, file and optional headers and the section table: false, with
    // `problem`, when they are no PE image (or a read failed: Failed()).
    bool ReadHeaders(std::string& problem);

    // Finds the root of the resource directory: 0, or 1812 (the image has
    // none) or 13 (it lies past the end of the file), with `problem`.
    platform::Error FindResources(std::string& problem);

    // The directory at `offset` from the root: false, with `problem`, when it
    // runs past the end of the file.
    bool ReadDirectory(std::uint32_t offset, ResourceDirectory& directory, std::string& problem);

    // Whether a named entry is named `name` (ASCII; letters in either case,
    // as the resource loader compares names). False for a name that runs
    // past the end of the file.
    bool NameIs(const ResourceEntry& entry, const char* name);

    // The RVA and size of the IMAGE_RESOURCE_DATA_ENTRY at `offset` from the
    // root: false when it runs past the end of the file.
    bool ReadDataEntry(std::uint32_t offset, std::uint32_t& rva, std::uint32_t& size);

    // The file offset of `size` bytes at `rva`, through the section whose raw
    // data holds the RVA (a module loaded as a data file is mapped flat):
    // false when no section holds it or the bytes run past the end of the file.
    bool Locate(std::uint32_t rva, std::uint32_t size, std::uint64_t& offset) const;

    // Appends the `size` bytes at file offset `offset` to `out`: false when
    // they lie outside the file (or more than memory can hold) or the read fails.
    bool Append(std::uint64_t offset, std::uint64_t size, std::vector<std::uint8_t>& out);

    std::uint64_t FileSize() const { return size_; }
    bool Failed() const { return error_ != platform::error::kSuccess; }
    // The error of the read that failed, and what it was.
    platform::Error Error() const { return error_; }
    const std::string& Failure() const { return failure_; }
    // The bytes read through the source so far (0 for bytes in memory).
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    struct Section {
        std::uint32_t virtualAddress = 0;
        std::uint32_t rawSize = 0;
        std::uint32_t rawOffset = 0;
    };

    bool Fetch(std::uint64_t offset, std::size_t size, bytes::Span& span);
    bool ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out);
    // Holds the pages `first` to `last`, reading each run of missing ones at once.
    bool LoadPages(std::uint64_t first, std::uint64_t last);
    bool RvaToOffset(std::uint32_t rva, std::uint64_t& offset) const;
    bool U16(std::uint64_t offset, std::uint16_t& value);
    bool U32(std::uint64_t offset, std::uint32_t& value);
    bool ReadOptionalHeader(std::uint64_t optional, std::uint16_t optionalSize, std::string& problem);
    bool ReadSections(std::uint64_t table, std::uint16_t count, std::string& problem);

    const std::uint8_t* memory_ = nullptr;
    ByteSource* source_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t root_ = 0;
    std::uint32_t resourceRva_ = 0;
    bool hasResourceEntry_ = false;
    std::vector<Section> sections_;

    // Fetches through the source go by aligned pages, each read once; the
    // largest ones are read as they are into `scratch_`, as are fetches
    // across pages put together.
    std::map<std::uint64_t, std::vector<std::uint8_t>> pages_;
    std::vector<std::uint8_t> scratch_;
    std::uint64_t bytesRead_ = 0;
    platform::Error error_ = platform::error::kSuccess;
    std::string failure_;
};

}  // namespace quorvin::messages
