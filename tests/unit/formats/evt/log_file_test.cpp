#include <gtest/gtest.h>

#include <random>

#include "support/evt_test_util.h"
#include "formats/evt/evt.h"

namespace quorvin::evt {
namespace {

using namespace testing;

// The log after writing `events`: the newest `kept` of them, numbered as the writer numbers them.
void ExpectNewest(const ParsedLog& log, const std::vector<Event>& events, std::size_t kept) {
    ASSERT_EQ(log.error, 0u) << log.message;
    ASSERT_EQ(log.records.size(), kept);
    const std::size_t first = events.size() - kept;
    for (std::size_t i = 0; i < kept; ++i) {
        const Event expected = Numbered(events[first + i], static_cast<std::uint32_t>(first + i + 1));
        EXPECT_EQ(log.records[i].event, expected) << i;
        EXPECT_EQ(log.records[i].raw, ToWideRecord(expected)) << i;
    }
}

bool HasNote(const ParsedLog& log, const std::string& part) {
    for (const std::string& note : log.notes)
        if (note.find(part) != std::string::npos) return true;
    return false;
}

TEST(EvtLogFile, EmptyLog) {
    const auto file = WriteLogFile({});
    ASSERT_EQ(file.size(), 0x10000u);
    EXPECT_EQ(U32(file, kStartOffset), 0x30u);
    EXPECT_EQ(U32(file, kEndOffset), 0x30u);
    EXPECT_EQ(U32(file, kCurrentRecord), 1u);
    EXPECT_EQ(U32(file, kOldestRecord), 0u);
    EXPECT_EQ(U32(file, 0x30), 0x28u);  // the EOF record
    EXPECT_EQ(U32(file, 0x30 + 0x14), 0x30u);
    const ParsedLog log = Parse(file);
    EXPECT_EQ(log.error, 0u);
    EXPECT_TRUE(log.records.empty());
    EXPECT_TRUE(log.notes.empty());
}

TEST(EvtLogFile, PlainLogRoundTrips) {
    const auto events = MakeEvents(60);
    const auto file = WriteLogFile(events);
    ASSERT_EQ(file.size(), 0x10000u);
    EXPECT_EQ(U32(file, kFlags), 0u);
    EXPECT_EQ(U32(file, kCurrentRecord), 61u);
    EXPECT_EQ(U32(file, kOldestRecord), 1u);
    const ParsedLog log = Parse(file);
    ExpectNewest(log, events, 60);
    EXPECT_TRUE(log.notes.empty());
    EXPECT_EQ(log.records.front().offset, 0x30u);
    // Records lie back to back, the EOF record right after the last.
    for (std::size_t i = 1; i < log.records.size(); ++i)
        EXPECT_EQ(log.records[i].offset, log.records[i - 1].offset + log.records[i - 1].raw.size());
    EXPECT_EQ(U32(file, kEndOffset), log.records.back().offset + log.records.back().raw.size());
}

TEST(EvtLogFile, FileGrowsInSteps) {
    const auto events = MakeEvents(700);  // about 100 KiB of records
    auto file = WriteLogFile(events);
    EXPECT_EQ(file.size(), 0x20000u);
    EXPECT_EQ(U32(file, kMaxSize), 0x20000u);
    ExpectNewest(Parse(file), events, 700);

    // With a larger maximum the file holds what is written, in 64 KiB steps.
    WriteOptions options;
    options.maxSize = 0x80000;
    file = WriteLogFile(events, options);
    EXPECT_EQ(file.size(), 0x20000u);
    EXPECT_EQ(U32(file, kMaxSize), 0x80000u);
    ExpectNewest(Parse(file), events, 700);
}

TEST(EvtLogFile, RecordNumbersFollowThePreviousRecord) {
    std::vector<Event> events = MakeEvents(5);
    events[0].recordNumber = 5;
    events[3].recordNumber = 10;
    const ParsedLog log = Parse(WriteLogFile(events));
    EXPECT_EQ(Numbers(log), (std::vector<std::uint32_t>{5, 6, 7, 10, 11}));
}

TEST(EvtLogFile, EventTooLargeForTheBufferIsRefused) {
    std::vector<Event> events = MakeEvents(4);
    events[1].data.assign(0x400, 1);
    WriteOptions options;
    options.maxSize = 0x400;
    const ParsedLog log = Parse(WriteLogFile(events, options));
    ASSERT_EQ(log.records.size(), 3u);
    EXPECT_EQ(Numbers(log), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(log.records[1].event.eventId, events[2].eventId);
}

// Writes `count` events into buffers of many sizes: records wrap, split across
// the end of the buffer, and leave padding where a fixed part cannot fit.
TEST(EvtLogFile, WrappedLogsRoundTripForEveryBufferSize) {
    const auto events = MakeEvents(40);
    int splits = 0, paddings = 0, splitEofs = 0;
    for (std::uint32_t size = 0x200; size <= 0x700; size += 4) {
        WriteOptions options;
        options.maxSize = size;
        const auto file = WriteLogFile(events, options);
        ASSERT_EQ(file.size(), size);
        const ParsedLog log = Parse(file);
        ASSERT_EQ(log.error, 0u) << size;
        EXPECT_TRUE(log.notes.empty()) << size << ": " << log.notes.front();
        ASSERT_FALSE(log.records.empty());
        EXPECT_NE(U32(file, kFlags) & flag::kWrap, 0u);
        ExpectNewest(log, events, log.records.size());
        // Records are given up only as needed: what is kept, the next older
        // record, the EOF record and at most one padding would not fit.
        std::uint32_t used = kEofRecordSize + kFixedRecordSize;
        for (const LogRecord& r : log.records) used += static_cast<std::uint32_t>(r.raw.size());
        const std::size_t older = events.size() - log.records.size() - 1;
        EXPECT_GT(used + ToWideRecord(events[older]).size(), size - kHeaderSize) << size;
        EXPECT_EQ(U32(file, kStartOffset), log.records.front().offset);
        EXPECT_EQ(U32(file, kOldestRecord), log.records.front().event.recordNumber);
        EXPECT_EQ(U32(file, kCurrentRecord), 41u);
        for (std::size_t i = 0; i < log.records.size(); ++i) {
            const LogRecord& r = log.records[i];
            if (r.offset + r.raw.size() > size) ++splits;
            if (i > 0 && r.offset == kHeaderSize) {
                const LogRecord& before = log.records[i - 1];
                const std::size_t stop = before.offset + before.raw.size();
                if (stop < size) {
                    ++paddings;
                    EXPECT_LT(size - stop, kFixedRecordSize);
                    EXPECT_EQ(U32(file, stop), 0x27u);
                }
            }
        }
        if (U32(file, kEndOffset) + kEofRecordSize > size) ++splitEofs;
    }
    EXPECT_GT(splits, 10);
    EXPECT_GT(paddings, 10);
    EXPECT_GT(splitEofs, 10);
}

TEST(EvtLogFile, DirtyFilesAreReadFromTheEofRecord) {
    const auto events = MakeEvents(120);
    for (std::size_t headerEvents : {0, 1, 50, 119, 120}) {
        for (std::uint32_t size : {0u, 0x1000u}) {
            WriteOptions options;
            options.maxSize = size;
            options.dirty = true;
            options.dirtyHeaderEvents = headerEvents;
            const auto file = WriteLogFile(events, options);
            options.dirty = false;
            const ParsedLog clean = Parse(WriteLogFile(events, options));
            EXPECT_EQ(U32(file, kFlags) & flag::kDirty, flag::kDirty);
            EXPECT_EQ(U32(file, kCurrentRecord), headerEvents + 1);  // stale
            const ParsedLog log = Parse(file);
            ExpectNewest(log, events, clean.records.size());
            EXPECT_TRUE(HasNote(log, "dirty"));
        }
    }
}

TEST(EvtLogFile, AnEndOffsetAtTheEndOfTheBufferMeans0x30) {
    // The tenth record ends exactly at the end of the buffer; the EOF record
    // goes to 0x30 and the first record gives way to it.
    const auto events = MakeEvents(10);
    std::uint32_t size = kHeaderSize;
    for (const Event& e : events) size += static_cast<std::uint32_t>(ToWideRecord(e).size());
    WriteOptions options;
    options.maxSize = size;
    auto file = WriteLogFile(events, options);
    ASSERT_EQ(U32(file, kEndOffset), kHeaderSize);
    ExpectNewest(Parse(file), events, 9);

    // Writers that store that place as the end of the buffer.
    SetU32(file, kEndOffset, size);
    SetU32(file, kHeaderSize + 0x18, size);
    const ParsedLog log = Parse(file);
    ExpectNewest(log, events, 9);
    EXPECT_TRUE(log.notes.empty());
}

// ---- Damaged files ----------------------------------------------------------

std::vector<std::uint8_t> PlainFile() { return WriteLogFile(MakeEvents(20)); }

TEST(EvtLogFile, BadHeadersAreErrors) {
    const auto good = PlainFile();
    auto expectError = [](std::vector<std::uint8_t> file, const std::string& what) {
        const ParsedLog log = Parse(file);
        EXPECT_EQ(log.error, platform::error::kEventLogFileCorrupt) << what;
        EXPECT_NE(log.message.find(what), std::string::npos) << log.message;
        EXPECT_TRUE(log.records.empty());
    };
    expectError({}, "0 bytes");
    expectError(std::vector<std::uint8_t>(good.begin(), good.begin() + 0x2F), "47 bytes");
    auto file = good;
    file[5] = 'X';
    expectError(file, "signature at offset 0x4");
    file = good;
    SetU32(file, 0, 0x31);
    expectError(file, "offset 0x0");
    file = good;
    SetU32(file, 44, 0);
    expectError(file, "offset 0x2C");
    expectError(std::vector<std::uint8_t>(good.begin(), good.begin() + 0x50), "no room");
    EXPECT_EQ(ParseLogFile(nullptr, 1000).error, platform::error::kEventLogFileCorrupt);
}

TEST(EvtLogFile, TruncatedFilesYieldTheirWholeRecords) {
    const auto good = PlainFile();
    const ParsedLog all = Parse(good);
    for (std::size_t cut = 0x58; cut < U32(good, kEndOffset) + kEofRecordSize + 8; cut += 3) {
        const ParsedLog log = Parse(std::vector<std::uint8_t>(good.begin(), good.begin() + cut));
        std::size_t whole = 0;
        while (whole < all.records.size() && all.records[whole].offset + all.records[whole].raw.size() <= (cut & ~std::size_t{3}))
            ++whole;
        if (whole == 0) {
            EXPECT_EQ(log.error, platform::error::kEventLogFileCorrupt) << cut;
            continue;
        }
        EXPECT_EQ(log.error, 0u) << cut;
        EXPECT_EQ(Numbers(log), Range(1, static_cast<std::uint32_t>(whole))) << cut;
    }
}

// Breaks record `index` of `file` in the way `damage` says and reads it.
ParsedLog Damaged(std::vector<std::uint8_t> file, std::size_t index, void (*damage)(std::vector<std::uint8_t>&, std::size_t)) {
    const ParsedLog before = Parse(file);
    damage(file, before.records.at(index).offset);
    return Parse(file);
}

TEST(EvtLogFile, DamagedRecordsAreSkipped) {
    void (*damages[])(std::vector<std::uint8_t>&, std::size_t) = {
        [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, 0); },
        [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, U32(f, at) + 2); },
        [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, 0xFFFFFFF0); },
        [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, 0x1000); },      // inside the file
        [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, U32(f, at) + 4); },  // trailing length differs
        [](std::vector<std::uint8_t>& f, std::size_t at) { f[at + 4] = 'l'; },
    };
    std::vector<std::uint32_t> expected = Range(1, 20);
    expected.erase(expected.begin() + 6);
    for (auto damage : damages) {
        const ParsedLog log = Damaged(PlainFile(), 6, damage);
        EXPECT_EQ(log.error, 0u);
        EXPECT_EQ(Numbers(log), expected);
        EXPECT_TRUE(HasNote(log, "damaged record at"));
    }
    // The first and the last record.
    EXPECT_EQ(Numbers(Damaged(PlainFile(), 0, damages[0])), Range(2, 20));
    EXPECT_EQ(Numbers(Damaged(PlainFile(), 19, damages[0])), Range(1, 19));
}

TEST(EvtLogFile, DamagedRecordInAWrappedLogIsSkipped) {
    WriteOptions options;
    options.maxSize = 0x600;
    const auto events = MakeEvents(40);
    const auto file = WriteLogFile(events, options);
    const ParsedLog all = Parse(file);
    for (std::size_t i = 0; i < all.records.size(); ++i) {
        const ParsedLog log = Damaged(file, i, [](std::vector<std::uint8_t>& f, std::size_t at) { SetU32(f, at, 0); });
        std::vector<std::uint32_t> expected = Numbers(all);
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(i));
        EXPECT_EQ(Numbers(log), expected) << i;
    }
}

TEST(EvtLogFile, HeaderOffsetsOutsideTheFileAreNotFollowed) {
    auto file = PlainFile();
    SetU32(file, kStartOffset, 0x7FFFFFF0);
    SetU32(file, kEndOffset, 0xFFFFFFFC);
    ParsedLog log = Parse(file);
    EXPECT_EQ(Numbers(log), Range(1, 20));
    EXPECT_TRUE(HasNote(log, "disagree"));

    // The header's end offset inside a record: the EOF record is still found.
    file = PlainFile();
    SetU32(file, kEndOffset, Parse(file).records[3].offset + 8);
    log = Parse(file);
    EXPECT_EQ(Numbers(log), Range(1, 20));
}

TEST(EvtLogFile, WithoutEofRecord) {
    // Clean: the header's offsets are followed.
    auto file = PlainFile();
    const std::uint32_t eof = U32(file, kEndOffset);
    SetU32(file, eof + 4, 0);
    ParsedLog log = Parse(file);
    EXPECT_EQ(Numbers(log), Range(1, 20));
    EXPECT_TRUE(HasNote(log, "no EOF record"));

    // Dirty: every record frame is taken, in record number order, also from a wrapped log.
    for (std::uint32_t size : {0u, 0x600u, 0x604u, 0x700u}) {
        WriteOptions options;
        options.maxSize = size;
        options.dirty = true;
        file = WriteLogFile(MakeEvents(40), options);
        const ParsedLog all = Parse(file);
        const std::uint32_t at = all.records.back().offset + static_cast<std::uint32_t>(all.records.back().raw.size());
        const std::uint32_t eofAt = at >= file.size() ? at - static_cast<std::uint32_t>(file.size()) + 0x30 : at;
        SetU32(file, eofAt + 4 < file.size() ? eofAt + 4 : 0x30, 0);  // its first marker
        log = Parse(file);
        EXPECT_TRUE(HasNote(log, "scanned")) << size;
        // Records wholly overwritten by newer ones are gone; a stale whole record
        // left in the free space may be found as well, in its number order.
        std::vector<std::uint32_t> found = Numbers(log);
        ASSERT_GE(found.size(), all.records.size()) << size;
        EXPECT_EQ(std::vector<std::uint32_t>(found.end() - static_cast<std::ptrdiff_t>(all.records.size()), found.end()),
                  Numbers(all))
            << size;
        EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
    }

    // Neither an EOF record nor any record.
    file = WriteLogFile({});
    SetU32(file, 0x34, 0);
    SetU32(file, kFlags, flag::kDirty);
    EXPECT_EQ(Parse(file).error, platform::error::kEventLogFileCorrupt);
}

TEST(EvtLogFile, ChainsCannotLoop) {
    // A record whose length is the whole buffer would lead the walk back to itself.
    WriteOptions options;
    options.maxSize = 0x600;
    auto file = WriteLogFile(MakeEvents(40), options);
    const ParsedLog all = Parse(file);
    const std::uint32_t at = all.records[2].offset;
    SetU32(file, at, 0x600 - 0x30);
    SetU32(file, at - 4 < 0x30 ? 0x600 - 4 : at - 4, 0x600 - 0x30);  // its "trailing length" one lap on
    const ParsedLog log = Parse(file);
    EXPECT_EQ(log.error, 0u);
    EXPECT_LT(log.records.size(), all.records.size());
    EXPECT_GT(log.records.size(), all.records.size() - 3);
}

TEST(EvtLogFile, OddFileLengthsAreRead) {
    auto file = PlainFile();
    file.push_back(0x4C);
    file.push_back(0x66);
    file.push_back(0x4C);
    EXPECT_EQ(Numbers(Parse(file)), Range(1, 20));
}

// Random damage anywhere in a small wrapped file: whatever comes back is a
// list of sound records.
TEST(EvtLogFile, RandomDamageNeverBreaksTheReader) {
    WriteOptions options;
    options.maxSize = 0x400;
    const auto good = WriteLogFile(MakeEvents(30), options);
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        auto file = good;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % file.size();
            switch (random() % 4) {
                case 0: file[at] = static_cast<std::uint8_t>(random()); break;
                case 1: SetU32(file, at & ~std::size_t{3}, static_cast<std::uint32_t>(random() % 0x500)); break;
                case 2: SetU32(file, at & ~std::size_t{3}, 0x28); break;
                default: file.resize(std::max<std::size_t>(at, 0x30)); break;
            }
        }
        const ParsedLog log = Parse(file);
        if (log.error != 0) {
            EXPECT_FALSE(log.message.empty());
            continue;
        }
        for (const LogRecord& r : log.records) {
            ASSERT_GE(r.raw.size(), kShortestRecord);
            ASSERT_EQ(U32(r.raw, 0), r.raw.size());
            ASSERT_TRUE(ParseWideRecord(r.raw.data(), r.raw.size()));
        }
    }
}

}  // namespace
}  // namespace quorvin::evt
