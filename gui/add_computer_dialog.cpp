#include "gui/add_computer_dialog.h"

#include "core/display_text.h"
#include "gui/computer_tree.h"
#include "gui/resources/resource.h"
#include "rules/browse.h"
#include "ui/message_box.h"

#include <windowsx.h>

namespace quorvin::computers {

void AddComputerDialog::Run(HWND owner) { RunModal(owner, IDD_ADD_COMPUTER); }

bool AddComputerDialog::OnInit() {
    // A list that cannot be subclassed still lists; only its clicks do nothing.
    static_cast<void>(list_.Attach(Item(IDC_BROWSE_LIST)));
    ui::ListView list(Item(IDC_BROWSE_LIST));
    list.SetExtendedStyle(list.ExtendedStyle() | LVS_EX_FULLROWSELECT);
    InsertColumns();
    SendMessageW(Item(IDC_SHOW_ONLY_SERVER), BM_SETCHECK, showOnlyServer_ ? BST_CHECKED : BST_UNCHECKED, 0);
    // The edits count characters; LimitBytes keeps the bytes within the limit.
    SendMessageW(Item(IDC_COMPUTER_NAME), EM_SETLIMITTEXT, kMaxNameBytes, 0);
    SendMessageW(Item(IDC_DOMAIN), CB_LIMITTEXT, kMaxNameBytes, 0);
    OfferDomains();
    return true;
}

void AddComputerDialog::InsertColumns() const {
    ui::ListView list(Item(IDC_BROWSE_LIST));
    int index = 0;
    for (const BrowseColumn& column : kBrowseColumns) {
        list.InsertColumn(index, column.title, list.StringWidth(column.title) + column.margin);
        ++index;
    }
}

void AddComputerDialog::OfferDomains() {
    std::unique_ptr<platform::RegistryKey> localMachine;
    if (network_.registry.ConnectLocalMachine("", localMachine) != platform::error::kSuccess || !localMachine) return;
    const DomainChoices choices = ReadDomainChoices(*localMachine, network_.browse);
    if (!choices.found) return;
    HWND combo = Item(IDC_DOMAIN);
    for (const std::string& name : choices.names)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(name).c_str()));
    SetItemText(IDC_DOMAIN, choices.domain);
    if (!dontShowComList_) BrowseComputers(choices.domain);
}

void AddComputerDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
        Add();
        break;
    case IDCANCEL:
        showOnlyServer_ = SendMessageW(Item(IDC_SHOW_ONLY_SERVER), BM_GETCHECK, 0, 0) == BST_CHECKED;
        End(IDCANCEL);
        break;
    case IDC_GET_COMPUTER_LIST:
        if (code == BN_CLICKED) GetComputerList();
        break;
    case IDC_COMPUTER_NAME:
        if (code == EN_CHANGE) LimitBytes(IDC_COMPUTER_NAME);
        break;
    case IDC_DOMAIN:
        if (code == CBN_EDITCHANGE) LimitBytes(IDC_DOMAIN);
        break;
    default:
        break;
    }
}

bool AddComputerDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_SHOWWINDOW || !wParam) return false;
    SetFocus(Item(IDC_COMPUTER_NAME));
    result = 0;
    return true;
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
}

void AddComputerDialog::GetComputerList() {
    const std::string domain = ItemText(IDC_DOMAIN);
    if (domain.empty()) {
        ui::ShowMessage(Handle(), EmptyDomainMessage());
        return;
    }
    BrowseComputers(domain);
}

void AddComputerDialog::BrowseComputers(const std::string& domain) {
    std::vector<platform::ServerInfo> servers;
    const platform::Error result = network_.browse.EnumServers(domain, servers);
    if (!BrowseAnswerFillsList(result, servers.size())) {
        ui::ShowMessage(Handle(), BrowseFailureMessage(result));
        return;
    }
    const bool onlyServers = SendMessageW(Item(IDC_SHOW_ONLY_SERVER), BM_GETCHECK, 0, 0) == BST_CHECKED;
    ui::ListView list(Item(IDC_BROWSE_LIST));
    // A list that keeps its old rows still shows every new one after them.
    static_cast<void>(list.DeleteAll());
    for (const BrowseRow& row : BrowseRows(servers, onlyServers)) {
        // The list sorts itself: the new row's place is what the insert returns.
        const int at = list.InsertItem(list.ItemCount(), row.name, 0);
        if (at < 0) continue;
        // A cell the list refuses stays empty; the row is still there to pick.
        static_cast<void>(list.SetItemText(at, 1, row.os));
        static_cast<void>(list.SetItemText(at, 2, row.role));
        static_cast<void>(list.SetItemText(at, 3, row.browser));
        static_cast<void>(list.SetItemText(at, 4, row.comment));
    }
}

void AddComputerDialog::LimitBytes(int id) const {
    const std::string text = ItemText(id);
    if (text.size() <= kMaxNameBytes) return;
    if (!SetItemText(id, app::CutToBytes(text, kMaxNameBytes))) return;
    const auto end = static_cast<WORD>(SendMessageW(Item(id), WM_GETTEXTLENGTH, 0, 0));
    if (id == IDC_DOMAIN)
        SendMessageW(Item(id), CB_SETEDITSEL, 0, MAKELPARAM(end, end));
    else
        SendMessageW(Item(id), EM_SETSEL, end, end);
}

LRESULT AddComputerDialog::BrowseList::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN: {
        ui::ListView list(Handle());
        const int row = list.HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        // A click beside the rows is not passed on: the selection stays.
        if (row < 0) return 0;
        dialog_.SetItemText(IDC_COMPUTER_NAME, list.ItemText(row, 0));
        break;
    }
    case WM_LBUTTONDBLCLK:
        dialog_.Add();
        break;
    case WM_KEYDOWN:
    case WM_CHAR: {
        // A key that selects another row (arrows, Home, End, typing) copies
        // its name as a click does, so that Enter then adds it.
        ui::ListView list(Handle());
        const int before = list.FirstSelected();
        const LRESULT result = Default(message, wParam, lParam);
        const int after = list.FirstSelected();
        if (after >= 0 && after != before) dialog_.SetItemText(IDC_COMPUTER_NAME, list.ItemText(after, 0));
        return result;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace quorvin::computers
