#include "core/file_filter.h"

#include "core/cp932.h"

namespace quorvin::app {

std::string DialogFilter(std::string_view pipes) {
    const std::size_t nul = pipes.find('\0');
    if (nul != std::string_view::npos) pipes = pipes.substr(0, nul);
    std::string out(pipes);
    for (std::size_t i = 0; i < out.size(); ++i) {
        // "|" (0x7C) is also the trail byte of some characters ("ポ" is 83 7C).
        if (text::IsLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
            ++i;
        else if (out[i] == '|')
            out[i] = '\0';
    }
    // Two NULs end the list; a text of its own may lack them.
    while (out.size() < 2 || out[out.size() - 1] != '\0' || out[out.size() - 2] != '\0') out.push_back('\0');
    return out;
}

}  // namespace quorvin::app
