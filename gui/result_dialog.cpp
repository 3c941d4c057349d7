#include "gui/result_dialog.h"

#include "gui/resources/resource.h"
#include "ui/clipboard.h"

namespace quorvin::run {

void ResultDialog::Run(HWND owner) { static_cast<void>(RunModal(owner, IDD_RESULT)); }

bool ResultDialog::OnInit() {
    SetItemText(IDC_REPORT, report_);
    return true;
}

void ResultDialog::Copy() const {
    HWND edit = Item(IDC_REPORT);
    // The whole report, also the part beyond the visible area, stays selected.
    SendMessageW(edit, EM_SETSEL, 0, -1);
    // A clipboard another program holds open leaves the copy undone; the dialog has no message for it.
    static_cast<void>(ui::PutTextOnClipboard(Handle(), ItemText(IDC_REPORT)));
}

void ResultDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDC_COPY:
        if (code == BN_CLICKED) Copy();
        break;
    case IDOK:
    case IDCANCEL: End(id); break;
    default: break;
    }
}

bool ResultDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
    if (message == WM_DESTROY) ForgetEditText(IDC_REPORT);
    return false;
}

}  // namespace quorvin::run
