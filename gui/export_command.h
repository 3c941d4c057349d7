#pragma once
// The main window's command 32777 "結果をファイルへ保存": the event list's
// rows, as shown and in their shown order, written to a comma-separated
// text file the user names. Windows build only.

#include "ui/window.h"

#include "rules/run_state.h"

namespace quorvin::views {
class EventList;
}

namespace quorvin::run {

// Asks for the file (default name log%y%m%d.txt of today) and writes it;
// ResultsSaved becomes 1 after a complete write. Tells the user when the
// list is empty or the file cannot be written.
void ExportResults(HWND owner, const views::EventList& list, app::RunState& state);

}  // namespace quorvin::run
