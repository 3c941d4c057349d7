#include "gui/add_computer_dialog.h"

#include "core/display_text.h"
#include "gui/computer_tree.h"
#include "gui/resources/resource.h"
#include "ui/message_box.h"

namespace quorvin::computers {

void AddComputerDialog::Run(HWND owner) { RunModal(owner, IDD_ADD_COMPUTER); }

bool AddComputerDialog::OnInit() {
    // The edit counts characters; LimitName keeps the bytes within the limit.
    SendMessageW(Item(IDC_COMPUTER_NAME), EM_SETLIMITTEXT, kMaxNameBytes, 0);
    SetFocus(Item(IDC_COMPUTER_NAME));
    return false;
}

void AddComputerDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
        Add();
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    case IDC_COMPUTER_NAME:
        if (code == EN_CHANGE) LimitName();
        break;
    default:
        break;
    }
}

void AddComputerDialog::Add() {
    switch (tree_.AddFromDialog(ItemText(IDC_COMPUTER_NAME))) {
    case AddOutcome::ListFull:
        ui::ShowMessage(Handle(), ListFullMessage());
        break;
    case AddOutcome::Added:
        ui::RepaintNow(tree_.Handle());
        SetItemText(IDC_COMPUTER_NAME, "");
        break;
    case AddOutcome::EmptyName:
    case AddOutcome::TooLong:
    case AddOutcome::Duplicate:
        break;
    }
    SetFocus(Item(IDC_COMPUTER_NAME));
}

void AddComputerDialog::LimitName() {
    const std::string name = ItemText(IDC_COMPUTER_NAME);
    if (name.size() <= kMaxNameBytes) return;
    HWND edit = Item(IDC_COMPUTER_NAME);
    if (!SetItemText(IDC_COMPUTER_NAME, app::CutToBytes(name, kMaxNameBytes))) return;
    const LRESULT end = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(edit, EM_SETSEL, end, end);
}

}  // namespace quorvin::computers
