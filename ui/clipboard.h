#pragma once
// The clipboard: text put on it for other programs.

#include <string>

#include "ui/window.h"

namespace quorvin::ui {

// Puts `cp932` on the clipboard, owned by `owner`, as CF_UNICODETEXT
// (converted from CP932), CF_TEXT (the CP932 bytes) and CF_LOCALE
// (Japanese, naming CF_TEXT's code page). False when the clipboard could
// not be opened (another program holds it) or filled.
bool PutTextOnClipboard(HWND owner, const std::string& cp932);

}  // namespace quorvin::ui
