// Message texts of collected events: message files through the shares,
// parameter and category files, the local substitute and the fallback text.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/collector.h"
#include "engine/message_files.h"
#include "fake_platform.h"

namespace quorvin::engine::test {
namespace {

const std::string kKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\system\\Svc";
const std::string kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::string kRemoteDll = "\\\\SV1\\C$\\WINNT\\System32\\svc.dll";
const std::string kBlock050 =
    "情報 050:T5\r\n"
    "原因 049:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞﾌｧｲﾙへｱｸｾｽできませんでした。ｾｷｭﾘﾃｨにより管理共有(c$,d$など)へｱｸｾｽできない,"
    "あるいはﾒｯｾｰｼﾞﾌｧｲﾙがみつかりません。(これはｴﾗｰではありません。)\r\n"
    "         [\\\\SV1][system][Svc]:\\\\SV1のadministratorsｸﾞﾙｰﾌﾟにあなたが属しているか確認してください。"
    "あるいはこのｲﾍﾞﾝﾄﾛｸﾞを出力したｿﾌﾄｳｪｱのﾒｰｶへ確認してください。\r\n"
    "         [\\\\SV1][system][Svc]:ﾛｰｶﾙﾒｯｾｰｼﾞを変わりに使用しますが、ﾒｯｾｰｼﾞの一部が省略され、ﾊﾟﾗﾒｰﾀのみ表示される場合があります。\r\n";

class ResolveTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Filter_Information = settings.Filter_Warning = settings.Filter_Error = 1;
        settings.EnableStartDate = settings.EnableEndDate = 1;
        platform.logs["\\\\SV1"];
        remote().Set(kVersionKey, "SystemRoot", "C:\\WINNT", platform::regtype::kSz);
    }
    FakeRegistry& remote() { return platform.registries["\\\\SV1"]; }
    FakeRegistry& local() { return platform.registries[""]; }

    FakeEvent Event(std::uint32_t id, std::vector<std::string> strings = {}) {
        FakeEvent e;
        e.timeGenerated = 1700000000;
        e.eventId = id;
        e.source = "Svc";
        e.strings = std::move(strings);
        return e;
    }

    // Reads SV1's System log holding `events`; returns GetLog's result.
    int Read(std::vector<FakeEvent> events, bool caches = true) {
        platform.logs["\\\\SV1"]["system"].newestFirst = std::move(events);
        RunEnvironment environment{view_, settings, report, stop, rows, &trace, [] {}};
        environment.cacheWithinLog = caches;
        Collector collector(std::move(environment));
        LogEnd end;
        return collector.GetLog("SV1", "system", 31, end);
    }
    std::string Message(std::size_t i = 0) const { return rows.rows.at(i).columns[7]; }

    FakePlatform platform;
    platform::Platform view_ = platform.Get();
    engine::RunOptions settings;
    std::string report;
    std::atomic<int> stop{0};
    RecordingView rows;
    StringTrace trace;
};

TEST_F(ResolveTest, MessageFromTheRemoteFileThroughTheAdministrativeShare) {
    remote().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.files[kRemoteDll].messages[0xC0000064] = "%1 and %2";
    EXPECT_EQ(Read({Event(0xC0000064, {"a", "b"})}), kLogRead);
    EXPECT_EQ(Message(), "a and b");
    EXPECT_EQ(rows.rows[0].columns[6], "100");  // severity bits dropped from the shown identifier
    EXPECT_EQ(report, "");
    EXPECT_EQ(trace.text, "Point 3\nリモートファイルの読み込み成功\nInsertEventMessage1(Svc)\nPoint 5\n");
}

TEST_F(ResolveTest, MissingSourceKeyGivesTheFallbackText) {
    EXPECT_EQ(Read({Event(0x40000064, {"a", "b"}), Event(5)}), kLogRead);
    EXPECT_EQ(Message(0), "ｿｰｽ (Svc) 内のｲﾍﾞﾝﾄ ID (100) に関する説明が見つかりません。次の挿入文字列が含まれています:a,b");
    EXPECT_EQ(Message(1), "ｿｰｽ (Svc) 内のｲﾍﾞﾝﾄ ID (5) に関する説明が見つかりません。次の挿入文字列が含まれています:");
    EXPECT_EQ(trace.text, "InsertEventMessage5(Svc)\nPoint 5\nInsertEventMessage5(Svc)\nPoint 5\n");
}

TEST_F(ResolveTest, MissingEventMessageFileIsReportedPerEvent) {
    remote().keys[kKey];
    Read({Event(1, {"x"}), Event(2)});
    EXPECT_EQ(report,
              "ｴﾗｰ 051:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞﾌｧｲﾙが指定されていません。\r\n原因 052:T2\r\n"
              "ｴﾗｰ 051:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞﾌｧｲﾙが指定されていません。\r\n原因 052:T2\r\n");
    EXPECT_EQ(trace.text, "Point 3\nInsertEventMessage3(Svc)\nPoint 5\nPoint 3\nInsertEventMessage3(Svc)\nPoint 5\n");
    EXPECT_EQ(rows.rows.size(), 2u);
}

// A manifest-based provider's source key names its ProviderGuid and no
// message file: the MessageFileName of its registration is used. Without
// one the event is reported as having no message file, as before.
TEST_F(ResolveTest, AManifestProvidersTextsComeFromItsRegistration) {
    const std::string guid = "{555908D1-A6D7-4695-8E1E-26931D2012F4}";
    remote().Set(kKey, "ProviderGuid", guid, platform::regtype::kSz);
    remote().Set("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + guid, "MessageFileName",
                 "%SystemRoot%\\System32\\svc.dll");
    platform.files[kRemoteDll].messages[7036] = "%1 changed to %2";
    Read({Event(7036, {"a", "b"})});
    EXPECT_EQ(Message(), "a changed to b");
    EXPECT_EQ(report, "");

    remote().keys.erase("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + guid);
    Read({Event(7036, {"a", "b"})});
    EXPECT_EQ(report, "ｴﾗｰ 051:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞﾌｧｲﾙが指定されていません。\r\n原因 052:T2\r\n");
}

TEST_F(ResolveTest, ClosedSharesUseThisMachinesFilesAndRepeatTheBlockPerEvent) {
    remote().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.fileErrors[kRemoteDll] = 5;
    local().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\missing.dll;%SystemRoot%\\System32\\svc.dll");
    local().Set(kKey, "ParameterMessageFile", "%SystemRoot%\\System32\\params.dll");
    platform.files["C:\\WINNT\\System32\\svc.dll"].messages[9] = "local %1";
    platform.files["C:\\WINNT\\System32\\params.dll"].messages[77] = "PARAM";
    Read({Event(9, {"%%77"}), Event(9, {"%%78"})});
    EXPECT_EQ(report, kBlock050 + kBlock050);
    EXPECT_EQ(Message(0), "local PARAM");
    EXPECT_EQ(Message(1), "local %%78");
    EXPECT_EQ(trace.text,
              "Point 3\npoint 0c\nInsertEventMessage4(Svc)\nPoint 5\nPoint 3\nInsertEventMessage4(Svc)\nPoint 5\n");
}

TEST_F(ResolveTest, NoLocalFileThatLoadsWrites251AndTheFallback) {
    remote().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.fileErrors[kRemoteDll] = 5;
    local().Set(kKey, "EventMessageFile", "C:\\nowhere.dll");
    Read({Event(9, {"s"})});
    EXPECT_EQ(report, kBlock050 + "情報 251:[\\\\SV1][system][Svc]:ﾚｼﾞｽﾄﾘ内で指定されたﾒｯｾｰｼﾞﾌｧｲﾙが見つかりませんでした。\r\n");
    EXPECT_EQ(Message(), "ｿｰｽ (Svc) 内のｲﾍﾞﾝﾄ ID (9) に関する説明が見つかりません。次の挿入文字列が含まれています:s");
}

TEST_F(ResolveTest, ParameterFilesReplaceDoublePercentStringsAndTheLastLoadedFileDecides) {
    remote().Set(kKey, "EventMessageFile", "C:\\m.dll");
    remote().Set(kKey, "ParameterMessageFile", "C:\\p1.dll;C:\\gone.dll;C:\\p2.dll");
    platform.files["\\\\SV1\\C$\\m.dll"].messages[1] = "%1|%2|%3";
    platform.files["\\\\SV1\\C$\\p1.dll"].messages[10] = "one";
    platform.files["\\\\SV1\\C$\\p1.dll"].messages[20] = "two";
    platform.files["\\\\SV1\\C$\\p2.dll"].messages[20] = "TWO";
    Read({Event(1, {"%%10", "%%20", "%%x"})});
    // p2 decides: %%10 is not in it and stays; %%x is no number (0) and stays.
    EXPECT_EQ(Message(), "%%10|TWO|%%x");
    EXPECT_EQ(report, "ｴﾗｰ 045:[\\\\SV1][system][Svc]:ﾗｲﾌﾞﾗﾘ \\\\SV1\\C$\\gone.dll のﾛｰﾄﾞに失敗しました。\r\n原因 046:T2\r\n");
    EXPECT_EQ(trace.text,
              "point 0a\npoint 0a\nPoint 1\npoint 0a\nPoint 1\nリモートファイルの読み込み成功\n"
              "InsertEventMessage1(Svc)\nPoint 5\n");
}

TEST_F(ResolveTest, CategoryFilesReportLoadAndFormatFailuresAndNothingForCategoryZero) {
    remote().Set(kKey, "EventMessageFile", "C:\\m.dll");
    remote().Set(kKey, "CategoryMessageFile", "C:\\gone.dll;C:\\m.dll;C:\\cat.dll");
    platform.files["\\\\SV1\\C$\\m.dll"].messages[1] = "msg";
    platform.files["\\\\SV1\\C$\\cat.dll"].messages[3] = "Logon";
    FakeEvent withCategory = Event(1);
    withCategory.category = 3;
    Read({withCategory, Event(1)});
    EXPECT_EQ(report,
              "ｴﾗｰ 027:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞﾌｧｲﾙ \\\\SV1\\C$\\gone.dll の読み込みに失敗しました。\r\n原因 028:T2\r\n"
              "ｴﾗｰ 031:[\\\\SV1][system][Svc]:ﾒｯｾｰｼﾞのﾌｫｰﾏｯﾄに失敗しました。\r\n原因 032:T317\r\n");
    EXPECT_EQ(Message(0), "msg");
    EXPECT_EQ(Message(1), "msg");
}

TEST_F(ResolveTest, ListOfFilesRetriesOnlyTheLastFileAndBareSecondNamesStayBare) {
    // The first file loads but lacks the message: only the last is tried.
    remote().Set(kKey, "EventMessageFile", "C:\\a.dll;C:\\b.dll;D:\\c.dll");
    platform.files["\\\\SV1\\C$\\a.dll"].messages[2] = "a";
    platform.files["\\\\SV1\\C$\\b.dll"].messages[1] = "b";
    platform.files["\\\\SV1\\D$\\c.dll"].messages[1] = "c";
    Read({Event(1)});
    EXPECT_EQ(Message(), "c");
    EXPECT_EQ(platform.loads, (std::vector<std::string>{"\\\\SV1\\C$\\a.dll", "\\\\SV1\\D$\\c.dll"}));
    EXPECT_NE(trace.text.find("InsertEventMessage2(Svc)"), std::string::npos);

    // "a.dll;b.dll" has no backslash as a whole: only the first name gets the system folder.
    rows.rows.clear();
    platform.loads.clear();
    remote().Set(kKey, "EventMessageFile", "a.dll;b.dll");
    platform.files["\\\\SV1\\C$\\WINNT\\System32\\a.dll"];
    Read({Event(1)});
    EXPECT_EQ(platform.loads, (std::vector<std::string>{"\\\\SV1\\C$\\WINNT\\System32\\a.dll", "\\\\SV1\\b$dll"}));
}

TEST_F(ResolveTest, UnreachableRegistryIsReportedOncePerLogAndThisMachinesValuesAreUsed) {
    platform.registryErrors["\\\\SV1"] = 53;
    local().Set(kVersionKey, "SystemRoot", "C:\\LOCALWIN", platform::regtype::kSz);
    local().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.files["\\\\SV1\\C$\\LOCALWIN\\System32\\svc.dll"].messages[1] = "found";
    Read({Event(1), Event(1)});
    EXPECT_EQ(report,
              "警告 007:[\\\\SV1][system]:ﾘﾓｰﾄｺﾝﾋﾟｭｰﾀのﾚｼﾞｽﾄﾘのｵｰﾌﾟﾝに失敗しました。\r\n"
              "         [\\\\SV1][system]:ﾛｰｶﾙｺﾝﾋﾟｭｰﾀで代用します。\r\n原因 008:T53\r\n");
    EXPECT_EQ(Message(1), "found");
}

TEST_F(ResolveTest, UnknownSystemRootTakesThisMachinesValue) {
    remote().keys.erase(kVersionKey);
    remote().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    Read({Event(1)});
    const std::string lines009 = "ｴﾗｰ 009:[\\\\SV1][system]:ﾘﾓｰﾄｺﾝﾋﾟｭｰﾀのｼｽﾃﾑﾙｰﾄが不明です。\r\n原因 010:T2\r\n";
    EXPECT_EQ(report.substr(0, lines009.size()), lines009);
    EXPECT_EQ(platform.loads.at(0), "\\\\SV1\\C$\\LOCAL\\System32\\svc.dll");

    report.clear();
    remote().keys[kVersionKey];
    Read({});
    EXPECT_EQ(report, "ｴﾗｰ 011:[\\\\SV1][system]:ﾘﾓｰﾄﾏｼﾝのｼｽﾃﾑﾙｰﾄが不明です。\r\n原因 012:T2\r\n");
}

TEST_F(ResolveTest, NoInsertionStringOfOneEventReachesTheNext) {
    remote().Set(kKey, "EventMessageFile", "C:\\m.dll");
    remote().Set(kKey, "ParameterMessageFile", "C:\\p.dll");
    platform.files["\\\\SV1\\C$\\m.dll"].messages[1] = "%1/%2/%3/%4";
    platform.files["\\\\SV1\\C$\\p.dll"].messages[7] = "seven";
    for (bool caches : {true, false}) {
        rows.rows.clear();
        // An empty string in the middle, then events with fewer strings.
        Read({Event(1, {"a", "", "X", "%%7"}), Event(1, {"b"}), Event(1, {"", "", "", ""}), Event(1)}, caches);
        ASSERT_EQ(rows.rows.size(), 4u);
        EXPECT_EQ(Message(0), "a//X/seven") << caches;
        EXPECT_EQ(Message(1), "b///") << caches;
        EXPECT_EQ(Message(2), "///") << caches;
        EXPECT_EQ(Message(3), "///") << caches;
    }
}

// The log's caches keep only failures a second try gives again: a value
// read that fails for want of memory and a file held open elsewhere cost one
// event its text, and the next events find them, as without the caches.
TEST_F(ResolveTest, FailuresThatPassOnTheNextTryAreAskedAgainAsWithoutTheCaches) {
    remote().Set(kKey, "EventMessageFile", "%SystemRoot%\\System32\\svc.dll");
    platform.files[kRemoteDll].messages[1] = "text %1";
    std::string plainReport, plainTrace;
    for (bool caches : {false, true}) {
        rows.rows.clear();
        report.clear();
        trace.text.clear();
        remote().failOnce[kKey + "|EventMessageFile"] = platform::error::kNotEnoughMemory;
        platform.loadFailsOnce[kRemoteDll] = 32;  // a sharing violation
        Read({Event(1, {"a"}), Event(1, {"b"}), Event(1, {"c"}), Event(1, {"d"})}, caches);
        ASSERT_EQ(rows.rows.size(), 4u);
        const std::string fallback = "ｿｰｽ (Svc) 内のｲﾍﾞﾝﾄ ID (1) に関する説明が見つかりません。次の挿入文字列が含まれています:";
        EXPECT_EQ(Message(0), fallback + "a") << caches;
        EXPECT_EQ(Message(1), fallback + "b") << caches;
        EXPECT_EQ(Message(2), "text c") << caches;
        EXPECT_EQ(Message(3), "text d") << caches;
        if (!caches) {
            plainReport = report;
            plainTrace = trace.text;
        }
        EXPECT_EQ(report, plainReport) << caches;
        EXPECT_EQ(trace.text, plainTrace) << caches;
    }
    EXPECT_NE(plainReport.find("原因 052:T8"), std::string::npos) << plainReport;
}

// A trace line is written from a 1024-byte buffer: a long source name is
// cut at a whole character and the line keeps its end.
TEST_F(ResolveTest, ALongSourceNameIsCutAtAWholeCharacterInTheTrace) {
    FakeEvent e = Event(1);
    std::string name;
    for (int i = 0; i < 600; ++i) name += "ソ";  // 0x83 0x5C each
    e.source = name;
    Read({e});
    const std::string line = "InsertEventMessage5(" + name.substr(0, 1000) + ")\n";
    EXPECT_EQ(trace.text, line + "Point 5\n");
    EXPECT_LE(line.size(), 1023u);
}

TEST_F(ResolveTest, MoreThan256InsertionStringsUseTheFirst256) {
    remote().Set(kKey, "EventMessageFile", "C:\\m.dll");
    platform.files["\\\\SV1\\C$\\m.dll"];
    std::vector<std::string> strings(300, "s");
    strings[255] = "last";
    strings[256] = "dropped";
    Read({Event(1, strings)});
    const std::string message = Message();
    EXPECT_NE(message.find(",last"), std::string::npos);
    EXPECT_EQ(message.find("dropped"), std::string::npos);
    EXPECT_EQ(message.substr(message.size() - 5), ",last");
}

// Windows' strtol has a 32-bit long: the same string names the same message
// in every build of the collector.
TEST(ParameterNumber, ReadAsTheWindowsCLibraryReadsALong) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"%%1234", 1234},          {"%%0", 0},
        {"%%", 0},                 {"%%x12", 0},
        {"%%12abc", 12},           {"%% \t\r\n\v\f42", 42},
        {"%%+7", 7},               {"%%-1", 0xFFFFFFFFu},
        {"%%2147483647", 0x7FFFFFFFu}, {"%%2147483648", 0x7FFFFFFFu},
        {"%%4294967297", 0x7FFFFFFFu}, {"%%99999999999999999999999", 0x7FFFFFFFu},
        {"%%-2147483648", 0x80000000u}, {"%%-2147483649", 0x80000000u},
        {"%%-99999999999999999999999", 0x80000000u}, {"%%000000000000000000000000012", 12},
        {"%%--5", 0},              {"%% +5", 5},
    };
    for (const auto& [text, expected] : cases) {
        std::uint32_t number = 12345;
        EXPECT_TRUE(ParameterNumber(text, number)) << text;
        EXPECT_EQ(number, expected) << text;
#ifdef _WIN32
        // The C library of the Windows build is the reference.
        EXPECT_EQ(number, static_cast<std::uint32_t>(std::strtol(text + 2, nullptr, 10))) << text;
#endif
    }
    std::uint32_t number = 0;
    EXPECT_FALSE(ParameterNumber("%1234", number));
    EXPECT_FALSE(ParameterNumber("", number));
    EXPECT_TRUE(ParameterNumber(std::string("%%5\0" "9", 5), number));
    EXPECT_EQ(number, 5u);
}

TEST(ExpandSystemRoot, RemoteRootBareNamesAndOtherVariables) {
    FakePlatform platform;
    EXPECT_EQ(ExpandSystemRoot("%SystemRoot%\\System32\\netmsg.dll", "C:\\WINNT", platform),
              "C:\\WINNT\\System32\\netmsg.dll");
    EXPECT_EQ(MapToShare("\\\\SV1", "C:\\WINNT\\System32\\netmsg.dll"), "\\\\SV1\\C$\\WINNT\\System32\\netmsg.dll");
    EXPECT_EQ(ExpandSystemRoot("netevent.dll", "C:\\WINNT", platform), "C:\\WINNT\\System32\\netevent.dll");
    // Another letter case is no match for the remote root: this machine's environment expands it.
    EXPECT_EQ(ExpandSystemRoot("%systemroot%\\system32\\x.dll", "C:\\WINNT", platform), "C:\\LOCAL\\system32\\x.dll");
    // A value ending in the variable is replaced too.
    EXPECT_EQ(ExpandSystemRoot("D:\\%SystemRoot%", "C:\\WINNT", platform), "D:\\C:\\WINNT");
    // "ソ" ends in the byte 5C: it is no backslash, so the name is bare.
    EXPECT_EQ(ExpandSystemRoot("ソ.dll", "C:\\WINNT", platform), "C:\\WINNT\\System32\\ソ.dll");
    // An expansion longer than the result buffer leaves the text unexpanded when that fits.
    const std::string longRoot(1100, 'r');
    EXPECT_EQ(ExpandSystemRoot("%SystemRoot%\\x.dll", longRoot, platform), "");
    EXPECT_EQ(SplitFileList("a;;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(LastFileOfList("a;b"), "b");
    EXPECT_EQ(LastFileOfList("a"), "");
}

}  // namespace
}  // namespace quorvin::engine::test
