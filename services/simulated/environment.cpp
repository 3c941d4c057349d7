#include "services/simulated/environment.h"

#include "core/cp932.h"

namespace quorvin::network {

std::string ExpandEnvironment(std::string_view text, const Environment& environment) {
    std::string out;
    // "%" (0x25) is never the trail byte of a double-byte character.
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(i, open - i));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const std::string* value = nullptr;
        for (const auto& [key, setting] : environment)
            if (!name.empty() && text::MbsICmp(key, name) == 0) {
                value = &setting;
                break;
            }
        if (value)
            out += *value;
        else
            out.append(text.substr(open, close - open + 1));
        i = close + 1;
    }
    out.append(text.substr(i));
    return out;
}

}  // namespace quorvin::network
