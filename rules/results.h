#pragma once
// What becomes of the collected results: the question at exit while they
// are not saved, and the export's save dialog.

#include "core/user_message.h"

namespace quorvin::run {

// The exit command asks before closing exactly when results exist that
// were not exported: ResultsSaved is 0 and the event list holds a row.
bool AskToSaveResults(int resultsSaved, int rowCount);
// "結果を保存しますか。": Yes exports and exits, No exits, Cancel stays.
app::UserMessage SaveResultsQuestion();

// The export's save dialog. The file is the same whichever filter is
// chosen; a name typed without extension gets the chosen filter's (the
// dialog's own rule), and "txt" under "すべてのファイル".
extern const char* const kExportFilter;
extern const char* const kExportDefaultExtension;

}  // namespace quorvin::run
