#include "rules/filter_store.h"

#include <gtest/gtest.h>

#include "support/fake_registry.h"

using namespace quorvin::app;
using namespace quorvin::views;
using quorvin::testing::FakeHive;
using quorvin::testing::FakeKey;

namespace {
struct RecordedMessages : RegistryMessages {
    std::vector<std::string> captions;
    void ShowRegistryError(const std::string& caption) override { captions.push_back(caption); }
};
}  // namespace

TEST(FilterStore, AFilterSurvivesSaveAndLoadAndAnUnchangedOneIsNotWritten) {
    FakeHive hive;
    FakeKey root{hive, ""};
    RecordedMessages messages;
    FilterFields fields;
    ASSERT_FALSE(LoadViewFilter(root, fields));
    EXPECT_EQ(fields, FilterFields());
    const FilterFields none;
    SaveViewFilter(root, fields, &none, messages);
    EXPECT_TRUE(hive.written.empty());

    FilterFields set;
    set.types = kTypeError | kTypeAuditFailure;
    set.logs = kLogSecurity;
    set.computers = "DC01,ＰＣ01";
    set.eventIds = "7-11,-9";
    set.text = "ﾛｸﾞｵﾝ";
    SaveViewFilter(root, set, &none, messages);
    EXPECT_EQ(hive.written.size(), 6u);
    FilterFields loaded;
    ASSERT_FALSE(LoadViewFilter(root, loaded));
    EXPECT_EQ(loaded, set);
    EXPECT_TRUE(messages.captions.empty());
}

TEST(FilterStore, StoredValuesThatAreNoFilterSayWhichAndShowEverything) {
    const struct {
        const char* name;
        bool dword;
        std::uint32_t number;
        std::string text;
        const char* message;
    } cases[] = {
        {"ViewFilterTypes", true, 99, "", "種類: '99' は選択の値ではありません。"},
        {"ViewFilterLogs", false, 0, "all", "ログ: 'all' は選択の値ではありません。"},
        {"ViewFilterTypes", true, 0, "", "種類: 1つ以上選んでください。"},
        {"ViewFilterEventIds", false, 0, "7-", "イベントID: '7-' に範囲の終わりがありません。"},
        {"ViewFilterText", false, 0, "ab\x83", "メッセージの文字列: 3 バイト目の2バイト文字が途中で切れています。"},
        {"ViewFilterSources", false, 0, std::string(kMostFieldBytes + 1, 's'), "ソース: 4096 バイトまでです。"},
    };
    for (const auto& c : cases) {
        FakeHive hive;
        FakeKey root{hive, ""};
        hive.SetText(kSettingsKey, "ViewFilterComputers", "DC01");
        if (c.dword)
            hive.SetDword(kSettingsKey, c.name, c.number);
        else
            hive.SetText(kSettingsKey, c.name, c.text);
        FilterFields fields;
        const auto error = LoadViewFilter(root, fields);
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(fields, FilterFields()) << c.name;
        const UserMessage message = StoredFilterMessage(*error);
        EXPECT_NE(message.text.find(c.message), std::string::npos) << message.text;
        EXPECT_EQ(message.caption, "注意");
    }
}

TEST(FilterStore, TheSummarySizeIsWrittenWhenChangedAndReadWhenSensible) {
    FakeHive hive;
    FakeKey root{hive, ""};
    RecordedMessages messages;
    const SummarySize none = LoadSummarySize(root);
    EXPECT_EQ(none, SummarySize());
    SaveSummarySize(root, none, none, messages);
    EXPECT_TRUE(hive.written.empty());
    SaveSummarySize(root, {900, 650}, none, messages);
    EXPECT_EQ(LoadSummarySize(root), (SummarySize{900, 650}));
    SaveSummarySize(root, {900, 20}, none, messages);
    EXPECT_EQ(LoadSummarySize(root), SummarySize());
    EXPECT_TRUE(messages.captions.empty());
}
