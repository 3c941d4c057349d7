#include <gtest/gtest.h>

#include <cstring>

#include "support/evt_test_util.h"
#include "formats/evt/evt.h"

namespace quorvin::evt {
namespace {

using testing::MakeEvent;
using testing::SetU32;
using testing::U32;

Event Sample() {
    Event e;
    e.recordNumber = 7;
    e.timeGenerated = 1111;
    e.timeWritten = 2222;
    e.eventId = 0x40000010;
    e.eventType = 4;
    e.eventCategory = 3;
    e.sourceName = "Src";      // 4 characters with the terminator
    e.computerName = "ＰＣ";   // 2 double-byte characters
    e.userSid = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    e.strings = {"ソ", ""};
    e.data = {9, 8, 7};
    return e;
}

TEST(EvtRecord, WideLayoutPutsEveryPartWhereItsOffsetSays) {
    const std::vector<std::uint8_t> r = ToWideRecord(Sample());
    // 0x38 fixed, "Src\0" 8, "ＰＣ\0" 6 -> 0x46, SID at 0x48 (12), strings at 0x54:
    // "ソ\0" 4 + "\0" 2, data at 0x5A (3), padded to 0x60, length at 0x60.
    ASSERT_EQ(r.size(), 0x64u);
    EXPECT_EQ(U32(r, 0), 0x64u);
    EXPECT_EQ(U32(r, 0x60), 0x64u);
    EXPECT_EQ(U32(r, 4), kSignature);
    EXPECT_EQ(U32(r, 8), 7u);
    EXPECT_EQ(r[26], 2);  // number of strings
    EXPECT_EQ(U32(r, 44), 0x48u);  // SID offset, on a 4-byte boundary
    EXPECT_EQ(U32(r, 40), 12u);
    EXPECT_EQ(U32(r, 36), 0x54u);  // strings
    EXPECT_EQ(U32(r, 52), 0x5Au);  // data
    EXPECT_EQ(U32(r, 48), 3u);
    EXPECT_EQ(r[0x38], 'S');
    EXPECT_EQ(r[0x39], 0);
    EXPECT_EQ(r[0x40], 0x30);  // "Ｐ" U+FF30
    EXPECT_EQ(r[0x41], 0xFF);
    EXPECT_EQ(r[0x54], 0xBD);  // "ソ" U+30BD
    EXPECT_EQ(r[0x55], 0x30);
    EXPECT_EQ(r[0x5A], 9);
    EXPECT_EQ(r[0x5D], 0);  // padding
}

TEST(EvtRecord, AnsiLayoutHoldsCp932Text) {
    const std::vector<std::uint8_t> r = ToAnsiRecord(Sample());
    // "Src\0" 4, "ＰＣ\0" 5 -> 0x41, SID at 0x44, strings at 0x50: "ソ\0" 3 + "\0",
    // data at 0x54, padded to 0x58.
    ASSERT_EQ(r.size(), 0x5Cu);
    EXPECT_EQ(U32(r, 0x58), 0x5Cu);
    EXPECT_EQ(U32(r, 44), 0x44u);
    EXPECT_EQ(U32(r, 36), 0x50u);
    EXPECT_EQ(U32(r, 52), 0x54u);
    EXPECT_EQ(0, std::memcmp(r.data() + 0x3C, "\x82\x6F\x82\x62", 4));  // "ＰＣ" in CP932
    EXPECT_EQ(0, std::memcmp(r.data() + 0x50, "\x83\x5C\0\0", 4));      // "ソ" and ""
}

// The reader of log files converts records from the events it parsed; that
// must give what parsing the raw bytes again gives, for records bent every
// way the parser still takes: every byte of Sample's wide record set to a
// few values (strings without terminators, unpaired surrogates, offsets
// moved, reserved flags and closing numbers set), and the units of its
// texts made ASCII, non-ASCII or missing from CP932.
TEST(EvtRecord, ConvertingAParsedRecordGivesWhatConvertingItsBytesGives) {
    const std::vector<std::uint8_t> wide = ToWideRecord(Sample());
    const std::uint8_t values[] = {0x00, 0x01, 0x41, 0x7F, 0x80, 0xD8, 0xDC, 0xFF};
    std::size_t compared = 0;
    for (std::size_t at = 0; at < wide.size(); ++at) {
        for (const std::uint8_t value : values) {
            std::vector<std::uint8_t> bent = wide;
            bent[at] = value;
            const std::optional<Event> event = ParseWideRecord(bent.data(), bent.size());
            if (!event) continue;
            const auto converted = ConvertWideRecord(bent.data(), bent.size());
            ASSERT_TRUE(converted);
            ASSERT_EQ(ConvertParsedRecord(*event, bent.data(), bent.size()), *converted) << at << " " << +value;
            ++compared;
        }
    }
    EXPECT_GT(compared, wide.size() * 4);
}

TEST(EvtRecord, BothLayoutsRoundTrip) {
    for (std::uint32_t i = 0; i < 40; ++i) {
        const Event e = MakeEvent(i);
        const auto wide = ToWideRecord(e);
        const auto ansi = ToAnsiRecord(e);
        EXPECT_EQ(wide.size() % 4, 0u);
        EXPECT_EQ(ParseWideRecord(wide.data(), wide.size()), e) << i;
        EXPECT_EQ(ParseAnsiRecord(ansi.data(), ansi.size()), e) << i;
        EXPECT_EQ(ConvertWideRecord(wide.data(), wide.size()), ansi) << i;
    }
}

TEST(EvtRecord, ATextEndsAtItsFirstNul) {
    Event e = Sample();
    e.sourceName = std::string("ab\0cd", 5);
    e.strings = {std::string("x\0y", 3)};
    const auto r = ToWideRecord(e);
    const auto back = ParseWideRecord(r.data(), r.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sourceName, "ab");
    EXPECT_EQ(back->strings, std::vector<std::string>{"x"});
}

TEST(EvtRecord, ConversionKeepsTheReservedFieldsAndReadsOnlyItsOwnLength) {
    std::vector<std::uint8_t> wide = ToWideRecord(Sample());
    wide[30] = 0x12;
    SetU32(wide, 32, 0xABCD);
    const std::size_t length = wide.size();
    wide.resize(length + 16, 0xEE);  // the next record of a batch
    const auto ansi = ConvertWideRecord(wide.data(), wide.size());
    ASSERT_TRUE(ansi);
    EXPECT_EQ(ansi->size(), ToAnsiRecord(Sample()).size());
    EXPECT_EQ((*ansi)[30], 0x12);
    EXPECT_EQ(U32(*ansi, 32), 0xABCDu);
}

TEST(EvtRecord, BrokenFramesAreRefused) {
    const std::vector<std::uint8_t> good = ToWideRecord(Sample());
    auto refused = [](std::vector<std::uint8_t> r) {
        return !ParseWideRecord(r.data(), r.size()) && !ConvertWideRecord(r.data(), r.size());
    };
    EXPECT_FALSE(refused(good));
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused(std::vector<std::uint8_t>(good.begin(), good.begin() + 0x38)));
    EXPECT_TRUE(refused(std::vector<std::uint8_t>(good.begin(), good.end() - 4)));  // runs past the bytes
    for (std::uint32_t length : {0u, 4u, 0x38u, 0x62u, 0xFFFFFFFCu}) {
        auto r = good;
        SetU32(r, 0, length);
        EXPECT_TRUE(refused(r)) << length;
    }
    auto r = good;
    SetU32(r, 4, 0x654C664D);
    EXPECT_TRUE(refused(r));
    r = good;
    SetU32(r, r.size() - 4, 0x60);
    EXPECT_TRUE(refused(r));
    EXPECT_FALSE(ParseWideRecord(nullptr, 100));
}

TEST(EvtRecord, DamageInsideASoundFrameIsReadForgivingly) {
    const std::vector<std::uint8_t> good = ToWideRecord(Sample());
    auto parse = [](const std::vector<std::uint8_t>& r) {
        auto e = ParseWideRecord(r.data(), r.size());
        EXPECT_TRUE(e);
        return e.value_or(Event{});
    };
    auto r = good;
    SetU32(r, 44, 0xFFFFFFF8);  // SID offset outside; with its size it would wrap around
    EXPECT_TRUE(parse(r).userSid.empty());
    r = good;
    SetU32(r, 48, 0x10000);  // data size past the record
    EXPECT_TRUE(parse(r).data.empty());
    r = good;
    SetU32(r, 36, 0x70);  // strings offset outside
    EXPECT_TRUE(parse(r).strings.empty());
    r = good;
    r[26] = 0xFF;  // more strings claimed than there are: they stop at the data
    EXPECT_EQ(parse(r).strings, (std::vector<std::string>{"ソ", ""}));
    r = good;
    SetU32(r, 48, 0);  // no data: the strings run on to the end of the record
    r[26] = 0xFF;
    EXPECT_EQ(parse(r).strings.size(), 3u);  // "ソ", "" and the old data bytes up to the padding
    r = good;
    std::fill(r.begin() + 0x38, r.end() - 4, 0x41);  // names without terminators
    const Event e = parse(r);
    EXPECT_EQ(e.computerName, "");
    EXPECT_FALSE(e.sourceName.empty());
}

}  // namespace
}  // namespace quorvin::evt
