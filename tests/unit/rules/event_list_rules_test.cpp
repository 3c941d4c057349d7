#include <gtest/gtest.h>

#include "rules/export.h"
#include "rules/event_list_rules.h"

using namespace quorvin::views;

TEST(EventColumnWidth, FixedIconAndTypeColumnsTheRestFromTheirTitles) {
    EXPECT_EQ(EventColumnWidth(0, 40), 18);
    EXPECT_EQ(EventColumnWidth(1, 40), 50);
    EXPECT_EQ(EventColumnWidth(2, 24), 124);
    EXPECT_EQ(EventColumnWidth(3, 30), 50);
    EXPECT_EQ(EventColumnWidth(4, 50), 75);
    EXPECT_EQ(EventColumnWidth(5, 20), 64);
    EXPECT_EQ(EventColumnWidth(6, 40), 84);
    EXPECT_EQ(EventColumnWidth(7, 40), 540);
    // The list has eight columns; the message column is the last.
    EXPECT_EQ(quorvin::run::EventColumnTitles().size(), static_cast<std::size_t>(kEventColumnCount));
    EXPECT_EQ(quorvin::run::EventColumnTitles()[kMessageColumn], "ﾒｯｾｰｼﾞ");
}

TEST(PositionText, RowNumberFromOneAndZeroForNoRow) {
    EXPECT_EQ(PositionText(-1, 0), "0/0");
    EXPECT_EQ(PositionText(-1, 12), "0/12");
    EXPECT_EQ(PositionText(0, 3), "1/3");
    EXPECT_EQ(PositionText(2, 3), "3/3");
}

TEST(TooltipText, AtMost255BytesOfTheMessage) {
    EXPECT_EQ(TooltipText(""), "");
    EXPECT_EQ(TooltipText("short"), "short");
    const std::string longAscii(400, 'm');
    EXPECT_EQ(TooltipText(longAscii), std::string(255, 'm'));
    // 254 ASCII bytes then a double-byte character: it does not fit whole.
    const std::string edge = std::string(254, 'a') + "ア" + "b";
    EXPECT_EQ(TooltipText(edge), std::string(254, 'a'));
    const std::string fits = std::string(253, 'a') + "ア" + "b";
    EXPECT_EQ(TooltipText(fits), std::string(253, 'a') + "ア");
}
