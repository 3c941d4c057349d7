#pragma once
// The program's message boxes: a fixed text, caption, icon and buttons
// (app::UserMessage) shown modally over `owner` (null: no owner).

#include "core/user_message.h"
#include "ui/window.h"

namespace quorvin::ui {

// The button the user chose (IDOK, IDYES, IDNO, IDCANCEL), or 0 when the
// box could not be shown.
int ShowMessage(HWND owner, const app::UserMessage& message);

}  // namespace quorvin::ui
