#include "run/export_command.h"

#include "app/ui/file_dialog.h"
#include "app/ui/file_io.h"
#include "app/ui/message_box.h"
#include "run/export.h"
#include "run/results.h"
#include "views/event_list.h"

#include <ctime>

namespace quorvin::run {

void ExportResults(HWND owner, const views::EventList& list, app::RunState& state) {
    if (list.RowCount() == 0) {
        ui::ShowMessage(owner, NothingToExportMessage());
        return;
    }
    const std::wstring path = ui::AskFileName(
        owner, {true, kExportFilter, kExportDefaultExtension, DefaultExportFileName(std::time(nullptr))});
    if (path.empty()) return;
    const platform::Error error = ui::WriteWholeFile(path, ExportFileContent(list.Titles(), list.Rows()));
    if (error != 0) {
        ui::ShowMessage(owner, ui::FileErrorMessage(error, path));
        return;
    }
    state.ResultsSaved = 1;
}

}  // namespace quorvin::run
