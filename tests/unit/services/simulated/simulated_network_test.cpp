#include "services/simulated/simulated_network.h"

#include "formats/evt/bytes.h"
#include "formats/evt/evt.h"

#include <gtest/gtest.h>

#include "support/pe_image.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
namespace platform = quorvin::platform;
namespace evt = quorvin::evt;
using quorvin::network::SimulatedNetwork;
using quorvin::network::test::MessageDll;
using quorvin::network::test::TempFolder;

namespace {

evt::Event MakeEvent(std::uint32_t id, std::uint32_t time, std::string source) {
    evt::Event e;
    e.eventId = id;
    e.timeGenerated = e.timeWritten = time;
    e.eventType = 4;
    e.sourceName = std::move(source);
    e.computerName = "SV1";
    e.strings = {"文字列", "x"};
    return e;
}

const char* const kRegistry =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
    "\"SystemRoot\"=\"C:\\\\WINNT\"\r\n";

// A network of four computers:
//   ADMIN plays this machine (system root D:\WINNT, one local message file);
//   SV1 has shares=auth with an account, a System log, a corrupt Security log, no Application log;
//   PC1 has no computer.ini (everything on), a message file, a file that is no PE, no registry.reg;
//   PC2 has every service off.
class Network : public ::testing::Test {
protected:
    void SetUp() override {
        temp.Write("network.ini",
                   "[local]\ncomputer=admin\nlan_group=OFFICE\n"
                   "[browse:OFFICE]\nSV1=5.0,0x00009003,File server\nPC1=5.1,0x1003,\n"
                   "[browse:Denied]\nresult=5\n[browse:Big]\nresult=234\nPC1=5.1,0x1003,\n");
        temp.Write("ADMIN/registry.reg",
                   "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                   "\"SystemRoot\"=\"D:\\\\WINNT\"\r\n");
        temp.Write("ADMIN/computer.ini", "[environment]\nTEMP=D:\\TEMP\nwindir=E:\\odd\n");
        temp.Write("ADMIN/drives/D/WINNT/System32/local.dll", MessageDll({{1, u"local\r\n"}}));

        temp.Write("SV1/computer.ini",
                   "[services]\nshares=auth\n[accounts]\nAdministrator=secret\n[network]\naddress=192.168.0.10\n");
        temp.Write("SV1/registry.reg", kRegistry);
        temp.Write("SV1/Logs/SYSTEM.EVT", evt::WriteLogFile({MakeEvent(7000, 1000, "Service Control Manager"),
                                                            MakeEvent(7001, 2000, "Tcpip"),
                                                            MakeEvent(7002, 3000, "サービス")}));
        temp.Write("SV1/Logs/Security.evt", "this is no event log, just text that goes on for a while........");
        temp.Write("SV1/drives/C/WINNT/System32/netmsg.dll", MessageDll({{2, u"netmsg\r\n"}}));

        temp.Write("PC1/drives/C/WINNT/System32/netevent.dll", MessageDll({{3, u"netevent\r\n"}}));
        temp.Write("PC1/drives/C/WINNT/System32/notpe.dll", "MZ but nothing else");
        temp.Write("PC1/drives/C/WINNT/System32/empty.dll", "");
        temp.Write("PC1/drives/C/ソフト/x.dll", MessageDll({{4, u"so\r\n"}}));

        temp.Write("PC2/computer.ini", "[services]\neventlog=off\nregistry=off\nshares=off\n[accounts]\nuser=pw\n");
        temp.Write("PC2/drives/C/WINNT/System32/netmsg.dll", MessageDll({{2, u"netmsg\r\n"}}));
        Reopen();
    }

    void Reopen() {
        std::string error;
        network = SimulatedNetwork::Open(temp.Path(), error);
        ASSERT_TRUE(network) << error;
    }

    platform::Platform Services() { return network->Services(); }

    platform::Error Load(const std::string& path) {
        std::unique_ptr<platform::MessageModule> module;
        const platform::Error e = Services().messages.LoadDataFile(path, module);
        EXPECT_EQ(e == 0, module != nullptr) << path;
        return e;
    }

    // Every record of a log, newest first, read as the collector reads:
    // with a buffer of `size` bytes that grows when a record does not fit.
    std::vector<evt::Event> ReadAll(platform::EventLog& log, std::uint32_t size = 320000) {
        std::vector<evt::Event> events;
        std::vector<std::uint8_t> buffer(size);
        while (true) {
            std::uint32_t read = 0, needed = 0;
            const platform::Error e = log.Read(buffer.data(), size, read, needed);
            if (e == platform::error::kHandleEof) break;
            if (e == platform::error::kInsufficientBuffer && needed > size) {
                buffer.resize(size = needed);
                continue;
            }
            if (e != 0) {
                ADD_FAILURE() << "read error " << e;
                break;
            }
            for (std::uint32_t at = 0; at < read;) {
                const std::uint32_t length = evt::bytes::U32At(buffer.data(), read, at);
                const auto event = evt::ParseAnsiRecord(buffer.data() + at, read - at);
                if (!event || length == 0) {
                    ADD_FAILURE() << "bad record at " << at;
                    return events;
                }
                events.push_back(*event);
                at += length;
            }
        }
        return events;
    }

    TempFolder temp;
    std::unique_ptr<SimulatedNetwork> network;
};

std::string QueryText(platform::RegistryKey& root, const std::string& path, const std::string& name) {
    std::unique_ptr<platform::RegistryKey> key;
    if (root.OpenKey(path, key) != 0) return "<no key>";
    std::uint32_t type = 0, size = 0;
    if (key->QueryValue(name, type, nullptr, size) != 0) return "<no value>";
    std::string data(size, '\0');
    if (key->QueryValue(name, type, reinterpret_cast<std::uint8_t*>(data.data()), size) != 0) return "<error>";
    return data.substr(0, data.find('\0'));
}

}  // namespace

TEST(SimulatedNetworkOpen, ReportsBrokenFolders) {
    TempFolder temp;
    std::string error;
    EXPECT_FALSE(SimulatedNetwork::Open(temp.Path(), error));
    EXPECT_NE(error.find("network.ini: missing"), std::string::npos) << error;
    temp.Write("network.ini", "[local]\ncomputer=nobody\n");
    EXPECT_FALSE(SimulatedNetwork::Open(temp.Path(), error));
    EXPECT_NE(error.find("names no computer folder"), std::string::npos) << error;
}

TEST_F(Network, EventLogReadsNewestFirst) {
    std::unique_ptr<platform::EventLog> log;
    ASSERT_EQ(Services().eventLog.Open("\\\\sv1", "system", log), 0u);
    const auto events = ReadAll(*log);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].eventId, 7002u);
    EXPECT_EQ(events[0].sourceName, "サービス");
    EXPECT_EQ(events[0].strings, (std::vector<std::string>{"文字列", "x"}));
    EXPECT_EQ(events[2].eventId, 7000u);

    // By address, with a buffer too small for one record, then large enough.
    ASSERT_EQ(Services().eventLog.Open("\\\\192.168.0.10", "SYSTEM", log), 0u);
    std::uint8_t tiny[16];
    std::uint32_t read = 0, needed = 0;
    EXPECT_EQ(log->Read(tiny, sizeof tiny, read, needed), platform::error::kInsufficientBuffer);
    EXPECT_GT(needed, sizeof tiny);
    EXPECT_EQ(ReadAll(*log, needed).size(), 3u);
    EXPECT_EQ(log->Read(tiny, sizeof tiny, read, needed), platform::error::kHandleEof);
}

TEST_F(Network, EventLogFailuresAndEmptyLogs) {
    auto& service = Services().eventLog;
    std::unique_ptr<platform::EventLog> log;
    EXPECT_EQ(service.Open("\\\\SV9", "system", log), 1722u);
    EXPECT_FALSE(log);
    EXPECT_EQ(service.Open("\\\\PC2", "system", log), 1722u);  // eventlog=off
    EXPECT_EQ(service.Open("\\\\SV1", "Security", log), 1500u);  // a file that is no event log
    EXPECT_FALSE(log);

    // A log without a file, and a computer without a logs folder, open empty.
    std::uint8_t buffer[64];
    std::uint32_t read = 0, needed = 0;
    for (const char* server : {"\\\\SV1", "\\\\PC1", "PC1"}) {
        ASSERT_EQ(service.Open(server, "application", log), 0u) << server;
        EXPECT_EQ(log->Read(buffer, sizeof buffer, read, needed), platform::error::kHandleEof);
    }
    // A name that is no log of the computer opens its Application log.
    ASSERT_EQ(service.Open("\\\\SV1", "Directory Service", log), 0u);
    EXPECT_EQ(log->Read(buffer, sizeof buffer, read, needed), platform::error::kHandleEof);
    // Names never reach outside the logs folder.
    EXPECT_EQ(service.Open("\\\\SV1", "../logs/Security", log), 0u);
    EXPECT_EQ(service.Open(std::string("\\\\SV1\0garbage", 13), "system", log), 0u);
    EXPECT_EQ(ReadAll(*log).size(), 3u);
    EXPECT_EQ(service.Open("\\\\..", "system", log), 1722u);
}

TEST_F(Network, EmptyEvtFileIsAnEmptyLog) {
    temp.Write("PC1/logs/System.evt", "");
    std::unique_ptr<platform::EventLog> log;
    ASSERT_EQ(Services().eventLog.Open("\\\\PC1", "system", log), 0u);
    EXPECT_TRUE(ReadAll(*log).empty());
}

// A log many blocks of the file long, wrapped so that records run past the
// end of the file, read from the file as the records are asked for: the
// bytes of every read are those of the reader over the whole parsed file,
// buffer size by buffer size, the too-small answers included.
TEST_F(Network, LongWrappedLogsAreReadFromTheFileAsTheWholeFileReads) {
    std::vector<evt::Event> events;
    for (std::uint32_t i = 0; i < 5000; ++i)
        events.push_back(MakeEvent(i, 1000 + i, i % 3 ? "Tcpip" : "サービス"));
    evt::WriteOptions options;
    options.maxSize = 300 * 1024 + 0x1C;  // blocks of 64 KiB do not divide it
    const std::vector<std::uint8_t> file = evt::WriteLogFile(events, options);
    ASSERT_NE(evt::bytes::U32At(file.data(), file.size(), 0x24) & evt::flag::kWrap, 0u);
    temp.Write("PC1/logs/System.evt", std::string(file.begin(), file.end()));
    Reopen();
    const evt::ParsedLog parsed = evt::ParseLogFile(file.data(), file.size());
    ASSERT_GT(parsed.records.size(), 1000u);

    for (const std::uint32_t size : {0u, 60u, 200u, 4096u, 320000u}) {
        evt::BackwardReader expected = evt::ReaderForLog(parsed.records);
        std::unique_ptr<platform::EventLog> log;
        ASSERT_EQ(Services().eventLog.Open("\\\\PC1", "system", log), 0u);
        std::vector<std::uint8_t> got(size), want(size);
        for (int read = 0;; ++read) {
            std::uint32_t gotRead = 0, gotNeeded = 0, wantRead = 0, wantNeeded = 0;
            const platform::Error gotError = log->Read(got.data(), size, gotRead, gotNeeded);
            const platform::Error wantError = expected.Read(want.data(), size, wantRead, wantNeeded);
            ASSERT_EQ(gotError, wantError) << size << " read " << read;
            ASSERT_EQ(gotRead, wantRead) << size << " read " << read;
            ASSERT_EQ(gotNeeded, wantNeeded) << size << " read " << read;
            ASSERT_TRUE(std::equal(got.begin(), got.begin() + gotRead, want.begin())) << size << " read " << read;
            if (gotError == platform::error::kHandleEof) break;
            if (gotError == platform::error::kInsufficientBuffer) {
                // As the engine does: a larger buffer, the same record again.
                got.resize(gotNeeded);
                want.resize(gotNeeded);
                std::uint32_t r1 = 0, n1 = 0, r2 = 0, n2 = 0;
                ASSERT_EQ(log->Read(got.data(), gotNeeded, r1, n1), expected.Read(want.data(), gotNeeded, r2, n2));
                ASSERT_EQ(r1, r2);
                ASSERT_TRUE(std::equal(got.begin(), got.begin() + r1, want.begin()));
                got.resize(size);
                want.resize(size);
            }
        }
    }
}

// The counts: every read of a log at the size it asked for, whatever it
// gave (records, too small, the end); a refused read moves nothing. A
// message file counts its bytes when it is read: once while the network
// keeps it, again when it is read again.
TEST_F(Network, TrafficCountsEveryLogReadAtItsSizeAndEveryFileRead) {
    std::unique_ptr<platform::EventLog> log;
    ASSERT_EQ(Services().eventLog.Open("\\\\SV1", "system", log), 0u);
    std::vector<std::uint8_t> buffer(0x80000);
    std::uint32_t read = 0, needed = 0;
    EXPECT_EQ(log->Read(buffer.data(), 16, read, needed), platform::error::kInsufficientBuffer);
    EXPECT_EQ(log->Read(buffer.data(), 0x80000, read, needed), platform::error::kInvalidParameter);
    EXPECT_EQ(log->Read(buffer.data(), 4096, read, needed), 0u);
    EXPECT_EQ(log->Read(buffer.data(), 4096, read, needed), platform::error::kHandleEof);
    ASSERT_EQ(Services().eventLog.Open("\\\\PC1", "system", log), 0u);  // no file: no records
    EXPECT_EQ(log->Read(buffer.data(), 100, read, needed), platform::error::kHandleEof);

    const auto size = fs::file_size(temp.Path() / "PC1/drives/C/WINNT/System32/netevent.dll");
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll"), 0u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll"), 0u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\missing.dll"), 2u);
    SimulatedNetwork::TrafficCounts counts = network->Traffic();
    EXPECT_EQ(counts.eventLogReads, 5u);
    EXPECT_EQ(counts.eventLogBytes, 16u + 4096u + 4096u + 100u);
    EXPECT_EQ(counts.fileReads, 1u);
    EXPECT_EQ(counts.fileBytes, size);

    network->ResetTraffic();
    EXPECT_EQ(network->Traffic().eventLogBytes + network->Traffic().fileBytes, 0u);
    std::string error;
    SimulatedNetwork::Options unshared;
    unshared.shareModules = false;
    network = SimulatedNetwork::Open(temp.Path(), unshared, error);
    ASSERT_TRUE(network) << error;
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll"), 0u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll"), 0u);
    counts = network->Traffic();
    EXPECT_EQ(counts.fileReads, 2u);
    EXPECT_EQ(counts.fileBytes, 2 * size);
    EXPECT_EQ(counts.eventLogReads, 0u);
}

TEST_F(Network, RemoteRegistryIsReadOnly) {
    auto& registry = Services().registry;
    std::unique_ptr<platform::RegistryKey> root;
    ASSERT_EQ(registry.ConnectLocalMachine("\\\\SV1", root), 0u);
    EXPECT_EQ(QueryText(*root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot"), "C:\\WINNT");
    std::unique_ptr<platform::RegistryKey> key;
    EXPECT_EQ(root->CreateKey("SOFTWARE\\New", key), platform::error::kAccessDenied);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(root->SetValue("x", platform::regtype::kDword, one, 4), platform::error::kAccessDenied);

    ASSERT_EQ(registry.ConnectLocalMachine("\\\\PC1", root), 0u);  // no registry.reg: an empty registry
    EXPECT_EQ(root->OpenKey("SOFTWARE", key), platform::error::kFileNotFound);
    EXPECT_EQ(registry.ConnectLocalMachine("\\\\PC2", root), 53u);  // registry=off
    EXPECT_FALSE(root);
    EXPECT_EQ(registry.ConnectLocalMachine("\\\\SV9", root), 53u);

    temp.Write("PC1/registry.reg", "not a registry file");
    Reopen();
    EXPECT_EQ(Services().registry.ConnectLocalMachine("\\\\PC1", root), 1015u);
}

TEST_F(Network, LocalRegistryIsSavedBack) {
    const std::string settings = "SOFTWARE\\ORVANTE\\クォーヴィン";
    {
        std::unique_ptr<platform::RegistryKey> root, key;
        ASSERT_EQ(Services().registry.ConnectLocalMachine("", root), 0u);
        ASSERT_EQ(root->CreateKey(settings, key), 0u);
        const std::string name = "ｺﾝﾋﾟｭｰﾀ;";
        ASSERT_EQ(key->SetValue("ComputerListToSave", platform::regtype::kSz,
                                reinterpret_cast<const std::uint8_t*>(name.c_str()),
                                static_cast<std::uint32_t>(name.size() + 1)),
                  0u);
        // The remote view of the same computer sees the change at once.
        std::unique_ptr<platform::RegistryKey> remote;
        ASSERT_EQ(Services().registry.ConnectLocalMachine("\\\\ADMIN", remote), 0u);
        EXPECT_EQ(QueryText(*remote, settings, "ComputerListToSave"), name);
    }
    Reopen();
    std::unique_ptr<platform::RegistryKey> root;
    ASSERT_EQ(Services().registry.ConnectLocalMachine("", root), 0u);
    EXPECT_EQ(QueryText(*root, settings, "ComputerListToSave"), "ｺﾝﾋﾟｭｰﾀ;");
    EXPECT_EQ(QueryText(*root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot"), "D:\\WINNT");
    EXPECT_FALSE(fs::exists(temp.Path() / "ADMIN" / "registry.reg.new"));
}

TEST_F(Network, FailedSaveKeepsTheOldFile) {
    const std::string before = temp.Read("ADMIN/registry.reg");
    temp.Write("ADMIN/registry.reg.new/blocker", "");  // the temporary file cannot be made
    std::unique_ptr<platform::RegistryKey> root, key;
    ASSERT_EQ(Services().registry.ConnectLocalMachine("", root), 0u);
    EXPECT_EQ(root->CreateKey("SOFTWARE\\X", key), 1016u);
    EXPECT_EQ(temp.Read("ADMIN/registry.reg"), before);
}

TEST_F(Network, LocalComputerWithoutRegistryFileGetsOne) {
    temp.Write("network.ini", "[local]\ncomputer=PC1\n");
    Reopen();
    std::unique_ptr<platform::RegistryKey> root, key;
    ASSERT_EQ(Services().registry.ConnectLocalMachine("", root), 0u);
    ASSERT_EQ(root->CreateKey("SOFTWARE\\Y", key), 0u);
    EXPECT_TRUE(fs::exists(temp.Path() / "PC1" / "registry.reg"));
    EXPECT_EQ(Services().system.SystemDirectory(), "C:\\WINNT\\System32");
}

TEST_F(Network, ConnectionsCheckAccounts) {
    auto& connections = Services().connections;
    EXPECT_EQ(connections.AddConnection("\\\\SV9\\admin$", "Administrator", "secret"), 53u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\admin$", "Administrator", "wrong"), 1326u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\admin$", "Guest", "secret"), 1326u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\admin$", "", ""), 1326u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\D$", "Administrator", "secret"), 67u);  // no drive D
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\docs", "Administrator", "secret"), 67u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1", "Administrator", "secret"), 67u);
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\C$\\WINNT", "Administrator", "secret"), 67u);
    EXPECT_EQ(connections.AddConnection("\\\\sv1\\ADMIN$", "ADMINISTRATOR", "secret"), 0u);
    EXPECT_EQ(connections.AddConnection("\\\\192.168.0.10\\c$", "administrator", "secret"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\admin$"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\admin$"), 2250u);
    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\C$"), 2250u);  // made under the address
    EXPECT_EQ(connections.CancelConnection("\\\\192.168.0.10\\C$"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\SV9\\C$"), 2250u);
    // Passwords compare exactly.
    EXPECT_EQ(connections.AddConnection("\\\\SV1\\admin$", "Administrator", "SECRET"), 1326u);
}

// As on Windows, connections belong to the server name as written: two
// names of one computer are two sessions, each with its own account, and
// cancelling under one name leaves the other's shares as they were.
TEST_F(Network, EachNameOfAComputerHasItsOwnConnections) {
    temp.Write("SV1/computer.ini", "[services]\nshares=auth\n[accounts]\nAdministrator=secret\nGuest=g\n"
                                   "[network]\naddress=192.168.0.10\n");
    Reopen();
    auto& connections = Services().connections;
    const std::string byName = "\\\\SV1\\C$\\WINNT\\System32\\netmsg.dll";
    const std::string byAddress = "\\\\192.168.0.10\\C$\\WINNT\\System32\\netmsg.dll";
    ASSERT_EQ(connections.AddConnection("\\\\SV1\\admin$", "Administrator", "secret"), 0u);
    EXPECT_EQ(Load(byAddress), 5u);
    EXPECT_EQ(connections.AddConnection("\\\\sv1\\IPC$", "Guest", "g"), 1219u);
    ASSERT_EQ(connections.AddConnection("\\\\192.168.0.10\\admin$", "Guest", "g"), 0u);
    std::unique_ptr<platform::EventLog> log;
    ASSERT_EQ(Services().eventLog.Open("\\\\192.168.0.10", "System", log), 0u);  // its IPC$
    EXPECT_EQ(Load(byAddress), 0u);                                                  // and its C$
    EXPECT_EQ(Load(byName), 0u);

    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\IPC$"), 2250u);  // the log was opened by address
    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\C$"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\SV1\\admin$"), 0u);
    EXPECT_EQ(Load(byName), 5u);
    EXPECT_EQ(Load(byAddress), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\192.168.0.10\\IPC$"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\192.168.0.10\\C$"), 0u);
    EXPECT_EQ(connections.CancelConnection("\\\\192.168.0.10\\admin$"), 0u);
    EXPECT_EQ(Load(byAddress), 5u);
}

TEST_F(Network, SharesFollowTheServiceSettings) {
    const std::string netmsg = "\\\\SV1\\C$\\WINNT\\System32\\netmsg.dll";
    EXPECT_EQ(Load(netmsg), 5u);  // shares=auth, not connected
    EXPECT_EQ(Services().connections.AddConnection("\\\\SV1\\admin$", "Administrator", "wrong"), 1326u);
    EXPECT_EQ(Load(netmsg), 5u);
    ASSERT_EQ(Services().connections.AddConnection("\\\\SV1\\admin$", "Administrator", "secret"), 0u);
    EXPECT_EQ(Load(netmsg), 0u);
    EXPECT_EQ(Load("\\\\sv1\\c$\\winnt\\system32\\NETMSG.DLL"), 0u);
    EXPECT_EQ(Load("\\\\SV1\\admin$\\System32\\netmsg.dll"), 0u);
    network->Reset();
    EXPECT_EQ(Load(netmsg), 5u);
    ASSERT_EQ(Services().connections.AddConnection("\\\\SV1\\admin$", "Administrator", "secret"), 0u);
    EXPECT_EQ(Services().connections.CancelConnection("\\\\SV1\\admin$"), 0u);
    EXPECT_EQ(Load(netmsg), 5u);

    EXPECT_EQ(Load("\\\\PC2\\C$\\WINNT\\System32\\netmsg.dll"), 5u);  // shares=off
    ASSERT_EQ(Services().connections.AddConnection("\\\\PC2\\admin$", "user", "pw"), 0u);
    EXPECT_EQ(Load("\\\\PC2\\C$\\WINNT\\System32\\netmsg.dll"), 5u);  // off for everyone
    EXPECT_EQ(Load("\\\\PC9\\C$\\WINNT\\System32\\netmsg.dll"), 53u);
}

TEST_F(Network, DataFilesGiveWindowsErrors) {
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll"), 0u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\ソフト\\x.dll"), 0u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\missing.dll"), 2u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\Missing\\netevent.dll"), 3u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32"), 5u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\notpe.dll"), 193u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\empty.dll"), 1006u);
    EXPECT_EQ(Load("\\\\PC1\\E$\\x.dll"), 67u);
    EXPECT_EQ(Load("\\\\PC1\\docs\\x.dll"), 67u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\x?.dll"), 123u);
    EXPECT_EQ(Load("netevent.dll"), 126u);
    EXPECT_EQ(Load("WINNT\\System32\\netevent.dll"), 126u);
    EXPECT_EQ(Load("/etc/passwd"), 126u);
    EXPECT_EQ(Load(""), 126u);

    // Escapes stay on the drive: ".." stops at its root, a NUL ends the path.
    EXPECT_EQ(Load("\\\\PC1\\C$\\..\\..\\..\\network.ini"), 2u);  // drives/C/network.ini
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\..\\..\\..\\PC1\\registry.reg"), 3u);
    EXPECT_EQ(Load(std::string("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll\0\\..\\x", 42)), 0u);
    EXPECT_EQ(Load("\\\\..\\C$\\network.ini"), 53u);
    EXPECT_EQ(Load("\\\\PC1\\C$\\WINNT\\System32\\.\\..\\System32\\netevent.dll."), 0u);
}

TEST_F(Network, LocalPathsAreThisMachinesFiles) {
    EXPECT_EQ(Load("D:\\WINNT\\System32\\local.dll"), 0u);
    EXPECT_EQ(Load("d:/winnt/system32/LOCAL.DLL"), 0u);
    EXPECT_EQ(Load("D:\\WINNT\\System32\\netmsg.dll"), 2u);
    EXPECT_EQ(Load("C:\\WINNT\\System32\\netmsg.dll"), 3u);  // this machine has no drive C
    EXPECT_EQ(Load("D:\\..\\..\\SV1\\drives\\C\\WINNT\\System32\\netmsg.dll"), 3u);
}

TEST_F(Network, SystemDirectoryAndEnvironment) {
    auto& system = Services().system;
    EXPECT_EQ(system.SystemDirectory(), "D:\\WINNT\\System32");
    EXPECT_EQ(system.ExpandEnvironmentStrings("%SystemRoot%\\System32\\x.dll"), "D:\\WINNT\\System32\\x.dll");
    EXPECT_EQ(system.ExpandEnvironmentStrings("%SYSTEMDRIVE%|%temp%|%windir%|%ProgramFiles%"),
              "D:|D:\\TEMP|E:\\odd|D:\\Program Files");
    EXPECT_EQ(system.ExpandEnvironmentStrings("%COMPUTERNAME% %Undefined% 50%"), "ADMIN %Undefined% 50%");
}

TEST_F(Network, Browse) {
    auto& browse = Services().browse;
    std::vector<platform::ServerInfo> servers;
    ASSERT_EQ(browse.EnumServers("office", servers), 0u);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].name, "SV1");
    EXPECT_EQ(servers[0].type, 0x9003u);
    EXPECT_EQ(servers[0].comment, "File server");
    EXPECT_EQ(servers[1].versionMinor, 1u);
    ASSERT_EQ(browse.EnumServers("", servers), 0u);  // the LAN group's list
    EXPECT_EQ(servers.size(), 2u);
    EXPECT_EQ(browse.EnumServers("DENIED", servers), 5u);
    EXPECT_TRUE(servers.empty());
    // More data: the entries read come with the code.
    ASSERT_EQ(browse.EnumServers("big", servers), 234u);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].name, "PC1");
    EXPECT_EQ(browse.EnumServers("NOWHERE", servers), 6118u);
    std::string group;
    ASSERT_EQ(browse.LanGroup(group), 0u);
    EXPECT_EQ(group, "OFFICE");
}

TEST(SimulatedNetworkWithoutLocalComputer, ThisMachineHasNothingOnDisk) {
    TempFolder temp;
    temp.Write("network.ini", "");
    temp.MakeFolder("SV1");
    std::string error;
    auto network = SimulatedNetwork::Open(temp.Path(), error);
    ASSERT_TRUE(network) << error;
    auto services = network->Services();
    EXPECT_EQ(services.system.SystemDirectory(), "C:\\WINNT\\System32");
    std::unique_ptr<platform::MessageModule> module;
    EXPECT_EQ(services.messages.LoadDataFile("C:\\WINNT\\System32\\netmsg.dll", module), 3u);
    std::unique_ptr<platform::RegistryKey> root, key;
    ASSERT_EQ(services.registry.ConnectLocalMachine("", root), 0u);
    ASSERT_EQ(root->CreateKey("SOFTWARE\\Z", key), 0u);
    ASSERT_EQ(services.registry.ConnectLocalMachine("", root), 0u);
    EXPECT_EQ(root->OpenKey("software\\z", key), 0u);  // kept in memory for the network's life
    std::unique_ptr<platform::EventLog> log;
    EXPECT_EQ(services.eventLog.Open("", "system", log), 0u);
    std::string group;
    ASSERT_EQ(services.browse.LanGroup(group), 0u);
    EXPECT_EQ(group, "WORKGROUP");
    std::vector<platform::ServerInfo> servers;
    EXPECT_EQ(services.browse.EnumServers("", servers), 6118u);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path() / "SV1"), fs::directory_iterator()), 0);
}

TEST_F(Network, FormatsFromLoadedModulesAndTheSystemTable) {
    auto& messages = Services().messages;
    std::unique_ptr<platform::MessageModule> module;
    ASSERT_EQ(messages.LoadDataFile("\\\\PC1\\C$\\WINNT\\System32\\netevent.dll", module), 0u);
    std::string text;
    ASSERT_EQ(messages.FormatMessage(module.get(), 3, nullptr, text), 0u);
    EXPECT_EQ(text, "netevent\r\n");
    // A number the module lacks comes from the system's table.
    ASSERT_EQ(messages.FormatMessage(module.get(), 5, nullptr, text), 0u);
    EXPECT_EQ(text, messages.SystemErrorText(5));
    EXPECT_FALSE(messages.SystemErrorText(1722).empty());
}
