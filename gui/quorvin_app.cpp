#include "gui/quorvin_app.h"

#include <ctime>

#include "gui/main_frame.h"
#include "gui/resources/resource.h"
#include "rules/command_line.h"
#include "rules/computer_list.h"
#include "rules/filter_store.h"
#include "rules/window_store.h"
#include "rules/settings_store.h"
#include "services/simulated/simulated_network.h"
#include "services/win32/win32_platform.h"
#include "ui/message_box.h"

namespace quorvin::app {

const char* const kWindowTitle = "クォーヴィン for Windows NT Ver 1.2";

namespace {

// Stands in for HKEY_LOCAL_MACHINE when it cannot be reached: every read
// and write fails, so the defaults apply and the save tells the user.
class UnreachableKey final : public platform::RegistryKey {
public:
    platform::Error OpenKey(const std::string&, std::unique_ptr<platform::RegistryKey>&) override {
        return platform::error::kInvalidHandle;
    }
    platform::Error CreateKey(const std::string&, std::unique_ptr<platform::RegistryKey>&) override {
        return platform::error::kAccessDenied;
    }
    platform::Error QueryValue(const std::string&, std::uint32_t&, std::uint8_t*, std::uint32_t&) override {
        return platform::error::kInvalidHandle;
    }
    platform::Error SetValue(const std::string&, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return platform::error::kAccessDenied;
    }
};

// The settings store's failure messages: error icon, no owner window.
class RegistryMessageBoxes final : public RegistryMessages {
public:
    void ShowRegistryError(const std::string& caption) override {
        ui::ShowMessage(nullptr, {kRegistryErrorText, caption, MessageIcon::Error, MessageButtons::Ok});
    }
};

UserMessage MissingNetworkFolderMessage() {
    return {"/network の後にﾈｯﾄﾜｰｸのﾌｫﾙﾀﾞを指定してください。", ui::LoadText(IDS_APP_TITLE),
            MessageIcon::Exclamation, MessageButtons::Ok};
}

UserMessage BrokenNetworkMessage(const std::string& reason) {
    return {"ﾈｯﾄﾜｰｸのﾌｫﾙﾀﾞを開けませんでした。\r\n" + reason, ui::LoadText(IDS_APP_TITLE),
            MessageIcon::Exclamation, MessageButtons::Ok};
}

}  // namespace

QuorvinApp::QuorvinApp() = default;
QuorvinApp::~QuorvinApp() = default;

platform::Platform QuorvinApp::Network() {
    if (simulated_) return simulated_->Services();
    if (!real_) real_ = std::make_unique<win32::Win32Platform>();
    return real_->Get();
}

int QuorvinApp::Run(const std::vector<std::wstring>& arguments) {
    const int code = InitInstance(arguments) ? MessageLoop() : 0;
    ExitInstance();
    return code;
}

bool QuorvinApp::InitInstance(const std::vector<std::wstring>& arguments) {
    // One copy at a time: a second one ends here, silently.
    mutex_ = CreateMutexW(nullptr, FALSE, L"quorvin");
    if (!mutex_ || GetLastError() == ERROR_ALREADY_EXISTS) return false;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    if (!InitCommonControlsEx(&controls)) return false;

    const GuiCommandLine commandLine = ParseGuiCommandLine(arguments);
    if (!commandLine.valid) {
        ui::ShowMessage(nullptr, MissingNetworkFolderMessage());
        return false;
    }
    if (!commandLine.networkFolder.empty()) {
        std::string reason;
        simulated_ = network::SimulatedNetwork::Open(std::filesystem::path(commandLine.networkFolder), reason);
        if (!simulated_) {
            ui::ShowMessage(nullptr, BrokenNetworkMessage(reason));
            return false;
        }
    }

    // Settings always live in this machine's registry, whatever network is
    // used; a demo network keeps them apart from a real installation's.
    registry_ = std::make_unique<win32::RegistryService>();
    if (registry_->ConnectLocalMachine("", localMachine_) != 0 || !localMachine_)
        localMachine_ = std::make_unique<UnreachableKey>();
    std::vector<std::string> demoComputers;
    settingsKey_ = kSettingsKey;
    if (simulated_ && !simulated_->Config().demoSettingsKey.empty()) {
        settingsKey_ = simulated_->Config().demoSettingsKey;
        demoComputers = simulated_->Config().demoComputers;
    }

    // The computer tree reads its stored list itself, before the settings.
    computers::StartingList list = computers::ReadStartingList(*localMachine_, settingsKey_, demoComputers);
    unreadableList_ = std::move(list.unreadable);
    frame_ = std::make_unique<run::MainFrame>(settings_, state_);
    frame_->SetNetwork([this] { return Network(); });
    frame_->SetSessionEnd([this] { SaveEverything(); });
    if (!frame_->Create(list.stored)) return false;
    // The window's place is read before the other settings: it is shown where it was left.
    storedLayout_ = LoadMainWindowLayout(*localMachine_, settingsKey_);
    frame_->Show(storedLayout_);
    ui::RepaintNow(frame_->Handle());

    // Nothing drawn so far depends on a setting.
    LoadSettings(*localMachine_, settings_, static_cast<std::int64_t>(std::time(nullptr)), settingsKey_);
    settings_.MainWindow = storedLayout_;
    settingsLoaded_ = true;
    LoadStoredFilter();
    state_.RunReport.clear();
    state_.ResultsSaved = 1;
    ui::SetText(frame_->Handle(), kWindowTitle);
    state_.StopRequested = 0;
    return true;
}

int QuorvinApp::MessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) break;
        if (got == -1) return 1;
        if (frame_ && frame_->Handle() && frame_->PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void QuorvinApp::ExitInstance() { SaveEverything(); }

void QuorvinApp::SaveEverything() {
    // A start that stopped early has loaded nothing: writing that would
    // overwrite the stored settings and computer list with empty ones. The
    // end of the session saves before the exit does, once.
    if (!settingsLoaded_ || saved_) return;
    saved_ = true;
    settings_.ComputerListToSave = computers::ListToStore(settings_.ComputerListToSave, unreadableList_);
    RegistryMessageBoxes messages;
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    SaveSettings(*localMachine_, settings_, messages, now, settingsKey_);
    SaveViewFilter(*localMachine_, settings_.ViewFilter, storedFilterUnusable_ ? nullptr : &storedFilter_, messages,
                   settingsKey_);
    SaveSummarySize(*localMachine_, settings_.SummaryWindow, storedSummarySize_, messages, settingsKey_);
    SaveMainWindowLayout(*localMachine_, settings_.MainWindow, storedLayout_, messages, settingsKey_);
}

void QuorvinApp::LoadStoredFilter() {
    storedSummarySize_ = settings_.SummaryWindow = LoadSummarySize(*localMachine_, settingsKey_);
    if (const auto error = LoadViewFilter(*localMachine_, storedFilter_, settingsKey_)) {
        storedFilterUnusable_ = true;
        ui::ShowMessage(frame_->Handle(), StoredFilterMessage(*error));
        return;
    }
    views::FilterError error{};
    // The stored fields were parsed as they were read.
    if (auto filter = views::EventFilter::Parse(storedFilter_, error)) frame_->ApplyFilter(storedFilter_, *filter, true);
}

}  // namespace quorvin::app
