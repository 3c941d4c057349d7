#include "ui/file_dialog.h"

#include "core/file_filter.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace quorvin::ui {

std::wstring AskFileName(HWND owner, const FileDialogRequest& request) {
    // The filter holds NULs: convert it piece by piece.
    const std::string filter = app::DialogFilter(request.filter);
    const std::wstring wideFilter = win32::Wide(std::string_view(filter.data(), filter.size()));
    const std::wstring extension = win32::Wide(request.defaultExtension);
    std::vector<wchar_t> path(4096, L'\0');
    const std::wstring initial = win32::Wide(request.initialName);
    initial.copy(path.data(), std::min(initial.size(), path.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = wideFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (request.save) ofn.Flags |= OFN_OVERWRITEPROMPT;
    const BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen) return {};
    return std::wstring(path.data());
}

}  // namespace quorvin::ui
