#include "ui/clipboard.h"

#include <cstring>

namespace quorvin::ui {

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

// Hands `block` to the clipboard, which owns it once taken; frees it when refused.
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

}  // namespace quorvin::ui
