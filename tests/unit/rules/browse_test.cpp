#include "rules/browse.h"

#include <gtest/gtest.h>

#include "support/fake_registry.h"

using namespace quorvin::computers;
using quorvin::platform::ServerInfo;
using quorvin::testing::FakeHive;
using quorvin::testing::FakeKey;
namespace error = quorvin::platform::error;
using Names = std::vector<std::string>;

namespace {

const char* const kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// A workstation service with a fixed LAN group or failure.
class FakeBrowse : public quorvin::platform::BrowseService {
public:
    std::string group = "WORKGROUP";
    quorvin::platform::Error groupError = 0;
    int groupCalls = 0;
    quorvin::platform::Error EnumServers(const std::string&, std::vector<ServerInfo>&) override { return 0; }
    quorvin::platform::Error LanGroup(std::string& out) override {
        ++groupCalls;
        out = groupError ? "" : group;
        return groupError;
    }
};

std::string MultiSz(const Names& names) {
    std::string data;
    for (const std::string& name : names) data += name + '\0';
    return data + '\0';
}

}  // namespace

TEST(Browse, RoleAndBrowserTextsTakeTheFirstBitInOrder) {
    EXPECT_EQ(ServerTypeText(0x8 | 0x10 | 0x8000, ServerTextKind::Role), "PDC");
    EXPECT_EQ(ServerTypeText(0x10 | 0x8000, ServerTextKind::Role), "BDC");
    EXPECT_EQ(ServerTypeText(0x8000 | 0x1003, ServerTextKind::Role), "ﾒﾝﾊﾞｻｰﾊﾞ");
    EXPECT_EQ(ServerTypeText(0x1003 | 0xE0000, ServerTextKind::Role), "");
    EXPECT_EQ(ServerTypeText(0xE0000, ServerTextKind::Browser), "ﾄﾞﾒｲﾝﾏｽﾀﾌﾞﾗｳｻﾞ");
    EXPECT_EQ(ServerTypeText(0x60000, ServerTextKind::Browser), "ﾏｽﾀﾌﾞﾗｳｻﾞ");
    EXPECT_EQ(ServerTypeText(0x20000, ServerTextKind::Browser), "ﾊﾞｯｸｱｯﾌﾟﾌﾞﾗｳｻﾞ");
    EXPECT_EQ(ServerTypeText(0x8018, ServerTextKind::Browser), "");
    // Only the low four bits of the major version count (the high ones are flags).
    EXPECT_EQ(OsText(0x15, 1), "NT5.1");
    EXPECT_EQ(OsText(4, 0), "NT4.0");
}

TEST(Browse, RowsKeepNtMachinesInOrderAndServersOnlyWhenAsked) {
    const std::vector<ServerInfo> answer = {
        {"PC01", 5, 1, 0x00041003, "総務部"},
        {"OLD98", 4, 10, 0x00400003, "Windows 98"},
        {"DC01", 5, 0, 0x0008102B, "ドメイン コントローラ"},
        {"LANMAN", 2, 1, 0x00000003, ""},
        {"FS01", 5, 0, 0x00029003, ""},
        {"BOTH", 5, 0, 0x00041018 | 0x1000, ""},
    };
    const std::vector<BrowseRow> all = BrowseRows(answer, false);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], (BrowseRow{"PC01", "NT5.1", "", "ﾏｽﾀﾌﾞﾗｳｻﾞ", "総務部"}));
    EXPECT_EQ(all[1], (BrowseRow{"DC01", "NT5.0", "PDC", "ﾄﾞﾒｲﾝﾏｽﾀﾌﾞﾗｳｻﾞ", "ドメイン コントローラ"}));
    EXPECT_EQ(all[2], (BrowseRow{"FS01", "NT5.0", "ﾒﾝﾊﾞｻｰﾊﾞ", "ﾊﾞｯｸｱｯﾌﾟﾌﾞﾗｳｻﾞ", ""}));
    EXPECT_EQ(all[3], (BrowseRow{"BOTH", "NT5.0", "PDC", "ﾏｽﾀﾌﾞﾗｳｻﾞ", ""}));
    const std::vector<BrowseRow> servers = BrowseRows(answer, true);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[0].name, "DC01");
    EXPECT_EQ(servers[2].name, "BOTH");
    EXPECT_TRUE(BrowseRows({}, false).empty());
}

TEST(Browse, EveryFailureCodeHasItsMessage) {
    struct Case {
        quorvin::platform::Error code;
        const char* caption;
        const char* start;
    };
    const Case cases[] = {
        {5, "注意 305", "アクセスが拒否されました。"},
        {234, "注意 302", "データの取得に失敗しました。"},
        {6118, "注意 303", "ブラウザサーバが見つかりませんでした。"},
        {2351, "注意 304", "コンピュータ名が不正です。"},
        {53, "注意　301", "不明な原因でﾌﾞﾗｳｻﾞ一覧を取得できませんでした。"},
        {0xFFFFFFFF, "注意　301", "不明な原因でﾌﾞﾗｳｻﾞ一覧を取得できませんでした。"},
    };
    for (const Case& c : cases) {
        const quorvin::app::UserMessage message = BrowseFailureMessage(c.code);
        EXPECT_EQ(message.caption, c.caption) << c.code;
        EXPECT_EQ(message.text.rfind(c.start, 0), 0u) << c.code;
        EXPECT_EQ(message.icon, quorvin::app::MessageIcon::Exclamation);
        EXPECT_EQ(message.buttons, quorvin::app::MessageButtons::Ok);
        EXPECT_NE(message.text.find("ﾈｯﾄﾜｰｸからｺﾝﾋﾟｭｰﾀ一覧を取得できないこと意味する"), std::string::npos);
    }
    EXPECT_EQ(EmptyDomainMessage().icon, quorvin::app::MessageIcon::None);
}

// 234 with entries read is a part of the list: it is shown as an answer.
// Without entries, and for every other code, the failure's message.
TEST(Browse, APartListFillsTheListOtherFailuresDoNot) {
    EXPECT_TRUE(BrowseAnswerFillsList(error::kSuccess, 0));
    EXPECT_TRUE(BrowseAnswerFillsList(error::kSuccess, 3));
    EXPECT_TRUE(BrowseAnswerFillsList(error::kMoreData, 1));
    EXPECT_FALSE(BrowseAnswerFillsList(error::kMoreData, 0));
    for (quorvin::platform::Error code : {5u, 53u, 2351u, 6118u, 0xFFFFFFFFu})
        EXPECT_FALSE(BrowseAnswerFillsList(code, 2)) << code;
}

TEST(Browse, DomainChoicesFromDefaultDomainAndDCache) {
    FakeHive hive;
    FakeKey root(hive, "");
    FakeBrowse browse;
    // No Winlogon key, then no DefaultDomainName: nothing offered, nothing browsed.
    EXPECT_FALSE(ReadDomainChoices(root, browse).found);
    hive.keys[FakeHive::Fold(kWinlogon)];
    EXPECT_FALSE(ReadDomainChoices(root, browse).found);
    hive.SetDword(kWinlogon, "DefaultDomainName", 7);
    EXPECT_FALSE(ReadDomainChoices(root, browse).found);

    hive.SetText(kWinlogon, "DefaultDomainName", "ORVDEMO");
    hive.Set(kWinlogon, "DCache", quorvin::platform::regtype::kMultiSz, MultiSz({"orvdemo", "BRANCH", "営業部"}));
    DomainChoices choices = ReadDomainChoices(root, browse);
    EXPECT_TRUE(choices.found);
    EXPECT_EQ(choices.domain, "ORVDEMO");
    // The default domain comes first; DCache's own copy of it is not offered twice.
    EXPECT_EQ(choices.names, (Names{"ORVDEMO", "BRANCH", "営業部"}));
    EXPECT_EQ(browse.groupCalls, 0);

    // Without DCache: the workstation's LAN group, and an empty drop-down list.
    hive.keys[FakeHive::Fold(kWinlogon)].erase("dcache");
    choices = ReadDomainChoices(root, browse);
    EXPECT_EQ(choices.domain, "WORKGROUP");
    EXPECT_TRUE(choices.names.empty());
    browse.groupError = 2138;
    choices = ReadDomainChoices(root, browse);
    EXPECT_TRUE(choices.found);
    EXPECT_EQ(choices.domain, "");
}

TEST(Browse, DomainChoicesWithinTheirRoom) {
    FakeHive hive;
    FakeKey root(hive, "");
    FakeBrowse browse;
    // 31 bytes and the terminator fit; 32 do not.
    hive.Set(kWinlogon, "DCache", quorvin::platform::regtype::kMultiSz, MultiSz({}));
    hive.SetText(kWinlogon, "DefaultDomainName", std::string(31, 'd'));
    EXPECT_EQ(ReadDomainChoices(root, browse).domain, std::string(31, 'd'));
    hive.SetText(kWinlogon, "DefaultDomainName", std::string(32, 'd'));
    EXPECT_FALSE(ReadDomainChoices(root, browse).found);

    hive.SetText(kWinlogon, "DefaultDomainName", "");
    Names cached;
    for (int i = 0; i < 40; ++i) cached.push_back("D" + std::to_string(i));
    cached[3] = std::string(32, 'x');
    hive.Set(kWinlogon, "DCache", quorvin::platform::regtype::kMultiSz, MultiSz(cached));
    DomainChoices choices = ReadDomainChoices(root, browse);
    // 31 names are looked at; the one too long is left out, an empty default is not offered.
    ASSERT_EQ(choices.names.size(), 30u);
    EXPECT_EQ(choices.names.front(), "D0");
    EXPECT_EQ(choices.names.back(), "D30");
    EXPECT_EQ(choices.domain, "");

    // A DCache beyond 512 bytes cannot be read: as if absent.
    hive.Set(kWinlogon, "DCache", quorvin::platform::regtype::kMultiSz, MultiSz(Names(60, std::string(10, 'n'))));
    choices = ReadDomainChoices(root, browse);
    EXPECT_EQ(choices.domain, "WORKGROUP");
    EXPECT_TRUE(choices.names.empty());
    // A LAN group longer than its room is cut at a whole character.
    browse.group = "ドメイン" + std::string(24, 'g');
    hive.keys[FakeHive::Fold(kWinlogon)].erase("dcache");
    EXPECT_EQ(ReadDomainChoices(root, browse).domain, "ドメイン" + std::string(23, 'g'));
}
