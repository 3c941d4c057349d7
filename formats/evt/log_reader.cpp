// Reads event log files, also files the service did not close and files
// with damaged records.
//
// Every offset into the buffer is checked against the file before use; every
// walk over the buffer moves forward by at least 4 bytes a step and never
// further than one lap, so damaged lengths cannot make it loop.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "formats/evt/bytes.h"
#include "formats/evt/evt.h"
#include "formats/evt/ring.h"

namespace quorvin::evt {

namespace {

using bytes::LoadU32;

constexpr std::uint32_t kEofMarkers[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
    return text;
}

// Where an EOF record is and where it says the oldest record is. Its record
// numbers are not needed: the records carry their own.
struct EofRecord {
    std::uint32_t at = 0;
    std::uint32_t begin = 0;
};

// The bytes of a file image in memory.
class MemoryBytes final : public FileBytes {
public:
    MemoryBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    void Read(std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const override {
        if (offset > size_ || n > size_ - offset) {
            std::memset(out, 0, n);
            return;
        }
        if (n > 0) std::memcpy(out, data_ + offset, n);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Where the walk puts the records it finds: decoded with their bytes, or
// only where they are.
struct Found {
    std::vector<LogRecord>* records = nullptr;
    std::vector<RecordSpan>* spans = nullptr;
};

class Reader {
public:
    Reader(const FileBytes& file, std::uint32_t size, ParsedLog& out, Found found)
        : file_(file), ring_(size), out_(out), found_(found) {}

    // A record offset: inside the buffer and on a 4-byte boundary.
    bool Valid(std::uint32_t offset) const { return ring_.Holds(offset) && offset % 4 == 0; }

    // The end of the buffer is where 0x30 is: a record that ends there is
    // followed at 0x30, and some writers store that place as the end offset.
    std::uint32_t Normal(std::uint32_t offset) const { return offset == ring_.End() ? kHeaderSize : offset; }

    // The length of the sound record frame at `at` (valid) no longer than
    // `limit`, or 0 and what is wrong with it in `why`.
    std::uint32_t FrameAt(std::uint32_t at, std::uint32_t limit, std::string* why) const {
        std::uint8_t head[8];
        ReadRing(at, 8, head);
        const std::uint32_t length = LoadU32(head);
        auto fail = [&](const std::string& what) {
            if (why) *why = "record at " + Hex(at) + ": " + what;
            return 0u;
        };
        if (LoadU32(head + 4) != kSignature) return fail("no \"LfLe\" signature at offset 4");
        if (length < kShortestRecord) return fail("length " + Hex(length) + " is shorter than a record");
        if (length % 4 != 0) return fail("length " + Hex(length) + " is not a multiple of 4");
        if (length > limit) return fail("length " + Hex(length) + " runs past " + Hex(limit) + " bytes of records");
        std::uint8_t tail[4];
        ReadRing(ring_.Advance(at, length - 4), 4, tail);
        if (LoadU32(tail) != length)
            return fail("length at its end is " + Hex(LoadU32(tail)) + ", at its start " + Hex(length));
        return length;
    }

    // The EOF record at `at` (valid), if a sound one is there.
    bool EofAt(std::uint32_t at, EofRecord& eof) const {
        std::uint8_t size[4];
        file_.Read(at, 4, size);
        if (LoadU32(size) != kEofRecordSize) return false;
        std::uint8_t bytes[kEofRecordSize];
        ReadRing(at, kEofRecordSize, bytes);
        for (std::size_t i = 0; i < 4; ++i)
            if (LoadU32(bytes + 4 + 4 * i) != kEofMarkers[i]) return false;
        if (LoadU32(bytes + 36) != kEofRecordSize || Normal(LoadU32(bytes + 24)) != at) return false;
        eof.at = at;
        eof.begin = Normal(LoadU32(bytes + 20));
        return Valid(eof.begin);
    }

    // The first sound EOF record from `from` (valid) on, one lap round.
    bool FindEof(std::uint32_t from, EofRecord& eof) const {
        std::uint32_t at = from;
        for (std::uint32_t step = 0; step < ring_.Length() / 4; ++step) {
            if (EofAt(at, eof)) return true;
            at = ring_.Advance(at, 4);
        }
        return false;
    }

    // Reads the records from `start` up to the EOF record at `end` (both
    // valid). A broken frame is skipped up to the next sound one.
    void Walk(std::uint32_t start, std::uint32_t end) {
        std::uint32_t remaining = start == end ? 0 : ring_.Distance(start, end);
        std::uint32_t at = start;
        while (remaining > 0) {
            std::string why;
            if (const std::uint32_t length = FrameAt(at, remaining, &why)) {
                Take(at, length);
                at = ring_.Advance(at, length);
                remaining -= length;
                continue;
            }
            // The bytes before the end of the buffer that cannot hold a
            // record's fixed part are padding; the next record is at 0x30.
            const std::uint32_t room = ring_.End() - at;
            if (room < kFixedRecordSize && room <= remaining) {
                at = kHeaderSize;
                remaining -= room;
                continue;
            }
            out_.notes.push_back("damaged " + why);
            const std::uint32_t from = at;
            std::uint32_t skipped = 0;
            bool found = false;
            while (!found && skipped < remaining) {
                at = ring_.Advance(at, 4);
                skipped += 4;
                found = skipped < remaining && FrameAt(at, remaining - skipped, nullptr) != 0;
            }
            remaining -= skipped;
            out_.notes.push_back(found ? "skipped " + Hex(skipped) + " bytes from " + Hex(from) + " to the record at " +
                                             Hex(at)
                                       : "no sound record after " + Hex(from) + " up to " + Hex(end));
        }
    }

    // Every sound record frame in the buffer, in record number order: for
    // a file with neither a trustworthy header nor an EOF record.
    void ScanAll() {
        struct Frame {
            std::uint32_t at, length, number;
        };
        std::vector<Frame> frames;
        std::uint32_t at = kHeaderSize;
        while (at < ring_.End()) {
            const std::uint32_t length = FrameAt(at, ring_.Length(), nullptr);
            if (length == 0) {
                at += 4;
                continue;
            }
            std::uint8_t number[4];
            ReadRing(ring_.Advance(at, 8), 4, number);
            if (ring_.Splits(at, length)) {
                // Split across the end: its rest at 0x30 must not be where records were found.
                const std::uint32_t rest = ring_.Advance(at, length);
                if (frames.empty() || rest <= frames.front().at) frames.push_back({at, length, LoadU32(number)});
                break;
            }
            frames.push_back({at, length, LoadU32(number)});
            at += length;
        }
        std::stable_sort(frames.begin(), frames.end(),
                         [](const Frame& a, const Frame& b) { return a.number < b.number; });
        for (const Frame& f : frames) Take(f.at, f.length);
    }

    // Copies `n` bytes at `offset` (held; n <= Length()), going on at 0x30
    // past the end; zeros when the bytes are not there.
    void ReadRing(std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const {
        if (!ring_.Holds(offset) || n > ring_.Length()) {
            std::memset(out, 0, n);
            return;
        }
        const std::uint32_t first = std::min(n, ring_.End() - offset);
        file_.Read(offset, first, out);
        file_.Read(kHeaderSize, n - first, out + first);
    }

private:
    void Take(std::uint32_t at, std::uint32_t length) {
        LogRecord record;
        record.offset = at;
        record.raw.resize(length);
        ReadRing(at, length, record.raw.data());
        std::optional<Event> event = ParseWideRecord(record.raw.data(), record.raw.size());
        if (!event) return;  // FrameAt checked the frame, which is all ParseWideRecord refuses
        if (found_.spans) {
            found_.spans->push_back({at, length});
            return;
        }
        record.event = std::move(*event);
        found_.records->push_back(std::move(record));
    }

    const FileBytes& file_;
    Ring ring_;
    ParsedLog& out_;
    Found found_;
};

ParsedLog Fail(ParsedLog out, const std::string& message) {
    out.error = platform::error::kEventLogFileCorrupt;
    out.message = message;
    out.records.clear();
    return out;
}

}  // namespace

namespace {

// ParseLogFile and IndexLogFile: the records go to `out.records`, or only
// where they are to `spans` when it is given.
ParsedLog ReadLogFile(const FileBytes& file, std::uint64_t size, std::vector<RecordSpan>* spans) {
    ParsedLog out;
    std::uint8_t header[kHeaderSize] = {};
    file.Read(0, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kHeaderSize)), header);
    auto field = [&](std::size_t offset) { return bytes::U32At(header, sizeof header, offset); };
    if (size < kHeaderSize)
        return Fail(std::move(out), "the file is " + std::to_string(size) + " bytes long, shorter than the " +
                                        std::to_string(kHeaderSize) + "-byte header");
    if (field(0) != kHeaderSize)
        return Fail(std::move(out), "header size at offset 0x0 is " + Hex(field(0)) + ", not 0x30");
    if (field(44) != kHeaderSize)
        return Fail(std::move(out), "header end size at offset 0x2C is " + Hex(field(44)) + ", not 0x30");
    if (field(4) != kSignature)
        return Fail(std::move(out), "header signature at offset 0x4 is " + Hex(field(4)) + ", not \"LfLe\"");
    if (size > 0xFFFFFFFFu) return Fail(std::move(out), "the file is " + Hex(size) + " bytes long, over 4 GiB");

    const std::uint32_t startOffset = field(16);
    const std::uint32_t endOffset = field(20);
    out.maxSize = field(32);
    out.flags = field(36);
    out.retention = field(40);
    if (field(8) != 1 || field(12) != 1)
        out.notes.push_back("header version " + std::to_string(field(8)) + "." +
                            std::to_string(field(12)) + ", not 1.1");

    // A file whose length is no multiple of 4 was cut: its last bytes cannot hold a whole field.
    const auto end = static_cast<std::uint32_t>(size & ~std::uint64_t{3});
    if (end - kHeaderSize < kEofRecordSize)
        return Fail(std::move(out), "the file ends at " + Hex(size) + ", leaving no room for any record");

    Found found;
    found.records = &out.records;
    found.spans = spans;
    Reader reader(file, end, out, found);
    const bool dirty = (out.flags & flag::kDirty) != 0;
    const bool headerOffsets = reader.Valid(startOffset) && reader.Valid(endOffset);
    EofRecord eof;
    const bool haveEof = reader.FindEof(reader.Valid(endOffset) ? endOffset : kHeaderSize, eof);

    // An end offset at the end of the file is taken for 0x30 only when the
    // EOF record confirms it; else the file more likely was cut short there.
    if (!dirty && haveEof && eof.at == reader.Normal(endOffset) && eof.begin == reader.Normal(startOffset)) {
        reader.Walk(eof.begin, eof.at);
    } else if (haveEof) {
        out.notes.push_back(dirty ? "the header is marked dirty; read from the EOF record at " + Hex(eof.at)
                                  : "the header's offsets " + Hex(startOffset) + " and " + Hex(endOffset) +
                                        " disagree with the EOF record at " + Hex(eof.at) + "; read from it");
        reader.Walk(eof.begin, eof.at);
    } else if (!dirty && headerOffsets) {
        out.notes.push_back("no EOF record found; read from the header's offsets " + Hex(startOffset) + " to " +
                            Hex(endOffset));
        reader.Walk(startOffset, endOffset);
    } else {
        out.notes.push_back(std::string(dirty ? "the header is marked dirty" : "the header's offsets are outside the file") +
                            " and no EOF record was found; scanned the file for records");
        reader.ScanAll();
        if (out.records.empty() && (!spans || spans->empty()))
            return Fail(std::move(out), "no EOF record and no event record found in " + Hex(size) + " bytes");
    }
    return out;
}

}  // namespace

ParsedLog ParseLogFile(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) size = 0;
    return ReadLogFile(MemoryBytes(data, size), size, nullptr);
}

ParsedLog IndexLogFile(const FileBytes& file, std::uint64_t size, std::vector<RecordSpan>& spans) {
    spans.clear();
    ParsedLog out = ReadLogFile(file, size, &spans);
    if (out.error != platform::error::kSuccess) spans.clear();
    return out;
}

std::vector<std::uint8_t> ReadRecordBytes(const FileBytes& file, std::uint64_t size, RecordSpan span) {
    std::vector<std::uint8_t> raw(span.length);
    ParsedLog unused;
    Reader(file, static_cast<std::uint32_t>(size & ~std::uint64_t{3}), unused, Found{})
        .ReadRing(span.offset, span.length, raw.data());
    return raw;
}

}  // namespace quorvin::evt
