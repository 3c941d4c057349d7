#pragma once
// The end of the user's session: what the shutdown screen of Windows Vista
// and later says about a window that keeps the session from ending.

#include <string_view>

#include "ui/window.h"

namespace quorvin::ui {

// Gives `window` the reason the shutdown screen shows while it answers
// WM_QUERYENDSESSION; false where Windows has no such screen (XP, 2003)
// or refused.
bool SetShutdownReason(HWND window, std::string_view reason);
// Takes the reason back; nothing where none was given.
void ClearShutdownReason(HWND window);

}  // namespace quorvin::ui
