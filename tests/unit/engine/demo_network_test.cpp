// The engine over the demo network that ships with the program: every path
// of a run shows up in its report, and keeping the services' answers for a
// log (the engine's cache and the network's shared message files) changes
// no byte of rows, report or trace.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>

#include "engine/collector.h"
#include "engine/message_files.h"
#include "formats/messages/message_file.h"
#include "formats/wevt/wevt.h"
#include "fake_platform.h"
#include "services/simulated/paths.h"
#include "services/simulated/simulated_network.h"

namespace quorvin::engine::test {
namespace {

struct Outcome {
    std::vector<EventRow> rows;
    std::string report;
    std::string trace;
};

std::filesystem::path DemoNetwork() {
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    return binary ? std::filesystem::u8path(binary) / "demo-network" : std::filesystem::path();
}

// `moduleBytes`: what the network and the engine keep of message modules.
// `computers`: the list to run over (empty: the demo's computers of Windows 5.x and older).
Outcome Collect(bool cache, const char* user, const char* password,
                std::uint64_t moduleBytes = std::uint64_t{64} << 20, std::vector<std::string> computers = {}) {
    network::SimulatedNetwork::Options options;
    options.shareModules = cache;
    options.moduleCacheBytes = moduleBytes;
    std::string error;
    auto network = network::SimulatedNetwork::Open(DemoNetwork(), options, error);
    EXPECT_TRUE(network) << error;
    Outcome outcome;
    if (!network) return outcome;
    platform::Platform services = network->Services();

    engine::RunOptions settings = EveryRecord();
    if (user) {
        settings.AnotherLoginName = 1;
        std::strcpy(settings.Username, user);
        std::strcpy(settings.Password, password);
    }
    RecordingView view;
    view.computers = computers;
    if (computers.empty()) view.computers = {"ADMIN-PC", "DC01", "FS01", "NT4SV", "PC01", "PC02", "PC03"};
    StringTrace trace;
    std::atomic<int> stop{0};
    RunEnvironment environment{services, settings, outcome.report, stop, view, &trace, [] {}};
    environment.cacheWithinLog = cache;
    environment.moduleCacheBytes = moduleBytes;
    Collector(environment).Run();
    outcome.rows = view.rows;
    outcome.trace = trace.text;
    return outcome;
}

bool SameRows(const std::vector<EventRow>& a, const std::vector<EventRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].image != b[i].image || a[i].columns != b[i].columns) return false;
    return true;
}

// "{01234567-89AB-...}" of a GUID as the manifest stores it.
std::string GuidText(const wevt::Guid& g) {
    static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[g[static_cast<std::size_t>(kOrder[i])] >> 4];
        text += kDigits[g[static_cast<std::size_t>(kOrder[i])] & 15];
    }
    return text + "}";
}

platform::Error ReadText(platform::RegistryKey& root, const std::string& path, const std::string& name, std::string& text) {
    std::unique_ptr<platform::RegistryKey> key;
    if (const platform::Error e = root.OpenKey(path, key)) return e;
    return ReadValueText(*key, name, text);
}

class DemoNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(quorvin::engine::test::DemoNetwork() / "network.ini"))
            GTEST_SKIP() << "the build made no demo network";
    }
};

TEST_F(DemoNetwork, EveryPathOfARunAppearsInTheReport) {
    const Outcome run = Collect(true, nullptr, nullptr);
    const std::string& r = run.report;
    EXPECT_GT(run.rows.size(), 400u);
    // PC03 is switched off; PC02's registry service is stopped.
    EXPECT_NE(r.find("ｴﾗｰ 002:[\\\\PC03][system]:"), std::string::npos);
    EXPECT_NE(r.find("失敗:(PC03)ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞの取得に失敗しました。"), std::string::npos);
    EXPECT_NE(r.find("警告 007:[\\\\PC02][security]:"), std::string::npos);
    // FS01's shares are closed: this machine's files stand in, or nothing for ScanAgent.
    EXPECT_NE(r.find("原因 049:[\\\\FS01][system]"), std::string::npos);
    EXPECT_NE(r.find("情報 251:[\\\\FS01][application][ScanAgent]"), std::string::npos);
    // DC01's shares need the alternate account.
    EXPECT_NE(r.find("原因 049:[\\\\DC01][security][Security]"), std::string::npos);
    // LegacyApp registers no message file.
    EXPECT_NE(r.find("ｴﾗｰ 051:[\\\\PC01][application][LegacyApp]"), std::string::npos);
    // Security events resolve %%n parameter strings remotely.
    EXPECT_NE(run.trace.find("point 0a\n"), std::string::npos);
    EXPECT_NE(run.trace.find("InsertEventMessage2(Backup)"), std::string::npos);
    EXPECT_EQ(r.substr(r.size() - std::strlen("件")), "件");

    const Outcome withAccount = Collect(true, "Administrator", "P@ssw0rd");
    EXPECT_EQ(withAccount.report.find("原因 049:[\\\\DC01]"), std::string::npos);
    const Outcome wrongPassword = Collect(true, "Administrator", "wrong");
    EXPECT_NE(wrongPassword.report.find("注意 803:[DC01][Administrator]:"), std::string::npos);
}

TEST_F(DemoNetwork, KeepingAnswersWithinALogChangesNothing) {
    for (const char* user : {static_cast<const char*>(nullptr), "Administrator"}) {
        const Outcome cached = Collect(true, user, "P@ssw0rd");
        const Outcome uncached = Collect(false, user, "P@ssw0rd");
        EXPECT_TRUE(SameRows(cached.rows, uncached.rows));
        EXPECT_EQ(cached.report, uncached.report);
        EXPECT_EQ(cached.trace, uncached.trace);
    }
}

TEST_F(DemoNetwork, ModulesDroppedFromFullCachesAreLoadedAgainUnchanged) {
    // A budget of one byte keeps only the module last loaded; no budget keeps all.
    const Outcome tight = Collect(true, "Administrator", "P@ssw0rd", 1);
    const Outcome unbounded = Collect(true, "Administrator", "P@ssw0rd", UINT64_MAX);
    EXPECT_GT(tight.rows.size(), 400u);
    EXPECT_TRUE(SameRows(tight.rows, unbounded.rows));
    EXPECT_EQ(tight.report, unbounded.report);
    EXPECT_EQ(tight.trace, unbounded.trace);
}

// The Windows 6.x computers keep their texts in .mui language files: the
// server set up in Japanese gives Japanese texts, the English workstation
// English ones, and no row of either lacks its text.
// The service control manager's failures name their cause as "%%N": the
// parameter file (kernel32.dll, split into language files on Windows 6.x)
// gives the system's text, as on a real computer.
TEST_F(DemoNetwork, VistaEraComputersGiveTheirLanguageFilesTexts) {
    const Outcome run = Collect(true, nullptr, nullptr, std::uint64_t{64} << 20, {"APP01", "PC04", "DC01"});
    std::map<std::string, std::vector<std::string>> scm, failed;
    for (const EventRow& row : run.rows) {
        // DC01 keeps a source whose message file is gone.
        const bool described = row.columns[7].find("説明が見つかりません") == std::string::npos;
        EXPECT_TRUE(described || row.columns[4] == "DC01") << row.columns[7];
        if (row.columns[5] != "Service Control Manager") continue;
        EXPECT_EQ(row.columns[7].find("%%"), std::string::npos) << row.columns[7];
        if (row.columns[6] == "7036") scm[row.columns[4]].push_back(row.columns[7]);
        if (row.columns[6] == "7000") failed[row.columns[4]].push_back(row.columns[7]);
    }
    EXPECT_GE(run.rows.size(), 30u);
    EXPECT_EQ(scm["APP01"].front(), "Print Spooler サービスは 実行中 状態に移行しました。  ");
    EXPECT_EQ(scm["PC04"].front(), "The Windows Update service entered the stopped state.  ");
    ASSERT_FALSE(failed["DC01"].empty());
    EXPECT_NE(failed["DC01"].front().find("指定されたサービスを開始できません。"), std::string::npos);
    ASSERT_FALSE(failed["PC04"].empty());
    EXPECT_NE(failed["PC04"].front().find("The system cannot find the file specified."), std::string::npos);
}


// The manifest-based providers of the Windows 6.x computers: each module
// keeps its manifest in the language-neutral file, every message number the
// manifest names (none of them an event ID) is in the computer's language
// file, and each provider is registered under its GUID with that module.
TEST_F(DemoNetwork, VistaEraManifestProvidersAreComplete) {
    struct Module {
        const char* path;  // below C:\Windows\System32
        std::vector<std::string> events;  // "provider id.version:items"
    };
    const Module modules[] = {
        {"ntoskrnl.exe",
         {"Microsoft-Windows-Kernel-General 12.0:6", "Microsoft-Windows-Kernel-General 13.0:0",
          "Microsoft-Windows-Kernel-Power 41.0:3"}},
        {"winlogon.exe", {"Microsoft-Windows-Winlogon 7001.0:2", "Microsoft-Windows-Winlogon 7002.0:2"}},
        {"adtschema.dll",
         {"Microsoft-Windows-Security-Auditing 4624.0:20", "Microsoft-Windows-Security-Auditing 4624.1:22",
          "Microsoft-Windows-Security-Auditing 4625.0:21", "Microsoft-Windows-Security-Auditing 4634.0:5",
          "Microsoft-Windows-Security-Auditing 4672.0:5"}},
        {"WindowsPowerShell/v1.0/powershell.exe",
         {"Microsoft-Windows-PowerShell 4103.1:3", "Microsoft-Windows-PowerShell 4104.1:5",
          "Microsoft-Windows-PowerShell 40961.0:0", "Microsoft-Windows-PowerShell 40962.0:0"}},
        {"schedsvc.dll",
         {"Microsoft-Windows-TaskScheduler 100.0:3", "Microsoft-Windows-TaskScheduler 101.0:3",
          "Microsoft-Windows-TaskScheduler 102.0:3", "Microsoft-Windows-TaskScheduler 201.0:4"}},
    };
    std::string error;
    const std::filesystem::path demo = quorvin::engine::test::DemoNetwork();
    auto network = network::SimulatedNetwork::Open(demo, error);
    ASSERT_TRUE(network) << error;
    for (const auto& [computer, language, languageId] :
         {std::tuple<std::string, std::string, std::uint16_t>{"APP01", "ja-JP", 0x0411}, {"PC04", "en-US", 0x0409}}) {
        std::unique_ptr<platform::RegistryKey> root;
        ASSERT_EQ(network->Services().registry.ConnectLocalMachine("\\\\" + computer, root), 0u);
        for (const Module& module : modules) {
            const std::filesystem::path folder = demo / computer / "drives/C/Windows/System32";
            const std::filesystem::path file = folder / module.path;
            const std::string what = computer + " " + module.path;
            std::vector<std::uint8_t> bytes, table, resource;
            ASSERT_EQ(network::ReadWholeFile(file, 1u << 24, bytes), 0u) << what;
            ASSERT_EQ(network::ReadWholeFile(file.parent_path() / language / (file.filename().string() + ".mui"), 1u << 24,
                                             table),
                      0u)
                << what;
            messages::MemorySource neutral(bytes.data(), bytes.size()), mui(table.data(), table.size());
            messages::MessageFile texts;
            wevt::Manifest manifest;
            ASSERT_EQ(messages::ReadManifestResource(neutral, resource), 0u) << what;
            ASSERT_TRUE(wevt::ReadManifest(resource.data(), resource.size(), manifest, error)) << what << error;
            ASSERT_EQ(messages::ReadMessageFile(mui, texts), 0u) << what;
            auto hasText = [&](std::uint32_t id) {
                messages::MessageText text;
                return id == wevt::kNoMessage || texts.table.Find(id, languageId, messages::Locale{}, text) == 0;
            };
            std::vector<std::string> events;
            for (const wevt::Provider& p : manifest.providers) {
                std::string name;
                EXPECT_EQ(ReadText(*root, PublisherKeyPath(GuidText(p.guid)), "", name), 0u) << what;
                std::string resourceFile;
                EXPECT_EQ(ReadText(*root, PublisherKeyPath(GuidText(p.guid)), "ResourceFileName", resourceFile), 0u);
                EXPECT_EQ(resourceFile, std::string("%SystemRoot%\\system32\\") + ReplaceAll(module.path, "/", "\\"));
                for (const wevt::Event& e : p.events) {
                    const std::size_t items = e.templateIndex < 0 ? 0 : p.templates[static_cast<std::size_t>(e.templateIndex)].items.size();
                    events.push_back(name + " " + std::to_string(e.id) + "." + std::to_string(e.version) + ":" +
                                     std::to_string(items));
                    EXPECT_NE(e.messageId & 0xFFFF0000u, 0u) << events.back();
                    EXPECT_TRUE(hasText(e.messageId)) << what << " " << events.back();
                }
                for (const auto* named : {&p.channels, &p.levels, &p.tasks, &p.opcodes, &p.keywords})
                    for (const wevt::Named& n : *named) EXPECT_TRUE(hasText(n.messageId)) << what << " " << n.messageId;
                for (const wevt::Map& map : p.maps)
                    for (const wevt::MapEntry& entry : map.entries) EXPECT_TRUE(hasText(entry.messageId)) << what;
            }
            EXPECT_EQ(events, module.events) << what;
        }
    }
}

}  // namespace
}  // namespace quorvin::engine::test
