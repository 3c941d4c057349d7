#include "ui/status_bar.h"

namespace quorvin::ui {

HWND StatusBar::Create(HWND parent, int id) {
    return CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

bool StatusBar::SetPanes(const std::vector<int>& fixedWidths) const {
    RECT client{};
    if (!GetClientRect(handle_, &client)) return false;
    // Room for the size grip at the right end.
    int right = client.right - GetSystemMetrics(SM_CXVSCROLL);
    std::vector<int> edges(fixedWidths.size() + 1);
    edges.back() = right;
    for (std::size_t i = fixedWidths.size(); i > 0; --i) {
        right -= fixedWidths[i - 1];
        edges[i - 1] = right;
    }
    return SendMessageW(handle_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data())) != FALSE;
}

bool StatusBar::SetPaneText(int pane, std::string_view text) const {
    const std::wstring wide = win32::Wide(text);
    return SendMessageW(handle_, SB_SETTEXTW, pane, reinterpret_cast<LPARAM>(wide.c_str())) != FALSE;
}

std::string StatusBar::PaneText(int pane) const {
    const auto length = LOWORD(SendMessageW(handle_, SB_GETTEXTLENGTHW, pane, 0));
    std::wstring buffer(length + 1u, L'\0');
    const auto copied = LOWORD(SendMessageW(handle_, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(buffer.data())));
    return win32::Narrow(buffer.data(), copied);
}

int StatusBar::TextWidth(std::string_view text) const {
    HDC dc = GetDC(handle_);
    if (!dc) return 0;
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(handle_, WM_GETFONT, 0, 0)));
    const std::wstring wide = win32::Wide(text);
    SIZE size{};
    const bool measured = GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size) != FALSE;
    if (old) SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    return measured ? size.cx : 0;
}

int StatusBar::Height() const {
    if (!IsWindowVisible(handle_)) return 0;
    RECT rect{};
    if (!GetWindowRect(handle_, &rect)) return 0;
    return rect.bottom - rect.top;
}

void StatusBar::FitToParent() const { SendMessageW(handle_, WM_SIZE, 0, 0); }

}  // namespace quorvin::ui
