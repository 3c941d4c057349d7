#include "services/win32/path_rules.h"

#include <string_view>

#include "core/cp932.h"

namespace quorvin::win32 {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text::MbsICmp(text.substr(0, prefix.size()), prefix) == 0;
}

}  // namespace

bool IsNetworkPath(const std::string& path) {
    if (StartsWith(path, "\\\\?\\UNC\\")) return path.size() > 8;
    if (StartsWith(path, "\\\\?\\") || StartsWith(path, "\\\\.\\")) return false;
    return path.size() > 2 && StartsWith(path, "\\\\");
}

std::string NativeSystemPath(const std::string& path, const std::string& systemDirectory) {
    std::string_view folder = systemDirectory;
    while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
    // The folder's parent ends at its last backslash; a trail byte 5C of a
    // double-byte character is no backslash.
    std::size_t parent = std::string_view::npos;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(folder[i]))) {
            ++i;
            continue;
        }
        if (folder[i] == '\\') parent = i;
    }
    if (parent == std::string_view::npos || !StartsWith(path, folder)) return path;
    if (path.size() > folder.size() && path[folder.size()] != '\\') return path;  // "system32x\..."
    return std::string(folder.substr(0, parent)) + "\\Sysnative" + path.substr(folder.size());
}

std::string NativeEnvironmentReferences(const std::string& text) {
    static constexpr std::pair<std::string_view, std::string_view> kNative[] = {
        {"%ProgramFiles%", "%ProgramW6432%"},
        {"%CommonProgramFiles%", "%CommonProgramW6432%"},
    };
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::string_view rest = std::string_view(text).substr(i);
        bool replaced = false;
        for (const auto& [from, to] : kNative) {
            if (StartsWith(rest, from)) {
                out += to;
                i += from.size();
                replaced = true;
                break;
            }
        }
        if (replaced) continue;
        // A reference that is not replaced is kept whole, so that its
        // closing "%" cannot open the next one.
        if (text[i] == '%') {
            const std::size_t close = text.find('%', i + 1);
            const std::size_t end = close == std::string::npos ? text.size() : close + 1;
            out.append(text, i, end - i);
            i = end;
            continue;
        }
        const std::size_t width = text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        out.append(text, i, width);
        i += width;
    }
    return out;
}

AccountName SplitAccountName(std::string_view typed) {
    for (std::size_t i = 0; i < typed.size(); i += text::IsLeadByte(static_cast<unsigned char>(typed[i])) ? 2 : 1)
        if (typed[i] == '\\') return {typed.substr(0, i), typed.substr(i + 1)};
    return {std::string_view(), typed};
}

}  // namespace quorvin::win32
