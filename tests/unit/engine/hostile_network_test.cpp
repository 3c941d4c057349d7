// Network folders made to break things. A computer whose registry.reg
// gives the values the collector reads (SystemRoot and an event source's
// message files) in every wrong type and size: each record still makes its
// row once, the texts fall back as for a missing file, and the run ends with
// its total line. Computer folders with long names or names that are no
// CP932, ini files with NUL bytes, a network.ini of a hundred thousand
// lines: a clear error, or the network opens and collects as documented.

#include <gtest/gtest.h>

#include <fstream>

#include "core/cp932.h"
#include "engine/collector.h"
#include "formats/messages/format_message.h"
#include "services/simulated/network_config.h"
#include "fake_platform.h"
#include "support/temp_folder.h"
#include "support/test_network.h"

namespace quorvin::engine::test {
namespace {

const char kVersionKey[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n";
const char kSourceKey[] = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\Svc]\r\n";

// "=..." right-hand sides of a .reg value line, one of each wrong kind.
std::vector<std::string> WrongValues() {
    std::string longText(5000, 'x');
    std::string longHex = "hex(2):";
    for (int i = 0; i < 3000; ++i) longHex += "43,";
    longHex += "00";
    return {
        "dword:00000041",            // a number where a text belongs
        "dword:ffffffff",
        "hex(4):41,42",              // a DWORD two bytes long
        "hex:",                      // binary, empty
        "hex:41,42,43",              // binary without a zero
        "hex(0):43,3a",              // REG_NONE
        "hex(7):43,00,3a,00,00,00",  // REG_MULTI_SZ
        "hex(b):43,3a,5c,57,49,4e,4e,54",  // REG_QWORD, no zero byte
        "hex(2):25,53,79,73",        // REG_EXPAND_SZ without its zero
        "hex(2):00,43,3a,5c",        // empty before a zero, junk after it
        "hex(1):81,00",              // a lead byte cut by the zero (the file is corrupt: 1015)
        "hex(1):ff,fe,fd,00",        // bytes that are no CP932 (1015 too)
        "\"" + longText + "\"",     // longer than the collector's 1040-byte buffer
        longHex,
        "\"\"",
    };
}

class HostileRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        std::string description = "now 2003-06-17 10:00\ncomputer SV1\n  systemroot C:\\WINNT\n  log System\n";
        for (int i = 1; i <= 4; ++i)
            description += "    event -" + std::to_string(5 - i) + "h information Svc " + std::to_string(i) + " \"s" +
                           std::to_string(i) + "\"\n";
        std::string error;
        ASSERT_TRUE(network::test::BuildTestNetwork(temp_, description, error)) << error;
    }

    void WriteRegistry(const std::string& body) {
        std::ofstream(temp_.Path() / "net" / "SV1" / "registry.reg", std::ios::binary | std::ios::trunc)
            << "REGEDIT4\r\n\r\n" << body;
    }

    // One run over SV1's System log; the rows' event IDs and the report.
    // `corrupt`: the registry file is refused as corrupt (1015), as .reg
    // text with bytes that are no CP932 is.
    std::vector<std::string> Collect(std::string& report, bool corrupt = false) {
        std::string error;
        auto network = network::SimulatedNetwork::Open(temp_.Path() / "net", error);
        EXPECT_TRUE(network) << error;
        if (!network) return {};
        platform::Platform services = network->Services();
        RunOptions options;
        options.Filter_System = 1;
        options.Filter_Information = 1;
        options.EnableStartDate = options.EnableEndDate = 1;
        RecordingView view;
        view.computers = {"SV1"};
        std::atomic<int> stop{0};
        report.clear();
        Collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();
        EXPECT_EQ(report.find(messages::SystemErrorText(1015)) != std::string::npos, corrupt) << report;
        std::vector<std::string> ids;
        for (const EventRow& row : view.rows) {
            ids.push_back(row.columns[6]);
            EXPECT_FALSE(row.columns[7].empty()) << report;
        }
        return ids;
    }

    network::test::TempFolder temp_;
};

const std::vector<std::string> kAllRows = {"4", "3", "2", "1"};

TEST_F(HostileRegistry, SystemRootOfEveryWrongTypeKeepsEveryRow) {
    for (const std::string& value : WrongValues()) {
        SCOPED_TRACE(value.substr(0, 40));
        WriteRegistry(std::string(kVersionKey) + "\"SystemRoot\"=" + value + "\r\n\r\n" + kSourceKey +
                      "\"EventMessageFile\"=\"%SystemRoot%\\\\System32\\\\svc.dll\"\r\n");
        std::string report;
        EXPECT_EQ(Collect(report, value.rfind("hex(1):", 0) == 0), kAllRows);
        EXPECT_NE(report.find("ﾄｰﾀﾙ：4件"), std::string::npos) << report;
    }
}

TEST_F(HostileRegistry, MessageFileValuesOfEveryWrongTypeKeepEveryRow) {
    for (const char* name : {"EventMessageFile", "CategoryMessageFile", "ParameterMessageFile"}) {
        for (const std::string& value : WrongValues()) {
            SCOPED_TRACE(std::string(name) + "=" + value.substr(0, 40));
            WriteRegistry(std::string(kVersionKey) + "\"SystemRoot\"=\"C:\\\\WINNT\"\r\n\r\n" + kSourceKey + "\"" +
                          name + "\"=" + value + "\r\n\"TypesSupported\"=dword:00000007\r\n");
            std::string report;
            EXPECT_EQ(Collect(report, value.rfind("hex(1):", 0) == 0), kAllRows);
            EXPECT_NE(report.find("ﾄｰﾀﾙ：4件"), std::string::npos) << report;
        }
    }
}

// The keys the collector opens given as values, and values as keys.
TEST_F(HostileRegistry, KeysWhereValuesBelongAndTheOtherWayRound) {
    WriteRegistry(std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SystemRoot]\r\n") +
                  "\"\"=\"C:\\\\WINNT\"\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System]\r\n"
                  "\"Svc\"=\"C:\\\\WINNT\\\\svc.dll\"\r\n\r\n" +
                  kSourceKey + "\r\n[" + std::string(kSourceKey).substr(1, std::string(kSourceKey).size() - 4) +
                  "\\EventMessageFile]\r\n");
    std::string report;
    EXPECT_EQ(Collect(report), kAllRows);
    EXPECT_NE(report.find("ﾄｰﾀﾙ：4件"), std::string::npos) << report;
}

// SV1's folder copied under other names; a run over `names` in that order.
class HostileFolders : public HostileRegistry {
protected:
    void CopyComputer(const std::string& cp932Name) {
        std::filesystem::copy(temp_.Path() / "net" / "SV1", temp_.Path() / "net" / network::Cp932ToHostName(cp932Name),
                              std::filesystem::copy_options::recursive);
    }
    std::vector<EventRow> CollectFrom(const std::vector<std::string>& names, std::string& report) {
        std::string error;
        auto network = network::SimulatedNetwork::Open(temp_.Path() / "net", error);
        EXPECT_TRUE(network) << error;
        if (!network) return {};
        platform::Platform services = network->Services();
        RunOptions options;
        options.Filter_System = 1;
        options.Filter_Information = 1;
        options.EnableStartDate = options.EnableEndDate = 1;
        RecordingView view;
        view.computers = names;
        std::atomic<int> stop{0};
        Collector(RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();
        return view.rows;
    }
    std::string OpenError() {
        std::string error;
        EXPECT_FALSE(network::SimulatedNetwork::Open(temp_.Path() / "net", error));
        return error;
    }
};

// Names longer than a computer list holds (32 bytes) are computers of the
// network all the same; the engine, which is given them only by its own
// callers, collects from them like any other.
TEST_F(HostileFolders, LongComputerNamesCollectLikeAnyOther) {
    const std::string name33(33, 'L');
    const std::string name200 = std::string(198, 'M') + "\x83\x5c";  // ends in the double-byte "ソ"
    CopyComputer(name33);
    CopyComputer(name200);
    std::string report;
    const std::vector<EventRow> rows = CollectFrom({name200, name33, "SV1"}, report);
    ASSERT_EQ(rows.size(), 12u) << report;
    EXPECT_EQ(rows[0].columns[4], name200);
    EXPECT_EQ(rows[4].columns[4], name33);
    EXPECT_NE(report.find("ﾄｰﾀﾙ：12件"), std::string::npos) << report;
}

// A folder whose name has no CP932 form could never be reached by its
// name: the network does not open, and says which folder.
TEST_F(HostileFolders, FolderNamesWithoutACp932FormAreAnError) {
#ifdef _WIN32
    const std::filesystem::path odd = temp_.Path() / "net" / L"PC\u00e9\U0001F600";
#else
    const std::filesystem::path odd = temp_.Path() / "net" / "PC\xff\xfe";  // no UTF-8
#endif
    std::filesystem::create_directory(odd);
    const std::string error = OpenError();
    EXPECT_NE(error.find("the folder name \"PC"), std::string::npos) << error;
    EXPECT_NE(error.find("has no CP932 form"), std::string::npos) << error;
    std::filesystem::remove(odd);
    // A CP932 name that is not ASCII is a computer like any other.
    CopyComputer("\x83\x54\x81\x5b\x83\x6f");  // "サーバ"
    std::string report;
    EXPECT_EQ(CollectFrom({"\x83\x54\x81\x5b\x83\x6f"}, report).size(), 4u) << report;
}

TEST_F(HostileFolders, IniFilesWithNulBytesNameFileAndLine) {
    const auto write = [&](const char* relative, const std::string& bytes) {
        std::ofstream(temp_.Path() / "net" / relative, std::ios::binary | std::ios::trunc) << bytes;
    };
    write("network.ini", std::string("[local]\ncomputer=SV1\0junk\n", 26));
    EXPECT_NE(OpenError().find("network.ini line 2: NUL byte in the line"), std::string::npos) << OpenError();
    write("network.ini", std::string("\xFF\xFE[\0l\0o\0c\0a\0l\0]\0\n\0\0\0", 20));
    EXPECT_NE(OpenError().find("network.ini line 2: NUL byte in the line"), std::string::npos) << OpenError();
    write("network.ini", "");
    write("SV1/computer.ini", std::string("\0", 1));
    EXPECT_NE(OpenError().find("computer.ini line 1: NUL byte in the line"), std::string::npos) << OpenError();
}

// A hundred thousand lines: comments and blank lines load (within the
// 1 MiB limit), a bad line at the end is named by its number, browse lists
// past 1 MiB are refused as too large.
TEST_F(HostileFolders, NetworkIniOfAHundredThousandLines) {
    const auto write = [&](const std::string& bytes) {
        std::ofstream(temp_.Path() / "net" / "network.ini", std::ios::binary | std::ios::trunc) << bytes;
    };
    std::string lines;
    for (int i = 0; i < 50000; ++i) lines += ";\r\n\r\n";
    write("[local]\r\ncomputer=SV1\r\n" + lines);
    std::string report;
    EXPECT_EQ(CollectFrom({"SV1"}, report).size(), 4u) << report;
    write("[local]\r\ncomputer=SV1\r\n" + lines + "oops\r\n");
    EXPECT_NE(OpenError().find("network.ini line 100003:"), std::string::npos) << OpenError();
    std::string browse = "[browse:D]\n";
    for (int i = 0; i < 100000; ++i) browse += "PC" + std::to_string(i) + "=5.0,3\n";
    write(browse);
    EXPECT_NE(OpenError().find("larger than 1 MiB"), std::string::npos) << OpenError();
}

}  // namespace
}  // namespace quorvin::engine::test
