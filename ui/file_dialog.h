#pragma once
// The standard open and save file dialogs.

#include <string>
#include <string_view>
#include <vector>

#include "ui/window.h"

namespace quorvin::ui {

struct FileDialogRequest {
    bool save = false;
    // "name|pattern|name|pattern||", as the documents write filters.
    std::string filter;
    // Added to a typed name without extension; empty for none.
    std::string defaultExtension;
    std::string initialName;
};

// Runs the dialog owned by `owner` with the read-only check box hidden (and,
// for the save dialog, a question before an existing file is replaced).
// The chosen full path (UTF-16: a path needs no CP932 round trip to be
// opened), or empty when the user cancelled. `title` is the dialog's
// caption; empty for the system's own ("名前を付けて保存", "開く").
std::wstring AskFileName(HWND owner, const FileDialogRequest& request, std::string_view title = {});

// The open dialog with more than one file to choose: the chosen full paths
// in the order the dialog gives them, or none when the user cancelled.
std::vector<std::wstring> AskFileNames(HWND owner, const FileDialogRequest& request);

}  // namespace quorvin::ui
