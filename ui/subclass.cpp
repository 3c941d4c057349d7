#include "ui/subclass.h"

namespace quorvin::ui {

namespace {
// One subclass of ours per control: this id tells it apart from others'.
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

Subclass::~Subclass() {
    // The control outlived the object: it must not call into it any more.
    // Failure means the subclass is already gone, which is what we want.
    if (handle_) static_cast<void>(RemoveWindowSubclass(handle_, Procedure, kSubclassId));
}

bool Subclass::Attach(HWND control) {
    if (!SetWindowSubclass(control, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    handle_ = control;
    return true;
}

LRESULT Subclass::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT Subclass::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Subclass::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* self = reinterpret_cast<Subclass*>(data);
    if (message == WM_NCDESTROY) {
        // The last message: the control's own processing, then we let go.
        static_cast<void>(RemoveWindowSubclass(window, Procedure, kSubclassId));
        self->handle_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        StopException();
    }
    return 0;
}

}  // namespace quorvin::ui
