#include "rules/sort.h"

#include <gtest/gtest.h>

using namespace quorvin::views;
using Keys = std::vector<std::string>;

namespace {

Keys Sorted(const Keys& keys, int column, bool reversed = false) {
    Keys out;
    for (std::size_t i : SortOrder(keys, column, reversed)) out.push_back(keys[i]);
    return out;
}

}  // namespace

TEST(Sort, TimeNewestFirstEventIdsByNumberOthersAsTextAndTurnedRound) {
    const Keys times = {"2003/01/15 09:05:07  ", "2003/01/16 00:00:00  ", "2002/12/31 23:59:59  "};
    const Keys newestFirst = {"2003/01/16 00:00:00  ", "2003/01/15 09:05:07  ", "2002/12/31 23:59:59  "};
    EXPECT_EQ(Sorted(times, kTimeColumn), newestFirst);
    EXPECT_EQ(Sorted(newestFirst, kTimeColumn), newestFirst);  // clicking again keeps the order
    EXPECT_EQ(Sorted(times, 3), (Keys{"2002/12/31 23:59:59  ", "2003/01/15 09:05:07  ", "2003/01/16 00:00:00  "}));

    // Event IDs by number; texts that are no number after them, by text.
    const Keys ids = {"11724", "1517", "x9", "35", "4199", "", "51", "0528", "A1", "528", "a1"};
    EXPECT_EQ(Sorted(ids, kEventIdColumn),
              (Keys{"35", "51", "0528", "528", "1517", "4199", "11724", "", "A1", "a1", "x9"}));
    // Turned round: the same rule's order reversed, equal keys still in their order.
    EXPECT_EQ(Sorted(ids, kEventIdColumn, true),
              (Keys{"x9", "A1", "a1", "", "11724", "4199", "1517", "0528", "528", "51", "35"}));
    EXPECT_EQ(Sorted(times, kTimeColumn, true), Sorted(times, 3));
    EXPECT_EQ(Sorted({"9", "18446744073709551616", "18446744073709551615"}, kEventIdColumn),
              (Keys{"9", "18446744073709551615", "18446744073709551616"}));
    EXPECT_GT(CompareForColumn("a", "b", kTimeColumn), 0);
    EXPECT_LT(CompareForColumn("a", "b", 5), 0);
}

TEST(Sort, NamesIgnoreLatinCaseAndDoubleByteCharactersAreUnits) {
    const Keys names = {"pc02", "PC01", "ｱ", "pc01", "ア", "Pc03"};
    EXPECT_EQ(Sorted(names, 4), (Keys{"PC01", "pc01", "pc02", "Pc03", "ｱ", "ア"}));
    // Equal keys keep their order; the empty icon column changes nothing.
    EXPECT_EQ(SortOrder({"", "", ""}, 0), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(SortOrder({"B", "a", "b", "A"}, kTimeColumn), (std::vector<std::size_t>{0, 2, 1, 3}));
    EXPECT_TRUE(SortOrder({}, 1).empty());
}

TEST(Sort, ASecondClickTurnsTheOrderRoundAnotherColumnStartsWithItsOwn) {
    SortState state;
    EXPECT_EQ(state = NextSortState(state, kEventIdColumn), (SortState{kEventIdColumn, false}));
    EXPECT_FALSE(SortsDescending(state));
    EXPECT_EQ(state = NextSortState(state, kEventIdColumn), (SortState{kEventIdColumn, true}));
    EXPECT_TRUE(SortsDescending(state));
    EXPECT_EQ(state = NextSortState(state, kEventIdColumn), (SortState{kEventIdColumn, false}));
    EXPECT_EQ(state = NextSortState(NextSortState(state, kEventIdColumn), 4), (SortState{4, false}));
    // The time column's own order is newest first: its arrow points down.
    EXPECT_EQ(state = NextSortState(state, kTimeColumn), (SortState{kTimeColumn, false}));
    EXPECT_TRUE(SortsDescending(state));
    EXPECT_FALSE(SortsDescending(NextSortState(state, kTimeColumn)));
}
