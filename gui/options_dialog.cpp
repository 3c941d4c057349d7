#include "gui/options_dialog.h"

#include "core/display_text.h"
#include "gui/resources/resource.h"
#include "ui/message_box.h"

namespace quorvin::app {

bool OptionsDialog::Run(HWND owner) { return RunModal(owner, IDD_OPTIONS) == IDOK; }

bool OptionsDialog::OnInit() {
    Check(IDC_NO_BROWSE_LIST, form_.dontShowComList);
    Check(IDC_NO_MESSAGE_TIP, form_.dontShowMessageToolTip);
    Check(IDC_ANOTHER_LOGIN, form_.anotherLoginName);
    EnableLogin(form_.anotherLoginName);
    SetItemText(IDC_DAY_BEFORE, form_.days);
    SetItemText(IDC_USERNAME, form_.username);
    SetItemText(IDC_PASSWORD, form_.password);
    // Limits apply to typing only: a longer stored day count is shown whole.
    SendMessageW(Item(IDC_DAY_BEFORE), EM_SETLIMITTEXT, kDayBoxLimit, 0);
    SendMessageW(Item(IDC_USERNAME), EM_SETLIMITTEXT, kMaxLoginBytes, 0);
    SendMessageW(Item(IDC_PASSWORD), EM_SETLIMITTEXT, kMaxLoginBytes, 0);
    return true;
}

bool OptionsDialog::Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void OptionsDialog::Check(int id, bool on) const {
    SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void OptionsDialog::EnableLogin(bool on) const {
    // EnableWindow answers with the previous state, not with success.
    static_cast<void>(EnableWindow(Item(IDC_USERNAME), on));
    static_cast<void>(EnableWindow(Item(IDC_PASSWORD), on));
}

void OptionsDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
        Accept();
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    case IDC_ANOTHER_LOGIN:
        if (code != BN_CLICKED) break;
        EnableLogin(Checked(IDC_ANOTHER_LOGIN));
        if (!Checked(IDC_ANOTHER_LOGIN)) {
            SetItemText(IDC_PASSWORD, "");
            SetItemText(IDC_USERNAME, "");
        }
        break;
    case IDC_USERNAME:
    case IDC_PASSWORD:
        if (code == EN_CHANGE) LimitBytes(id);
        break;
    default:
        break;
    }
}

void OptionsDialog::Accept() {
    OptionsForm form;
    form.dontShowMessageToolTip = Checked(IDC_NO_MESSAGE_TIP);
    form.dontShowComList = Checked(IDC_NO_BROWSE_LIST);
    form.anotherLoginName = Checked(IDC_ANOTHER_LOGIN);
    form.days = ItemText(IDC_DAY_BEFORE);
    form.username = ItemText(IDC_USERNAME);
    form.password = ItemText(IDC_PASSWORD);
    if (auto refusal = CheckOptions(form)) {
        ui::ShowMessage(Handle(), *refusal);
        return;
    }
    form_ = std::move(form);
    End(IDOK);
}

void OptionsDialog::LimitBytes(int id) const {
    const std::string text = ItemText(id);
    if (text.size() <= kMaxLoginBytes) return;
    if (!SetItemText(id, CutToBytes(text, kMaxLoginBytes))) return;
    const LRESULT end = SendMessageW(Item(id), WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(Item(id), EM_SETSEL, end, end);
}

}  // namespace quorvin::app
