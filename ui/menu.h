#pragma once
// Popup menus from menu resources.

#include "ui/window.h"

namespace quorvin::ui {

// Shows the first popup of menu resource `menuId` at `screen`, tracked with
// the right button; the chosen command goes to `owner` as WM_COMMAND.
// False when the menu could not be loaded or shown.
bool TrackContextMenu(int menuId, HWND owner, POINT screen);

}  // namespace quorvin::ui
