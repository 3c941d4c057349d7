#include "services/simulated/network_config.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace quorvin::network;
using quorvin::network::test::TempFolder;

namespace {

std::string LoadError(const TempFolder& temp) {
    NetworkConfig config;
    std::string error;
    EXPECT_FALSE(LoadNetworkConfig(temp.Path(), config, error));
    return error;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(NetworkConfig, ReadsNetworkAndComputers) {
    TempFolder temp;
    temp.Write("network.ini",
               "[local]\ncomputer=admin-pc\nlan_group=OFFICE\n"
               "[browse:OFFICE]\nSV1=5.0,0x00009003,File server, 2nd floor\nPC1=5.1,4099\nNT4=4.0,0x1003,\n"
               "[browse:Broken]\nresult=53\n"
               "[demo]\nsettings=SOFTWARE\\Demo Key\ncomputers= SV1 ,PC1\n");
    temp.Write("ADMIN-PC/computer.ini", "[environment]\nTEMP=C:\\TEMP\n");
    temp.Write("SV1/computer.ini",
               "[services]\neventlog=OFF\nregistry=on\nshares=Auth\n[accounts]\nAdministrator=secret\nbackup=\n"
               "[network]\naddress=192.168.1.10, 10.0.0.1\n");
    temp.MakeFolder("pc1");
    temp.MakeFolder(".git");
    temp.Write("notes.txt", "not a computer");

    NetworkConfig config;
    std::string error;
    ASSERT_TRUE(LoadNetworkConfig(temp.Path(), config, error)) << error;
    ASSERT_EQ(config.computers.size(), 3u);
    EXPECT_EQ(config.computers[0].name, "ADMIN-PC");
    EXPECT_EQ(config.localComputer, 0);
    EXPECT_EQ(config.lanGroup, "OFFICE");
    EXPECT_EQ(config.demoSettingsKey, "SOFTWARE\\Demo Key");
    EXPECT_EQ(config.demoComputers, (std::vector<std::string>{"SV1", "PC1"}));
    EXPECT_EQ(config.computers[0].environment, (Environment{{"TEMP", "C:\\TEMP"}}));

    const int sv1 = config.FindComputer("sv1");
    ASSERT_GE(sv1, 0);
    const ComputerConfig& server = config.computers[static_cast<std::size_t>(sv1)];
    EXPECT_FALSE(server.eventLog);
    EXPECT_TRUE(server.registry);
    EXPECT_EQ(server.shares, Shares::kAuth);
    EXPECT_EQ(server.accounts.size(), 2u);
    EXPECT_EQ(server.accounts[1], (std::pair<std::string, std::string>{"backup", ""}));
    EXPECT_EQ(config.FindComputer("10.0.0.1"), sv1);
    EXPECT_EQ(config.FindComputer("192.168.1.10"), sv1);
    EXPECT_EQ(config.FindComputer("192.168.1.1"), -1);
    EXPECT_EQ(config.FindComputer(""), -1);
    EXPECT_EQ(config.FindComputer(".git"), -1);

    // A computer without computer.ini has every service on and no accounts.
    const ComputerConfig& pc = config.computers[static_cast<std::size_t>(config.FindComputer("PC1"))];
    EXPECT_TRUE(pc.eventLog && pc.registry);
    EXPECT_EQ(pc.shares, Shares::kOn);
    EXPECT_TRUE(pc.accounts.empty());

    const BrowseList* office = config.FindBrowse("office");
    ASSERT_NE(office, nullptr);
    ASSERT_EQ(office->servers.size(), 3u);
    EXPECT_EQ(office->servers[0].name, "SV1");
    EXPECT_EQ(office->servers[0].versionMajor, 5u);
    EXPECT_EQ(office->servers[0].versionMinor, 0u);
    EXPECT_EQ(office->servers[0].type, 0x9003u);
    EXPECT_EQ(office->servers[0].comment, "File server, 2nd floor");
    EXPECT_EQ(office->servers[1].type, 4099u);
    EXPECT_EQ(office->servers[1].comment, "");
    EXPECT_EQ(office->servers[2].name, "NT4");
    EXPECT_EQ(config.FindBrowse("broken")->result, 53u);
    EXPECT_EQ(config.FindBrowse("other"), nullptr);
}

TEST(NetworkConfig, MissingFolderOrNetworkIni) {
    TempFolder temp;
    NetworkConfig config;
    std::string error;
    EXPECT_FALSE(LoadNetworkConfig(temp.Path() / "nowhere", config, error));
    EXPECT_TRUE(Contains(error, "no such folder")) << error;
    EXPECT_TRUE(Contains(LoadError(temp), "network.ini: missing"));
    temp.Write("network.ini", "");
    EXPECT_TRUE(LoadNetworkConfig(temp.Path(), config, error)) << error;
    EXPECT_EQ(config.localComputer, -1);
    EXPECT_EQ(config.lanGroup, "WORKGROUP");
}

TEST(NetworkConfig, FaultsPartWayThroughARun) {
    ComputerConfig computer;
    std::string error;
    ASSERT_TRUE(ParseComputerIni("[faults]\nreadfailsafter = 0 , 1726\nRegistryFailsAfter=0x10,1722\n"
                                 "SharesFailAfter=2,0x40\n",
                                 "computer.ini", computer, error))
        << error;
    EXPECT_EQ(computer.faults.read.after, 0u);
    EXPECT_EQ(computer.faults.read.error, 1726u);
    EXPECT_EQ(computer.faults.registry.after, 16u);
    EXPECT_EQ(computer.faults.registry.error, 1722u);
    EXPECT_EQ(computer.faults.shares.after, 2u);
    EXPECT_EQ(computer.faults.shares.error, 64u);
    ComputerConfig plain;
    ASSERT_TRUE(ParseComputerIni("[faults]\n", "computer.ini", plain, error));
    EXPECT_FALSE(plain.faults.read.Set() || plain.faults.registry.Set() || plain.faults.shares.Set());
}

TEST(NetworkConfig, BrokenFilesNameFileAndLine) {
    const std::string longKeyPart = "[demo]\nsettings=" + std::string(256, 'k') + "\ncomputers=A\n";
    struct Case {
        const char* network;
        const char* computer;
        const char* expected;
    };
    const Case cases[] = {
        {"[local]\nuser=x\n", nullptr, "network.ini line 2: unknown key \"user\" in [local]"},
        {"[remote]\n", nullptr, "network.ini line 1: unknown section [remote]"},
        {"[demo]\nsettings=SOFTWARE\\\\X\ncomputers=A\n", nullptr, "line 2: settings=SOFTWARE\\\\X is no registry key path"},
        {longKeyPart.c_str(), nullptr, "is no registry key path"},
        {"[demo]\nsettings=S\ncomputers=A,,B\n", nullptr, "line 3: computers= holds an empty name"},
        {"[demo]\nsettings=S\n", nullptr, "line 1: [demo] needs settings= and computers="},
        {"[local]\ncomputer=SV9\n", nullptr, "[local] computer=SV9 names no computer folder"},
        {"[local\n", nullptr, "network.ini line 1: section name without \"]\""},
        {"[browse: ]\n", nullptr, "network.ini line 1: [browse:] names no domain"},
        {"[browse:D]\n[BROWSE:d]\n", nullptr, "network.ini line 2: section [BROWSE:d] already opened on line 1"},
        {"[browse:D]\nresult=abc\n", nullptr, "network.ini line 2: result=abc is no error code"},
        {"[browse:D]\nX=5\n", nullptr, "network.ini line 2: X: expected major.minor,TYPEBITS[,comment]"},
        {"[browse:D]\nX=5,1\n", nullptr, "line 2: X: version \"5\" is not major.minor"},
        {"[browse:D]\nX=a.b,1\n", nullptr, "version \"a.b\" is not major.minor"},
        {"[browse:D]\nX=5.0,0xZZ\n", nullptr, "type bits \"0xZZ\" are no number"},
        {"[browse:D]\nX=5.0,0x100000000\n", nullptr, "type bits \"0x100000000\" are no number"},
        {"", "[services]\nshares=maybe\n", "computer.ini line 2: shares=maybe: expected on, auth or off"},
        {"", "[services]\nchannels=yes\n", "computer.ini line 2: channels=yes: expected on, auth or off"},
        {"", "[services]\neventlog=1\n", "computer.ini line 2: eventlog=1: expected on or off"},
        {"", "[services]\nbrowser=on\n", "computer.ini line 2: unknown key \"browser\" in [services]"},
        {"", "\n[os]\n", "computer.ini line 2: unknown section [os]"},
        {"", "[network]\nip=1.2.3.4\n", "unknown key \"ip\" in [network]"},
        {"", "[network]\naddress=1.2.3.4,,5.6.7.8\n", "holds an empty or bad address"},
        {"", "[network]\naddress=SV1\n", "address SV1 is also the name or address of another computer"},
        {"", "[faults]\nReadFailsAfter=3\n", "computer.ini line 2: ReadFailsAfter=3: expected N,CODE"},
        {"", "[faults]\nRegistryFailsAfter=1,0\n", "line 2: RegistryFailsAfter=1,0: expected N,CODE"},
        {"", "[faults]\nSharesFailAfter=-1,53\n", "line 2: SharesFailAfter=-1,53: expected N,CODE"},
        {"", "[faults]\nSharesFailAfter=4294967296,53\n", "expected N,CODE"},
        {"", "[faults]\nReadFailsAfter=1,x\n", "expected N,CODE"},
        {"", "[faults]\nDiskFailsAfter=1,5\n", "computer.ini line 2: unknown key \"DiskFailsAfter\" in [faults]"},
    };
    for (const Case& c : cases) {
        TempFolder temp;
        temp.Write("network.ini", c.network);
        temp.MakeFolder("SV1");
        if (c.computer) temp.Write("PC1/computer.ini", c.computer);
        EXPECT_TRUE(Contains(LoadError(temp), c.expected)) << c.expected << "\ngot: " << LoadError(temp);
    }
}

TEST(NetworkConfig, AddressesMustBeUnique) {
    TempFolder temp;
    temp.Write("network.ini", "");
    temp.Write("A/computer.ini", "[network]\naddress=10.0.0.1\n");
    temp.Write("B/computer.ini", "[network]\naddress=10.0.0.1\n");
    EXPECT_TRUE(Contains(LoadError(temp), "address 10.0.0.1 is also")) << LoadError(temp);
}

TEST(NetworkConfig, FoldersThatDifferInCaseOnly) {
    TempFolder temp;
    temp.Write("network.ini", "");
    temp.MakeFolder("sv1");
    temp.MakeFolder("SV1");
    NetworkConfig config;
    std::string error;
    if (LoadNetworkConfig(temp.Path(), config, error))
        EXPECT_EQ(config.computers.size(), 1u);  // a file system that ignores case made one folder
    else
        EXPECT_TRUE(Contains(error, "name the same computer")) << error;
}

TEST(NetworkConfig, ServerLines) {
    quorvin::platform::ServerInfo server;
    std::string error;
    ASSERT_TRUE(ParseServerLine("PC", " 5.1 , 0x1003 , a,b ", server, error)) << error;
    EXPECT_EQ(server.versionMinor, 1u);
    EXPECT_EQ(server.comment, "a,b");
    EXPECT_FALSE(ParseServerLine("PC", "5.1.2,1", server, error));
    EXPECT_FALSE(ParseServerLine("PC", "0x5.1,1", server, error));
    EXPECT_FALSE(ParseServerLine("PC", ".1,1", server, error));
    EXPECT_FALSE(ParseServerLine("PC", "5.1,", server, error));
    EXPECT_FALSE(ParseServerLine("PC", "5.1,-1", server, error));
}

TEST(NetworkConfig, LargeFilesWithinTheirLimitsLoadWhole) {
    // 160,000 accounts in a computer.ini under 1 MiB, 40,000 browse lines;
    // a repeat at the very end is still found.
    const auto name = [](std::size_t i) {
        std::string s;
        do {
            s += "0123456789abcdefghijklmnopqrstuvwxyz"[i % 36];
            i /= 36;
        } while (i != 0);
        return s;
    };
    std::string accounts = "[accounts]\n", browse = "[local]\ncomputer=PC\n[browse:D]\n";
    for (std::size_t i = 0; i < 160000; ++i) accounts += name(i) + "=\n";
    for (std::size_t i = 0; i < 40000; ++i) browse += name(i) + "=5.0,3\n";
    ASSERT_LT(accounts.size(), 1u << 20);
    TempFolder temp;
    temp.Write("network.ini", browse);
    temp.Write("PC/computer.ini", accounts);
    NetworkConfig config;
    std::string error;
    ASSERT_TRUE(LoadNetworkConfig(temp.Path(), config, error)) << error;
    EXPECT_EQ(config.computers[0].accounts.size(), 160000u);
    EXPECT_EQ(config.browse[0].servers.size(), 40000u);

    temp.Write("PC/computer.ini", accounts + "ZZZ=\n");  // "zzz" is account 46655
    EXPECT_TRUE(Contains(LoadError(temp), "key \"ZZZ\" already given on line 46657"));
}
