#pragma once
// The start command: one whole collection run from the window. Windows build only.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/user_message.h"
#include "rules/run_outcome.h"
#include "rules/run_state.h"
#include "rules/settings.h"
#include "services/services.h"

namespace quorvin::run {

// What a run reaches: the main window, its computer tree and event list
// controls, the settings, the run state and the network.
struct RunWindows {
    HWND frame = nullptr;
    HWND tree = nullptr;
    HWND list = nullptr;
    // After a run over computers, before the result dialog: what the report
    // says of each computer, with its rows counted (the window marks failed ones).
    std::function<std::vector<ComputerOutcome>(const std::string& report)> outcomes;
};

// The run sequence: refuses an empty computer list, empties RunReport,
// shows the start dialog, runs the engine on a worker thread behind the
// modal progress dialog, shows the result dialog and clears StopRequested.
// Returns when the run and its worker have ended.
void StartCollection(const RunWindows& windows, app::AppSettings& settings, app::RunState& state,
                     const platform::Platform& network);

// The open command: saved event log files chosen in the open dialog are
// read into the list as a run fills it (progress with stop, the report in
// the result dialog), every event of every file. The texts of .evt records
// and of the system's errors come from `network` (this machine).
void OpenLogFiles(const RunWindows& windows, app::RunState& state, const platform::Platform& network);

// "ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。"
app::UserMessage NoComputerMessage();
// The worker thread could not be made: nothing was started.
app::UserMessage NoWorkerMessage();

}  // namespace quorvin::run
