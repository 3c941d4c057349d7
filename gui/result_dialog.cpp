#include "gui/result_dialog.h"

#include "gui/resources/resource.h"

#include <cstring>

namespace quorvin::run {

namespace {

// A movable global block holding `size` bytes of `data`; null when none is left.
HGLOBAL GlobalCopy(const void* data, std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    void* target = GlobalLock(block);
    if (!target) {
        static_cast<void>(GlobalFree(block));
        return nullptr;
    }
    std::memcpy(target, data, size);
    // GlobalUnlock reports 0 for the last unlock: that is success.
    static_cast<void>(GlobalUnlock(block));
    return block;
}

// Hands `block` to the clipboard, which owns it once taken.
bool SetClipboardBlock(UINT format, HGLOBAL block) {
    if (!block) return false;
    if (SetClipboardData(format, block)) return true;
    static_cast<void>(GlobalFree(block));
    return false;
}

}  // namespace

bool PutTextOnClipboard(HWND owner, const std::string& cp932) {
    if (!OpenClipboard(owner)) return false;
    bool done = EmptyClipboard() != FALSE;
    const std::wstring wide = win32::Wide(cp932);
    done = done && SetClipboardBlock(CF_UNICODETEXT, GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)));
    done = done && SetClipboardBlock(CF_TEXT, GlobalCopy(cp932.c_str(), cp932.size() + 1));
    const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT);
    done = done && SetClipboardBlock(CF_LOCALE, GlobalCopy(&japanese, sizeof japanese));
    return CloseClipboard() != FALSE && done;
}

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
    static_cast<void>(PutTextOnClipboard(Handle(), ItemText(IDC_REPORT)));
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
