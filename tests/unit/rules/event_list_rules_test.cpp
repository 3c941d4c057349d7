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

TEST(CopiedRowsText, TitlesThenTheRowsAsTabSeparatedLinesWithoutBreaksInside) {
    EventTable table;
    std::vector<quorvin::engine::EventRow> batch(3);
    batch[0].columns = {"", "情報", "2003/01/15 10:00:00  ", "ｼｽﾃﾑ", "pc01", "", "7", "one,\ttab"};
    batch[1].columns = {"", "警告", "t", "ｱﾌﾟﾘｹｰｼｮﾝ", "pc02", "src", "1000", "two\r\nlines\n"};
    // Trail bytes that look like ASCII ("ソ" is 83 5C) stay as they are.
    batch[2].columns = {"x", "ｴﾗｰ", "t", "ｾｷｭﾘﾃｨ", "PC01", "s", "9", "\x83\x5c\x83\x7c"};
    table.Append(batch);
    ShownRows shown(table);
    const auto& titles = quorvin::run::EventColumnTitles();
    EXPECT_EQ(CopiedRowsText(titles, shown, {2, 0}),
              "種類\t時刻\tｲﾍﾞﾝﾄ\tｺﾝﾋﾟｭｰﾀ名\tｿｰｽ\tｲﾍﾞﾝﾄID\tﾒｯｾｰｼﾞ\r\n"
              "ｴﾗｰ\tt\tｾｷｭﾘﾃｨ\tPC01\ts\t9\t\x83\x5c\x83\x7c\r\n"
              "情報\t2003/01/15 10:00:00  \tｼｽﾃﾑ\tpc01\t\t7\tone, tab\r\n");
    EXPECT_EQ(CopiedRowsText(titles, shown, {1}).substr(CopiedRowsText(titles, shown, {}).size()),
              "警告\tt\tｱﾌﾟﾘｹｰｼｮﾝ\tpc02\tsrc\t1000\ttwo  lines \r\n");
}

TEST(ExportDialogTitle, TellsTheShownAndAllRowsOnlyWhileFiltered) {
    EXPECT_EQ(ExportDialogTitle(2, 3, true), "名前を付けて保存 (絞り込み中: 2 / 3 件)");
    EXPECT_EQ(ExportDialogTitle(3, 3, false), "");
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

TEST(FindRow, FromTheStartRowOnThenWrappedByTheTypeOrTheFirstColumnsText) {
    EventTable table;
    std::vector<quorvin::engine::EventRow> rows(5);
    const char* types[] = {"情報", "警告", "ｴﾗｰ", "情報", "Audit"};
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].columns[1] = types[i];
    table.Append(rows);
    // A row of another program's with a text of its own in the first column.
    quorvin::engine::EventRow own;
    own.columns = {"ｴﾝﾄﾘ", "情報"};
    table.Insert(5, own);

    EXPECT_EQ(FindRow(table, 0, "ｴ", RowMatch::kStart, true), 2);
    EXPECT_EQ(FindRow(table, -1, "情", RowMatch::kStart, true), 0);
    EXPECT_EQ(FindRow(table, 1, "情", RowMatch::kStart, true), 3);
    // The start row itself counts; past the last row only wrapping finds.
    EXPECT_EQ(FindRow(table, 3, "情報", RowMatch::kWhole, false), 3);
    EXPECT_EQ(FindRow(table, 4, "情", RowMatch::kStart, false), -1);
    EXPECT_EQ(FindRow(table, 4, "情", RowMatch::kStart, true), 0);
    EXPECT_EQ(FindRow(table, 6, "ｴﾗ", RowMatch::kStart, true), 2);
    // ASCII in either case; a whole match is no prefix match.
    EXPECT_EQ(FindRow(table, 0, "aUD", RowMatch::kStart, false), 4);
    EXPECT_EQ(FindRow(table, 0, "aUD", RowMatch::kWhole, true), -1);
    // The first column's own text is the key where there is one.
    EXPECT_EQ(FindRow(table, 3, "ｴ", RowMatch::kStart, true), 5);
    EXPECT_EQ(FindRow(table, 0, "ｴﾝ", RowMatch::kStart, true), 5);
    EXPECT_EQ(FindRow(EventTable(), 0, "", RowMatch::kStart, true), -1);
}
