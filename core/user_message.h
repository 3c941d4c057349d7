#pragma once
// A message box that a rule asks the windows to show: the rules return it
// (or hand it to a small interface) instead of showing it themselves, so the
// windows show it and tests record it. Texts are CP932.

#include <string>

namespace quorvin::app {

enum class MessageIcon { None, Exclamation, Error };
enum class MessageButtons { Ok, YesNo, YesNoCancel };

struct UserMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
};

inline bool operator==(const UserMessage& a, const UserMessage& b) {
    return a.text == b.text && a.caption == b.caption && a.icon == b.icon && a.buttons == b.buttons;
}
inline bool operator!=(const UserMessage& a, const UserMessage& b) { return !(a == b); }

}  // namespace quorvin::app
