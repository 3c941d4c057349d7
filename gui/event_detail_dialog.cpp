#include "gui/event_detail_dialog.h"

#include <iterator>

#include "gui/resources/resource.h"
#include "rules/event_detail_rules.h"

namespace quorvin::views {

void EventDetailDialog::Run(HWND owner) { static_cast<void>(RunModal(owner, IDD_EVENT_DETAIL)); }

bool EventDetailDialog::OnInit() {
    row_ = current_;
    Fill();
    return true;
}

void EventDetailDialog::Fill() {
    // The fields' controls, in the order of kDetailColumns.
    static constexpr int kFieldControls[] = {IDC_DETAIL_TIME,   IDC_DETAIL_TYPE,    IDC_DETAIL_LOG,     IDC_DETAIL_COMPUTER,
                                             IDC_DETAIL_SOURCE, IDC_DETAIL_MESSAGE, IDC_DETAIL_EVENT_ID};
    static_assert(std::size(kFieldControls) == kDetailColumns.size());
    for (std::size_t i = 0; i < kDetailColumns.size(); ++i)
        SetItemText(kFieldControls[i], DetailCellText(rows_.Text(static_cast<std::size_t>(row_), kDetailColumns[i])));
    const int count = static_cast<int>(rows_.Count());
    // A step button that loses its enabling hands the keyboard focus to "閉じる".
    const HWND focus = GetFocus();
    EnableWindow(Item(IDC_DETAIL_PREVIOUS), PreviousEnabled(row_));
    EnableWindow(Item(IDC_DETAIL_NEXT), NextEnabled(row_, count));
    if (focus && !IsWindowEnabled(focus) && IsChild(Handle(), focus))
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
}

void EventDetailDialog::Step(int by) {
    row_ += by;
    current_ = row_;
    // The list's selection and focus go along and the row is scrolled into
    // view, so the list (and its position text) shows the event shown here.
    // A list that refuses either still has the dialog's row to show.
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    static_cast<void>(SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row_), reinterpret_cast<LPARAM>(&state)));
    static_cast<void>(SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row_), FALSE));
    Fill();
}

void EventDetailDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDC_DETAIL_NEXT:
        if (code == BN_CLICKED && IsWindowEnabled(Item(IDC_DETAIL_NEXT))) Step(1);
        break;
    case IDC_DETAIL_PREVIOUS:
        if (code == BN_CLICKED && IsWindowEnabled(Item(IDC_DETAIL_PREVIOUS))) Step(-1);
        break;
    case IDOK:
    case IDCANCEL: End(IDOK); break;
    default: break;
    }
}

bool EventDetailDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
    if (message == WM_DESTROY) ForgetEditText(IDC_DETAIL_MESSAGE);
    return false;
}

}  // namespace quorvin::views
