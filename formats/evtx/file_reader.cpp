// Reads .evtx file images: the file header, the chunks it counts (or, for
// a log left dirty, every chunk written), the records of each chunk.
//
// A chunk is checked whole before its first record is read: signature,
// header checksum, records checksum. A damaged chunk is skipped and the
// next one read; a broken record frame ends its chunk, and the records
// before it stay read.

#include <algorithm>
#include <cstring>

#include "formats/evtx/binxml.h"
#include "formats/evtx/bytes.h"
#include "formats/evtx/evtx.h"

namespace quorvin::evtx {

namespace {

using bytes::Fits;
using bytes::LoadU16;
using bytes::LoadU32;

constexpr char kFileSignature[8] = {'E', 'l', 'f', 'F', 'i', 'l', 'e', 0};
constexpr char kChunkSignature[8] = {'E', 'l', 'f', 'C', 'h', 'n', 'k', 0};

// File header fields.
constexpr std::size_t kChunkCount = 42, kNextRecordId = 24, kMinorVersion = 36, kMajorVersion = 38,
                      kBlockSize = 40, kFileFlags = 120, kFileChecksum = 124;
// Chunk header fields.
constexpr std::size_t kFreeSpace = 48, kRecordsChecksum = 52, kChunkChecksum = 124;

std::string ChunkName(std::size_t index, std::uint64_t at) {
    return "chunk " + std::to_string(index) + " at " + Hex(at);
}

}  // namespace

// The records of one chunk, checked and walked in order.
class ChunkReader {
public:
    // The chunk's problem, empty when it can be read.
    std::string Open(const std::uint8_t* chunk, std::uint64_t at);
    // The next record of the chunk; false at its end or at a broken frame.
    bool Next(Record& record, std::vector<Problem>& problems);

private:
    const std::uint8_t* chunk_ = nullptr;
    std::uint64_t at_ = 0;  // where the chunk is in the file
    std::uint32_t pos_ = 0;
    std::uint32_t end_ = 0;
    BinXml binxml_;
    std::string error_;
};

std::string ChunkReader::Open(const std::uint8_t* chunk, std::uint64_t at) {
    if (std::memcmp(chunk, kChunkSignature, sizeof kChunkSignature) != 0) return "no \"ElfChnk\" signature";
    const std::uint32_t stored = LoadU32(chunk + kChunkChecksum);
    const std::uint32_t computed = Crc32(chunk + 128, kChunkHeaderSize - 128, Crc32(chunk, 120));
    if (stored != computed) return "header checksum " + Hex(stored) + ", computed " + Hex(computed);
    const std::uint32_t free = LoadU32(chunk + kFreeSpace);
    if (free < kChunkHeaderSize || free > kChunkSize) return "free space offset " + Hex(free) + " outside the chunk";
    const std::uint32_t records = LoadU32(chunk + kRecordsChecksum);
    const std::uint32_t recordsComputed = Crc32(chunk + kChunkHeaderSize, free - kChunkHeaderSize);
    if (records != recordsComputed) return "records checksum " + Hex(records) + ", computed " + Hex(recordsComputed);
    chunk_ = chunk;
    at_ = at;
    pos_ = static_cast<std::uint32_t>(kChunkHeaderSize);
    end_ = free;
    binxml_.Reset(chunk);
    return {};
}

bool ChunkReader::Next(Record& record, std::vector<Problem>& problems) {
    if (pos_ >= end_) return false;
    const std::uint32_t at = pos_;
    auto fail = [&](const std::string& what) {
        problems.push_back({at_ + at, "record at " + Hex(at_ + at) + ": " + what + "; the rest of the chunk is left"});
        pos_ = end_;
        return false;
    };
    if (!Fits(at, kRecordHeaderSize + 4, end_)) return fail("too short for a record");
    if (LoadU32(chunk_ + at) != kRecordSignature) return fail("no record signature");
    const std::uint32_t size = LoadU32(chunk_ + at + 4);
    if (size < kRecordHeaderSize + 4 || !Fits(at, size, end_)) return fail("size " + Hex(size) + " runs past the records");
    const std::uint32_t copy = LoadU32(chunk_ + at + size - 4);
    if (copy != size) return fail("size " + Hex(size) + ", its copy at the end " + Hex(copy));
    pos_ = at + size;

    record.id = LoadU64(chunk_ + at + 8);
    record.written = LoadU64(chunk_ + at + 16);
    record.offset = at_ + at;
    RecordSink sink(record);
    error_.clear();
    if (!binxml_.Walk(at + static_cast<std::uint32_t>(kRecordHeaderSize), at + size - 4, sink, error_))
        problems.push_back({at_ + at, "record " + std::to_string(record.id) + " at " + Hex(at_ + at) + ": " + error_ +
                                          "; it has what was read before"});
    if (sink.Cut())
        problems.push_back({at_ + at, "record " + std::to_string(record.id) + " at " + Hex(at_ + at) +
                                          ": its texts are too long; the rest is left out"});
    return true;
}

FileReader::FileReader(const std::uint8_t* data, std::size_t size)
    : data_(data), size_(data == nullptr ? 0 : size), chunk_(std::make_unique<ChunkReader>()) {
    if (!Fits(0, kFileHeaderSize, size_) || std::memcmp(data_, kFileSignature, sizeof kFileSignature) != 0) {
        problems_.push_back({0, "no \"ElfFile\" signature at offset 0x0: not an event log file"});
        return;
    }
    valid_ = true;
    info_.majorVersion = LoadU16(data_ + kMajorVersion);
    info_.minorVersion = LoadU16(data_ + kMinorVersion);
    info_.flags = LoadU32(data_ + kFileFlags);
    info_.chunkCount = LoadU16(data_ + kChunkCount);
    info_.nextRecordId = LoadU64(data_ + kNextRecordId);
    const std::uint32_t stored = LoadU32(data_ + kFileChecksum);
    const std::uint32_t computed = Crc32(data_, 120);
    if (stored != computed)
        problems_.push_back({kFileChecksum, "file header checksum " + Hex(stored) + ", computed " + Hex(computed)});
    if (info_.majorVersion != 3 || (info_.minorVersion != 1 && info_.minorVersion != 2))
        problems_.push_back({kMinorVersion, "version " + std::to_string(info_.majorVersion) + "." +
                                                std::to_string(info_.minorVersion) + ", read as 3.1"});
    if (LoadU16(data_ + kBlockSize) != kHeaderBlockSize)
        problems_.push_back({kBlockSize, "header block size " + Hex(LoadU16(data_ + kBlockSize)) + ", read as 0x1000"});

    const std::size_t held = size_ < kHeaderBlockSize ? 0 : (size_ - kHeaderBlockSize) / kChunkSize;
    const bool dirty = (info_.flags & flag::kDirty) != 0;
    chunks_ = dirty ? held : std::min<std::size_t>(held, info_.chunkCount);
    if (!dirty && held < info_.chunkCount)
        problems_.push_back({kChunkCount, "the header counts " + std::to_string(info_.chunkCount) +
                                              " chunks, the file holds " + std::to_string(held)});
    if (dirty && held > info_.chunkCount)
        problems_.push_back({kFileFlags, "the log was not closed: its header counts " + std::to_string(info_.chunkCount) +
                                             " chunks; read on up to the last chunk written"});
}

FileReader::~FileReader() = default;

bool FileReader::OpenChunk(std::size_t index) {
    const std::uint64_t at = kHeaderBlockSize + static_cast<std::uint64_t>(index) * kChunkSize;
    const std::uint8_t* chunk = data_ + at;
    // Past the header's count, a dirty log's chunks end at the first one never written.
    if (index >= info_.chunkCount && std::memcmp(chunk, kChunkSignature, sizeof kChunkSignature) != 0) {
        chunks_ = index;
        return false;
    }
    const std::string problem = chunk_->Open(chunk, at);
    if (problem.empty()) return true;
    problems_.push_back({at, ChunkName(index, at) + ": " + problem + "; skipped"});
    return false;
}

bool FileReader::Next(Record& record) {
    for (;;) {
        if (inChunk_ && chunk_->Next(record, problems_)) return true;
        inChunk_ = false;
        if (nextChunk_ >= chunks_) return false;
        inChunk_ = OpenChunk(nextChunk_++);
    }
}

}  // namespace quorvin::evtx
