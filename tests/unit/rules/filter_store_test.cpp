#include "rules/filter_store.h"
#include "rules/window_store.h"

#include <gtest/gtest.h>

#include "support/fake_registry.h"

using namespace quorvin::app;
using quorvin::PixelRect;
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
    set.hiddenChannels = {"Microsoft-Windows-PowerShell/Operational", "ｱﾌﾟﾘ/Admin"};
    SaveViewFilter(root, set, &none, messages);
    EXPECT_EQ(hive.written.size(), 7u);
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
        {"ViewFilterHiddenChannels", false, 0, "a;;b\x83", "チャネル: 2 番目の項目に途中で切れた2バイト文字があります。"},
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

TEST(FilterStore, TheMainWindowsLayoutSurvivesAndBadOrLostPlacesAreMended) {
    FakeHive hive;
    FakeKey root{hive, ""};
    RecordedMessages messages;
    const MainWindowLayout none = LoadMainWindowLayout(root);
    EXPECT_EQ(none, MainWindowLayout());
    SaveMainWindowLayout(root, none, none, messages);
    EXPECT_TRUE(hive.written.empty());
    MainWindowLayout left{true, {-1900, 40, -900, 700}, true, {20, 130, 80, 60, 90, 120, 50, 600}};
    SaveMainWindowLayout(root, left, none, messages);
    EXPECT_EQ(LoadMainWindowLayout(root), left);
    hive.written.clear();
    SaveMainWindowLayout(root, left, left, messages);
    EXPECT_TRUE(hive.written.empty());
    EXPECT_TRUE(messages.captions.empty());

    // Texts that are no place or no widths are left out, each on its own.
    for (const char* bad : {"", "1,2,3", "0,0,50,50,0", "0,0,800,600,2", "0,0,800,600,1,", "0,-,800,600,0",
                            "0,0,99999999,600,0", "a,0,800,600,0"}) {
        PixelRect rect;
        bool maximized = false;
        EXPECT_FALSE(ParsePlace(bad, rect, maximized)) << bad;
    }
    std::vector<int> widths;
    EXPECT_FALSE(ParseWidths("20,,30", widths));
    EXPECT_FALSE(ParseWidths("20,-5", widths));
    EXPECT_TRUE(ParseWidths("0,20", widths));

    // A window showing its caption stays; one off the monitor comes back
    // onto it whole, one larger than it shrinks to it.
    const PixelRect work{0, 0, 1280, 984};
    EXPECT_EQ(BringOnto({100, 100, 900, 700}, work), (PixelRect{100, 100, 900, 700}));
    EXPECT_EQ(BringOnto({1200, 100, 2000, 700}, work), (PixelRect{1200, 100, 2000, 700}));
    EXPECT_EQ(BringOnto({-1900, 40, -900, 700}, work), (PixelRect{0, 40, 1000, 700}));
    EXPECT_EQ(BringOnto({200, -300, 1000, 300}, work), (PixelRect{200, 0, 1000, 600}));
    EXPECT_EQ(BringOnto({3000, 2000, 5000, 4000}, work), (PixelRect{0, 0, 1280, 984}));
}
