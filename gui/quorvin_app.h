#pragma once
// The application object: one per process. It brings the program up (the
// single-instance mutex, the main window, the settings, the title), runs
// the message loop and takes the program down (the settings written back).
// It owns the settings record and the run state for the whole process.
// Windows build only.

#include "ui/window.h"

#include "rules/run_state.h"
#include "rules/settings.h"
#include "services/services.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvin::run {
class MainFrame;
}
namespace quorvin::network {
class SimulatedNetwork;
}
namespace quorvin::win32 {
class Win32Platform;
}

namespace quorvin::app {

extern const char* const kWindowTitle;

class QuorvinApp {
public:
    QuorvinApp();
    ~QuorvinApp();
    QuorvinApp(const QuorvinApp&) = delete;
    QuorvinApp& operator=(const QuorvinApp&) = delete;

    // The program's whole life for the arguments after the program name;
    // the process exit code.
    int Run(const std::vector<std::wstring>& arguments);

    AppSettings& Settings() { return settings_; }
    RunState& State() { return state_; }
    // The network the collection reaches: the simulated one given with
    // /network, or the real one.
    platform::Platform Network();

private:
    bool InitInstance(const std::vector<std::wstring>& arguments);
    int MessageLoop();
    void ExitInstance();
    // Writes the settings, the filter and the windows' sizes and places, once.
    void SaveEverything();
    // The filter kept from the last run of the program, applied to the event list.
    void LoadStoredFilter();

    // Not closed by the program: the system releases it when the process ends.
    HANDLE mutex_ = nullptr;
    // This machine's HKEY_LOCAL_MACHINE, where the settings live: under
    // the program's key, or the key a demo network names.
    std::unique_ptr<platform::RegistryService> registry_;
    std::unique_ptr<platform::RegistryKey> localMachine_;
    std::string settingsKey_;
    AppSettings settings_;
    RunState state_;
    // The settings are written back at exit only once they have been loaded.
    bool settingsLoaded_ = false;
    // A stored computer list too long to be read, written back at exit
    // while the list stays empty.
    std::string unreadableList_;
    // The filter as stored at start-up: a filter left as it was is not written again.
    views::FilterFields storedFilter_;
    // The summary window's size as read at start-up.
    SummarySize storedSummarySize_;
    // The main window's place and column widths as read at start-up.
    MainWindowLayout storedLayout_;
    // The settings were written (at the end of the session, before the exit).
    bool saved_ = false;
    // The stored filter was no filter: the exit writes the filter over it.
    bool storedFilterUnusable_ = false;
    std::unique_ptr<network::SimulatedNetwork> simulated_;
    std::unique_ptr<win32::Win32Platform> real_;
    std::unique_ptr<run::MainFrame> frame_;
};

}  // namespace quorvin::app
