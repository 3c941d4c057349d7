#include "rules/computer_list.h"

#include <gtest/gtest.h>

#include "rules/settings_store.h"
#include "support/fake_registry.h"

using namespace quorvin::computers;
using Names = std::vector<std::string>;

TEST(ComputerList, StoredTextSplitsAtEverySemicolon) {
    EXPECT_EQ(ParseComputerList("pc1;pc2;pc3;"), (Names{"pc1", "pc2", "pc3"}));
    EXPECT_EQ(ParseComputerList("pc1;pc2"), (Names{"pc1", "pc2"}));
    EXPECT_EQ(ParseComputerList(""), Names{});
    EXPECT_EQ(ParseComputerList(";"), Names{""});
    EXPECT_EQ(ParseComputerList("a;;b;"), (Names{"a", "", "b"}));
    // Double-byte names whose trail bytes are '\' (ソ) or a lead byte that
    // ends a name are taken byte for byte.
    EXPECT_EQ(ParseComputerList("ソ表;ab\x83;cd"), (Names{"ソ表", "ab\x83", "cd"}));
    // No length test and no maximum when loading.
    const std::string longName(40, 'n');
    std::string many;
    for (int i = 0; i < 600; ++i) many += longName + ";";
    EXPECT_EQ(ParseComputerList(many), Names(600, longName));

    EXPECT_EQ(ComposeComputerList({"pc1", "pc2", "pc3"}), "pc1;pc2;pc3;");
    EXPECT_EQ(ComposeComputerList({}), "");
    // A name holding ";" comes back as two entries.
    EXPECT_EQ(ParseComputerList(ComposeComputerList({"a;b", "c"})), (Names{"a", "b", "c"}));
}

TEST(ComputerList, LoadFromTheRegistryTreatsUnreadableValuesAsEmpty) {
    quorvin::testing::FakeHive hive;
    quorvin::testing::FakeKey root(hive, "");
    EXPECT_EQ(LoadComputerList(root), Names{});
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", "SV1;SV2;");
    EXPECT_EQ(LoadComputerList(root), (Names{"SV1", "SV2"}));
    // 17,015 bytes and the terminator fit the buffer; one more byte does not.
    std::string fits;
    while (fits.size() + 9 <= 17015) fits += "computer;";
    fits.resize(17015, 'x');
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", fits);
    EXPECT_EQ(LoadComputerList(root).size(), 17015 / 9 + 1);
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", fits + "y");
    EXPECT_EQ(LoadComputerList(root), Names{});
}

TEST(ComputerList, AddRefusesDuplicatesUnderMbsicmpAndTheDialogTestsTheLimitFirst) {
    ComputerList list;
    list.Load("SERVER1;ア;");
    EXPECT_FALSE(list.AddComputer("server1"));
    EXPECT_FALSE(list.AddComputer("ア"));
    EXPECT_TRUE(list.AddComputer("ｱ"));    // half-width katakana is another name
    EXPECT_TRUE(list.AddComputer("ＳＶ"));  // full-width letters do not fold
    EXPECT_TRUE(list.AddComputer("ｓｖ"));
    EXPECT_FALSE(list.AddComputer("ＳＶ"));
    EXPECT_EQ(list.Compose(), "SERVER1;ア;ｱ;ＳＶ;ｓｖ;");
    EXPECT_EQ(list.TreeItemCount(), 6u);

    EXPECT_EQ(AddFromDialog(list, "", 200), AddOutcome::EmptyName);
    EXPECT_EQ(AddFromDialog(list, std::string(33, 'x'), 200), AddOutcome::TooLong);
    EXPECT_EQ(AddFromDialog(list, std::string(32, 'x'), 200), AddOutcome::Added);
    EXPECT_EQ(AddFromDialog(list, std::string(32, 'X'), 200), AddOutcome::Duplicate);

    ComputerList full;
    for (int i = 1; i < 200; ++i) full.Append("pc" + std::to_string(i));
    EXPECT_EQ(AddFromDialog(full, "pc200", 200), AddOutcome::Added);  // the 200th
    EXPECT_EQ(AddFromDialog(full, "pc201", 200), AddOutcome::ListFull);
    EXPECT_EQ(AddFromDialog(full, "", 200), AddOutcome::ListFull);  // before the empty-name test
    EXPECT_EQ(full.Size(), 200u);
    EXPECT_TRUE(ListIsFull(201, 200));
    EXPECT_FALSE(ListIsFull(200, 200));
    EXPECT_EQ(ListFullMessage().text, "これ以上ｺﾝﾋﾟｭｰﾀを追加することができません。");
    EXPECT_EQ(ListFullMessage().caption, "注意");
}

TEST(ComputerList, CurrentComputerFollowsTheSelectionAndRemovals) {
    ComputerList list;
    list.Load("");
    EXPECT_EQ(list.Current(), ComputerList::kNone);
    EXPECT_EQ(list.TreeItemCount(), 1u);
    list.Follow(0);
    EXPECT_EQ(list.Current(), ComputerList::kNone);
    EXPECT_FALSE(list.RemoveCurrent());

    list.Load("a;b;c;d;");
    EXPECT_EQ(list.Current(), 0);
    list.Follow(3);
    EXPECT_EQ(list.Current(), 3);
    list.Follow(4);
    EXPECT_EQ(list.Current(), ComputerList::kNone);  // no entry there: the root
    list.Follow(2);
    EXPECT_TRUE(list.RemoveCurrent());  // "c": the entry before becomes current
    EXPECT_EQ(list.Names(), (Names{"a", "b", "d"}));
    EXPECT_EQ(list.Current(), 1);
    list.Follow(0);
    EXPECT_TRUE(list.RemoveCurrent());  // the first: the new first becomes current
    EXPECT_EQ(list.Current(), 0);
    EXPECT_EQ(list.Names(), (Names{"b", "d"}));

    list.Follow(ComputerList::kNone);
    EXPECT_FALSE(list.RemoveCurrent());
    list.AfterAddCommand();
    EXPECT_EQ(list.Current(), 0);
    list.AfterImport();
    EXPECT_EQ(list.Current(), ComputerList::kNone);
    list.Follow(1);
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_TRUE(list.RemoveCurrent());
    EXPECT_EQ(list.Current(), ComputerList::kNone);
    EXPECT_TRUE(list.Empty());
    list.AfterAddCommand();
    EXPECT_EQ(list.Current(), ComputerList::kNone);
}

TEST(ComputerList, AnOverlongStoredListIsKeptForTheExitWhileTheListStaysEmpty) {
    quorvin::testing::FakeHive hive;
    quorvin::testing::FakeKey root(hive, "");
    const auto unreadable = [&root] { return ReadStartingList(root, quorvin::app::kSettingsKey, {}).unreadable; };
    EXPECT_EQ(unreadable(), "");
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", "SV1;SV2;");
    EXPECT_EQ(unreadable(), "");  // readable: the tree has it
    std::string overlong;
    while (overlong.size() < 17100) overlong += "computer;";
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", overlong);
    ASSERT_EQ(LoadComputerList(root), Names{});
    EXPECT_EQ(unreadable(), overlong);
    EXPECT_EQ(hive.readOpens, 0);  // the settings key is only ever opened to query values
    EXPECT_GT(hive.queryOpens, 0);
    // The exit stores the kept text while the list is empty, else the list.
    EXPECT_EQ(ListToStore("", overlong), overlong);
    EXPECT_EQ(ListToStore("PC1;", overlong), "PC1;");
}

TEST(ComputerList, ADemoKeyStartsWithTheDemoListOnlyWhileItHoldsNoListAtAll) {
    quorvin::testing::FakeHive hive;
    quorvin::testing::FakeKey root(hive, "");
    const std::string demoKey = "SOFTWARE\\ORVANTE\\デモ";
    const Names demo{"DC01", "PC01"};
    hive.SetText(quorvin::app::kSettingsKey, "ComputerListToSave", "REAL1;");
    EXPECT_EQ(ReadStartingList(root, demoKey, demo).stored, "DC01;PC01;");  // the key does not exist
    hive.SetText(demoKey, "Other", "x");
    EXPECT_EQ(ReadStartingList(root, demoKey, demo).stored, "DC01;PC01;");  // no list value in it
    hive.SetText(demoKey, "ComputerListToSave", "");
    EXPECT_EQ(ReadStartingList(root, demoKey, demo).stored, "");  // the user emptied it
    std::string overlong;
    while (overlong.size() < 17100) overlong += "computer;";
    hive.SetText(demoKey, "ComputerListToSave", overlong);
    EXPECT_EQ(ReadStartingList(root, demoKey, demo).stored, "");  // kept for the exit, never replaced
    EXPECT_EQ(ReadStartingList(root, demoKey, demo).unreadable, overlong);
    EXPECT_EQ(ReadStartingList(root, quorvin::app::kSettingsKey, {}).stored, "REAL1;");
}
