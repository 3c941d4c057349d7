#include "tools/netbuild/builder.h"
#include "tools/netbuild/description.h"
#include "services/simulated/simulated_network.h"

#include "formats/evt/bytes.h"
#include "core/cp932.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>

#include "formats/evtx/evtx.h"
#include "formats/messages/message_file.h"
#include "formats/messages/resource_image.h"
#include "formats/wevt/wevt.h"
#include "engine/xml_event.h"
#include "tools/netbuild/manifest_text.h"

#include "support/pe_image.h"
#include "support/temp_folder.h"
#include "support/test_network.h"

namespace fs = std::filesystem;
namespace platform = quorvin::platform;
namespace evt = quorvin::evt;
namespace messages = quorvin::messages;
using namespace quorvin::network;
using quorvin::network::test::MessageDll;
using quorvin::network::test::BuildTestNetwork;
using quorvin::network::test::TempFolder;

namespace {

std::tm Local(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

std::uint32_t Time(const std::vector<std::string>& tokens, std::time_t now, std::size_t expectedUsed = 0) {
    std::uint32_t time = 0;
    std::size_t used = 0;
    EXPECT_TRUE(ParseEventTime(tokens, now, time, used)) << tokens[0];
    if (expectedUsed) {
        EXPECT_EQ(used, expectedUsed) << tokens[0];
    }
    return time;
}

std::string DescriptionError(const std::string& text) {
    NetworkDescription description;
    std::string error;
    EXPECT_FALSE(ParseDescription(text, 1000000000, description, error)) << text;
    return error;
}

std::vector<evt::Event> ReadLog(platform::EventLogService& service, const std::string& server, const std::string& name) {
    std::unique_ptr<platform::EventLog> log;
    std::vector<evt::Event> events;
    if (service.Open(server, name, log) != 0) return events;
    std::vector<std::uint8_t> buffer(320000);
    std::uint32_t read = 0, needed = 0;
    while (log->Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read, needed) == 0)
        for (std::uint32_t at = 0; at < read;) {
            const auto event = evt::ParseAnsiRecord(buffer.data() + at, read - at);
            if (!event) return events;
            events.push_back(*event);
            at += evt::bytes::U32At(buffer.data(), read, at);
        }
    return events;
}

std::vector<std::uint8_t> Query(platform::RegistryKey& root, const std::string& path, const std::string& name,
                                std::uint32_t& type) {
    std::unique_ptr<platform::RegistryKey> key;
    std::uint32_t size = 0;
    if (root.OpenKey(path, key) != 0 || key->QueryValue(name, type, nullptr, size) != 0) return {};
    std::vector<std::uint8_t> data(size);
    if (key->QueryValue(name, type, data.data(), size) != 0) return {};
    return data;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

}  // namespace

TEST(Description, EventTimes) {
    const std::uint32_t seconds = 1055840400;  // 2003-06-17 09:00 UTC
    const auto now = static_cast<std::time_t>(seconds);
    EXPECT_EQ(Time({"-2h"}, now, 1), seconds - 7200);
    EXPECT_EQ(Time({"+30m"}, now, 1), seconds + 1800);
    EXPECT_EQ(Time({"-45s", "10:00"}, now, 1), seconds - 45);
    EXPECT_EQ(Time({"-3d"}, now, 1), seconds - 3 * 86400);
    EXPECT_EQ(Time({"@1055840100"}, now, 1), 1055840100u);

    const std::tm day = Local(Time({"-3d", "10:15"}, now, 2));
    const std::tm expected = Local(now - 3 * 86400);
    EXPECT_EQ(day.tm_mday, expected.tm_mday);
    EXPECT_EQ(day.tm_hour, 10);
    EXPECT_EQ(day.tm_min, 15);
    EXPECT_EQ(day.tm_sec, 0);

    const std::tm absolute = Local(Time({"2003-06-17", "23:59:59"}, now, 2));
    EXPECT_EQ(absolute.tm_year, 103);
    EXPECT_EQ(absolute.tm_mon, 5);
    EXPECT_EQ(absolute.tm_mday, 17);
    EXPECT_EQ(absolute.tm_hour * 3600 + absolute.tm_min * 60 + absolute.tm_sec, 86399);

    std::uint32_t time = 0;
    std::size_t used = 0;
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"-3x"}, {"-d"}, {"3d"}, {"@"}, {"@-1"}, {"@4294967296"},
                                               {"2003-06-17"}, {"2003-6-17", "10:00"}, {"2003-06-17", "24:00"},
                                               {"2003-06-17", "10:60"}, {"2003-13-01", "10:00"}, {"1969-12-31", "10:00"},
                                               {"-99999d"}, {""}, {"yesterday"}})
        EXPECT_FALSE(ParseEventTime(bad, now, time, used)) << bad[0];
}

TEST(Description, Sids) {
    std::vector<std::uint8_t> sid;
    ASSERT_TRUE(ParseSid("S-1-5-18", sid));
    EXPECT_EQ(sid, (std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}));
    ASSERT_TRUE(ParseSid("S-1-5-21-1004336348-1177238915-682003330-500", sid));
    EXPECT_EQ(sid.size(), 8u + 5 * 4);
    EXPECT_EQ(sid[1], 5);
    EXPECT_EQ(sid[sid.size() - 4], 0xF4);  // 500 little-endian
    ASSERT_TRUE(ParseSid("S-1-0", sid));
    EXPECT_EQ(sid.size(), 8u);
    for (const char* bad : {"S-1", "S-2-5-18", "X-1-5", "S-1-5-", "S-1-5-x", "S-1-5-4294967296", "S-1-281474976710656"})
        EXPECT_FALSE(ParseSid(bad, sid)) << bad;
}

TEST(Description, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"computer SV1\n\nbogus 1\n", "line 3: unknown keyword \"bogus\""},
        {"services eventlog=off\n", "line 1: \"services\" before any computer"},
        {"computer SV1\nvalue X sz a\n", "line 2: \"value\" without a \"key\" line before it"},
        {"computer SV1\nlog System\naccount a b\nevent -1d error S 1\n", "line 4: \"event\" without a \"log\""},
        {"computer SV1\nlog System\nevent -1d error S\n", "line 3: expected event TIME"},
        {"computer SV1\nlog System\nevent soon error S 1\n", "line 3: bad time"},
        {"computer SV1\nlog System\nevent -1d fatal S 1\n", "line 3: bad event type \"fatal\""},
        {"computer SV1\nlog System\nevent -1d error S 1 \"a\" category=1\n", "settings come before the quoted"},
        {"computer SV1\nlog System\nevent -1d error S 1 user=S-9\n", "bad event setting \"user=S-9\""},
        {"computer SV1\nlog System\nevent -1d 65536 S 1\n", "bad event type \"65536\""},
        {"computer SV1\nlog System\nlog system\n", "line 3: log system given twice"},
        {"computer SV1\nlog ../x\n", "cannot be a log name"},
        {"computer SV1\ncomputer sv1\n", "line 2: computer sv1 given twice (line 1)"},
        {"computer ..\n", "cannot be a computer name"},
        {"computer a\\b\n", "cannot be a computer name"},
        {"computer .git\n", "cannot be a computer name"},
        {"computer SV1\nservices shares=maybe\n", "bad service setting \"shares=maybe\""},
        {"computer SV1\nkey SOFTWARE\\X\nvalue N dword twelve\n", "a dword value takes one number"},
        {"computer SV1\nkey SOFTWARE\\X\nvalue N sz a b\n", "a sz value takes one text"},
        {"computer SV1\nkey SOFTWARE\\X\nvalue N binary 1,2g\n", "binary data are hex bytes"},
        {"computer SV1\nkey SOFTWARE\\X\nvalue N reg_sz a\n", "unknown value type \"reg_sz\""},
        {"computer SV1\nkey K\nregistry x.reg\n", "\"registry\" comes before every other registry line"},
        {"computer SV1\nfile x.dll x.dll\n", "\"x.dll\" is no X:\\... path"},
        {"computer SV1\nfile C:\\WINNT\\..\\x.dll x.dll\n", "\"..\" cannot be a file or folder name"},
        {"computer SV1\nfile C:\\ x.dll\n", "a file needs a name"},
        {"computer SV1\nsource System\n", "expected source LOG NAME"},
        {"computer SV1\nsource System Tcpip types=x\n", "bad source setting \"types=x\""},
        {"computer SV1\nsystemroot WINNT\n", "systemroot needs X:\\..."},
        {"browse OFFICE\nserver SV1 5.0\n", "line 2: expected server NAME"},
        {"browse OFFICE\nserver SV1 five 0x1003\n", "version \"five\" is not major.minor"},
        {"browse OFFICE\ncomputer SV1\nserver SV1 5.0 1\n", "line 3: \"server\" outside a browse block"},
        {"browse OFFICE result=x\n", "expected result=CODE"},
        {"browse A\nbrowse a\n", "line 2: browse a given twice"},
        {"now 2003-06-17\n", "expected now YYYY-MM-DD"},
        {"computer SV1\naccount \"a b\n", "line 2: a quote is not closed"},
        {"local\n", "expected local NAME"},
        {"computer SV1\nmuifile C:\\x.dll x.dll\n", "line 2: expected muifile X:\\PATH SOURCE languages="},
        {"computer SV1\nmuifile C:\\x.dll x.dll languages=ja-JP,xx-YY\n", "line 2: unknown language \"xx-YY\""},
        {"computer SV1\nmuifile C:\\x.dll x.dll fallback=en-US ja-JP\n", "line 2: bad muifile setting \"ja-JP\""},
        {"computer SV1\nservices channels=maybe\n", "bad service setting \"channels=maybe\""},
        {"computer SV1\nchannel A%4B\n", "\"A%4B\" cannot be a channel name"},
        {"computer SV1\nchannel A/B\nchannel a/b\n", "line 3: channel a/b given twice"},
        {"computer SV1\nchannel A\naccount a b\nevent -1d error P 1\n", "line 4: \"event\" without a \"log\" or \"channel\""},
        {"computer SV1\nchannel A\nevent -1d fatal P 1\n", "line 3: bad level \"fatal\""},
        {"computer SV1\nchannel A\nevent -1d error P 70000\n", "line 3: bad event id \"70000\""},
        {"computer SV1\nchannel A\nevent -1d error P 1 Data=1 version=2\n", "bad event setting \"version=2\""},
        {"computer SV1\nchannel A\nevent -1d error P 1 keywords=0x1g\n", "bad event setting \"keywords=0x1g\""},
        {"computer SV1\nchannel A\nevent -1d error P 1 A=1 A=2\n", "data item A given twice"},
        {"computer SV1\nchannel A\nevent -1d error P 1 lone\n", "expected Name=value, not \"lone\""},
        {"computer SV1\npublisher 1234 P\n", "\"1234\" is no GUID"},
        {"computer SV1\npublisher {5E2A9C71-3B04-4D8E-A1F6-0C7B92D4E813} P file=x.dll\n", "bad publisher setting \"file=x.dll\""},
        {"computer SV1\nsource System P guid=5E2A9C71\n", "bad source setting \"guid=5E2A9C71\""},
    };
    for (const Case& c : cases) {
        const std::string error = DescriptionError(c.text);
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << "\ngot: " << error;
    }
    EXPECT_EQ(DescriptionError(std::string("computer SV1\n\nkey \0x\n", 20)), "line 3: NUL byte");
}

TEST(Description, TokensQuotesAndComments) {
    NetworkDescription d;
    std::string error;
    ASSERT_TRUE(ParseDescription("\xEF\xBB\xBF# comment\r\n"
                                 "computer SV1\r\n"
                                 "  # indented comment\n"
                                 "  account \"Domain User\" \"pa ss\\\"w\\\\rd\"\n"
                                 "  env PATHX C:\\WINNT\\System32\n"
                                 "  source Application \"My App\" message=\"C:\\Program Files\\app.dll\" types=7\n",
                                 1000000000, d, error))
        << error;
    ASSERT_EQ(d.computers.size(), 1u);
    const DescribedComputer& c = d.computers[0];
    EXPECT_EQ(c.accounts[0], (std::pair<std::string, std::string>{"Domain User", "pa ss\"w\\rd"}));
    EXPECT_EQ(c.environment[0].second, "C:\\WINNT\\System32");
    ASSERT_EQ(c.registrySteps.size(), 3u);
    EXPECT_EQ(c.registrySteps[0].keyPath, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\My App");
    EXPECT_EQ(c.registrySteps[1].valueName, "EventMessageFile");
    EXPECT_EQ(c.registrySteps[1].type, platform::regtype::kExpandSz);
    EXPECT_EQ(c.registrySteps[1].data, Bytes(std::string("C:\\Program Files\\app.dll", 25)));
    EXPECT_EQ(c.registrySteps[2].valueName, "TypesSupported");
    EXPECT_EQ(c.registrySteps[2].data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
}

class Builder : public ::testing::Test {
protected:
    bool Build(const std::string& description, std::string& error) {
        network = BuildTestNetwork(temp, description, error);
        return network != nullptr;
    }
    TempFolder temp;
    std::unique_ptr<SimulatedNetwork> network;
};

TEST_F(Builder, BuildsEveryPartOfANetwork) {
    temp.Write("src/netevent.dll", MessageDll({{4201, u"%1 connected\r\n"}}));
    temp.Write("lib/app.dll", MessageDll({{1, u"app\r\n"}}));
    const std::string description =
        "now 2003-06-17 12:00\n"
        "local ADMIN\n"
        "lan_group OFFICE\n"
        "browse OFFICE\n"
        "  server SV1 5.0 0x9003 File server, 2nd floor\n"
        "  server ﾊﾟｿｺﾝ1 5.1 4099\n"
        "browse BRANCH result=6118\n"
        "computer ADMIN\n"
        "  systemroot D:\\WINDOWS\n"
        "  env TEMP D:\\TEMP\n"
        "  file D:\\WINDOWS\\System32\\app.dll app.dll\n"
        "computer SV1\n"
        "  services shares=auth registry=on\n"
        "  account Administrator secret\n"
        "  address 192.168.0.10 10.0.0.10\n"
        "  os 5.0 2195 \"Service Pack 4\"\n"
        "  source System Tcpip message=%SystemRoot%\\System32\\netevent.dll types=7\n"
        "  key \"SOFTWARE\\クォーヴィン\\Test\"\n"
        "    value Text sz \"テキスト\"\n"
        "    value @ sz default\n"
        "    value Path expand_sz %SystemRoot%\\x\n"
        "    value List multi_sz a \"b c\"\n"
        "    value Count dword 0x10\n"
        "    value Minus dword -1\n"
        "    value Blob binary 01,02 ff\n"
        "  file C:\\WINNT\\System32\\netevent.dll netevent.dll\n"
        "  log System maxsize=65536\n"
        "    event -1d 10:15 information Tcpip 4201 \"192.168.0.5\"\n"
        "    event -3d 08:00 error Tcpip 0xC0001069 category=2 user=S-1-5-18 data=de,ad \"a\" \"\" \"文字\"\n"
        "    event -2h warning ｻｰﾋﾞｽ 7 computer=OTHER\n"
        "  log Application\n"
        "computer ﾊﾟｿｺﾝ1\n"
        "  services eventlog=off registry=off shares=off\n";
    std::string error;
    ASSERT_TRUE(Build(description, error)) << error;
    auto services = network->Services();
    const NetworkConfig& config = network->Config();
    ASSERT_EQ(config.computers.size(), 3u);
    EXPECT_EQ(config.computers[static_cast<std::size_t>(config.localComputer)].name, "ADMIN");
    EXPECT_EQ(config.lanGroup, "OFFICE");

    // Browse lists.
    std::vector<platform::ServerInfo> servers;
    ASSERT_EQ(services.browse.EnumServers("OFFICE", servers), 0u);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].comment, "File server, 2nd floor");
    EXPECT_EQ(servers[0].type, 0x9003u);
    EXPECT_EQ(servers[1].name, "ﾊﾟｿｺﾝ1");
    EXPECT_EQ(services.browse.EnumServers("BRANCH", servers), 6118u);

    // This machine.
    EXPECT_EQ(services.system.SystemDirectory(), "D:\\WINDOWS\\System32");
    EXPECT_EQ(services.system.ExpandEnvironmentStrings("%TEMP%"), "D:\\TEMP");
    std::unique_ptr<platform::MessageModule> module;
    EXPECT_EQ(services.messages.LoadDataFile("D:\\WINDOWS\\System32\\app.dll", module), 0u);

    // SV1: services, accounts, addresses, files.
    const std::string netevent = "\\\\SV1\\C$\\WINNT\\System32\\netevent.dll";
    EXPECT_EQ(services.messages.LoadDataFile(netevent, module), 5u);
    ASSERT_EQ(services.connections.AddConnection("\\\\10.0.0.10\\admin$", "administrator", "secret"), 0u);
    EXPECT_EQ(services.messages.LoadDataFile(netevent, module), 5u);  // connected under the address only
    ASSERT_EQ(services.messages.LoadDataFile("\\\\10.0.0.10\\C$\\WINNT\\System32\\netevent.dll", module), 0u);
    std::string text;
    const std::vector<std::string> arguments{"PC9"};
    ASSERT_EQ(services.messages.FormatMessage(module.get(), 4201, &arguments, text), 0u);
    EXPECT_EQ(text, "PC9 connected\r\n");

    // SV1: registry.
    std::unique_ptr<platform::RegistryKey> root;
    ASSERT_EQ(services.registry.ConnectLocalMachine("\\\\192.168.0.10", root), 0u);
    std::uint32_t type = 0;
    EXPECT_EQ(Query(*root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CSDVersion", type),
              Bytes(std::string("Service Pack 4", 15)));
    EXPECT_EQ(Query(*root, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Tcpip", "EventMessageFile", type),
              Bytes(std::string("%SystemRoot%\\System32\\netevent.dll", 35)));
    EXPECT_EQ(type, platform::regtype::kExpandSz);
    const std::string key = "SOFTWARE\\クォーヴィン\\Test";
    EXPECT_EQ(Query(*root, key, "Text", type), Bytes(std::string("テキスト", 9)));
    EXPECT_EQ(Query(*root, key, "", type), Bytes(std::string("default", 8)));
    EXPECT_EQ(Query(*root, key, "List", type), Bytes(std::string("a\0b c\0\0", 7)));
    EXPECT_EQ(type, platform::regtype::kMultiSz);
    EXPECT_EQ(Query(*root, key, "Count", type), (std::vector<std::uint8_t>{0x10, 0, 0, 0}));
    EXPECT_EQ(Query(*root, key, "Minus", type), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Query(*root, key, "Blob", type), (std::vector<std::uint8_t>{1, 2, 0xFF}));
    EXPECT_EQ(type, platform::regtype::kBinary);

    // SV1: logs, written oldest first whatever the order of the lines.
    const auto events = ReadLog(services.eventLog, "\\\\SV1", "System");
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].eventId, 7u);  // newest: two hours before now
    EXPECT_EQ(events[0].eventType, 2u);
    EXPECT_EQ(events[0].sourceName, "ｻｰﾋﾞｽ");
    EXPECT_EQ(events[0].computerName, "OTHER");
    EXPECT_EQ(events[0].timeGenerated, Time({"2003-06-17", "12:00"}, 0) - 7200);  // the "now" line
    EXPECT_EQ(events[1].eventId, 4201u);
    EXPECT_EQ(events[1].strings, std::vector<std::string>{"192.168.0.5"});
    EXPECT_EQ(events[1].computerName, "SV1");
    EXPECT_EQ(Local(events[1].timeGenerated).tm_hour, 10);
    const evt::Event& oldest = events[2];
    EXPECT_EQ(oldest.eventId, 0xC0001069u);
    EXPECT_EQ(oldest.eventType, 1u);
    EXPECT_EQ(oldest.eventCategory, 2u);
    EXPECT_EQ(oldest.userSid, (std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}));
    EXPECT_EQ(oldest.data, (std::vector<std::uint8_t>{0xDE, 0xAD}));
    EXPECT_EQ(oldest.strings, (std::vector<std::string>{"a", "", "文字"}));
    EXPECT_TRUE(ReadLog(services.eventLog, "\\\\SV1", "Application").empty());
    EXPECT_TRUE(fs::exists(temp.Path() / "net" / "SV1" / "logs" / "Application.evt"));

    // The computer with everything off.
    std::unique_ptr<platform::EventLog> log;
    EXPECT_EQ(services.eventLog.Open("\\\\ﾊﾟｿｺﾝ1", "system", log), 1722u);
    EXPECT_EQ(services.registry.ConnectLocalMachine("\\\\ﾊﾟｿｺﾝ1", root), 53u);
    EXPECT_FALSE(fs::exists(temp.Path() / "net" / Cp932ToHostName("ﾊﾟｿｺﾝ1") / "registry.reg"));
}

TEST_F(Builder, RegistryFilesAndFormats) {
    temp.Write("src/base.reg",
               "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Base]\r\n\"Kept\"=\"yes\"\r\n");
    std::string error;
    ASSERT_TRUE(Build("computer A\n registry base.reg\n key SOFTWARE\\Base\n value Added dword 1\n"
                      "computer B\n regformat regedit4\n systemroot C:\\WINNT\n"
                      "computer C\n systemroot C:\\WINNT\n",
                      error))
        << error;
    EXPECT_EQ(temp.Read("net/A/registry.reg").substr(0, 8), "REGEDIT4");  // the imported file's format
    EXPECT_EQ(temp.Read("net/B/registry.reg").substr(0, 8), "REGEDIT4");
    EXPECT_EQ(temp.Read("net/C/registry.reg").substr(0, 2), "\xFF\xFE");  // version 5.00, UTF-16LE
    std::unique_ptr<platform::RegistryKey> root;
    ASSERT_EQ(network->Services().registry.ConnectLocalMachine("\\\\A", root), 0u);
    std::uint32_t type = 0;
    EXPECT_EQ(Query(*root, "SOFTWARE\\Base", "Kept", type), Bytes(std::string("yes", 4)));
    EXPECT_EQ(Query(*root, "SOFTWARE\\Base", "Added", type), (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(Builder, RefusesWhatCannotBeBuilt) {
    std::string error;
    temp.Write("net/old.txt", "x");
    EXPECT_FALSE(Build("computer A\n", error));
    EXPECT_NE(error.find("exists and is not an empty folder"), std::string::npos) << error;
    fs::remove_all(temp.Path() / "net");

    struct Case {
        const char* description;
        const char* expected;
    };
    const Case cases[] = {
        {"local B\ncomputer A\n", "local B is no computer of the description"},
        {"computer A\nfile C:\\x.dll missing.dll\n", "line 2: cannot read missing.dll"},
        {"computer A\nregistry missing.reg\n", "line 2: cannot read missing.reg"},
        {"computer A\nfile C:\\x.dll a.dll\nfile c:\\X.DLL a.dll\n", "line 3: computer A gets C:\\X.DLL twice"},
        {"computer A\naccount \" x\" y\n", "account \" x\" cannot be kept"},
        {"computer A\naddress 10.0.0.1\ncomputer B\naddress 10.0.0.1\n", "the network does not open"},
        {"computer A\nkey \\SOFTWARE\n", "line 2: the registry refuses \\SOFTWARE (error 161)"},
        {"computer A\nmuifile C:\\x.dll a.dll languages=en-US\n", "line 2: a.dll "},
        {"computer A\nmuifile C:\\x.dll en.dll languages=en-US,ja-JP\n", "line 2: en.dll has no messages in ja-JP"},
        {"computer A\nmuifile C:\\x.dll en.dll languages=en-US\nfile C:\\en-US\\X.dll.mui a.dll\n",
         "line 3: computer A gets C:\\en-US\\X.dll.mui twice"},
    };
    temp.Write("src/a.dll", "x");
    temp.Write("src/en.dll", MessageDll({{1, u"one\r\n"}}));
    for (const Case& c : cases) {
        fs::remove_all(temp.Path() / "net");
        EXPECT_FALSE(Build(c.description, error)) << c.description;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.description << "\ngot: " << error;
    }
}

// A muifile line splits a DLL of two languages as Windows ships its own
// files: the neutral file holds only a MUI resource, each .mui file one
// language and the same checksum; the network finds the collecting
// machine's language, or English where only English was split out.
TEST_F(Builder, SplitsMessageFilesIntoMuiLanguageFiles) {
    messages::ResourceImageSpec both;
    both.tables = {{0x0409, messages::EncodeMessageData({{7036, u"The %1 service entered the %2 state.\r\n"}})},
                   {0x0411, messages::EncodeMessageData({{7036, u"%1 サービスは %2 状態に移行しました。\r\n"}})}};
    temp.Write("src/both.dll", messages::WriteResourceImage(both));
    std::string error;
    ASSERT_TRUE(Build("computer SV\n"
                      "  muifile C:\\Windows\\System32\\services.exe both.dll languages=ja-JP,en-US fallback=en-US\n"
                      "computer PC\n"
                      "  muifile C:\\Windows\\System32\\services.exe both.dll languages=en-US\n",
                      error))
        << error;
    std::map<std::string, messages::MessageFile> files;
    for (const char* name : {"SV/drives/C/Windows/System32/services.exe", "SV/drives/C/Windows/System32/ja-JP/services.exe.mui",
                             "SV/drives/C/Windows/System32/en-US/services.exe.mui", "PC/drives/C/Windows/System32/services.exe",
                             "PC/drives/C/Windows/System32/en-US/services.exe.mui"}) {
        const std::string bytes = temp.Read(std::string("net/") + name);
        messages::MemorySource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ASSERT_EQ(messages::ReadMessageFile(source, files[name]), 0u) << name;
        EXPECT_TRUE(files[name].hasMui) << name << files[name].muiProblem;
    }
    EXPECT_FALSE(fs::exists(temp.Path() / "net/PC/drives/C/Windows/System32/ja-JP"));
    const messages::MessageFile& neutral = files["SV/drives/C/Windows/System32/services.exe"];
    const messages::MessageFile& japanese = files["SV/drives/C/Windows/System32/ja-JP/services.exe.mui"];
    EXPECT_NE(neutral.table.TableError(), 0u);
    EXPECT_EQ(neutral.mui.fileType, messages::mui::kNeutralFile);
    EXPECT_EQ(neutral.mui.ultimateFallbackLanguage, "en-US");
    EXPECT_EQ(files["PC/drives/C/Windows/System32/services.exe"].mui.ultimateFallbackLanguage, "en-US");
    EXPECT_EQ(japanese.mui.fileType, messages::mui::kLanguageFile);
    EXPECT_EQ(japanese.mui.language, "ja-JP");
    EXPECT_EQ(japanese.table.Languages(), std::vector<std::uint16_t>{0x0411});
    EXPECT_NE(neutral.mui.checksum, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(japanese.mui.checksum, neutral.mui.checksum);
    EXPECT_EQ(files["SV/drives/C/Windows/System32/en-US/services.exe.mui"].mui.checksum, neutral.mui.checksum);

    struct Case {
        const char* path;
        std::vector<std::string> arguments;
        const char* text;
    };
    const Case cases[] = {
        {"\\\\SV\\C$\\Windows\\System32\\services.exe", {"Telnet", "実行中"},
         "Telnet サービスは 実行中 状態に移行しました。\r\n"},
        {"\\\\PC\\C$\\Windows\\System32\\services.exe", {"Telnet", "running"},
         "The Telnet service entered the running state.\r\n"}};
    platform::MessageService& service = network->Services().messages;
    for (const Case& c : cases) {
        std::unique_ptr<platform::MessageModule> module;
        ASSERT_EQ(service.LoadDataFile(c.path, module), 0u) << c.path;
        std::string formatted;
        ASSERT_EQ(service.FormatMessage(module.get(), 7036, &c.arguments, formatted), 0u) << c.path;
        EXPECT_EQ(formatted, c.text);
    }
}

TEST_F(Builder, PlacesMessageDllsBuiltFromMcSources) {
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    if (!binary || !fs::exists(fs::u8path(binary) / "test-messages" / "msgtest_bilingual.dll"))
        GTEST_SKIP() << "no message DLLs built";
    std::string error;
    ASSERT_TRUE(Build("computer SV1\nfile C:\\WINNT\\System32\\bilingual.dll msgtest_bilingual.dll\n", error)) << error;
    std::unique_ptr<platform::MessageModule> module;
    ASSERT_EQ(network->Services().messages.LoadDataFile("\\\\SV1\\C$\\WINNT\\System32\\bilingual.dll", module), 0u);
    std::string text;
    ASSERT_EQ(network->Services().messages.FormatMessage(module.get(), 1, nullptr, text), 0u);
    EXPECT_EQ(text, "サービスを開始しました。\r\n2 行目です。\r\n");
}

// A channel, a publisher and a manifest module made from a description read
// back as the collector reads them: the channel service's records carry
// every field and data item as written, oldest first with ids from 1; the
// registry holds the registration and the source's ProviderGuid; the split
// module keeps its manifest in the language-neutral file.
TEST_F(Builder, ChannelsPublishersAndManifestModulesReadBack) {
    const std::string manifestText =
        "# two versions of one event, a map\n"
        "provider {3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11} Quorvin-Test message=0x40200001\n"
        "  channel 16 Quorvin-Test/Operational message=0x40200002\n"
        "  task 7 Copy message=0x40200003\n"
        "  opcode 11 Sweep task=7\n"
        "  keyword 0x10 Disk\n"
        "  map Kinds\n"
        "    entry 1 message=0x40200004\n"
        "  template One\n"
        "    data Path string\n"
        "  template Two\n"
        "    data Path string\n"
        "    data Kind uint32 map=Kinds\n"
        "  event 300 version=1 channel=16 level=3 task=7 opcode=11 keywords=0x10 message=0x4021012C template=One\n"
        "  event 300 version=2 channel=16 level=3 task=7 opcode=11 keywords=0x10 message=0x4022012C template=Two\n"
        "  event 1 message=0x40210001\n";
    quorvin::wevt::Manifest manifest;
    std::string error;
    ASSERT_TRUE(ParseManifestText(manifestText, manifest, error)) << error;
    ASSERT_EQ(manifest.providers.size(), 1u);
    const quorvin::wevt::Provider& provider = manifest.providers[0];
    ASSERT_EQ(provider.events.size(), 3u);
    EXPECT_EQ(provider.events[1].templateIndex, 1);
    EXPECT_EQ(provider.templates[1].items[1].map, 0);
    EXPECT_EQ(provider.opcodes[0].value, (std::uint64_t{7} << 16) | 11);
    EXPECT_EQ(provider.keywords[0].value, 0x10u);
    messages::ResourceImageSpec module;
    module.tables = {{0x0409, messages::EncodeMessageData({{0x4021012C, u"Copied %1.\r\n"}})},
                     {0x0411, messages::EncodeMessageData({{0x4021012C, u"%1 をコピーしました。\r\n"}})}};
    module.manifest = quorvin::wevt::WriteManifest(manifest);
    temp.Write("src/qt.dll", messages::WriteResourceImage(module));

    const std::string guid = "{3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11}";
    ASSERT_TRUE(Build("now 2003-06-17 12:00\n"
                      "computer SV\n"
                      "  services channels=auth\n"
                      "  account admin pw\n"
                      "  source System Quorvin-Test guid=" + guid + "\n"
                      "  publisher " + guid + " Quorvin-Test resource=%SystemRoot%\\System32\\qt.dll "
                      "message=%SystemRoot%\\System32\\qt.dll parameter=C:\\p.dll\n"
                      "  muifile C:\\Windows\\System32\\qt.dll qt.dll languages=ja-JP,en-US\n"
                      "  channel Quorvin-Test/Operational\n"
                      "    event -1h warning Quorvin-Test 300 guid=" + guid + " version=2 task=7 opcode=11 "
                      "keywords=0x8000000000000010 user=S-1-5-18 \"Path=C:\\a b\" 種類=値\n"
                      "    event -2d 10:15 information Quorvin-Test 1\n"
                      "    event 2003-06-17 08:00 critical Quorvin-Test 65535 computer=other.example Empty=\n"
                      "computer PC\n"
                      "  channel System\n"
                      "    event -1d error EventLog 6008\n",
                      error))
        << error;

    std::unique_ptr<platform::RegistryKey> root;
    ASSERT_EQ(network->Services().registry.ConnectLocalMachine("\\\\SV", root), 0u);
    std::uint32_t type = 0;
    const std::string publisher = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + guid;
    EXPECT_EQ(Query(*root, publisher, "", type), Bytes(std::string("Quorvin-Test") + '\0'));
    EXPECT_EQ(type, platform::regtype::kSz);
    EXPECT_EQ(Query(*root, publisher, "ResourceFileName", type), Bytes(std::string("%SystemRoot%\\System32\\qt.dll") + '\0'));
    EXPECT_EQ(type, platform::regtype::kExpandSz);
    EXPECT_EQ(Query(*root, publisher, "MessageFileName", type), Bytes(std::string("%SystemRoot%\\System32\\qt.dll") + '\0'));
    EXPECT_EQ(Query(*root, publisher, "ParameterFileName", type), Bytes(std::string("C:\\p.dll") + '\0'));
    EXPECT_EQ(Query(*root, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Quorvin-Test", "ProviderGuid", type),
              Bytes(guid + '\0'));
    EXPECT_EQ(type, platform::regtype::kSz);

    const std::string neutral = temp.Read("net/SV/drives/C/Windows/System32/qt.dll");
    messages::MemorySource source(reinterpret_cast<const std::uint8_t*>(neutral.data()), neutral.size());
    std::vector<std::uint8_t> kept;
    ASSERT_EQ(messages::ReadManifestResource(source, kept), 0u);
    EXPECT_EQ(kept, module.manifest);
    EXPECT_TRUE(fs::exists(temp.Path() / "net/SV/drives/C/Windows/System32/ja-JP/qt.dll.mui"));

    std::unique_ptr<platform::ChannelSession> session;
    EXPECT_EQ(network->Services().channels.OpenSession("\\\\SV", nullptr, session), 5u);
    ASSERT_EQ(network->Services().connections.AddConnection("\\\\SV\\IPC$", "admin", "pw"), 0u);
    ASSERT_EQ(network->Services().channels.OpenSession("\\\\SV", nullptr, session), 0u);
    std::unique_ptr<platform::ChannelEvents> result;
    ASSERT_EQ(session->Query({"quorvin-test/operational", 0, 0}, result), 0u);
    std::vector<quorvin::evtx::Record> records;
    ASSERT_EQ(result->Next(platform::kChannelBatch, records), 0u);
    ASSERT_EQ(records.size(), 3u);
    using F = quorvin::evtx::Field;
    auto field = [](const quorvin::evtx::Record& r, F f) { return quorvin::evtx::Utf8(r.System(f)); };
    auto data = [](const quorvin::evtx::Record& r) {
        std::string items;
        for (const auto& pair : r.data) items += quorvin::evtx::Utf8(r.Text(pair.name)) + "=" + quorvin::evtx::Utf8(r.Text(pair.value)) + ";";
        return items;
    };
    const quorvin::evtx::Record& newest = records[0];  // newest first: the event of -1h
    EXPECT_EQ(newest.id, 3u);
    EXPECT_EQ(field(newest, F::kEventRecordId), "3");
    EXPECT_EQ(field(newest, F::kProviderName), "Quorvin-Test");
    EXPECT_EQ(field(newest, F::kProviderGuid), guid);
    EXPECT_EQ(field(newest, F::kEventId), "300");
    EXPECT_EQ(field(newest, F::kVersion), "2");
    EXPECT_EQ(field(newest, F::kLevel), "3");
    EXPECT_EQ(field(newest, F::kTask), "7");
    EXPECT_EQ(field(newest, F::kOpcode), "11");
    EXPECT_EQ(field(newest, F::kKeywords), "0x8000000000000010");
    EXPECT_EQ(field(newest, F::kChannel), "Quorvin-Test/Operational");
    EXPECT_EQ(field(newest, F::kComputer), "SV");
    EXPECT_EQ(field(newest, F::kUserId), "S-1-5-18");
    EXPECT_EQ(data(newest), quorvin::text::Cp932ToUtf8("Path=C:\\a b;種類=値;"));
    EXPECT_EQ(quorvin::engine::XmlEventTime(newest), Time({"2003-06-17", "11:00"}, 0));
    EXPECT_EQ(quorvin::engine::XmlEventTime(records[1]), Time({"2003-06-17", "08:00"}, 0));
    EXPECT_EQ(field(records[1], F::kLevel), "1");
    EXPECT_EQ(field(records[1], F::kComputer), "other.example");
    EXPECT_FALSE(records[1].Has(F::kProviderGuid));
    EXPECT_EQ(data(records[1]), "Empty=;");
    EXPECT_EQ(quorvin::engine::XmlEventTime(records[2]), Time({"2003-06-15", "10:15"}, 0));
    EXPECT_EQ(records[2].id, 1u);
    EXPECT_EQ(field(records[2], F::kLevel), "4");
    EXPECT_EQ(result->Next(platform::kChannelBatch, records), 259u);

    ASSERT_EQ(network->Services().channels.OpenSession("\\\\PC", nullptr, session), 0u);
    ASSERT_EQ(session->Query({"System", 0, 0}, result), 0u);
    ASSERT_EQ(result->Next(platform::kChannelBatch, records), 0u);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(field(records[0], F::kEventId), "6008");
    EXPECT_EQ(field(records[0], F::kLevel), "2");

    const char* const broken[][2] = {
        {"event 1\n", "line 1: \"event\" before any provider"},
        {"provider {3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11} P\nevent 1 template=T\n", "line 2: no template T above"},
        {"provider {3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11} P\ntemplate T\ndata X text\n", "line 3: unknown data type \"text\""},
        {"provider {3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11} P\nevent 1\nevent 1 version=0\n", "line 3: event 1 of that version given twice"},
        {"provider {3E5A2B8D-4F1C-6B4A-9E21-0F3C5D7A9B11} P\nlevel 300 L\n", "line 2: the level value is too large"},
        {"provider x P\n", "line 1: expected provider {GUID}"},
        {"# nothing\n", "the manifest has no provider"},
    };
    for (const auto& c : broken) {
        EXPECT_FALSE(ParseManifestText(c[0], manifest, error)) << c[0];
        EXPECT_NE(error.find(c[1]), std::string::npos) << c[0] << "\ngot: " << error;
    }
}

#ifndef _WIN32
TEST_F(Builder, CommandLine) {
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    if (!binary) GTEST_SKIP() << "QUORVIN_BINARY_DIR is not set";
    const fs::path program = fs::u8path(binary) / "bin" / "quorvin-netbuild";
    if (!fs::exists(program)) GTEST_SKIP() << "quorvin-netbuild is not built";
    temp.Write("d/network.txt", "local PC\ncomputer PC\nfile C:\\a.dll a.dll\nlog System\nevent -1h information S 1\n");
    temp.Write("lib/a.dll", MessageDll({{1, u"a\r\n"}}));
    const std::string base = "'" + program.string() + "' ";
    const std::string description = "'" + (temp.Path() / "d" / "network.txt").string() + "' ";
    const std::string out = "'" + (temp.Path() / "out").string() + "' 2>/dev/null";
    EXPECT_NE(std::system((base + description + out).c_str()), 0);  // a.dll is not beside the description
    fs::remove_all(temp.Path() / "out");
    EXPECT_EQ(std::system((base + "-I '" + (temp.Path() / "lib").string() + "' --now '2003-06-17 12:00' " +
                           description + out).c_str()),
              0);
    EXPECT_TRUE(fs::exists(temp.Path() / "out" / "PC" / "drives" / "C" / "a.dll"));
    EXPECT_NE(std::system((base + "--now tomorrow " + description + out).c_str()), 0);
    EXPECT_NE(std::system((base + description + "2>/dev/null").c_str()), 0);
}
#endif
