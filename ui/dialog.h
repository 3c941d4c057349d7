#pragma once
// A modal dialog from a template of resources/quorvin.rc. The object lives
// on the stack of the code that shows it; values go in through its
// constructor and come back through its own accessors after RunModal.

#include "ui/window.h"

namespace quorvin::ui {

class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    // Shows dialog `templateId` owned by `owner` until End is called; the
    // value given to End, or -1 when the dialog could not be created.
    INT_PTR RunModal(HWND owner, int templateId);

    HWND Handle() const { return handle_; }

protected:
    // WM_INITDIALOG, once the dialog stands centred over its owner; true
    // lets the system give the focus to the first control.
    virtual bool OnInit();
    // WM_COMMAND. The default ends the dialog with IDCANCEL on IDCANCEL
    // (Esc, the close box) and does nothing else.
    virtual void OnCommand(int id, int code);
    // Any other message; true when handled, with `result` as the answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    void End(INT_PTR result);
    HWND Item(int id) const { return GetDlgItem(handle_, id); }
    std::string ItemText(int id) const { return Text(Item(id)); }
    bool SetItemText(int id, std::string_view cp932) const { return SetText(Item(id), cp932); }
    // Empties multi-line edit box `id`; called at WM_DESTROY. Wine's edit
    // control keeps one byte per character of its text for word breaks and
    // frees it when the text changes, never when the control goes: without
    // this every report and event text shown stayed in memory under Wine.
    void ForgetEditText(int id) const { static_cast<void>(SetItemText(id, "")); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND handle_ = nullptr;
};

}  // namespace quorvin::ui
