#include "rules/settings_store.h"

#include <cstring>
#include <gtest/gtest.h>

#include "support/fake_registry.h"
#include "support/time_zone.h"

using namespace quorvin::app;
using quorvin::testing::FakeHive;
using quorvin::testing::FakeKey;
namespace regtype = quorvin::platform::regtype;

namespace {

constexpr std::int64_t kNow = 1042588800 + 3600;  // 2003-01-15 01:00 UTC

struct RecordedMessages : RegistryMessages {
    std::vector<std::string> captions;
    void ShowRegistryError(const std::string& caption) override { captions.push_back(caption); }
};

struct Store {
    FakeHive hive;
    FakeKey root{hive, ""};
    RecordedMessages messages;

    void Dword(const char* name, std::uint32_t v) { hive.SetDword(kSettingsKey, name, v); }
    void Text(const char* name, const std::string& t) { hive.SetText(kSettingsKey, name, t); }
    AppSettings Load(std::int64_t now = kNow) {
        AppSettings s;
        LoadSettings(root, s, now);
        return s;
    }
    std::string Read(const char* name, std::uint32_t kind) {
        std::string out = "stale";
        const int ok = ReadRegistryValue(root, kSettingsKey, name, kind, out);
        return ok ? out : "<failed:" + out + ">";
    }
};

const std::vector<std::string> kSaveOrder = {
    "EnableStartDate", "EnableEndDate", "Filter_Application", "Filter_System", "Filter_Security",
    "Filter_Information", "Filter_Error", "Filter_Warning", "Filter_Securityok", "Filter_Securityng",
    "DontShowMessageToolTip", "DontShowComList", "StartTime_Year", "StartTime_Month", "StartTime_Day",
    "EndTime_Year", "EndTime_Month", "EndTime_Day", "AnotherLoginName", "ShowOnlyServer", "DayBefore",
    "MajorVersion", "Username", "MaxComputer", "Password", "ComputerListToSave", "OtherLogs"};

}  // namespace

TEST(SettingsStore, FirstStartWithoutKeyGivesDefaultsAndExitWritesAllValuesInOrder) {
    Store store;
    AppSettings s = store.Load();
    for (auto f : {s.Filter_System, s.Filter_Application, s.Filter_Security, s.Filter_Information, s.Filter_Warning,
                   s.Filter_Error, s.Filter_Securityok, s.Filter_Securityng})
        EXPECT_EQ(f, 1);
    EXPECT_EQ(s.EnableStartDate, 0);
    EXPECT_EQ(s.EnableEndDate, 1);
    EXPECT_EQ(s.DayBefore, 3);
    EXPECT_EQ(s.MaxComputer, 200u);
    EXPECT_EQ(s.DontShowComList + s.DontShowMessageToolTip + s.AnotherLoginName + s.ShowOnlyServer + s.bDebugTrace, 0);
    EXPECT_STREQ(s.Username, "");
    EXPECT_EQ(std::string(s.Password, 32), std::string(32, '\0'));
    EXPECT_EQ(s.StartTime, kNow - 3 * 86400);
    EXPECT_EQ(s.EndTime, kNow);

    s.ComputerListToSave = "pc1;pc2;";
    SaveSettings(store.root, s, store.messages, kNow);
    EXPECT_EQ(store.hive.written, kSaveOrder);
    EXPECT_TRUE(store.messages.captions.empty());
    EXPECT_EQ(store.hive.Get(kSettingsKey, "MajorVersion")->type, regtype::kDword);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "MajorVersion"), 1u);
    EXPECT_EQ(store.hive.Get(kSettingsKey, "Username")->data, std::string(1, '\0'));
    EXPECT_EQ(store.hive.Get(kSettingsKey, "ComputerListToSave")->data, std::string("pc1;pc2;\0", 9));
    EXPECT_EQ(store.hive.Get(kSettingsKey, "Password")->type, regtype::kBinary);
    EXPECT_EQ(store.hive.Get(kSettingsKey, "bDebugTrace"), nullptr);  // never written
}

TEST(SettingsStore, SavedValuesLoadBackAndDatesAndOpenEndsAreNotRead) {
    Store store;
    AppSettings s = store.Load();
    s.Filter_System = 0;
    s.Filter_Securityng = 0;
    s.DontShowComList = 1;
    s.ShowOnlyServer = 1;
    s.AnotherLoginName = 1;
    s.DayBefore = 7;
    s.MaxComputer = 321;
    s.EnableStartDate = 1;
    s.EnableEndDate = 0;
    std::strcpy(s.Username, "管理者admin");
    std::strcpy(s.Password, "ﾊﾟｽ word");
    s.OtherLogs = "Setup; A/B ;setup";
    SaveSettings(store.root, s, store.messages, kNow);

    const AppSettings back = store.Load(kNow + 500);
    EXPECT_EQ(back.OtherLogs, "Setup; A/B ;setup");
    EXPECT_EQ(back.Channels, (std::vector<std::string>{"Setup", "A/B"}));
    // A stored text the start dialog would refuse is dropped whole.
    store.hive.Set(kSettingsKey, "OtherLogs", regtype::kSz, std::string("Setup;a|b\0", 10));
    EXPECT_EQ(store.Load().OtherLogs, "");
    EXPECT_TRUE(store.Load().Channels.empty());
    EXPECT_EQ(back.Filter_System, 0);
    EXPECT_EQ(back.Filter_Securityng, 0);
    EXPECT_EQ(back.Filter_Application, 1);
    EXPECT_EQ(back.DontShowComList, 1);
    EXPECT_EQ(back.ShowOnlyServer, 1);
    EXPECT_EQ(back.AnotherLoginName, 1);
    EXPECT_EQ(back.MaxComputer, 321u);
    EXPECT_STREQ(back.Username, "管理者admin");
    EXPECT_STREQ(back.Password, "ﾊﾟｽ word");
    EXPECT_EQ(back.EnableStartDate, 0);
    EXPECT_EQ(back.EnableEndDate, 1);
    EXPECT_EQ(back.EndTime, kNow + 500);
    EXPECT_EQ(back.StartTime, kNow + 500 - 7 * 86400);
}

TEST(SettingsStore, TheSettingsKeyIsOpenedOnlyToQueryValues) {
    Store store;
    store.Text("ComputerListToSave", "SV1;");
    store.Load();
    EXPECT_GT(store.hive.queryOpens, 0);
    EXPECT_EQ(store.hive.readOpens, 0);
    EXPECT_EQ(store.Read("ComputerListToSave", regtype::kSz), "SV1;");
    EXPECT_EQ(store.hive.readOpens, 0);
}

TEST(SettingsStore, FlagsLoadOnlyFromTheTextOne) {
    Store store;
    store.Dword("Filter_System", 0);
    store.Dword("Filter_Error", 2);
    store.Text("Filter_Warning", "1");      // a REG_SZ "1" reads as the text "1"
    store.Text("Filter_Security", "yes!");  // longer than 4 bytes: the read fails, the default applies
    store.Text("Filter_Information", "0");
    store.Dword("DontShowComList", 2);
    store.Text("DontShowMessageToolTip", "1");
    store.Dword("AnotherLoginName", 1);
    store.hive.Set(kSettingsKey, "ShowOnlyServer", regtype::kBinary, std::string("\x01\x00\x00\x00", 4));
    const AppSettings s = store.Load();
    EXPECT_EQ(s.Filter_System, 0);
    EXPECT_EQ(s.Filter_Error, 0);
    EXPECT_EQ(s.Filter_Warning, 1);
    EXPECT_EQ(s.Filter_Security, 1);
    EXPECT_EQ(s.Filter_Information, 0);
    EXPECT_EQ(s.Filter_Application, 1);  // missing
    EXPECT_EQ(s.DontShowComList, 0);
    EXPECT_EQ(s.DontShowMessageToolTip, 1);
    EXPECT_EQ(s.AnotherLoginName, 1);
    EXPECT_EQ(s.ShowOnlyServer, 0);  // binary 1 is not the text "1"
}

TEST(SettingsStore, NumbersAreTakenAsStoredAndMaxComputerIsClampedUnsigned) {
    const auto maxOf = [](std::uint32_t stored) {
        Store store;
        store.Dword("MaxComputer", stored);
        return store.Load().MaxComputer;
    };
    EXPECT_EQ(maxOf(100), 200u);
    EXPECT_EQ(maxOf(200), 200u);
    EXPECT_EQ(maxOf(500), 500u);
    EXPECT_EQ(maxOf(800), 500u);
    EXPECT_EQ(maxOf(4294967295u), 500u);

    Store store;
    store.Dword("MaxComputer", 100);
    store.Dword("DayBefore", 120);
    store.Dword("bDebugTrace", static_cast<std::uint32_t>(-7));
    AppSettings s = store.Load();
    EXPECT_EQ(s.DayBefore, 120);
    EXPECT_EQ(s.StartTime, kNow - 120LL * 86400);
    EXPECT_EQ(s.bDebugTrace, -7);
    SaveSettings(store.root, s, store.messages, kNow);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "MaxComputer"), 200u);  // the clamped value goes back
    EXPECT_EQ(store.Load().bDebugTrace, -7);

    // Texts of at most three characters pass the 4-byte number query.
    Store texts;
    texts.Text("DayBefore", "-12");
    texts.Text("MaxComputer", "-1");
    texts.Text("bDebugTrace", "abc");
    s = texts.Load();
    EXPECT_EQ(s.DayBefore, -12);
    EXPECT_EQ(s.MaxComputer, 500u);
    EXPECT_EQ(s.bDebugTrace, 0);
    texts.Text("DayBefore", "-12x");
    EXPECT_EQ(texts.Load().DayBefore, 3);
}

TEST(SettingsStore, PasswordBlockLayoutAndRoundTrips) {
    char password[32] = {};
    std::memcpy(password, "abcdefghijklmnopqrstuvwxyz0123", 30);
    const std::string block = ScramblePassword(password, 12345);
    ASSERT_EQ(block.size(), kPasswordBlockSize);
    for (std::size_t i = 0; i < 97; ++i) {
        if (i >= 32 && i < 64) continue;
        EXPECT_GE(block[i], 20) << i;
        EXPECT_LE(block[i], 35) << i;
    }
    EXPECT_EQ(block[97], '\0');
    for (std::size_t i = 0; i < 32; ++i)
        EXPECT_EQ(static_cast<unsigned char>(block[32 + i]),
                  (static_cast<unsigned char>(password[i]) + block[64 + i] + block[i]) % 256);

    const std::string other = ScramblePassword(password, 12346);
    EXPECT_NE(block, other);
    char a[32], b[32];
    UnscramblePassword(block, a);
    UnscramblePassword(other, b);
    EXPECT_EQ(std::string(a, 32), std::string(password, 32));
    EXPECT_EQ(std::string(b, 32), std::string(password, 32));

    // A password whose row B bytes are zero: the block is written whole.
    Store store;
    AppSettings s = store.Load();
    std::string rows(block);
    for (std::size_t i = 0; i < 31; ++i) s.Password[i] = static_cast<char>(256 - rows[i] - rows[64 + i]);
    s.Password[31] = 0;
    SaveSettings(store.root, s, store.messages, 12345);
    const std::string stored = store.hive.Get(kSettingsKey, "Password")->data;
    ASSERT_EQ(stored.size(), kPasswordBlockSize);
    EXPECT_EQ(stored.substr(32, 31), std::string(31, '\0'));
    EXPECT_EQ(std::string(store.Load().Password, 32), std::string(s.Password, 32));
}

TEST(SettingsStore, OddPasswordBlocksAndUserNamesStayInTheirFields) {
    Store store;
    // Shorter than 98 bytes: the missing bytes count as zero.
    store.hive.Set(kSettingsKey, "Password", regtype::kBinary, std::string(40, '\x15') + "\x80");
    AppSettings s = store.Load();
    EXPECT_EQ(static_cast<unsigned char>(s.Password[0]), (0x15 - 0 - 0x15) & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(s.Password[8]), 0x80 - 0x15);
    EXPECT_EQ(s.Password[31], 0);
    // Longer than the 128-byte buffer: not read, the password is empty.
    store.hive.Set(kSettingsKey, "Password", regtype::kBinary, std::string(129, '\x40'));
    EXPECT_EQ(std::string(store.Load().Password, 32), std::string(32, '\0'));

    // A user name edited by hand beyond the 34-byte field: cut to 33 bytes
    // and terminated, never splitting a double-byte character.
    store.Text("Username", std::string(40, 'u'));
    s = store.Load();
    EXPECT_EQ(std::string(s.Username), std::string(33, 'u'));
    store.Text("Username", std::string(32, 'u') + "表示");
    EXPECT_EQ(std::string(store.Load().Username), std::string(32, 'u'));
    store.Text("Username", std::string(31, 'u') + "表示");
    EXPECT_EQ(std::string(store.Load().Username), std::string(31, 'u') + "表");
}

TEST(SettingsStore, ReadRegistryValueFollowsTheValuesActualType) {
    Store store;
    store.Dword("Number", static_cast<std::uint32_t>(-42));
    store.Text("One", "1");
    store.hive.Set(kSettingsKey, "Path", regtype::kExpandSz, std::string("%SystemRoot%\\x.dll\0", 19));
    store.Text("Exact", std::string(kTextValueRoom - 1, 'a'));
    store.Text("TooLong", std::string(kTextValueRoom, 'a'));
    store.hive.Set(kSettingsKey, "Block", regtype::kBinary, std::string("a\0b", 3));
    store.hive.Set(kSettingsKey, "BigBlock", regtype::kBinary, std::string(129, 'b'));

    EXPECT_EQ(store.Read("Number", regtype::kDword), "-42");
    EXPECT_EQ(store.Read("One", regtype::kDword), "1");
    EXPECT_EQ(store.Read("Path", regtype::kExpandSz), "%SystemRoot%\\x.dll");  // not expanded
    EXPECT_EQ(store.Read("Path", regtype::kSz), "%SystemRoot%\\x.dll");
    EXPECT_EQ(store.Read("Exact", regtype::kSz).size(), kTextValueRoom - 1);
    EXPECT_EQ(store.Read("TooLong", regtype::kSz), "<failed:>");
    EXPECT_EQ(store.Read("Block", regtype::kBinary), std::string("a\0b", 3));
    EXPECT_EQ(store.Read("BigBlock", regtype::kBinary), "<failed:>");
    EXPECT_EQ(store.Read("Missing", regtype::kSz), "<failed:>");
    EXPECT_EQ(store.Read("Number", 7), "");  // a kind that is queried no further

    FakeHive empty;
    FakeKey root(empty, "");
    std::string out = "stale";
    EXPECT_EQ(ReadRegistryValue(root, kSettingsKey, "Number", regtype::kDword, out), 0);
    EXPECT_EQ(out, "");
}

TEST(SettingsStore, WriteFailuresShowTheCodeOfTheFailedStep) {
    using quorvin::platform::error::kAccessDenied;
    Store store;
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "D", regtype::kDword, 5, {}, store.messages), 1);
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "S", regtype::kSz, 0, std::string("ab\0cd", 5),
                                 store.messages), 1);
    EXPECT_EQ(store.hive.Get(kSettingsKey, "S")->data, std::string("ab\0", 3));
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "M", regtype::kMultiSz, 0, "x", store.messages), 1);
    EXPECT_EQ(store.hive.Get(kSettingsKey, "M"), nullptr);

    store.hive.setErrors = {{"D", kAccessDenied}, {"S", kAccessDenied}, {"B", kAccessDenied}, {"Six", 6}, {"Two", 2}};
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "D", regtype::kDword, 5, {}, store.messages), 0);
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "S", regtype::kSz, 0, "x", store.messages), 0);
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "B", regtype::kBinary, 0, "x", store.messages), 0);
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "Six", regtype::kDword, 1, {}, store.messages), 1);
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "Two", regtype::kSz, 0, "x", store.messages), 1);
    EXPECT_EQ(store.messages.captions, (std::vector<std::string>{"注意 A02", "注意 A03", "注意 A07"}));
    EXPECT_STREQ(kRegistryErrorText, "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。");

    // A create that reports 2 or 6 gives no key and counts as success.
    store.messages.captions.clear();
    store.hive.createError = 6;
    EXPECT_EQ(WriteRegistryValue(store.root, kSettingsKey, "D", regtype::kDword, 5, {}, store.messages), 1);
    EXPECT_TRUE(store.messages.captions.empty());

    // No access to the key at all: one A01 per value, the save goes on.
    store.hive.createError = kAccessDenied;
    SaveSettings(store.root, store.Load(), store.messages, kNow);
    EXPECT_EQ(store.messages.captions, std::vector<std::string>(27, "注意 A01"));
}

TEST(SettingsStore, DatesAreWrittenAsTheLocalCalendarDate) {
    QUORVIN_REQUIRE_TZ();
    Store store;
    AppSettings s = store.Load();
    s.StartTime = 1042588800 - 3600;  // 2003-01-14 23:00 UTC
    s.EndTime = 1042588800 + 3600;    // 2003-01-15 01:00 UTC
    {
        quorvin::testing::ScopedTimeZone zone("JST-9");
        SaveSettings(store.root, s, store.messages, kNow);
    }
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "StartTime_Year"), 2003u);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "StartTime_Month"), 1u);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "StartTime_Day"), 15u);
    {
        quorvin::testing::ScopedTimeZone zone("EST5EDT,M4.1.0,M10.5.0");
        SaveSettings(store.root, s, store.messages, kNow);
    }
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "StartTime_Day"), 14u);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "EndTime_Day"), 14u);
    EXPECT_EQ(store.hive.Dword(kSettingsKey, "EndTime_Month"), 1u);
}

// Values made to hurt, one setting at a time: the wrong type, no bytes, a
// huge text, invalid CP932, embedded zero bytes. Loading never reads past a
// value; the other 25 settings load as if the bad one were missing; the
// settings it gives save and load back unchanged.
TEST(SettingsStore, HostileValuesOfEverySettingSpoilNothingElse) {
    const std::vector<std::pair<std::uint32_t, std::string>> hostile = {
        {regtype::kBinary, std::string(200, '\xFF')},
        {regtype::kBinary, std::string()},
        {regtype::kDword, std::string("\x01\x02", 2)},       // a DWORD two bytes long
        {regtype::kDword, std::string("\xFF\xFF\xFF\xFF")},  // -1
        {regtype::kSz, std::string(70000, 'a') + '\0'},
        {regtype::kSz, std::string("\x81\x00\x82\xFF\x80\xA0\xFD", 7)},  // invalid CP932, a NUL inside
        {regtype::kSz, std::string("12345678901234567890123456789012345\0junk", 40)},
        {regtype::kMultiSz, std::string("a\0b\0\0", 5)},
        {11, std::string(8, '\x7F')},  // REG_QWORD
    };
    Store clean;
    const AppSettings defaults = clean.Load();
    Store cleanSaved;
    SaveSettings(cleanSaved.root, defaults, cleanSaved.messages, kNow);

    for (const std::string& name : kSaveOrder) {
        for (const auto& [type, data] : hostile) {
            SCOPED_TRACE(name + " type " + std::to_string(type) + " size " + std::to_string(data.size()));
            Store store;
            store.hive.Set(kSettingsKey, name.c_str(), type, data);
            const AppSettings loaded = store.Load();
            EXPECT_LT(std::strlen(loaded.Username), sizeof(loaded.Username));

            Store saved;
            SaveSettings(saved.root, loaded, saved.messages, kNow);
            EXPECT_TRUE(saved.messages.captions.empty());
            for (const std::string& other : kSaveOrder) {
                if (other == name) continue;
                // The start date is DayBefore days before today.
                if (name == "DayBefore" && other.rfind("StartTime_", 0) == 0) continue;
                const auto* a = saved.hive.Get(kSettingsKey, other.c_str());
                const auto* b = cleanSaved.hive.Get(kSettingsKey, other.c_str());
                ASSERT_TRUE(a && b) << other;
                EXPECT_EQ(a->type, b->type) << other;
                EXPECT_EQ(a->data, b->data) << other;
            }
            Store again;
            again.hive = saved.hive;
            const AppSettings reloaded = again.Load();
            Store savedAgain;
            SaveSettings(savedAgain.root, reloaded, savedAgain.messages, kNow);
            for (const std::string& other : kSaveOrder)
                EXPECT_EQ(savedAgain.hive.Get(kSettingsKey, other.c_str())->data,
                          saved.hive.Get(kSettingsKey, other.c_str())->data)
                    << other;
        }
    }
}
