#include "gui/result_dialog.h"

#include "gui/resources/resource.h"
#include "ui/clipboard.h"
#include "ui/list_view.h"

#include <algorithm>

namespace quorvin::run {

namespace {

constexpr int kMargin = 11, kGap = 6;
// The columns' widths in pixels: name, rows, failed logs, first problem.
constexpr int kColumnWidths[kOutcomeColumns] = {90, 55, 150, 420};

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    if (GetWindowRect(control, &rect)) MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

void ResultDialog::Run(HWND owner) { static_cast<void>(RunModal(owner, IDD_RESULT)); }

bool ResultDialog::OnInit() {
    RECT window{};
    if (GetWindowRect(Handle(), &window)) least_ = {window.right - window.left, window.bottom - window.top};
    const RECT summary = ClientRectOf(Handle(), Item(IDC_RESULT_SUMMARY));
    summaryHeight_ = outcomes_.empty() ? 0 : summary.bottom - summary.top;
    if (outcomes_.empty())
        static_cast<void>(ShowWindow(Item(IDC_RESULT_SUMMARY), SW_HIDE));
    else
        FillSummary();
    SetItemText(IDC_REPORT, report_);
    Layout();
    return true;
}

void ResultDialog::FillSummary() const {
    const ui::ListView list(Item(IDC_RESULT_SUMMARY));
    list.SetExtendedStyle(list.ExtendedStyle() | LVS_EX_FULLROWSELECT);
    for (int column = 0; column < kOutcomeColumns; ++column)
        list.InsertColumn(column, OutcomeTitle(column), kColumnWidths[column]);
    for (std::size_t row = 0; row < outcomes_.size(); ++row) {
        const int index = list.InsertItem(static_cast<int>(row), OutcomeText(outcomes_[row], 0), 0);
        for (int column = 1; column < kOutcomeColumns && index >= 0; ++column)
            list.SetItemText(index, column, OutcomeText(outcomes_[row], column));
    }
}

void ResultDialog::Layout() const {
    RECT client{};
    if (!GetClientRect(Handle(), &client)) return;
    const RECT close = ClientRectOf(Handle(), Item(IDOK)), copy = ClientRectOf(Handle(), Item(IDC_COPY));
    const int buttonHeight = close.bottom - close.top, buttonTop = client.bottom - kMargin - buttonHeight;
    const int closeLeft = client.right - kMargin - (close.right - close.left);
    const int copyLeft = closeLeft - kGap * 2 - (copy.right - copy.left);
    ui::Place(Item(IDOK), closeLeft, buttonTop, close.right - close.left, buttonHeight);
    ui::Place(Item(IDC_COPY), copyLeft, buttonTop, copy.right - copy.left, buttonHeight);
    const int width = std::max(0, static_cast<int>(client.right) - 2 * kMargin);
    int top = kMargin;
    if (summaryHeight_ > 0) {
        ui::Place(Item(IDC_RESULT_SUMMARY), kMargin, top, width, summaryHeight_);
        top += summaryHeight_ + kGap;
    }
    ui::Place(Item(IDC_REPORT), kMargin, top, width, std::max(0, buttonTop - kGap * 2 - top));
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

bool ResultDialog::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return true;
    case WM_GETMINMAXINFO:
        if (least_.cx > 0) reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {least_.cx, least_.cy};
        result = 0;
        return true;
    case WM_DESTROY:
        ForgetEditText(IDC_REPORT);
        return false;
    default:
        return false;
    }
}

}  // namespace quorvin::run
