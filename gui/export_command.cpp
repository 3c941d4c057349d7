#include "gui/export_command.h"

#include "gui/event_list.h"
#include "gui/file_error_message.h"
#include "rules/event_list_rules.h"
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
    // While a filter is set the title tells that only the shown rows are written.
    const std::wstring path = ui::AskFileName(
        owner, {true, kExportFilter, kExportDefaultExtension, DefaultExportFileName(std::time(nullptr))},
        views::ExportDialogTitle(list.RowCount(), list.TotalCount(), list.Filtered()));
    if (path.empty()) return;
    const platform::Error error = ui::WriteWholeFile(path, ExportFileContent(list.Titles(), list.Rows()));
    if (error != 0) {
        ui::ShowMessage(owner, app::FileErrorMessage(error, path));
        return;
    }
    state.ResultsSaved = 1;
}

}  // namespace quorvin::run
