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

std::string PublisherKeyPath(const std::string& providerGuid) {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + providerGuid;
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

bool ParameterNumber(const std::string& text, std::uint32_t& number) {
    if (text.size() < 2 || text[0] != '%' || text[1] != '%') return false;
    // strtol reads up to the first NUL; the C locale's white space comes first.
    const char* p = text.c_str() + 2;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // The magnitude, held only up to one past the limit of a 32-bit long.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (*p - '0');
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > kLimit - 1) value = kLimit - 1;
    if (value < -kLimit) value = -kLimit;
    number = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    return true;
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
