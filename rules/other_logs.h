#pragma once
// The start dialog's field "その他のログ": channel names of Windows Vista
// and later separated by ";", read into the run's channel list. Texts are
// CP932.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_message.h"

namespace quorvin::run {

// The longest channel name Windows takes, in characters, and the longest
// text the field holds, in bytes.
constexpr std::size_t kMostChannelNameCharacters = 255;
constexpr std::size_t kMostOtherLogsBytes = 4096;

enum class OtherLogsProblem {
    kBadCharacter,  // a control character or one of \ : * ? " < > | %
    kNameTooLong,   // more than kMostChannelNameCharacters
    kTextTooLong,   // more than kMostOtherLogsBytes
    kBrokenText,    // a lead byte without its trail byte
    kNoCp932Form,   // a character typed in the window that CP932 has not
};
struct OtherLogsError {
    OtherLogsProblem problem = OtherLogsProblem::kBadCharacter;
    std::string name;  // the name at fault; empty for the whole text
};

// The channels of `text` in their order: blanks (space, tab, the
// full-width space) around each name dropped, empty names dropped, a name
// repeated (ASCII letters in either case) kept once as first written.
// None, with `error` set, when a name or the text breaks a rule above.
std::optional<std::vector<std::string>> ParseOtherLogs(std::string_view text, OtherLogsError& error);

// The refusal the start dialog shows (caption "注意"), naming the field.
app::UserMessage OtherLogsMessage(const OtherLogsError& error);

}  // namespace quorvin::run
