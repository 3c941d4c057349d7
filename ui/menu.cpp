#include "ui/menu.h"

namespace quorvin::ui {

bool TrackContextMenu(int menuId, HWND owner, POINT screen) {
    HMENU menu = LoadMenuW(Instance(), MAKEINTRESOURCEW(menuId));
    if (!menu) return false;
    HMENU popup = GetSubMenu(menu, 0);
    // TrackPopupMenu answers 0 both for failure and for a dismissed menu:
    // only a missing popup counts as failure.
    if (popup) TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
    return DestroyMenu(menu) != FALSE && popup != nullptr;
}

}  // namespace quorvin::ui
