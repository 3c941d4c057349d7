// Reading one log: the read buffer, the date window, the type filter, the
// stop request and damaged records.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "engine/collector.h"
#include "engine/log_record.h"
#include "fake_platform.h"
#include "support/time_zone.h"

namespace quorvin::engine::test {
namespace {

std::int64_t LocalMidnight(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

std::uint32_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<std::uint32_t>(std::mktime(&t));
}

class LogReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zone_.Applied()) GTEST_SKIP() << "the C runtime here does not follow TZ rules";
        settings.EnableStartDate = settings.EnableEndDate = 1;
        platform.logs["\\\\SV1"];
        platform.registries["\\\\SV1"].Set("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINNT",
                                         platform::regtype::kSz);
    }

    FakeEvent Event(std::uint32_t time, std::uint32_t id = 1, std::uint16_t type = 4) {
        FakeEvent e;
        e.timeGenerated = time;
        e.eventId = id;
        e.eventType = type;
        e.source = "Svc";
        return e;
    }

    FakeLog& Log() { return platform.logs["\\\\SV1"]["system"]; }

    int Read(std::uint32_t mask = 31) {
        Collector collector(RunEnvironment{view_, settings, report, stop, rows, nullptr, [] {}});
        LogEnd end;
        return collector.GetLog("SV1", "system", mask, end);
    }
    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (const auto& r : rows.rows) ids.push_back(r.columns[6]);
        return ids;
    }

    // A zone with daylight saving time: the window is whole local days.
    quorvin::testing::ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};
    FakePlatform platform;
    platform::Platform view_ = platform.Get();
    engine::RunOptions settings;
    std::string report;
    std::atomic<int> stop{0};
    RecordingView rows;
};

TEST_F(LogReadTest, EmptyLogCountsAsRead) {
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_TRUE(rows.rows.empty());
    EXPECT_EQ(report, "");
}

TEST_F(LogReadTest, DateWindowHoldsWholeLocalDaysAcrossDaylightSaving) {
    // 2023-03-26 is the day the clocks go forward in this zone.
    settings.EnableStartDate = 0;
    settings.EnableEndDate = 0;
    settings.StartTime = LocalMidnight(2023, 3, 25);
    settings.EndTime = LocalMidnight(2023, 3, 26);
    Log().newestFirst = {
        Event(LocalTime(2023, 3, 27, 0, 0, 0), 1),    // the day after: skipped, not a stop
        Event(LocalTime(2023, 3, 26, 23, 59, 59), 2), // last second of the end day
        Event(LocalTime(2023, 3, 26, 3, 30, 0), 3),   // after the clock change
        Event(LocalTime(2023, 3, 25, 0, 0, 0), 4),    // first second of the start day
        Event(LocalTime(2023, 3, 24, 23, 59, 59), 5), // before the window: the log ends here
        Event(LocalTime(2023, 3, 26, 12, 0, 0), 6),   // never reached
    };
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"2", "3", "4"}));
    EXPECT_EQ(rows.rows[0].columns[2], "2023/03/26 23:59:59  ");
}

TEST_F(LogReadTest, StartDayLaterThanEveryRecordCollectsNothing) {
    settings.EnableStartDate = 0;
    settings.StartTime = LocalMidnight(2030, 1, 1);
    Log().newestFirst = {Event(LocalTime(2023, 1, 1, 12, 0, 0)), Event(LocalTime(2022, 1, 1, 12, 0, 0))};
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_TRUE(rows.rows.empty());
}

TEST_F(LogReadTest, TypeFilterKeepsChosenTypesAndAlwaysTypeZero) {
    const std::uint32_t t = LocalTime(2023, 5, 1, 8, 0, 0);
    Log().newestFirst = {Event(t, 1, 1), Event(t, 2, 2), Event(t, 3, 4), Event(t, 4, 8), Event(t, 5, 16),
                         Event(t, 6, 0)};
    EXPECT_EQ(Read(0), kLogRead);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"6"}));
    rows.rows.clear();
    Read(1 + 16);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1", "5", "6"}));
    // Images and type texts.
    rows.rows.clear();
    Read(31);
    ASSERT_EQ(rows.rows.size(), 6u);
    const std::vector<std::pair<int, std::string>> expected = {{2, "エラー"}, {1, "警告"}, {0, "成功"},
                                                               {3, "成功"},   {4, "失敗"}, {0, "成功"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows.rows[i].image, expected[i].first);
        EXPECT_EQ(rows.rows[i].columns[1], expected[i].second);
    }
}

TEST_F(LogReadTest, RecordLargerThanTheReadBufferGrowsIt) {
    FakeEvent big = Event(LocalTime(2023, 5, 1, 8, 0, 0), 7);
    big.strings = {std::string(400000, 'x')};
    Log().newestFirst = {Event(LocalTime(2023, 5, 1, 9, 0, 0), 8), big, Event(LocalTime(2023, 5, 1, 7, 0, 0), 6)};
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"8", "7", "6"}));
    EXPECT_EQ(report, "");

    // A record larger than one read may ask for (0x7FFFF bytes) is a read
    // failure with the service's code; the rows before it stay.
    big.strings = {std::string(0x7FFFF, 'x')};
    Log().newestFirst = {Event(LocalTime(2023, 5, 1, 9, 0, 0), 8), big, Event(LocalTime(2023, 5, 1, 7, 0, 0), 6)};
    rows.rows.clear();
    EXPECT_EQ(Read(), kLogFailed);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"8"}));
    EXPECT_EQ(report, "ｴﾗｰ 015:[\\\\SV1][system][Svc]:ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n原因 016:T122\r\n");
}

// Every read moves the whole size it asks for over the network: a log's
// reads start at 64 KB and double while the records fill more than half of
// them, up to 0x7FFFF.
TEST_F(LogReadTest, ReadsStartAt64KBAndDoubleWhileTheRecordsFillThem) {
    std::vector<std::uint32_t> sizes;
    Log().sizesAsked = &sizes;
    const std::uint32_t t = LocalTime(2023, 5, 1, 8, 0, 0);
    Log().newestFirst = {Event(t, 1), Event(t, 2)};
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{0x10000, 0x10000}));  // the records, then the end

    FakeEvent large = Event(t, 3);
    large.strings = {std::string(1000, 'x')};
    Log().newestFirst.assign(3000, large);
    sizes.clear();
    rows.rows.clear();
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_EQ(rows.rows.size(), 3000u);
    ASSERT_GE(sizes.size(), 6u);
    EXPECT_EQ(std::vector<std::uint32_t>(sizes.begin(), sizes.begin() + 6),
              (std::vector<std::uint32_t>{0x10000, 0x20000, 0x40000, 0x7FFFF, 0x7FFFF, 0x7FFFF}));
}

TEST_F(LogReadTest, StopRequestEndsTheLogAtTheNextRecordAndClearsTheFlag) {
    const std::uint32_t t = LocalTime(2023, 5, 1, 8, 0, 0);
    Log().newestFirst = {Event(t, 1), Event(t, 2), Event(t, 3)};
    rows.onRow = [&] { stop = 1; };
    EXPECT_EQ(Read(), kLogStopped);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(stop.load(), 0);
}

// Read backwards, record numbers fall. A server that hands out records of
// an overwritten region again instead of saying the log changed has the log
// read on below its last record, as a changed log is; a log that cannot be
// opened again fails with the open's own cause.
TEST_F(LogReadTest, ALogChangedUnderTheReadIsReadOnBelowItsLastRecordOrFailsWithTheReopensCause) {
    const std::uint32_t t = LocalTime(2023, 5, 1, 8, 0, 0);
    const auto records = [&](std::initializer_list<std::uint32_t> numbers) {
        std::vector<std::uint8_t> bytes;
        for (const std::uint32_t number : numbers) {
            FakeEvent e = Event(t, number);
            e.recordNumber = number;
            const auto record = AnsiRecord(e);
            bytes.insert(bytes.end(), record.begin(), record.end());
        }
        return bytes;
    };
    const std::string reopened =
        "情報 053:[\\\\SV1][system][Svc]:読み込み中にｲﾍﾞﾝﾄﾛｸﾞがｸﾘｱまたは上書きされました。"
        "ｲﾍﾞﾝﾄﾛｸﾞを開き直し、ﾚｺｰﾄﾞ番号 3 より前のｲﾍﾞﾝﾄから読み込みを続けます。\r\n";
    // Every open hands out 5, 4, 3, then 4 and 3 again before 2 and 1.
    Log().rawReads = {records({5, 4, 3}), records({4, 3, 2, 1})};
    EXPECT_EQ(Read(), kLogRead);
    EXPECT_EQ(Ids(), (std::vector<std::string>{"5", "4", "3", "2", "1"}));
    EXPECT_EQ(report, reopened);

    const std::string failed = "ｴﾗｰ 015:[\\\\SV1][system][Svc]:ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n原因 016:T1722\r\n";
    for (const bool answered : {false, true}) {
        SCOPED_TRACE(answered ? "the server says the log changed" : "records again");
        report.clear();
        rows.rows.clear();
        Log().opens = 0;
        Log().reopenError = 1722;
        if (answered) {
            Log().rawReads = {records({5, 4, 3})};
            Log().readError = platform::error::kEventLogFileChanged;
        }
        EXPECT_EQ(Read(), kLogFailed);
        EXPECT_EQ(Ids(), (std::vector<std::string>{"5", "4", "3"}));
        EXPECT_EQ(report, reopened + failed);
    }
}

TEST_F(LogReadTest, ReadErrorsFailTheLogWithTheLastSourceInTheLine) {
    Log().newestFirst = {Event(LocalTime(2023, 5, 1, 8, 0, 0))};
    Log().readError = 1500;
    EXPECT_EQ(Read(), kLogFailed);
    EXPECT_EQ(report, "ｴﾗｰ 015:[\\\\SV1][system][Svc]:ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n原因 016:T1500\r\n");
}

TEST_F(LogReadTest, DamagedRecordsFailTheLogWithoutReadingPastTheBuffer) {
    const auto good = AnsiRecord(Event(LocalTime(2023, 5, 1, 8, 0, 0), 3));
    auto withLength = [&](std::uint32_t length) {
        auto bytes = good;
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(length >> (8 * i));
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> damaged = {
        withLength(0), withLength(0x3A), withLength(static_cast<std::uint32_t>(good.size()) + 4), withLength(52),
        std::vector<std::uint8_t>(good.begin(), good.begin() + 20)};
    for (const auto& bytes : damaged) {
        report.clear();
        rows.rows.clear();
        // A good record first, then the damaged one in the same read.
        auto chunk = good;
        chunk.insert(chunk.end(), bytes.begin(), bytes.end());
        Log().rawReads = {chunk};
        EXPECT_EQ(Read(), kLogFailed);
        EXPECT_EQ(rows.rows.size(), 1u);
        EXPECT_EQ(report, "ｴﾗｰ 015:[\\\\SV1][system][Svc]:ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n原因 016:T1500\r\n");
    }
}

TEST(LogRecord, FieldsThatPointOutsideTheRecordAreCutOrEmpty) {
    FakeEvent e;
    e.source = "Src";
    e.strings = {"one", "two"};
    auto bytes = AnsiRecord(e);
    LogRecord record;
    // String offset past the record: the strings are empty.
    auto outside = bytes;
    outside[36] = 0xFF;
    outside[37] = 0xFF;
    ASSERT_TRUE(ParseLogRecord(outside.data(), outside.size(), record));
    EXPECT_EQ(record.strings, (std::vector<std::string>{"", ""}));
    // More strings announced than stored: the missing ones are empty or cut at the record's end.
    auto many = bytes;
    many[26] = 5;
    ASSERT_TRUE(ParseLogRecord(many.data(), many.size(), record));
    EXPECT_EQ(record.strings.size(), 5u);
    EXPECT_EQ(record.strings[0], "one");
    // A source name without terminator ends at the record's end.
    std::vector<std::uint8_t> noNul(60, 'A');
    noNul[0] = 60;
    noNul[1] = noNul[2] = noNul[3] = 0;
    ASSERT_TRUE(ParseLogRecord(noNul.data(), noNul.size(), record));
    EXPECT_EQ(record.source, "AAAA");
}

}  // namespace
}  // namespace quorvin::engine::test
