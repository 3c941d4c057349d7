// Writes event log files the way the event log service fills them: one
// record after the other into the circular buffer, the EOF record after the
// newest, the oldest records given up whole when room is needed.

#include <algorithm>
#include <deque>

#include "formats/evt/bytes.h"
#include "formats/evt/evt.h"
#include "formats/evt/ring.h"

namespace quorvin::evt {

namespace {

using bytes::StoreU32;

// The service fills the bytes before the end of the buffer that cannot take
// a record's fixed part with this 32-bit value.
constexpr std::uint32_t kPadding = 0x00000027;
constexpr std::uint32_t kLargestFile = 0xFFFF0000;

struct Placed {
    std::uint32_t number;
    std::uint32_t offset;
};

// The values the header and the EOF record share.
struct State {
    std::uint32_t start = kHeaderSize;
    std::uint32_t end = kHeaderSize;
    std::uint32_t current = 1;  // the number the next record gets
    std::uint32_t oldest = 0;   // 0 while the log is empty
    std::uint32_t flags = 0;
};

std::uint32_t BufferSize(const std::vector<std::vector<std::uint8_t>>& records, const WriteOptions& options) {
    std::uint64_t size = options.maxSize & ~3u;
    if (size == 0) {
        size = kHeaderSize + kEofRecordSize;
        for (const auto& r : records) size += r.size();
        size = std::max<std::uint64_t>(bytes::RoundUp(size, kFileGranularity), kFileGranularity);
    }
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(size, kHeaderSize + kEofRecordSize, kLargestFile));
}

void WriteEof(std::vector<std::uint8_t>& file, const Ring& ring, const State& s) {
    std::uint8_t eof[kEofRecordSize];
    const std::uint32_t fields[] = {kEofRecordSize, 0x11111111, 0x22222222, 0x33333333, 0x44444444,
                                    s.start,        s.end,      s.current,  s.oldest,   kEofRecordSize};
    for (std::size_t i = 0; i < 10; ++i) StoreU32(eof + 4 * i, fields[i]);
    ring.Write(file.data(), s.end, eof, kEofRecordSize);
}

void WriteHeader(std::vector<std::uint8_t>& file, const State& s, std::uint32_t maxSize, std::uint32_t retention) {
    const std::uint32_t fields[] = {kHeaderSize, kSignature, 1,       1,       s.start,   s.end,
                                    s.current,   s.oldest,   maxSize, s.flags, retention, kHeaderSize};
    for (std::size_t i = 0; i < 12; ++i) StoreU32(file.data() + 4 * i, fields[i]);
}

void Pad(std::vector<std::uint8_t>& file, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t at = from; at + 4 <= to; at += 4) StoreU32(file.data() + at, kPadding);
}

}  // namespace

std::vector<std::uint8_t> WriteLogFile(const std::vector<Event>& oldestFirst, const WriteOptions& options) {
    // The records' sizes fix the buffer size; their numbers are set as they are written.
    std::vector<std::vector<std::uint8_t>> records;
    records.reserve(oldestFirst.size());
    for (const Event& e : oldestFirst) records.push_back(ToWideRecord(e));

    const std::uint32_t size = BufferSize(records, options);
    const Ring ring(size);
    std::vector<std::uint8_t> file(size, 0);
    std::deque<Placed> live;  // oldest first
    State s;
    State headerState;  // what the header says when the file is left dirty
    std::uint32_t written = kHeaderSize + kEofRecordSize;  // the file's used length while it has not wrapped
    WriteEof(file, ring, s);

    for (std::size_t i = 0; i < records.size(); ++i) {
        if (options.dirty && i == options.dirtyHeaderEvents) headerState = s;
        auto& record = records[i];
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(record.size(), kLargestFile));
        // The service refuses a record that even an empty buffer cannot hold.
        if (record.size() > ring.Length() || n > ring.Length() - kEofRecordSize) continue;

        // A record's fixed part is never split: when it would not fit before
        // the end of the buffer, the rest of the buffer is padding.
        const std::uint32_t padding = size - s.end < kFixedRecordSize ? size - s.end : 0;
        const std::uint32_t needed = padding + n + kEofRecordSize;
        const bool hadRecords = !live.empty();
        while (!live.empty() && ring.Distance(s.end, live.front().offset) < needed) {
            live.pop_front();
            s.flags |= flag::kWrap;
        }
        std::uint32_t at = s.end;
        if (live.empty() && hadRecords) {
            // Every record had to go: start again just after the header.
            Pad(file, s.end, size);
            at = kHeaderSize;
        } else if (padding != 0) {
            Pad(file, s.end, size);
            at = kHeaderSize;
            s.flags |= flag::kWrap;
        }
        std::uint32_t number = bytes::LoadU32(record.data() + 8);
        if (number == 0) {
            number = s.current;
            StoreU32(record.data() + 8, number);
        }
        if (ring.Splits(at, n)) s.flags |= flag::kWrap;
        ring.Write(file.data(), at, record.data(), n);
        live.push_back({number, at});
        s.end = ring.Advance(at, n);
        s.start = live.front().offset;
        s.oldest = live.front().number;
        s.current = number + 1 == 0 ? 1 : number + 1;
        if (ring.Splits(s.end, kEofRecordSize)) s.flags |= flag::kWrap;
        WriteEof(file, ring, s);
        if (!(s.flags & flag::kWrap)) written = s.end + kEofRecordSize;
    }
    if (options.dirty && options.dirtyHeaderEvents >= records.size()) headerState = s;

    // Unwrapped, the file is as long as its records need, grown in 64 KiB steps.
    if (!(s.flags & flag::kWrap))
        file.resize(static_cast<std::size_t>(std::min<std::uint64_t>(bytes::RoundUp(written, kFileGranularity), size)));

    if (options.dirty) {
        headerState.flags |= flag::kDirty;
        WriteHeader(file, headerState, size, options.retention);
    } else {
        WriteHeader(file, s, size, options.retention);
    }
    return file;
}

}  // namespace quorvin::evt
