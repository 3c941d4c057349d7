// .evtx files from anywhere: the reader on the bytes as they come, then on
// the same bytes grown to whole chunks and with every checksum set, so that
// changes get past the checksums into the records and their binary XML.
// Seeds may end after their last record: the rest of a chunk is zeros.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/evtx/evtx.h"

using namespace quorvin::evtx;

namespace {

bool Within(TextRef t, const Record& r) { return t.begin <= r.text.size() && t.length <= r.text.size() - t.begin; }

void ReadAll(const std::uint8_t* data, std::size_t size) {
    FileReader reader(data, size);
    if (!reader.Valid() && reader.Problems().empty()) std::abort();
    Record r;
    std::size_t records = 0;
    while (reader.Next(r)) {
        // Each record takes at least its header and the copy of its size.
        if (++records > size / (kRecordHeaderSize + 4)) std::abort();
        if (r.offset >= size) std::abort();
        for (const TextRef& t : r.system)
            if (!Within(t, r)) std::abort();
        for (const DataPair& p : r.data)
            if (!Within(p.name, r) || !Within(p.value, r)) std::abort();
        Utf8(r.text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadAll(data, size);
    if (size < kFileHeaderSize) return 0;
    const std::size_t chunks = size <= kHeaderBlockSize ? 0 : (size - kHeaderBlockSize + kChunkSize - 1) / kChunkSize;
    if (chunks > 8) return 0;
    std::vector<std::uint8_t> file(data, data + size);
    file.resize(kHeaderBlockSize + chunks * kChunkSize, 0);
    for (std::size_t i = 0; i < chunks; ++i) SealChunk(file.data() + kHeaderBlockSize + i * kChunkSize);
    SealFileHeader(file.data());
    ReadAll(file.data(), file.size());
    return 0;
}
