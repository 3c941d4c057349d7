#include "engine/message_files.h"

#include "core/cp932.h"

namespace quorvin::engine {

namespace {

constexpr std::uint32_t kValueBuffer = 1040;
constexpr std::size_t kResultBuffer = 1044;
constexpr std::size_t kWorkBuffer = 4096;

// A backslash that is a character of its own, not the trail byte of a
// double-byte character such as "ソ" (83 5C).
bool HasBackslash(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (text::IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c == '\\') return true;
    }
    return false;
}

}  // namespace

std::string SourceKeyPath(const std::string& logName, const std::string& source) {
    return "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + logName + "\\" + source;
}

platform::Error ReadValueText(platform::RegistryKey& key, const std::string& name, std::string& text) {
    std::uint8_t buffer[kValueBuffer] = {};
    std::uint32_t type = 0;
    std::uint32_t size = kValueBuffer;
    text.clear();
    const platform::Error error = key.QueryValue(name, type, buffer, size);
    if (error != platform::error::kSuccess) return error;
    const std::size_t limit = size < kValueBuffer ? size : kValueBuffer;
    std::size_t length = 0;
    while (length < limit && buffer[length] != 0) ++length;
    text.assign(reinterpret_cast<const char*>(buffer), length);
    return platform::error::kSuccess;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        out.append(text, start, at - start);
        out += to;
        start = at + from.size();
    }
    out.append(text, start, std::string::npos);
    return out;
}

std::string ExpandSystemRoot(const std::string& value, const std::string& systemRoot,
                             platform::SystemService& system) {
    std::string text = HasBackslash(value) ? value : "%SystemRoot%\\System32\\" + value;
    std::string work = !systemRoot.empty() && text.size() >= 12 ? ReplaceAll(text, "%SystemRoot%", systemRoot) : text;
    if (work.size() >= kWorkBuffer) work.resize(kWorkBuffer - 1);

    std::string result = system.ExpandEnvironmentStrings(work);
    if (result.size() >= kResultBuffer) result.clear();
    if (result.empty() && work.size() < kResultBuffer) result = work;
    return result;
}

std::vector<std::string> SplitFileList(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string LastFileOfList(const std::string& list) {
    const std::size_t at = list.rfind(';');
    return at == std::string::npos ? std::string() : list.substr(at + 1);
}

std::string MapToShare(const std::string& computer, const std::string& name) {
    if (computer.empty()) return name;
    std::string path = computer + "\\";
    if (!name.empty()) path += name[0];
    path += "$";
    if (name.size() > 2) path.append(name, 2, std::string::npos);
    return path;
}

}  // namespace quorvin::engine
