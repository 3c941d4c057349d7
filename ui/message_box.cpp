#include "ui/message_box.h"

namespace quorvin::ui {

int ShowMessage(HWND owner, const app::UserMessage& message) {
    UINT type = 0;
    switch (message.buttons) {
    case app::MessageButtons::Ok: type |= MB_OK; break;
    case app::MessageButtons::YesNo: type |= MB_YESNO; break;
    case app::MessageButtons::YesNoCancel: type |= MB_YESNOCANCEL; break;
    }
    switch (message.icon) {
    case app::MessageIcon::None: break;
    case app::MessageIcon::Exclamation: type |= MB_ICONEXCLAMATION; break;
    case app::MessageIcon::Error: type |= MB_ICONERROR; break;
    }
    return MessageBoxW(owner, win32::Wide(message.text).c_str(), win32::Wide(message.caption).c_str(), type);
}

}  // namespace quorvin::ui
