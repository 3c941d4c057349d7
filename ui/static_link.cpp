#include "ui/static_link.h"

#include <objbase.h>
#include <shellapi.h>

namespace quorvin::ui {

namespace {
constexpr COLORREF kVisited = RGB(128, 0, 128);
// The hand of the help viewer's hypertext links.
constexpr WORD kHelpViewerHand = 106;
}  // namespace

StaticLink::~StaticLink() {
    // A font still selected into a drawing context cannot be deleted; the
    // label is gone by now, so nothing holds it.
    if (underlined_) static_cast<void>(DeleteObject(underlined_));
}

HBRUSH StaticLink::OnColour(HDC dc) {
    const LONG style = GetWindowLongW(Handle(), GWL_STYLE);
    // Only text labels (left, centred, right) are drawn as a link.
    if ((style & 0xFF) > SS_RIGHT) return nullptr;
    if (!underlined_) {
        LOGFONTW description{};
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
        if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        if (GetObjectW(font, sizeof description, &description) == sizeof description) {
            description.lfUnderline = TRUE;
            underlined_ = CreateFontIndirectW(&description);
        }
    }
    // Without an underlined font the link is drawn in its colour alone.
    if (underlined_) static_cast<void>(SelectObject(dc, underlined_));
    static_cast<void>(SetTextColor(dc, colour_));
    static_cast<void>(SetBkMode(dc, TRANSPARENT));
    return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

bool ShellOpen(HWND owner, const std::wstring& target) {
    // Some shell extensions need COM on the calling thread (ShellExecute's
    // documentation); a thread that already has it keeps it as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (SUCCEEDED(com)) CoUninitialize();
    return result > 32;
}

void StaticLink::Open() {
    std::string target = target_.empty() ? Text(Handle()) : target_;
    if (target.empty()) return;
    if (ShellOpen(nullptr, win32::Wide(target))) {
        colour_ = kVisited;
        // A label that cannot be repainted shows the new colour at its next paint.
        static_cast<void>(InvalidateRect(Handle(), nullptr, TRUE));
    } else {
        static_cast<void>(MessageBeep(MB_OK));
    }
}

HCURSOR StaticLink::HandCursor() {
    static bool lookedFor = false;
    static HCURSOR hand = nullptr;
    if (lookedFor) return hand;
    lookedFor = true;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring path = std::wstring(folder, length) + L"\\winhlp32.exe";
        if (HMODULE viewer = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
            if (HCURSOR cursor = LoadCursorW(viewer, MAKEINTRESOURCEW(kHelpViewerHand)))
                hand = CopyCursor(cursor);
            static_cast<void>(FreeLibrary(viewer));
        }
    }
    // Systems without the viewer's hand have their own since Windows 2000.
    if (!hand) hand = LoadCursorW(nullptr, IDC_HAND);
    return hand;
}

LRESULT StaticLink::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        // Plain labels let the mouse through to the dialog; the link takes it.
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        Open();
        return 0;
    case WM_SETCURSOR:
        if (HCURSOR hand = HandCursor()) {
            static_cast<void>(SetCursor(hand));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace quorvin::ui
