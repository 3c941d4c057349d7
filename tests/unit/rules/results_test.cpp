#include <gtest/gtest.h>

#include "core/file_filter.h"
#include "rules/results.h"

using namespace quorvin;

TEST(ExitQuestion, AskedOnlyWhileRowsAreUnsaved) {
    EXPECT_FALSE(run::AskToSaveResults(1, 0));
    EXPECT_FALSE(run::AskToSaveResults(1, 5));
    EXPECT_FALSE(run::AskToSaveResults(0, 0));
    EXPECT_TRUE(run::AskToSaveResults(0, 1));
    const app::UserMessage question = run::SaveResultsQuestion();
    EXPECT_EQ(question.text, "結果を保存しますか。");
    EXPECT_EQ(question.caption, "確認");
    EXPECT_EQ(question.icon, app::MessageIcon::None);
    EXPECT_EQ(question.buttons, app::MessageButtons::YesNoCancel);
}

TEST(ExportDialog, FilterOfThreeEntries) {
    using namespace std::string_literals;
    EXPECT_EQ(app::DialogFilter(run::kExportFilter),
              "カンマ区切りテキスト(*.txt)\0*.txt\0CSV (*.csv)\0*.csv\0すべてのファイル(*.*)\0*.*\0\0"s);
    EXPECT_STREQ(run::kExportDefaultExtension, "txt");
}
