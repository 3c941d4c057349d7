#include <gtest/gtest.h>

#include "support/evt_test_util.h"
#include "formats/evt/evt.h"

namespace quorvin::evt {
namespace {

using namespace testing;
namespace error = platform::error;

std::vector<std::vector<std::uint8_t>> AnsiRecords(std::uint32_t count) {
    std::vector<std::vector<std::uint8_t>> records;
    for (std::uint32_t i = 0; i < count; ++i) records.push_back(ToAnsiRecord(Numbered(MakeEvent(i), i + 1)));
    return records;
}

// The record numbers of the records in the first `size` bytes of `buffer`.
std::vector<std::uint32_t> NumbersIn(const std::vector<std::uint8_t>& buffer, std::uint32_t size) {
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t at = 0; at < size;) {
        const auto e = ParseAnsiRecord(buffer.data() + at, size - at);
        if (!e) {
            ADD_FAILURE() << "no record at " << at;
            break;
        }
        numbers.push_back(e->recordNumber);
        at += U32(buffer, at);
    }
    return numbers;
}

TEST(EvtBackwardReader, EmptyLogEndsAtOnce) {
    BackwardReader reader({});
    std::vector<std::uint8_t> buffer(100);
    std::uint32_t read = 7, needed = 7;
    EXPECT_EQ(reader.Read(buffer.data(), 100, read, needed), error::kHandleEof);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(reader.Read(nullptr, 0, read, needed), error::kHandleEof);
}

TEST(EvtBackwardReader, WholeRecordsNewestFirst) {
    const auto records = AnsiRecords(3);
    const auto a = static_cast<std::uint32_t>(records[0].size());
    const auto b = static_cast<std::uint32_t>(records[1].size());
    const auto c = static_cast<std::uint32_t>(records[2].size());
    BackwardReader reader(records);
    std::vector<std::uint8_t> buffer(1000, 0xEE);
    std::uint32_t read = 0, needed = 0;

    // The newest record alone does not fit: nothing is consumed.
    EXPECT_EQ(reader.Read(buffer.data(), c - 1, read, needed), error::kInsufficientBuffer);
    EXPECT_EQ(needed, c);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(reader.Read(nullptr, 1000, read, needed), error::kInsufficientBuffer);
    EXPECT_EQ(needed, c);

    // Room for one and a half records: one.
    EXPECT_EQ(reader.Read(buffer.data(), c + b / 2, read, needed), error::kSuccess);
    EXPECT_EQ(read, c);
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(NumbersIn(buffer, read), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + c), records[2]);

    // Exactly the two left.
    EXPECT_EQ(reader.Read(buffer.data(), b + a, read, needed), error::kSuccess);
    EXPECT_EQ(read, a + b);
    EXPECT_EQ(NumbersIn(buffer, read), (std::vector<std::uint32_t>{2, 1}));

    EXPECT_EQ(reader.Read(buffer.data(), 1000, read, needed), error::kHandleEof);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(reader.Read(buffer.data(), 1000, read, needed), error::kHandleEof);
}

TEST(EvtBackwardReader, ReadsAParsedWrappedLog) {
    WriteOptions options;
    options.maxSize = 0x10000;
    const auto events = MakeEvents(1000);
    const ParsedLog log = Parse(WriteLogFile(events, options));
    ASSERT_LT(log.records.size(), 1000u);
    BackwardReader reader = ReaderForLog(log.records);
    std::vector<std::uint8_t> buffer(0x1000);
    std::vector<std::uint32_t> numbers;
    std::uint32_t read = 0, needed = 0;
    platform::Error e;
    while ((e = reader.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read, needed)) == error::kSuccess) {
        for (std::uint32_t at = 0; at < read; at += U32(buffer, at)) {
            const auto event = ParseAnsiRecord(buffer.data() + at, read - at);
            ASSERT_TRUE(event);
            EXPECT_EQ(*event, Numbered(events[event->recordNumber - 1], event->recordNumber));
            numbers.push_back(event->recordNumber);
        }
    }
    EXPECT_EQ(e, error::kHandleEof);
    std::vector<std::uint32_t> expected = Numbers(log);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(numbers, expected);
}

}  // namespace
}  // namespace quorvin::evt
