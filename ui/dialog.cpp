#include "ui/dialog.h"

#include <algorithm>

namespace quorvin::ui {

namespace {
// Centres `dialog` over its owner (over the screen without one), kept on the screen.
void CenterOnOwner(HWND dialog) {
    RECT own{}, area{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!GetWindowRect(dialog, &own) || !SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return;
    RECT around = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && !GetWindowRect(owner, &around)) around = area;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - width));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - height));
    // A dialog that cannot be moved opens where the system put it.
    static_cast<void>(SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
}
}  // namespace

INT_PTR Dialog::RunModal(HWND owner, int templateId) {
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId), owner, Procedure,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::OnInit() { return true; }

void Dialog::OnCommand(int id, int) {
    if (id == IDCANCEL) End(IDCANCEL);
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

void Dialog::End(INT_PTR result) {
    // EndDialog fails only for a window that is no dialog, which ours always
    // is; should it fail, Discard ends the dialog's window all the same.
    if (!EndDialog(handle_, result)) Discard(handle_);
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        self->handle_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    try {
        switch (message) {
        case WM_INITDIALOG:
            CenterOnOwner(window);
            result = self->OnInit() ? TRUE : FALSE;
            break;
        case WM_COMMAND:
            self->OnCommand(LOWORD(wParam), HIWORD(wParam));
            result = TRUE;
            break;
        default:
            if (!self->OnMessage(message, wParam, lParam, result)) result = FALSE;
            break;
        }
    } catch (...) {
        StopException();
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->handle_ = nullptr;
    }
    return result;
}

}  // namespace quorvin::ui
