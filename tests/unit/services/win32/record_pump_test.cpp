// The record pump between ReadEventLogW and the engine's ReadEventLogA-style
// reads, driven by a scripted event log service.

#include "services/win32/record_pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "formats/evt/evt.h"

namespace {

namespace error = quorvin::platform::error;
using quorvin::platform::Error;
using quorvin::win32::ConvertBatch;
using quorvin::win32::RecordPump;
using Bytes = std::vector<std::uint8_t>;

quorvin::evt::Event MakeEvent(std::uint32_t number, const std::string& source, std::vector<std::string> strings) {
    quorvin::evt::Event e;
    e.recordNumber = number;
    e.timeGenerated = 1000000000 + number;
    e.timeWritten = e.timeGenerated + 1;
    e.eventId = 0xC0000000u | number;
    e.eventType = 1;
    e.eventCategory = 3;
    e.sourceName = source;
    e.computerName = "ｻｰﾊﾞ1";
    e.strings = std::move(strings);
    e.data = {1, 2, 3};
    return e;
}

// Newest first, as a backwards read meets them.
std::vector<quorvin::evt::Event> SampleEvents() {
    return {
        MakeEvent(5, "サービス制御", {"ソ表", "能力"}),
        MakeEvent(4, "Srv", {}),
        MakeEvent(3, "ｱﾌﾟﾘ", {std::string(300, 'x')}),
        MakeEvent(2, "EventLog", {"a", "", "c"}),
        MakeEvent(1, "表示", {"最初"}),
    };
}

// The event log service: hands out whole wide records, newest first, as
// ReadEventLogW does. `failAt` makes the given calls (counted from 1) fail.
struct Service {
    std::vector<Bytes> records;
    std::size_t next = 0;
    int calls = 0;
    std::map<int, Error> failAt;
    std::vector<std::uint32_t> sizesAsked;

    explicit Service(const std::vector<quorvin::evt::Event>& events) {
        for (const auto& e : events) records.push_back(quorvin::evt::ToWideRecord(e));
    }

    quorvin::win32::WideRead Reader() {
        return [this](std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead, std::uint32_t& bytesNeeded) {
            ++calls;
            sizesAsked.push_back(size);
            auto failure = failAt.find(calls);
            if (failure != failAt.end()) return failure->second;
            if (next == records.size()) return error::kHandleEof;
            if (records[next].size() > size) {
                bytesNeeded = static_cast<std::uint32_t>(records[next].size());
                return error::kInsufficientBuffer;
            }
            std::uint32_t used = 0;
            while (next < records.size() && records[next].size() <= size - used) {
                std::memcpy(buffer + used, records[next].data(), records[next].size());
                used += static_cast<std::uint32_t>(records[next].size());
                ++next;
            }
            bytesRead = used;
            return error::kSuccess;
        };
    }
};

// Everything the pump gives with a caller buffer of `size`, parsed back.
std::vector<quorvin::evt::Event> Drain(RecordPump& pump, std::uint32_t size, Error& last) {
    std::vector<quorvin::evt::Event> events;
    Bytes buffer(size);
    for (int i = 0; i < 1000; ++i) {
        std::uint32_t read = 0;
        std::uint32_t needed = 0;
        last = pump.Read(buffer.data(), size, read, needed);
        if (last != error::kSuccess) return events;
        EXPECT_GT(read, 0u);
        std::uint32_t offset = 0;
        while (offset < read) {
            auto event = quorvin::evt::ParseAnsiRecord(buffer.data() + offset, read - offset);
            if (!event) {
                ADD_FAILURE() << "unreadable ANSI record at " << offset;
                return events;
            }
            const std::uint32_t length = static_cast<std::uint32_t>(quorvin::evt::ToAnsiRecord(*event).size());
            EXPECT_EQ(Bytes(buffer.begin() + offset, buffer.begin() + offset + length), quorvin::evt::ToAnsiRecord(*event));
            events.push_back(*event);
            offset += length;
        }
    }
    ADD_FAILURE() << "no end";
    return events;
}

TEST(RecordPump, HandsOnEveryRecordNewestFirstInTheAnsiLayout) {
    const auto events = SampleEvents();
    for (std::uint32_t callerSize : {2048u, 400u, 100000u}) {
        for (std::uint32_t batchSize : {0x40u, 0x200u, 0x80000u}) {
            Service service(events);
            RecordPump pump(service.Reader(), batchSize);
            Error last = 0;
            EXPECT_EQ(Drain(pump, callerSize, last), events) << callerSize << " " << batchSize;
            EXPECT_EQ(last, error::kHandleEof);
            // The end stays the end without asking the service again.
            const int calls = service.calls;
            std::uint32_t read = 0, needed = 0;
            std::uint8_t byte = 0;
            EXPECT_EQ(pump.Read(&byte, 1, read, needed), error::kHandleEof);
            EXPECT_EQ(service.calls, calls);
        }
    }
}

TEST(RecordPump, ShortCallerBufferGetsTheNextRecordsSizeAndLosesNothing) {
    const auto events = SampleEvents();
    Service service(events);
    RecordPump pump(service.Reader());
    const std::uint32_t first = static_cast<std::uint32_t>(quorvin::evt::ToAnsiRecord(events[0]).size());
    const std::uint32_t second = static_cast<std::uint32_t>(quorvin::evt::ToAnsiRecord(events[1]).size());

    Bytes buffer(first + second);
    std::uint32_t read = 7, needed = 0;
    EXPECT_EQ(pump.Read(buffer.data(), first - 1, read, needed), error::kInsufficientBuffer);
    EXPECT_EQ(needed, first);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(pump.Read(nullptr, 1000, read, needed), error::kInsufficientBuffer);
    EXPECT_EQ(needed, first);

    // Exactly two records fit.
    ASSERT_EQ(pump.Read(buffer.data(), first + second, read, needed), error::kSuccess);
    EXPECT_EQ(read, first + second);
    EXPECT_EQ(quorvin::evt::ParseAnsiRecord(buffer.data(), read), events[0]);
    EXPECT_EQ(quorvin::evt::ParseAnsiRecord(buffer.data() + first, second), events[1]);

    Error last = 0;
    const auto rest = Drain(pump, 100000, last);
    EXPECT_EQ(rest, std::vector<quorvin::evt::Event>(events.begin() + 2, events.end()));
}

TEST(RecordPump, WideBufferGrowsWhenTheServiceAsksForMore) {
    const auto events = SampleEvents();
    Service service(events);
    RecordPump pump(service.Reader(), 0x40);
    Error last = 0;
    EXPECT_EQ(Drain(pump, 100000, last), events);
    EXPECT_EQ(last, error::kHandleEof);
    // The first request was the small one; a later one was the 300-character record's size.
    ASSERT_FALSE(service.sizesAsked.empty());
    EXPECT_EQ(service.sizesAsked.front(), 0x40u);
    EXPECT_NE(std::find(service.sizesAsked.begin(), service.sizesAsked.end(), service.records[2].size()),
              service.sizesAsked.end());
}

// Every batch moves the whole size it asks for over the network: batches
// start at 64 KB and double while the service fills more than half of
// them, up to 0x7FFFF.
TEST(RecordPump, BatchesStartAt64KBAndDoubleWhileTheServiceFillsThem) {
    Service small(SampleEvents());
    RecordPump smallPump(small.Reader());
    Error last = 0;
    EXPECT_EQ(Drain(smallPump, 100000, last).size(), 5u);
    EXPECT_EQ(small.sizesAsked, (std::vector<std::uint32_t>{0x10000, 0x10000}));  // the records, then the end

    std::vector<quorvin::evt::Event> events;
    for (std::uint32_t n = 2000; n > 0; --n) events.push_back(MakeEvent(n, "Srv", {std::string(1000, 'x')}));
    Service large(events);
    RecordPump pump(large.Reader());
    EXPECT_EQ(Drain(pump, 100000, last).size(), events.size());
    EXPECT_EQ(last, error::kHandleEof);
    ASSERT_GE(large.sizesAsked.size(), 6u);
    EXPECT_EQ(std::vector<std::uint32_t>(large.sizesAsked.begin(), large.sizesAsked.begin() + 6),
              (std::vector<std::uint32_t>{0x10000, 0x20000, 0x40000, 0x7FFFF, 0x7FFFF, 0x7FFFF}));
}

TEST(RecordPump, ServiceFailureComesAfterTheRecordsAlreadyCopied) {
    const auto events = SampleEvents();
    Service service(events);
    // The first batch holds the two newest records; the second read fails once.
    service.failAt[2] = error::kRpcServerUnavailable;
    RecordPump pump(service.Reader(), static_cast<std::uint32_t>(service.records[0].size() + service.records[1].size()));
    Bytes buffer(100000);
    std::uint32_t read = 0, needed = 0;
    ASSERT_EQ(pump.Read(buffer.data(), 100000, read, needed), error::kSuccess);
    EXPECT_EQ(read, quorvin::evt::ToAnsiRecord(events[0]).size() + quorvin::evt::ToAnsiRecord(events[1]).size());
    EXPECT_EQ(pump.Read(buffer.data(), 100000, read, needed), error::kRpcServerUnavailable);
    EXPECT_EQ(read, 0u);
    // The service answers again: reading goes on where it stopped.
    Error last = 0;
    EXPECT_EQ(Drain(pump, 100000, last), std::vector<quorvin::evt::Event>(events.begin() + 2, events.end()));
    EXPECT_EQ(last, error::kHandleEof);
}

TEST(RecordPump, MalformedRecordEndsTheLogAfterTheGoodOnes) {
    const auto events = SampleEvents();
    Service service(events);
    service.records[2][4] ^= 0xFF;  // the signature of the third record
    RecordPump pump(service.Reader());
    Error last = 0;
    EXPECT_EQ(Drain(pump, 100000, last), std::vector<quorvin::evt::Event>(events.begin(), events.begin() + 2));
    EXPECT_EQ(last, error::kEventLogFileCorrupt);
    std::uint32_t read = 0, needed = 0;
    Bytes buffer(100000);
    EXPECT_EQ(pump.Read(buffer.data(), 100000, read, needed), error::kEventLogFileCorrupt);
}

TEST(RecordPump, MisbehavingServiceNeitherLoopsNorOverreads) {
    struct Case {
        const char* what;
        Error error;
        std::uint32_t read;
        std::uint32_t needed;
        Error expected;
    };
    const Case cases[] = {
        {"asks for no more than it has", error::kInsufficientBuffer, 0, 0x40, error::kInvalidData},
        {"asks for less", error::kInsufficientBuffer, 0, 4, error::kInvalidData},
        {"asks for more than one read may", error::kInsufficientBuffer, 0, 0x80000, error::kInsufficientBuffer},
        {"asks for far too much", error::kInsufficientBuffer, 0, 0xFFFFFFFF, error::kInsufficientBuffer},
        {"reads more than the buffer", error::kSuccess, 0x41, 0, error::kInvalidData},
        {"succeeds with nothing", error::kSuccess, 0, 0, error::kHandleEof},
        {"passes on its own code", error::kAccessDenied, 0, 0, error::kAccessDenied},
    };
    for (const Case& c : cases) {
        int calls = 0;
        RecordPump pump(
            [&](std::uint8_t*, std::uint32_t, std::uint32_t& bytesRead, std::uint32_t& bytesNeeded) {
                ++calls;
                bytesRead = c.read;
                bytesNeeded = c.needed;
                return c.error;
            },
            0x40);
        Bytes buffer(1000);
        std::uint32_t read = 0, needed = 0;
        EXPECT_EQ(pump.Read(buffer.data(), 1000, read, needed), c.expected) << c.what;
        EXPECT_EQ(read, 0u) << c.what;
        EXPECT_LE(calls, 10) << c.what;
    }

    // A service that keeps asking for a little more each time gives up after a few growths.
    std::uint32_t ask = 0x40;
    RecordPump growing(
        [&](std::uint8_t*, std::uint32_t, std::uint32_t&, std::uint32_t& bytesNeeded) {
            bytesNeeded = ask += 4;
            return error::kInsufficientBuffer;
        },
        0x40);
    std::uint32_t read = 0, needed = 0;
    Bytes buffer(1000);
    EXPECT_EQ(growing.Read(buffer.data(), 1000, read, needed), error::kInvalidData);
    EXPECT_LT(ask, 0x40u + 4 * 20);
}

// Windows refuses a ReadEventLogW of more than 0x7FFFF bytes: the pump never
// asks for more, and a record that would need more ends the log with 122 and
// no size to grow to, so that the caller reports it instead of growing.
TEST(RecordPump, NeverAsksTheServiceForMoreThanOneReadMayHold) {
    auto events = SampleEvents();
    Service service(events);
    auto strict = [&service, inner = service.Reader()](std::uint8_t* buffer, std::uint32_t size,
                                                        std::uint32_t& bytesRead, std::uint32_t& bytesNeeded) {
        if (size > 0x7FFFF) {
            ++service.calls;
            return error::kInvalidParameter;
        }
        return inner(buffer, size, bytesRead, bytesNeeded);
    };
    for (std::uint32_t asked : {0u, 0x7FFFFu, 0x80000u, 0xFFFFFFFFu}) {
        service.next = 0;
        RecordPump pump(strict, asked == 0 ? RecordPump::kFirstBatchSize : asked);
        Error last = 0;
        EXPECT_EQ(Drain(pump, 100000, last), events) << asked;
        EXPECT_EQ(last, error::kHandleEof) << asked;
    }
    for (std::uint32_t size : service.sizesAsked) EXPECT_LE(size, 0x7FFFFu);

    // One record of 600,000 bytes: more than any read may ask for.
    events.insert(events.begin() + 1, MakeEvent(9, "Huge", {std::string(300000, 'h')}));
    Service huge(events);
    RecordPump pump(huge.Reader());
    Bytes buffer(0x7FFFF);
    std::uint32_t read = 0, needed = 0;
    ASSERT_EQ(pump.Read(buffer.data(), 0x7FFFF, read, needed), error::kSuccess);
    EXPECT_EQ(quorvin::evt::ParseAnsiRecord(buffer.data(), read), events[0]);
    EXPECT_EQ(pump.Read(buffer.data(), 0x7FFFF, read, needed), error::kInsufficientBuffer);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(needed, 0u);
    for (std::uint32_t size : huge.sizesAsked) EXPECT_LE(size, 0x7FFFFu);
}

TEST(ConvertBatch, WalksRecordsByTheirLengthsAndStopsAtABrokenOne) {
    const auto events = SampleEvents();
    Bytes batch;
    for (const auto& e : events) {
        const Bytes wide = quorvin::evt::ToWideRecord(e);
        batch.insert(batch.end(), wide.begin(), wide.end());
    }
    std::deque<Bytes> out;
    EXPECT_EQ(ConvertBatch(batch.data(), batch.size(), out), error::kSuccess);
    ASSERT_EQ(out.size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(out[i], quorvin::evt::ToAnsiRecord(events[i]));

    const std::size_t first = quorvin::evt::ToWideRecord(events[0]).size();
    struct Damage {
        const char* what;
        Bytes bytes;
    };
    auto withLength = [&](std::uint32_t length) {
        Bytes b(batch.begin(), batch.begin() + first);
        const std::uint8_t le[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
        b.insert(b.end(), le, le + 4);
        b.resize(b.size() + 0x80, 0);
        return b;
    };
    const Damage damages[] = {
        {"two stray bytes", [&] { Bytes b(batch.begin(), batch.begin() + first); b.push_back(1); b.push_back(2); return b; }()},
        {"length 0", withLength(0)},
        {"length past the end", withLength(0x10000)},
        {"huge length", withLength(0xFFFFFFFC)},
        {"length without a record", withLength(0x3C)},
    };
    for (const Damage& d : damages) {
        std::deque<Bytes> some;
        EXPECT_EQ(ConvertBatch(d.bytes.data(), d.bytes.size(), some), error::kEventLogFileCorrupt) << d.what;
        ASSERT_EQ(some.size(), 1u) << d.what;
        EXPECT_EQ(some[0], quorvin::evt::ToAnsiRecord(events[0])) << d.what;
    }
}

}  // namespace
