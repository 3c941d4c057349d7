#include "rules/results.h"

namespace quorvin::run {

bool AskToSaveResults(int resultsSaved, int rowCount) { return resultsSaved == 0 && rowCount > 0; }

app::UserMessage SaveResultsQuestion() {
    return {"結果を保存しますか。", "確認", app::MessageIcon::None, app::MessageButtons::YesNoCancel};
}

const char* const kExportFilter = "カンマ区切りテキスト(*.txt)|*.txt|CSV (*.csv)|*.csv|すべてのファイル(*.*)|*.*||";
const char* const kExportDefaultExtension = "txt";

}  // namespace quorvin::run
