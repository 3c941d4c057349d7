#pragma once
// A common control whose messages we see before the control does
// (SetWindowSubclass). The derived class answers what it handles and hands
// the rest on with Default.

#include "ui/window.h"

namespace quorvin::ui {

class Subclass {
public:
    Subclass() = default;
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;
    // Detaches from a control that still exists.
    virtual ~Subclass();

    HWND Handle() const { return handle_; }

protected:
    // Starts seeing the messages of `control`; false when the system refused.
    bool Attach(HWND control);

    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The control's own processing.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
    HWND handle_ = nullptr;
};

}  // namespace quorvin::ui
