// Damaged files are read as far as they can be: a log left dirty up to its
// last chunk written, a chunk with a bad checksum skipped, a record whose
// size disagrees with its copy ending its chunk; each with a problem that
// says where.

#include <gtest/gtest.h>

#include <algorithm>

#include "sample_log.h"

namespace quorvin::evtx {
namespace {

using namespace test;

struct Read {
    std::vector<std::uint64_t> ids;
    std::vector<std::uint64_t> offsets;
    std::vector<std::string> problems;
};

Read ReadAll(const std::vector<std::uint8_t>& file) {
    FileReader reader(file.data(), file.size());
    Read out;
    Record r;
    while (reader.Next(r)) {
        out.ids.push_back(r.id);
        out.offsets.push_back(r.offset);
    }
    for (const Problem& p : reader.Problems()) out.problems.push_back(p.what);
    return out;
}

std::size_t ChunkOf(std::uint64_t offset) { return static_cast<std::size_t>((offset - kHeaderBlockSize) / kChunkSize); }

bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
    return std::any_of(problems.begin(), problems.end(), [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

TEST(EvtxDamage, ReadAsFarAsItCanBe) {
    WriteOptions dirty;
    dirty.flags = flag::kDirty;
    dirty.headerChunks = 1;  // the header was last written with one chunk
    std::vector<std::uint8_t> file = WriteFile(SampleTemplates(), SampleRecords(1, 500), dirty);
    ASSERT_EQ((file.size() - kHeaderBlockSize) / kChunkSize, 4u);

    const Read whole = ReadAll(file);
    ASSERT_EQ(whole.ids.size(), 500u);
    EXPECT_TRUE(Mentions(whole.problems, "not closed")) << whole.problems.size();
    std::vector<std::size_t> perChunk(4);
    for (std::uint64_t offset : whole.offsets) ++perChunk[ChunkOf(offset)];

    // Chunk 1: a byte of its records changed, so its records checksum fails.
    file[kHeaderBlockSize + kChunkSize + kChunkHeaderSize + 100] ^= 0x55;
    // Chunk 2: the fifth record's copy of its size is wrong, the chunk resealed.
    const std::size_t chunk2 = perChunk[0] + perChunk[1];
    const std::uint64_t fifth = whole.offsets[chunk2 + 4];
    std::uint8_t* record = file.data() + fifth;
    bytes::StoreU32(record + bytes::LoadU32(record + 4) - 4, 8);
    SealChunk(file.data() + kHeaderBlockSize + 2 * kChunkSize);

    const Read damaged = ReadAll(file);
    std::vector<std::uint64_t> expected(whole.ids.begin(), whole.ids.begin() + perChunk[0]);
    expected.insert(expected.end(), whole.ids.begin() + chunk2, whole.ids.begin() + chunk2 + 4);
    expected.insert(expected.end(), whole.ids.end() - perChunk[3], whole.ids.end());
    EXPECT_EQ(damaged.ids, expected);
    EXPECT_TRUE(Mentions(damaged.problems, "chunk 1 at 0x11000: records checksum")) << damaged.problems[1];
    EXPECT_TRUE(Mentions(damaged.problems, "record at " + Hex(fifth) + ": size ")) << damaged.problems[2];
    EXPECT_EQ(damaged.problems.size(), 3u);

    // Closed, the same file is read up to the header's count; a bad header checksum is only a problem.
    bytes::StoreU32(file.data() + 120, 0);
    bytes::StoreU32(file.data() + 124, 0);
    const Read closed = ReadAll(file);
    EXPECT_EQ(closed.ids, std::vector<std::uint64_t>(whole.ids.begin(), whole.ids.begin() + perChunk[0]));
    EXPECT_TRUE(Mentions(closed.problems, "file header checksum 0x0"));

    // Not an event log file at all.
    file[0] = 'X';
    FileReader none(file.data(), file.size());
    Record r;
    EXPECT_FALSE(none.Valid());
    EXPECT_FALSE(none.Next(r));
    EXPECT_FALSE(FileReader(nullptr, 10).Valid());
}

}  // namespace
}  // namespace quorvin::evtx
