// The insertion-string table empties only the entries an earlier event may
// have filled: after any sequence of events it must hold exactly what a
// table made afresh for the event would.

#include <gtest/gtest.h>

#include "engine/insertion_table.h"

namespace quorvin::engine::test {
namespace {

std::vector<std::string> Afresh(const std::vector<std::string>& strings) {
    std::vector<std::string> table(kMaxInsertionStrings);
    for (std::size_t i = 0; i < strings.size() && i < table.size(); ++i) table[i] = strings[i];
    return table;
}

std::vector<std::string> Strings(std::size_t count, const std::string& stem) {
    std::vector<std::string> strings;
    for (std::size_t i = 0; i < count; ++i) strings.push_back(stem + std::to_string(i));
    return strings;
}

TEST(InsertionTable, HoldsWhatAFreshTableWouldAfterAnyEarlierEvent) {
    InsertionTable table;
    EXPECT_EQ(table.Entries(), Afresh({}));
    // Many strings, then fewer, then none, then more than the table holds,
    // then a few again; empty strings among them.
    const std::vector<std::vector<std::string>> events = {
        Strings(40, "a"), Strings(3, "b"), {}, Strings(300, "c"), {"", "x", ""}, Strings(256, "d"), {"y"}};
    for (const auto& strings : events) {
        table.Fill(strings);
        EXPECT_EQ(table.Entries(), Afresh(strings)) << strings.size();
    }
}

TEST(InsertionTable, EntriesSetBeyondTheStringsAreEmptiedByTheNextEvent) {
    InsertionTable table;
    table.Fill({"1", "2"});
    table.Set(1, "parameter");
    table.Set(200, "far");
    table.Set(255, "last");
    std::vector<std::string> expected = Afresh({"1", "parameter"});
    expected[200] = "far";
    expected[255] = "last";
    EXPECT_EQ(table.Entries(), expected);
    table.Fill({"z"});
    EXPECT_EQ(table.Entries(), Afresh({"z"}));
}

}  // namespace
}  // namespace quorvin::engine::test
