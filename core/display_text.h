#pragma once
// Texts cut or split for the places the windows show them.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvin::app {

// The longest start of `text` of at most `maxBytes` bytes that does not
// end in the middle of a double-byte character (a lead byte and its trail
// go together; a lead byte that ends the text counts as one byte).
std::string CutToBytes(std::string_view text, std::size_t maxBytes);

// A command's string resource holds its status bar prompt and its tooltip,
// split at the first "\n"; without one the whole text is the prompt.
struct CommandTexts {
    std::string prompt;
    std::string tip;
};
CommandTexts SplitCommandText(std::string_view resource);

}  // namespace quorvin::app
