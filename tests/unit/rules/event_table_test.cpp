#include "rules/event_table.h"

#include <gtest/gtest.h>

#include "rules/event_list_rules.h"
#include "rules/shown_rows.h"
#include "rules/sort.h"

using namespace quorvin::views;
using quorvin::engine::EventRow;

namespace {

EventRow Row(int image, const std::string& time, const std::string& computer, const std::string& message) {
    EventRow row;
    row.image = image;
    row.columns = {"", "情報", time, "ｼｽﾃﾑ", computer, "src", "7", message};
    return row;
}

std::vector<std::string> Column(const EventTable& table, int column) {
    std::vector<std::string> texts;
    for (std::size_t row = 0; row < table.Count(); ++row) texts.push_back(table.Text(row, column));
    return texts;
}

}  // namespace

TEST(EventTable, BatchesAppendInOrderAndMessagesEditRowsInPlace) {
    EventTable table;
    std::vector<EventRow> batch = {Row(0, "2003/01/15 10:00:00  ", "pc01", "one"),
                                   Row(2, "2003/01/16 10:00:00  ", "pc02", "two")};
    table.Append(batch);
    EXPECT_TRUE(batch.empty());
    batch = {Row(1, "2003/01/14 10:00:00  ", "pc03", "three")};
    table.Append(batch);
    EXPECT_EQ(Column(table, 7), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(table.Image(1), 2);

    // What LVM_INSERTITEM / LVM_SETITEMTEXT ask: a row at an index, past the end at the end.
    EXPECT_EQ(table.Insert(1, Row(4, "", "", "inserted")), 1u);
    EXPECT_EQ(table.Insert(99, Row(3, "", "", "last")), 4u);
    EXPECT_TRUE(table.SetText(4, 4, "pc09"));
    EXPECT_TRUE(table.SetImage(4, 1));
    EXPECT_EQ(Column(table, 7), (std::vector<std::string>{"one", "inserted", "two", "three", "last"}));
    EXPECT_EQ(table.Text(4, 4), "pc09");
    EXPECT_EQ(table.Image(4), 1);

    // Outside the table nothing changes and nothing is read.
    EXPECT_FALSE(table.SetText(5, 1, "x"));
    EXPECT_FALSE(table.SetText(0, 8, "x"));
    EXPECT_FALSE(table.SetText(0, -1, "x"));
    EXPECT_FALSE(table.SetImage(5, 1));
    EXPECT_FALSE(table.Erase(5));
    EXPECT_EQ(table.Text(5, 1), "");
    EXPECT_EQ(table.Text(0, 8), "");
    EXPECT_EQ(table.Image(5), 0);

    EXPECT_TRUE(table.Erase(1));
    EXPECT_EQ(table.Count(), 4u);
    const std::vector<quorvin::run::ExportRow> exported = table.ExportRows();
    ASSERT_EQ(exported.size(), 4u);
    EXPECT_EQ(exported[3][4], "pc09");
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
}

TEST(EventTable, SortKeepsTheListsOrderAndTellsWhereEachRowWent) {
    EventTable table;
    std::vector<EventRow> batch = {Row(0, "2003/01/15 10:00:00  ", "pc02", "a"),
                                   Row(1, "2003/01/16 10:00:00  ", "PC01", "b"),
                                   Row(2, "2003/01/14 10:00:00  ", "pc01", "c")};
    table.Append(batch);
    // Newest first; the images go with their rows.
    EXPECT_EQ(table.SortByColumn(kTimeColumn), (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_EQ(Column(table, 7), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(table.Image(0), 1);
    // Names without regard to case, equal names keep their order.
    EXPECT_EQ(table.SortByColumn(4), (std::vector<std::size_t>{0, 2, 1}));
    EXPECT_EQ(Column(table, 4), (std::vector<std::string>{"PC01", "pc01", "pc02"}));
    // The same order as the rule over copies of the keys.
    const std::vector<std::string> messages = Column(table, 7);
    const std::vector<std::size_t> order = SortOrder(messages, 7);
    table.SortByColumn(7);
    for (std::size_t place = 0; place < order.size(); ++place) EXPECT_EQ(table.Text(place, 7), messages[order[place]]);
    EXPECT_TRUE(EventTable().SortByColumn(3).empty());
}

TEST(EventTable, RowsAreKeptAsTheListKeepsTheirTexts) {
    EXPECT_EQ(AsListKeepsIt("ｼｽﾃﾑ ログ abc"), "ｼｽﾃﾑ ログ abc");
    EXPECT_EQ(AsListKeepsIt(std::string("before\0after", 12)), "before");
    // A lead byte without its trail byte is no character.
    EXPECT_EQ(AsListKeepsIt("x\x82"), "x・");
    EXPECT_EQ(AsListKeepsIt(""), "");
    EXPECT_EQ(AsListKeepsIt(std::string("\0", 1)), "");
    EXPECT_EQ(AsListKeepsIt("plain ASCII ｶﾀｶﾅ 123"), "plain ASCII ｶﾀｶﾅ 123");
    // Characters of two codes in CP932 come back as the one Windows converts to.
    EXPECT_EQ(AsListKeepsIt("\xED\x40"), AsListKeepsIt(AsListKeepsIt("\xED\x40")));
}

namespace {

// The plain path: every row of the table through the filter, in order.
std::vector<std::string> PlainShown(const EventTable& table, const EventFilter& filter) {
    std::vector<std::string> messages;
    for (std::size_t row = 0; row < table.Count(); ++row)
        if (filter.Matches(table.Row(row))) messages.push_back(table.Text(row, 7));
    return messages;
}

std::vector<std::string> Shown(const ShownRows& shown) {
    std::vector<std::string> messages;
    for (std::size_t row = 0; row < shown.Count(); ++row) messages.push_back(shown.Text(row, 7));
    return messages;
}

}  // namespace

TEST(ShownRows, TheIndexBuiltAsRowsArriveIsThePlainFilterAfterBatchesSortsAndEdits) {
    std::vector<FilterFields> filters(4);
    filters[1].eventIds = "7-11,-9";
    filters[2].text = "disk";
    filters[2].types = kTypeError | kTypeWarning;
    filters[3].computers = "pc01";
    for (const FilterFields& fields : filters) {
        FilterError error{};
        const EventFilter filter = *EventFilter::Parse(fields, error);
        EventTable table;
        ShownRows shown(table);
        shown.SetFilter(filter);
        unsigned seed = 7;
        for (int batchNumber = 0; batchNumber < 20; ++batchNumber) {
            std::vector<EventRow> batch;
            for (int i = 0; i < batchNumber % 5; ++i) {
                seed = seed * 1103515245u + 12345u;
                EventRow row = Row(static_cast<int>(seed % 5), std::to_string(seed % 97),
                                   seed % 3 ? "PC01" : "pc02", seed % 2 ? "Disk full" : "Service ok");
                row.columns[6] = std::to_string(seed % 14);
                batch.push_back(row);
            }
            table.Append(batch);
            shown.RowsAppended();
            ASSERT_EQ(Shown(shown), PlainShown(table, filter));
        }
        table.SortByColumn(2);
        shown.Rebuild();
        EXPECT_EQ(Shown(shown), PlainShown(table, filter));
        EXPECT_EQ(shown.ExportRows().size(), shown.Count());
        for (std::size_t i = 0; i < shown.Count(); ++i) {
            EXPECT_EQ(shown.ShownIndexOf(shown.TableRow(i)), static_cast<int>(i));
            EXPECT_EQ(shown.ExportRows()[i][7], shown.Text(i, 7));
        }
        EXPECT_EQ(shown.Text(shown.Count(), 7), "");
        table.Erase(0);
        shown.Rebuild();
        EXPECT_EQ(Shown(shown), PlainShown(table, filter));
    }
}

TEST(ShownRows, SearchesFindShownRowsOnly) {
    EventTable table;
    std::vector<EventRow> batch = {Row(2, "t", "pc01", "a"), Row(0, "t", "pc02", "b"), Row(2, "t", "pc02", "c")};
    batch[0].columns[1] = batch[2].columns[1] = "エラー";
    table.Append(batch);
    ShownRows shown(table);
    FilterFields fields;
    fields.computers = "pc02";
    FilterError error{};
    shown.SetFilter(*EventFilter::Parse(fields, error));
    EXPECT_EQ(shown.ShownIndexOf(0), -1);
    EXPECT_EQ(FindRow(shown, 0, "エ", RowMatch::kStart, true), 1);
    EXPECT_EQ(FindRow(table, 0, "エ", RowMatch::kStart, true), 0);
}
