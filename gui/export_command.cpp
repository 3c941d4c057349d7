#include "gui/export_command.h"

#include "gui/event_list.h"
#include "gui/file_error_message.h"
#include "rules/export.h"
#include "rules/results.h"
#include "ui/file_dialog.h"
#include "ui/file_io.h"
#include "ui/message_box.h"

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
        ui::ShowMessage(owner, app::FileErrorMessage(error, path));
        return;
    }
    state.ResultsSaved = 1;
}

}  // namespace quorvin::run
