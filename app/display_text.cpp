#include "app/display_text.h"

#include "platform/text/cp932.h"

namespace quorvin::app {

std::string CutToBytes(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t width =
            text::IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > maxBytes) break;
        end += width;
    }
    return std::string(text.substr(0, end));
}

CommandTexts SplitCommandText(std::string_view resource) {
    // "\n" (0x0A) is never a trail byte: a byte search finds the split.
    const std::size_t split = resource.find('\n');
    if (split == std::string_view::npos) return {std::string(resource), {}};
    return {std::string(resource.substr(0, split)), std::string(resource.substr(split + 1))};
}

}  // namespace quorvin::app
