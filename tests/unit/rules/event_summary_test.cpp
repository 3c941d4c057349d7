#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "engine/event_row.h"
#include "rules/event_json.h"
#include "rules/event_summary.h"

using namespace quorvin::views;
using quorvin::engine::EventRow;

namespace {

EventRow Row(int eventType, const char* log, const std::string& computer, const std::string& source,
             std::uint32_t id, const std::string& time) {
    return quorvin::engine::MakeEventRow(static_cast<std::uint16_t>(eventType), "\\\\" + computer, source, "m", log,
                                         time, id);
}

// A mixed run: names in either case, a source with a comma and a double
// quote, an empty source, types of every kind, two channels, over two days.
std::vector<EventRow> MixedRows() {
    const char* const computers[] = {"DC01", "dc01", "PC\x83\x41", "FS01"};
    const std::string sources[] = {"Disk", "DISK", "Foo, \"Bar\"", "", " padded "};
    const int types[] = {1, 2, 4, 8, 16, 0};
    const char* const logs[] = {"System", "Security", "Application", "Ch/One", "Ch/Two"};
    std::vector<EventRow> rows;
    for (int i = 0; i < 600; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "2026/12/%02d %02d:%02d:00  ", 1 + i % 2, i % 24, i % 60);
        rows.push_back(Row(types[i % 6], logs[i / 2 % 5], computers[i % 4], sources[i % 5],
                           static_cast<std::uint32_t>(i % 7 == 0 ? 65535 : 7 + i % 3), time));
    }
    return rows;
}

}  // namespace

TEST(EventSummary, EachGroupsFilterShowsExactlyItsRows) {
    const std::vector<EventRow> rows = MixedRows();
    EventSummary summary;
    for (const EventRow& row : rows) summary.Add(row);
    const std::vector<SummaryRow> groups = summary.Rows();
    // DC01 and dc01 are one computer, as the filter compares names: a group
    // of each would match the other's rows too.
    std::uint64_t total = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        FilterError error{};
        const auto filter = EventFilter::Parse(GroupFilter(groups[g], {"Ch/One", "Ch/Two", "Gone"}), error);
        ASSERT_TRUE(filter) << FilterErrorText(error, "group");
        std::uint64_t matched = 0;
        std::string first = "9", last;
        for (const EventRow& row : rows) {
            if (!filter->Matches(row)) continue;
            ++matched;
            first = std::min(first, row.columns[2]);
            last = std::max(last, row.columns[2]);
        }
        EXPECT_EQ(matched, groups[g].count) << groups[g].computer << "|" << groups[g].source;
        EXPECT_EQ(groups[g].first, first);
        EXPECT_EQ(groups[g].last, last);
        if (g > 0) {
            EXPECT_GE(groups[g - 1].count, groups[g].count);
        }
        total += groups[g].count;
    }
    EXPECT_EQ(total, rows.size());

    // Summaries of parts merged are the summary of the whole.
    EventSummary a, b;
    for (std::size_t i = 0; i < rows.size(); ++i) (i < 250 ? a : b).Add(rows[i]);
    a.Merge(b);
    EXPECT_EQ(SummaryCsv(a.Rows()), SummaryCsv(groups));
    EXPECT_EQ(a.Chart().bars, summary.Chart().bars);

    // The order ranks texts before sorting: it is the plain sort by the
    // summary's own rule, with logs that differ only in case and IDs that
    // are no numbers among groups of equal counts.
    for (int i = 0; i < 90; ++i) {
        EventRow row = Row(1 << (i % 3), i % 2 ? "Foo" : "FOO", i % 4 ? "dc01" : "FS01", "Disk", 7, "2026/12/01 10:00:00  ");
        row.columns[6] = i % 5 ? std::to_string(i % 3 + 5) : "x" + std::to_string(i % 2);
        summary.Add(row);
    }
    const std::vector<SummaryRow> ranked = summary.Rows();
    std::vector<SummaryRow> plain = ranked;
    std::reverse(plain.begin(), plain.end());
    SortSummary(plain, SummaryColumn::kCount, true);
    EXPECT_EQ(SummaryCsv(plain), SummaryCsv(ranked));
}

TEST(EventSummary, OrderAndCsvFile) {
    EventSummary summary;
    summary.Add(Row(1, "System", "PC02", "Disk", 11, "2026/12/01 10:00:00  "));
    summary.Add(Row(1, "System", "PC01", "Disk", 7, "2026/12/01 09:00:00  "));
    summary.Add(Row(1, "System", "PC01", "Disk", 11, "2026/12/01 08:00:00  "));
    summary.Add(Row(1, "System", "PC01", "a,\"b\"", 9, "2026/12/01 08:00:00  "));
    summary.Add(Row(1, "System", "PC01", "a,\"b\"", 9, "2026/12/02 07:00:00  "));
    EXPECT_EQ(SummaryCsv(summary.Rows()),
              "ｺﾝﾋﾟｭｰﾀ名,ｲﾍﾞﾝﾄ,種類,ｿｰｽ,ｲﾍﾞﾝﾄID,件数,最初,最後\r\n"
              "PC01,ｼｽﾃﾑ,エラー,\"a,\"\"b\"\"\",9,2,2026/12/01 08:00:00  ,2026/12/02 07:00:00  \r\n"
              "PC01,ｼｽﾃﾑ,エラー,Disk,7,1,2026/12/01 09:00:00  ,2026/12/01 09:00:00  \r\n"
              "PC01,ｼｽﾃﾑ,エラー,Disk,11,1,2026/12/01 08:00:00  ,2026/12/01 08:00:00  \r\n"
              "PC02,ｼｽﾃﾑ,エラー,Disk,11,1,2026/12/01 10:00:00  ,2026/12/01 10:00:00  \r\n");
    std::vector<SummaryRow> rows = summary.Rows();
    SortSummary(rows, SummaryColumn::kEventId, true);
    EXPECT_EQ(rows[0].eventId + rows[1].computer + rows[2].eventId + rows[3].eventId, "11PC0297");
    SortSummary(rows, SummaryColumn::kLast, false);
    EXPECT_EQ(rows[0].eventId, "11");
    EXPECT_EQ(rows[3].eventId, "9");
}

TEST(EventSummary, ChartBarsAreHoursUpToSevenDaysThenDays) {
    EventSummary hours;
    hours.Add(Row(1, "System", "PC01", "s", 1, "2026/12/31 22:10:00  "));
    hours.Add(Row(2, "System", "PC01", "s", 1, "2026/12/31 22:50:00  "));
    hours.Add(Row(16, "Security", "PC01", "s", 1, "2027/01/01 01:00:00  "));
    hours.Add(Row(1, "System", "PC01", "s", 1, "no time"));
    SummaryChart chart = hours.Chart();
    EXPECT_EQ(chart.hoursPerBar, 1);
    ASSERT_EQ(chart.bars.size(), 4u);
    EXPECT_EQ(chart.bars[0], (TypeCounts{1, 1, 0, 0, 0}));
    EXPECT_EQ(chart.bars[3], (TypeCounts{0, 0, 0, 0, 1}));
    EXPECT_EQ(chart.Tallest(), 2u);
    EXPECT_EQ(chart.BarStart(0), "2026/12/31 22:00");
    EXPECT_EQ(chart.BarStart(2), "2027/01/01 00:00");
    // A text of another form (another program's row) still counts as a time text.
    const SummaryRow errors = hours.Rows()[0];
    EXPECT_EQ(errors.count, 2u);
    EXPECT_EQ(errors.first + "|" + errors.last, "2026/12/31 22:10:00  |no time");

    // Seven days and more: one bar a day, from midnight.
    hours.Add(Row(4, "System", "PC01", "s", 1, "2027/01/07 23:00:00  "));
    chart = hours.Chart();
    EXPECT_EQ(chart.hoursPerBar, 24);
    ASSERT_EQ(chart.bars.size(), 8u);
    EXPECT_EQ(chart.BarStart(0), "2026/12/31");
    EXPECT_EQ(chart.bars[0], (TypeCounts{1, 1, 0, 0, 0}));
    EXPECT_EQ(chart.bars[7], (TypeCounts{0, 0, 1, 0, 0}));

    // Centuries apart: still at most kMostBars bars.
    hours.Add(Row(4, "System", "PC01", "s", 1, "1601/01/01 00:00:00  "));
    chart = hours.Chart();
    EXPECT_LE(chart.bars.size(), kMostBars);
    EXPECT_EQ(chart.BarStart(0), "1601/01/01");
}

TEST(EventSummary, AxisStepsAndLabels) {
    EXPECT_EQ(AxisStep(0, 5), 1u);
    EXPECT_EQ(AxisStep(5, 5), 1u);
    EXPECT_EQ(AxisStep(9, 5), 2u);
    EXPECT_EQ(AxisStep(23, 5), 5u);
    EXPECT_EQ(AxisStep(48000, 5), 10000u);
    EXPECT_EQ(LabelEvery(144, 720, 60), 13u);  // 5 pixels a bar: a label every 13 bars
    EXPECT_EQ(LabelEvery(3, 720, 60), 1u);
}

TEST(EventSummary, JsonLineNamesTheEventsKeys) {
    EventRow row = Row(16, "Security", "DC01", "Security", 529, "2026/12/01 10:00:00  ");
    auto facts = std::make_shared<quorvin::engine::EventFacts>();
    facts->timeGenerated = 1796083200;
    row.facts = facts;
    EventSummary summary;
    summary.Add(row);
    EXPECT_EQ(quorvin::run::SummaryJsonLine(summary.Rows()[0]),
              "{\"host.name\":\"DC01\",\"winlog.channel\":\"Security\",\"log.level\":\"audit failure\","
              "\"event.provider\":\"Security\",\"winlog.event_id\":529,\"count\":1,"
              "\"first\":\"2026-12-01T00:00:00Z\",\"last\":\"2026-12-01T00:00:00Z\"}\n");
}

TEST(EventFilter, QuotedNamesHoldCommasBlanksAndQuotes) {
    FilterFields fields;
    fields.sources = QuoteName("a, \"b\"") + " , plain," + QuoteName("");
    EXPECT_EQ(fields.sources, "\"a, \"\"b\"\"\" , plain,\"\"");
    FilterError error{};
    const auto filter = EventFilter::Parse(fields, error);
    ASSERT_TRUE(filter);
    EXPECT_TRUE(filter->Matches(Row(1, "System", "PC", "a, \"b\"", 1, "")));
    EXPECT_TRUE(filter->Matches(Row(1, "System", "PC", "PLAIN", 1, "")));
    EXPECT_TRUE(filter->Matches(Row(1, "System", "PC", "", 1, "")));
    EXPECT_FALSE(filter->Matches(Row(1, "System", "PC", "a", 1, "")));
    // A quote that does not close the entry is a character of the name, as before.
    fields.sources = "\"a\"b, \"c";
    const auto literal = EventFilter::Parse(fields, error);
    ASSERT_TRUE(literal);
    EXPECT_TRUE(literal->Matches(Row(1, "System", "PC", "\"a\"b", 1, "")));
    EXPECT_TRUE(literal->Matches(Row(1, "System", "PC", "\"c", 1, "")));
}
