// A computer's publishers over a computer folder: its registry.reg names
// the providers, its drives hold the module with the manifest, its .mui
// language files, a parameter file and a Windows 10 .mun file. The same
// folder is read by a catalog directly (its registry and file calls
// counted), by the simulated network's channel session, and by a run whose
// classic log holds records of a source that names the provider.

#include <gtest/gtest.h>

#include <fstream>

#include "engine/collector.h"
#include "engine/event_row.h"
#include "formats/evt/evt.h"
#include "formats/wevt/wevt.h"
#include "services/publishers.h"
#include "services/simulated/simulated_network.h"
#include "support/memory_files.h"
#include "support/message_files.h"
#include "support/pe_builder.h"
#include "support/temp_folder.h"
#include "support/wevt_test_util.h"
#include "unit/engine/fake_platform.h"

namespace quorvin::platform {
namespace {

namespace fs = std::filesystem;
namespace msg = wevt::test::msg;
using messages::test::BuildImage;
using messages::test::ImageSpec;
using network::test::TempFolder;

const char* const kSystem32 = "SV1/drives/C/Windows/System32/";

// The computer's HKEY_LOCAL_MACHINE: the sample provider, the "few"
// provider of the sample manifest whose module has its resources in a
// .mun file, and a provider whose module is gone.
const char* const kRegistry =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
    "\"SystemRoot\"=\"C:\\\\Windows\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language]\r\n"
    "\"InstallLanguage\"=\"0409\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\"
    "{8D2B5A3E-1C4F-4A6B-9E21-0F3C5D7A9B11}]\r\n"
    "@=\"Quorvin-Test\"\r\n"
    "\"ResourceFileName\"=\"%SystemRoot%\\\\System32\\\\qvprov.dll\"\r\n"
    "\"MessageFileName\"=\"%windir%\\\\System32\\\\qvprov.dll\"\r\n"
    "\"ParameterFileName\"=\"qvparam.dll\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\"
    "{00000003-0000-0000-0000-000000000000}]\r\n"
    "\"ResourceFileName\"=\"%SystemRoot%\\\\System32\\\\qvmun.dll\"\r\n"
    "\"MessageFileName\"=\"%SystemRoot%\\\\System32\\\\qvparam.dll\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\"
    "{00000002-0000-0000-0000-000000000000}]\r\n"
    "\"ResourceFileName\"=\"C:\\\\Windows\\\\System32\\\\gone.dll\"\r\n";

const std::u16string kSample = u"{8D2B5A3E-1C4F-4A6B-9E21-0F3C5D7A9B11}";
const std::u16string kFew = u"{00000003-0000-0000-0000-000000000000}";
const std::u16string kGone = u"{00000002-0000-0000-0000-000000000000}";

void LayComputer(const TempFolder& temp) {
    using messages::test::LanguageImage;
    using messages::test::LanguageMui;
    const std::vector<std::uint8_t> manifest = wevt::WriteManifest(wevt::test::SampleManifest());
    ImageSpec neutral;
    neutral.mui = messages::EncodeMui(messages::test::NeutralMui(7, "en-US"));
    neutral.manifest = manifest;
    temp.Write(std::string(kSystem32) + "qvprov.dll", BuildImage(neutral).bytes);
    temp.Write(std::string(kSystem32) + "ja-JP/qvprov.dll.mui",
               LanguageImage(LanguageMui(7, "ja-JP"), 0x411,
                             {{msg::kChannel, u"操作\r\n"}, {msg::kTask, u"バックアップ\r\n"}, {msg::kKind2, u"差分\r\n"}, {msg::kFlag1, u"読み取り\r\n"},
                              {msg::kFlag4, u"削除\r\n"}, {msg::kEvent100v0, u"種類 %1、フラグ %2: %3\r\n"},
                              {msg::kEvent100v1, u"版 1: %1\r\n"}})
                   .bytes);
    temp.Write(std::string(kSystem32) + "en-US/qvprov.dll.mui",
               LanguageImage(LanguageMui(7, "en-US"), 0x409,
                             {{msg::kTask, u"Backup\r\n"}, {msg::kKind2, u"Differential\r\n"}, {msg::kFlag1, u"Read\r\n"},
                              {msg::kFlag4, u"Delete\r\n"}, {msg::kEvent100v0, u"Kind %1, flags %2: %3\r\n"}})
                   .bytes);
    ImageSpec parameters;
    parameters.tables = {{0x411, messages::EncodeMessageData({{1234, u"許可\r\n"}})}};
    temp.Write(std::string(kSystem32) + "qvparam.dll", BuildImage(parameters).bytes);
    temp.Write(std::string(kSystem32) + "qvmun.dll", BuildImage(parameters).bytes);
    ImageSpec mun;
    mun.manifest = manifest;
    temp.Write("SV1/drives/C/Windows/SystemResources/qvmun.dll.mun", BuildImage(mun).bytes);
    temp.Write("SV1/registry.reg", kRegistry);
}

// A record of a channel as the .evtx reader gives it.
evtx::Record RecordOf(const std::u16string& guid, const std::u16string& id, const std::u16string& version,
                      const std::vector<std::u16string>& values) {
    evtx::Record r;
    auto add = [&r](const std::u16string& text) {
        const evtx::TextRef ref{static_cast<std::uint32_t>(r.text.size()), static_cast<std::uint32_t>(text.size())};
        r.text += text;
        return ref;
    };
    const std::pair<evtx::Field, const std::u16string*> fields[] = {
        {evtx::Field::kProviderGuid, &guid}, {evtx::Field::kEventId, &id}, {evtx::Field::kVersion, &version}};
    for (const auto& f : fields) {
        if (f.second->empty()) continue;
        r.system[static_cast<std::size_t>(f.first)] = add(*f.second);
        r.present |= 1u << static_cast<unsigned>(f.first);
    }
    for (const std::u16string& v : values) r.data.push_back({add(u"x"), add(v)});
    return r;
}

// The computer's drive C as the computer opens its files; every open counted.
class DriveFiles final : public FileAccess {
public:
    explicit DriveFiles(fs::path drive) : drive_(std::move(drive)) {}
    Error Open(const std::string& path, std::unique_ptr<OpenedFile>& file) override {
        ++opens;
        if (path.rfind("C:\\", 0) != 0) return error::kPathNotFound;
        std::string relative = path.substr(3);
        for (char& c : relative) c = c == '\\' ? '/' : c;
        auto& held = memory_.files[path];
        if (!messages::test::ReadBytes((drive_ / relative).string(), held.bytes)) return error::kFileNotFound;
        return memory_.Open(path, file);
    }
    int opens = 0;

private:
    fs::path drive_;
    test::MemoryFiles memory_;
};

// HKEY_LOCAL_MACHINE with its keys opened counted.
class CountedKey final : public RegistryKey {
public:
    explicit CountedKey(std::unique_ptr<RegistryKey> key) : key_(std::move(key)) {}
    Error OpenKey(const std::string& subKey, std::unique_ptr<RegistryKey>& key) override {
        ++opens;
        return key_->OpenKey(subKey, key);
    }
    Error CreateKey(const std::string& subKey, std::unique_ptr<RegistryKey>& key) override {
        return key_->CreateKey(subKey, key);
    }
    Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data, std::uint32_t& size) override {
        return key_->QueryValue(name, type, data, size);
    }
    Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) override {
        return key_->SetValue(name, type, data, size);
    }
    int opens = 0;

private:
    std::unique_ptr<RegistryKey> key_;
};

std::u16string Message(PublisherCatalog& catalog, const evtx::Record& record, Error expected = error::kSuccess) {
    ChannelTexts texts;
    catalog.Format(record, texts);
    EXPECT_EQ(texts.error, expected);
    return texts.message + u"|" + texts.task;
}

TEST(Publishers, MessagesFromTheComputersRegistrationsAndFiles) {
    TempFolder temp;
    LayComputer(temp);
    temp.Write("network.ini", "[local]\ncomputer=admin\n");
    temp.Write("ADMIN/logs/System.evt", "");
    temp.Write("SV1/computer.ini", "[services]\nchannels=on\n");
    std::string problem;
    const std::unique_ptr<network::SimulatedNetwork> net = network::SimulatedNetwork::Open(temp.Path(), problem);
    ASSERT_TRUE(net) << problem;
    std::unique_ptr<RegistryKey> root;
    ASSERT_EQ(net->Services().registry.ConnectLocalMachine("\\\\SV1", root), 0u);
    CountedKey machine(std::move(root));
    DriveFiles files(temp.Path() / "SV1/drives/C");
    PublisherCatalog catalog(machine, files);

    // Value and bit maps and "%%n" from the parameter file; two versions of one event.
    const evtx::Record v0 = RecordOf(kSample, u"100", u"0", {u"2", u"0x5", u"%%1234"});
    EXPECT_EQ(Message(catalog, v0), u"種類 差分、フラグ 読み取り 削除: 許可\r\n|バックアップ");
    EXPECT_EQ(Message(catalog, RecordOf(kSample, u"100", u"1", {u"x"})), u"版 1: x\r\n|バックアップ");
    EXPECT_EQ(Message(catalog, RecordOf(kSample, u"100", u"7", {}), 15027), u"|");
    std::u16string classic;
    EXPECT_EQ(catalog.FormatClassic("{8d2b5a3e-1c4f-4a6b-9e21-0f3c5d7a9b11}", 100, {u"1", u"4", u"c"}, classic), 0u);
    EXPECT_EQ(classic, u"種類 1、フラグ 削除: c\r\n");
    // The manifest of a module whose resources moved to SystemResources\*.mun; its table lacks the event.
    EXPECT_EQ(Message(catalog, RecordOf(kFew, u"1", u"0", {u"a"}), 15027), u"|");

    // A module that is gone, an unregistered provider, a record without a Guid: 15002, each looked up once.
    const int fileOpens = files.opens, keyOpens = machine.opens;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Message(catalog, RecordOf(kGone, u"1", u"0", {}), 15002), u"|");
        EXPECT_EQ(Message(catalog, RecordOf(u"{00000009-0000-0000-0000-000000000000}", u"1", u"0", {}), 15002), u"|");
        EXPECT_EQ(Message(catalog, RecordOf(u"", u"100", u"0", {}), 15002), u"|");
        EXPECT_EQ(Message(catalog, v0), u"種類 差分、フラグ 読み取り 削除: 許可\r\n|バックアップ");
        EXPECT_EQ(files.opens, fileOpens + 1) << "pass " << pass;
        EXPECT_EQ(machine.opens, keyOpens + 2) << "pass " << pass;
    }

    // The simulated computer's channel session renders from the same folder.
    std::unique_ptr<ChannelSession> session;
    ASSERT_EQ(net->Services().channels.OpenSession("\\\\SV1", nullptr, session), 0u);
    ChannelTexts texts;
    session->Format(v0, texts);
    EXPECT_EQ(texts.message, u"種類 差分、フラグ 読み取り 削除: 許可\r\n");
    EXPECT_EQ(texts.level, u"情報");
    EXPECT_EQ(texts.channel, u"操作");

    // Without the Japanese language file: the computer's own language, English.
    fs::remove(temp.Path() / (std::string(kSystem32) + "ja-JP/qvprov.dll.mui"));
    PublisherCatalog english(machine, files);
    EXPECT_EQ(Message(english, v0), u"Kind Differential, flags Read Delete: 許可\r\n|Backup");
}

TEST(Publishers, PathsExpandedAsTheComputerExpandsThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"%SYSTEMROOT%\\x.dll", "D:\\Win\\x.dll"},
        {"wevtsvc.dll", "D:\\Win\\System32\\wevtsvc.dll"},
        {"%ProgramFiles(x86)%\\a\\%ProgramData%", "D:\\Program Files (x86)\\a\\D:\\ProgramData"},
        {"%Unset%%windir%\\b.dll", "%Unset%D:\\Win\\b.dll"},
        {"C:\\50%\\%SystemDrive", "C:\\50%\\%SystemDrive"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandOnComputer(c.first, "D:\\Win"), c.second) << c.first;
}

// A classic record of a source whose key names the provider takes the
// message of the event whose template takes its strings; an event the
// manifest has no message for goes the classic way, as before.
TEST(Publishers, ClassicRecordsOfAManifestProvider) {
    TempFolder temp;
    LayComputer(temp);
    temp.Write("network.ini", "[local]\ncomputer=admin\n");
    temp.Write("ADMIN/logs/System.evt", "");
    temp.Write("SV1/registry.reg", std::string(kRegistry) +
                                       "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\"
                                       "Application\\QvTest]\r\n\"ProviderGuid\"=\"{8D2B5A3E-1C4F-4A6B-9E21-0F3C5D7A9B11}\"\r\n");
    std::vector<evt::Event> events(2);
    for (evt::Event& e : events) {
        e.timeGenerated = e.timeWritten = 1055800000;
        e.eventType = 4;
        e.sourceName = "QvTest";
        e.computerName = "SV1";
    }
    events[0].eventId = 100;
    events[0].strings = {"2", "0x5", "%%1234"};
    events[1].eventId = 200;
    events[1].strings = {"a"};
    temp.Write("SV1/logs/Application.evt", evt::WriteLogFile(events));
    std::string problem;
    const std::unique_ptr<network::SimulatedNetwork> net = network::SimulatedNetwork::Open(temp.Path(), problem);
    ASSERT_TRUE(net) << problem;

    platform::Platform services = net->Services();
    engine::RunOptions options = engine::test::EveryRecord();
    options.Filter_System = options.Filter_Security = 0;
    engine::test::RecordingView view;
    view.computers = {"SV1"};
    std::string report;
    std::atomic<int> stop{0};
    engine::Collector(engine::RunEnvironment{services, options, report, stop, view, nullptr, [] {}}).Run();
    ASSERT_EQ(view.rows.size(), 2u) << report;
    EXPECT_EQ(view.rows[0].columns[7], engine::DescriptionNotFound("QvTest", 200, "a"));
    EXPECT_EQ(view.rows[1].columns[7], "種類 差分、フラグ 読み取り 削除: 許可  ");  // the row shows CR LF as blanks
}

}  // namespace
}  // namespace quorvin::platform
