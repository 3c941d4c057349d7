#include "rules/sort.h"

#include <gtest/gtest.h>

using namespace quorvin::views;
using Keys = std::vector<std::string>;

namespace {

Keys Sorted(const Keys& keys, int column) {
    Keys out;
    for (std::size_t i : SortOrder(keys, column)) out.push_back(keys[i]);
    return out;
}

}  // namespace

TEST(Sort, TimeColumnPutsTheNewestFirstAndOthersAscendAsText) {
    const Keys times = {"2003/01/15 09:05:07  ", "2003/01/16 00:00:00  ", "2002/12/31 23:59:59  "};
    const Keys newestFirst = {"2003/01/16 00:00:00  ", "2003/01/15 09:05:07  ", "2002/12/31 23:59:59  "};
    EXPECT_EQ(Sorted(times, kTimeColumn), newestFirst);
    EXPECT_EQ(Sorted(newestFirst, kTimeColumn), newestFirst);  // clicking again keeps the order
    EXPECT_EQ(Sorted(times, 3), (Keys{"2002/12/31 23:59:59  ", "2003/01/15 09:05:07  ", "2003/01/16 00:00:00  "}));

    EXPECT_EQ(Sorted({"7", "1000", "20"}, 6), (Keys{"1000", "20", "7"}));  // event IDs are text
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
