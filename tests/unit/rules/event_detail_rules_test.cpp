// The detail dialog's rules: the field-to-column table, cells cut at 1023
// bytes on a whole character, the step buttons' enabling.

#include "rules/event_detail_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvin::views {
namespace {

TEST(EventDetailRules, FieldsFillColumnsTwoOneThreeFourFiveSevenSix) {
    EXPECT_EQ(std::vector<int>(kDetailColumns.begin(), kDetailColumns.end()), (std::vector<int>{2, 1, 3, 4, 5, 7, 6}));
}

TEST(EventDetailRules, CellsAreCutAt1023BytesWithoutSplittingACharacter) {
    EXPECT_EQ(DetailCellText(std::string(1023, 'a')).size(), 1023u);
    EXPECT_EQ(DetailCellText(std::string(1500, 'a')).size(), 1023u);
    // A double-byte character across the limit goes whole.
    const std::string text = std::string(1022, 'a') + "表x";
    EXPECT_EQ(DetailCellText(text), std::string(1022, 'a'));
    EXPECT_EQ(DetailCellText(""), "");
}

TEST(EventDetailRules, StepsStayInsideTheList) {
    EXPECT_FALSE(PreviousEnabled(0));
    EXPECT_TRUE(PreviousEnabled(1));
    EXPECT_TRUE(NextEnabled(0, 3));
    EXPECT_FALSE(NextEnabled(2, 3));
    // One row: neither step.
    EXPECT_FALSE(PreviousEnabled(0));
    EXPECT_FALSE(NextEnabled(0, 1));
}

}  // namespace
}  // namespace quorvin::views
