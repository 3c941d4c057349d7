#pragma once
// The options dialog's rules: the values its controls start with, the
// lenient reading of the day count, its two refusals and what OK stores.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/user_message.h"
#include "rules/settings.h"

namespace quorvin::app {

// Longest user name and password the dialog takes, in bytes of CP932 (the
// settings record keeps 33 and 31 bytes).
constexpr std::size_t kMaxLoginBytes = 30;
// Characters the day box takes from the keyboard.
constexpr int kDayBoxLimit = 2;

// The dialog's controls as values.
struct OptionsForm {
    bool dontShowMessageToolTip = false;
    bool dontShowComList = false;
    bool anotherLoginName = false;
    std::string days;
    std::string username;
    std::string password;
};

OptionsForm FormFromSettings(const AppSettings& settings);

// The C library's lenient decimal reading: leading blanks, an optional
// sign, the digits up to the first other character; no digits give 0.
// Numbers beyond the 32-bit range stop at its ends.
std::int32_t LenientNumber(std::string_view text);

// The refusal OK gives for `form`, if any: a negative day count first,
// then an alternate login without a user name.
std::optional<UserMessage> CheckOptions(const OptionsForm& form);

// OK: the refusal to show (the dialog stays open, nothing is stored), or
// nothing once every value is stored into `settings`.
std::optional<UserMessage> AcceptOptions(const OptionsForm& form, AppSettings& settings);

}  // namespace quorvin::app
