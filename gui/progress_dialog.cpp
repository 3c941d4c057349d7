#include "gui/progress_dialog.h"

#include "gui/resources/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace quorvin::run {

namespace {
std::wstring Environment(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? std::wstring(value) : std::wstring();
}
}  // namespace

INT_PTR ProgressDialog::Run(HWND owner) { return RunModal(owner, IDD_PROGRESS); }

bool ProgressDialog::OnInit() {
    positionLog_ = Environment(L"QUORVIN_PROGRESS_LOG");
    const std::wstring stopAt = Environment(L"QUORVIN_STOP_AT_POSITION");
    if (!stopAt.empty()) stopAtPosition_ = static_cast<int>(std::wcstol(stopAt.c_str(), nullptr, 10));

    SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE32, 0, 1000);
    SetFocus(Item(IDC_STOP));
    if (shown_) shown_(Handle());
    // The focus is set: the system must not move it to the first control.
    return false;
}

void ProgressDialog::Stop() {
    stopRequested_ = 1;
    EnableWindow(Item(IDC_STOP), FALSE);
}

void ProgressDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDC_STOP:
        if (code == BN_CLICKED) Stop();
        break;
    // Enter and Esc (and Alt+F4) stop like the button: the dialog ends
    // only when the worker has made its last change to the report.
    case IDOK:
    case IDCANCEL: Stop(); break;
    default: break;
    }
}

void ProgressDialog::SetPosition(int position) {
    SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    // A dialog that cannot be drawn now is drawn with its next WM_PAINT.
    if (!RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN))
        InvalidateRect(Handle(), nullptr, FALSE);
    if (!positionLog_.empty()) {
        // The seam's file is the test's: a failed write shows as a missing position there.
        if (std::FILE* file = _wfopen(positionLog_.c_str(), L"ab")) {
            std::fprintf(file, "%d\r\n", position);
            std::fclose(file);
        }
    }
    if (position == stopAtPosition_) Stop();
}

void ProgressDialog::TakeRows(RowHandover& handover) {
    if (rows_) rows_(handover.rows);
    // A status line that refused the text keeps the previous one.
    if (handover.progressText) static_cast<void>(ui::SetText(Item(IDC_PROGRESS_TEXT), *handover.progressText));
}

bool ProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case kTakeRows:
        TakeRows(*reinterpret_cast<RowHandover*>(lParam));
        result = TRUE;
        return true;
    case kSetPosition:
        SetPosition(static_cast<int>(wParam));
        result = TRUE;
        return true;
    case kEndRun:
        End(1);
        result = TRUE;
        return true;
    default:
        return false;
    }
}

}  // namespace quorvin::run
