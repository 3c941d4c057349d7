#include "core/display_text.h"

#include "core/cp932.h"

namespace quorvin::app {

std::string CutToBytes(std::string_view text, std::size_t maxBytes) {
    return std::string(text.substr(0, text::WholeCharactersLength(text, maxBytes)));
}

CommandTexts SplitCommandText(std::string_view resource) {
    // "\n" (0x0A) is never a trail byte: a byte search finds the split.
    const std::size_t split = resource.find('\n');
    if (split == std::string_view::npos) return {std::string(resource), {}};
    return {std::string(resource.substr(0, split)), std::string(resource.substr(split + 1))};
}

}  // namespace quorvin::app
