#include "formats/ini.h"

#include <unordered_map>

#include "core/cp932.h"

namespace quorvin::network {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Position of the first byte `c` that is not the trail byte of a double-byte
// character, or npos. `c` must be ASCII.
std::size_t FindChar(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == c) return i;
    }
    return std::string_view::npos;
}

bool Fail(std::size_t line, const std::string& what, std::string& error) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

}  // namespace

const IniEntry* IniSection::Find(std::string_view key) const {
    for (const IniEntry& entry : entries)
        if (text::MbsICmp(entry.key, key) == 0) return &entry;
    return nullptr;
}

const IniSection* IniFile::Find(std::string_view name) const {
    for (const IniSection& section : sections)
        if (text::MbsICmp(section.name, name) == 0) return &section;
    return nullptr;
}

std::string IniTextToCp932(std::string_view data) {
    if (data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF") return text::Utf8ToCp932(data.substr(3));
    if (data.size() >= 2 && data.substr(0, 2) == "\xFF\xFE") {
        std::u16string wide;
        wide.reserve((data.size() - 2) / 2);
        for (std::size_t i = 2; i + 1 < data.size(); i += 2)
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                                 static_cast<unsigned char>(data[i + 1]) << 8));
        return text::FromUtf16(wide);
    }
    return std::string(data);
}

bool ParseIni(std::string_view data, IniFile& file, std::string& error) {
    file.sections.clear();
    const std::string textBytes = IniTextToCp932(data);
    std::string_view rest = textBytes;
    std::size_t lineNumber = 0;
    // The lines of the names seen so far, by MbsICmpKey: each line is checked
    // against them in constant time.
    std::unordered_map<std::string, std::size_t> sectionLines;
    std::unordered_map<std::string, std::size_t> keyLines;
    while (!rest.empty()) {
        ++lineNumber;
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) return Fail(lineNumber, "NUL byte in the line", error);
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            const std::size_t close = FindChar(line, ']');
            if (close == std::string_view::npos) return Fail(lineNumber, "section name without \"]\"", error);
            if (close + 1 != line.size()) return Fail(lineNumber, "text after the section name", error);
            const std::string_view name = Trim(line.substr(1, close - 1));
            if (name.empty()) return Fail(lineNumber, "empty section name", error);
            const auto [earlier, added] = sectionLines.emplace(text::MbsICmpKey(name), lineNumber);
            if (!added)
                return Fail(lineNumber, "section [" + std::string(name) + "] already opened on line " +
                                            std::to_string(earlier->second), error);
            file.sections.push_back(IniSection{std::string(name), lineNumber, {}});
            keyLines.clear();
            continue;
        }

        const std::size_t equals = FindChar(line, '=');
        if (equals == std::string_view::npos) return Fail(lineNumber, "expected [section] or key=value", error);
        const std::string_view key = Trim(line.substr(0, equals));
        if (key.empty()) return Fail(lineNumber, "empty key before \"=\"", error);
        if (file.sections.empty()) return Fail(lineNumber, "key \"" + std::string(key) + "\" before any section", error);
        IniSection& section = file.sections.back();
        const auto [earlier, added] = keyLines.emplace(text::MbsICmpKey(key), lineNumber);
        if (!added)
            return Fail(lineNumber, "key \"" + std::string(key) + "\" already given on line " +
                                        std::to_string(earlier->second), error);
        section.entries.push_back(IniEntry{std::string(key), std::string(Trim(line.substr(equals + 1))), lineNumber});
    }
    return true;
}

bool ParseU32(std::string_view s, std::uint32_t& value, bool allowNegative) {
    bool negative = false;
    if (allowNegative && !s.empty() && s[0] == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (negative) return false;
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    std::uint64_t n = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        n = n * base + digit;
        if (n > (negative ? 0x80000000u : 0xFFFFFFFFu)) return false;
    }
    value = negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(n)) : static_cast<std::uint32_t>(n);
    return true;
}


}  // namespace quorvin::network
