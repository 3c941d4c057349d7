#include <gtest/gtest.h>

#include "engine/event_row.h"
#include "rules/event_filter.h"

using namespace quorvin::views;
using quorvin::engine::EventRow;

namespace {

EventRow Row(int eventType, const char* log, const char* computer, const char* source, std::uint32_t id,
             const char* message) {
    return quorvin::engine::MakeEventRow(static_cast<std::uint16_t>(eventType), std::string("\\\\") + computer, source,
                                         message, log, "2026/12/01 10:00:00  ", id);
}

EventFilter Parsed(const FilterFields& fields) {
    FilterError error{};
    const std::optional<EventFilter> filter = EventFilter::Parse(fields, error);
    EXPECT_TRUE(filter) << FilterErrorText(error, "field");
    return filter.value_or(EventFilter());
}

FilterFields Ids(const char* ids) {
    FilterFields f;
    f.eventIds = ids;
    return f;
}

}  // namespace

TEST(EventFilter, EventIdListsWithRangesAndExclusions) {
    const struct {
        const char* ids;
        std::vector<std::uint32_t> shown, hidden;
    } cases[] = {
        {"529,675,4625", {529, 675, 4625}, {528, 530, 7}},
        {" 529 , 675 ", {529, 675}, {4625}},
        {"7-11,-9", {7, 8, 10, 11}, {6, 9, 12}},
        {"-9", {0, 8, 10, 65535}, {9}},
        {"-7-11", {6, 12}, {7, 9, 11}},
        {"0,65535", {0, 65535}, {1}},
        {"6008", {6008}, {6009}},
        {"", {0, 1, 65535}, {}},
        {"  ", {0, 1, 65535}, {}},
    };
    for (const auto& c : cases) {
        const EventFilter filter = Parsed(Ids(c.ids));
        for (std::uint32_t id : c.shown)
            EXPECT_TRUE(filter.Matches(Row(1, "System", "DC01", "s", id, ""))) << c.ids << " " << id;
        for (std::uint32_t id : c.hidden)
            EXPECT_FALSE(filter.Matches(Row(1, "System", "DC01", "s", id, ""))) << c.ids << " " << id;
    }
    // A row whose ID column holds no number (another program's) never meets an ID list.
    EventRow foreign;
    foreign.columns[6] = "abc";
    EXPECT_FALSE(Parsed(Ids("-9")).Matches(foreign));
    EXPECT_TRUE(Parsed(Ids("")).Matches(foreign));
}

TEST(EventFilter, BadFieldsSayWhatAndWhere) {
    const struct {
        FilterFields fields;
        const char* console;
        const char* window;
    } cases[] = {
        {Ids("7-"), "--event-ids: '7-' has no end", "イベントID: '7-' に範囲の終わりがありません。"},
        {Ids("529,,675"), "--event-ids: entry 2 is empty", "イベントID: 2 番目の項目が空です。"},
        {Ids("529,"), "--event-ids: entry 2 is empty", nullptr},
        {Ids("-"), "--event-ids: '-' is no event ID (a number from 0 to 65535)", nullptr},
        {Ids("abc"), "--event-ids: 'abc' is no event ID (a number from 0 to 65535)", nullptr},
        {Ids("7-9-10"), "--event-ids: '7-9-10' is no event ID (a number from 0 to 65535)", nullptr},
        {Ids("--7"), "--event-ids: '--7' is no event ID (a number from 0 to 65535)", nullptr},
        {Ids("65536"), "--event-ids: '65536' is larger than 65535", "イベントID: '65536' は 65535 を超えています。"},
        {Ids("99999999999999999999"), "--event-ids: '99999999999999999999' is larger than 65535", nullptr},
        {Ids("11-7"), "--event-ids: '11-7' starts after its end", nullptr},
        {[] { FilterFields f; f.text = "ab\x83"; return f; }(), "--event-ids: byte 3 is half of a double-byte character",
         "メッセージの文字列: 3 バイト目の2バイト文字が途中で切れています。"},
        {[] { FilterFields f; f.sources = "a,b\x83\x01"; return f; }(),
         "--event-ids: entry 2 has half of a double-byte character", nullptr},
        {[] { FilterFields f; f.computers = "DC01,\\\\"; return f; }(), "--event-ids: entry 2 is empty", nullptr},
        {[] { FilterFields f; f.types = 0; return f; }(), "--event-ids: nothing chosen", "種類: 1つ以上選んでください。"},
        {[] { FilterFields f; f.text = std::string(kMostFieldBytes + 1, 'a'); return f; }(),
         "--event-ids: longer than 4096 bytes", nullptr},
    };
    for (const auto& c : cases) {
        FilterError error{};
        EXPECT_FALSE(EventFilter::Parse(c.fields, error)) << c.console;
        EXPECT_EQ(FilterErrorText(error, "--event-ids"), c.console);
        if (c.window) {
            EXPECT_EQ(FilterErrorMessage(error).text, c.window);
            EXPECT_EQ(FilterErrorMessage(error).caption, "注意");
        }
    }
}

TEST(EventFilter, TextIsFoundAtCharacterStartsAsciiInEitherCase) {
    // "ア" is 83 41: its trail byte is an 'A', which a search for "a" must not find.
    const struct {
        const char* message;
        const char* text;
        bool found;
    } cases[] = {
        {"Logon failure: unknown user name", "UNKNOWN USER", true},
        {"Logon failure", "failure:", false},
        {"ユーザー Taro のログオン", "taro", true},
        {"ア", "a", false},
        {"ア", "A", false},
        {"xアy", "ア", true},
        {"ｱ", "ア", false},              // half-width and full-width katakana differ
        {"ア", "ｱ", false},
        {"\x83\x41\x83\x41", "\x41\x83\x41", false},  // a trail byte is no letter
        {"ﾃﾞｨｽｸ", "ﾃﾞ", true},
        {"ＡＢＣ", "ａｂｃ", false},      // double-byte letters compare exactly
        {"ＡＢＣ", "ＢＣ", true},
        {"abc", "abcd", false},
        {"", "a", false},
        {"anything", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContainsText(c.message, FoldAscii(c.text)), c.found) << c.message << " / " << c.text;
        FilterFields f;
        f.text = c.text;
        EXPECT_EQ(Parsed(f).Matches(Row(4, "Application", "PC01", "s", 1, c.message)), c.found) << c.message;
    }
}

TEST(EventFilter, EveryFieldRestrictsAndTheyCombine) {
    const EventRow rows[] = {
        Row(1, "System", "DC01", "Disk", 7, "The device has a bad block."),
        Row(2, "System", "FS01", "EventLog", 6008, "unexpected shutdown"),
        Row(4, "Application", "pc01", "Service Control Manager", 7036, "running"),
        Row(8, "Security", "DC01", "Security", 528, "logon Taro"),
        Row(16, "Security", "DC01", "Security", 529, "Logon failure Taro"),
        Row(0, "System", "NT4SV", "Foreign", 1, "type zero"),
        Row(1, "Custom", "PC02", "Disk", 11, "other log"),
        Row(4, "Microsoft-Windows-PowerShell/Operational", "PC02", "PowerShell", 4104, "script block"),
    };
    const auto shown = [&](const FilterFields& f) {
        const EventFilter filter = Parsed(f);
        std::string which;
        for (std::size_t i = 0; i < std::size(rows); ++i) which += filter.Matches(rows[i]) ? '1' : '0';
        return which;
    };
    const auto with = [](auto set) {
        FilterFields f;
        set(f);
        return f;
    };
    EXPECT_EQ(shown(FilterFields{}), "11111111");
    EXPECT_TRUE(Parsed(FilterFields{}).ShowsEverything());
    EXPECT_EQ(shown(with([](FilterFields& f) { f.types = kTypeError; })), "10000010");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.types = kTypeWarning; })), "01000000");
    // Type 0 carries the information icon and counts as information.
    EXPECT_EQ(shown(with([](FilterFields& f) { f.types = kTypeInformation; })), "00100101");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.types = kTypeAuditSuccess; })), "00010000");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.types = kTypeAuditFailure; })), "00001000");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.logs = kLogSecurity | kLogApplication; })), "00111011");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.logs = kLogSystem; })), "11000111");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.computers = "\\\\dc01, PC01"; })), "10111000");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.sources = "disk,service control manager"; })), "10100010");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.computers = "DC01"; f.text = "taro"; f.eventIds = "529"; })),
              "00001000");
    EXPECT_FALSE(Parsed(with([](FilterFields& f) { f.text = " "; })).ShowsEverything());
    EXPECT_TRUE(ShowsEverything(with([](FilterFields& f) { f.eventIds = "  "; })));
    // Rows of other logs are channels': shown whatever the log boxes say,
    // unless hidden, their names compared ignoring ASCII case.
    EXPECT_EQ(shown(with([](FilterFields& f) { f.logs = 0; })), "00000011");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.hiddenChannels = {"microsoft-windows-powershell/OPERATIONAL"}; })),
              "11111110");
    EXPECT_EQ(shown(with([](FilterFields& f) { f.logs = kLogSystem; f.hiddenChannels = {"custom", "Gone"}; })),
              "11000101");
    EXPECT_FALSE(ShowsEverything(with([](FilterFields& f) { f.hiddenChannels = {"Gone"}; })));
    // The dialog keeps hidden channels it did not list and hides the unchecked.
    EXPECT_EQ(HiddenAfterChoice({"Gone", "custom", "A"}, {"Custom", "A", "B"}, {true, false, false}),
              (std::vector<std::string>{"Gone", "A", "B"}));
    EXPECT_FALSE(ShowsEverything(with([](FilterFields& f) { f.logs = kLogSystem; })));
}
