#include "app/ui/dialog.h"

namespace quorvin::ui {

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
