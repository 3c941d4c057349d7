#include "ui/file_dialog.h"

#include "core/file_filter.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace quorvin::ui {

namespace {

// Runs the dialog with a path buffer of `size` characters: the buffer as
// the dialog filled it, or empty when the user cancelled.
std::vector<wchar_t> Ask(HWND owner, const FileDialogRequest& request, DWORD flags, std::size_t size,
                         std::string_view title = {}) {
    // The filter holds NULs: convert it piece by piece.
    const std::string filter = app::DialogFilter(request.filter);
    const std::wstring wideFilter = win32::Wide(std::string_view(filter.data(), filter.size()));
    const std::wstring extension = win32::Wide(request.defaultExtension);
    const std::wstring caption = win32::Wide(title);
    std::vector<wchar_t> path(size, L'\0');
    const std::wstring initial = win32::Wide(request.initialName);
    initial.copy(path.data(), std::min(initial.size(), path.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = wideFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
    // Also the chosen filter's extension, when it names one, for a name typed without.
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | flags;
    if (request.save) ofn.Flags |= OFN_OVERWRITEPROMPT;
    const BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen) return {};
    return path;
}

}  // namespace

std::wstring AskFileName(HWND owner, const FileDialogRequest& request, std::string_view title) {
    const std::vector<wchar_t> path = Ask(owner, request, 0, 4096, title);
    return path.empty() ? std::wstring() : std::wstring(path.data());
}

std::vector<std::wstring> AskFileNames(HWND owner, const FileDialogRequest& request) {
    // Several files come as the folder, then each name, each ended by a
    // NUL, with a second NUL after the last; one file as its full path.
    const std::vector<wchar_t> buffer = Ask(owner, request, OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST, 65536);
    std::vector<std::wstring> parts;
    for (std::size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
        parts.emplace_back(buffer.data() + at);
        at += parts.back().size() + 1;
    }
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> paths;
    for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
    return paths;
}

}  // namespace quorvin::ui
