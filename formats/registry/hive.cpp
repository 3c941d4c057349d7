#include "formats/registry/hive.h"

#include <algorithm>
#include <cstring>

#include "core/cp932.h"

namespace quorvin::reg {

namespace {

namespace regtype = platform::regtype;

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

bool IsTextType(std::uint32_t type) {
    return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}

// True when `text` holds `c` as a single-byte character (not as a trail byte).
bool HasSingleByte(std::string_view text, char c) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text[i] == c) {
            return true;
        }
    }
    return false;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

}  // namespace

bool operator==(const Value& a, const Value& b) { return a.type == b.type && a.data == b.data; }

bool NameLess::operator()(std::string_view a, std::string_view b) const { return text::MbsICmp(a, b) < 0; }

// ---- Key ----------------------------------------------------------------------

Key* Key::FindSubKey(std::string_view name) {
    const auto it = subKeyIndex_.find(name);
    return it == subKeyIndex_.end() ? nullptr : &*it->second;
}

const Key* Key::FindSubKey(std::string_view name) const {
    const auto it = subKeyIndex_.find(name);
    return it == subKeyIndex_.end() ? nullptr : &*it->second;
}

Key* Key::AddSubKey(std::string_view name, bool* made) {
    if (made != nullptr) *made = false;
    if (!IsValidKeyName(name)) return nullptr;
    if (Key* existing = FindSubKey(name)) return existing;
    subKeys_.emplace_back(std::string(name));
    const auto it = std::prev(subKeys_.end());
    subKeyIndex_.emplace(it->name_, it);
    if (made != nullptr) *made = true;
    return &*it;
}

bool Key::RemoveSubKey(std::string_view name) {
    const auto it = subKeyIndex_.find(name);
    if (it == subKeyIndex_.end()) return false;
    const auto element = it->second;
    subKeyIndex_.erase(it);
    subKeys_.erase(element);
    return true;
}

const Value* Key::FindValue(std::string_view name) const {
    const auto it = valueIndex_.find(name);
    return it == valueIndex_.end() ? nullptr : &it->second->value;
}

bool Key::SetValue(std::string_view name, Value value) {
    if (!IsValidValueName(name) || value.data.size() > kMaxValueBytes) return false;
    const auto it = valueIndex_.find(name);
    if (it != valueIndex_.end()) {
        it->second->value = std::move(value);
        return true;
    }
    values_.push_back(NamedValue{std::string(name), std::move(value)});
    const auto element = std::prev(values_.end());
    valueIndex_.emplace(element->name, element);
    return true;
}

bool Key::RemoveValue(std::string_view name) {
    const auto it = valueIndex_.find(name);
    if (it == valueIndex_.end()) return false;
    const auto element = it->second;
    valueIndex_.erase(it);
    values_.erase(element);
    return true;
}

bool operator==(const Key& a, const Key& b) {
    if (a.Name() != b.Name() || a.Values().size() != b.Values().size() ||
        a.SubKeys().size() != b.SubKeys().size())
        return false;
    if (!std::equal(a.Values().begin(), a.Values().end(), b.Values().begin(),
                    [](const NamedValue& x, const NamedValue& y) { return x.name == y.name && x.value == y.value; }))
        return false;
    return std::equal(a.SubKeys().begin(), a.SubKeys().end(), b.SubKeys().begin(),
                      [](const Key& x, const Key& y) { return x == y; });
}

// ---- Texts ------------------------------------------------------------------

std::size_t CharCount(std::string_view cp932) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < cp932.size(); ++i, ++count) {
        if (text::IsLeadByte(static_cast<unsigned char>(cp932[i]))) ++i;
    }
    return count;
}

bool IsWellFormedCp932(std::string_view cp932) {
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const auto c = static_cast<unsigned char>(cp932[i]);
        if (text::IsLeadByte(c)) {
            if (i + 1 >= cp932.size() || !IsTrailByte(static_cast<unsigned char>(cp932[i + 1]))) return false;
            ++i;
        } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
            return false;
        }
    }
    return true;
}

std::string NormalizeText(std::string_view cp932) {
    const bool ascii = std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(cp932);
    return text::FromUtf16(text::ToUtf16(cp932));
}

bool IsValidKeyName(std::string_view name) {
    return !name.empty() && IsWellFormedCp932(name) && !HasLineBreakOrNul(name) && !HasSingleByte(name, '\\') &&
           CharCount(name) <= kMaxKeyNameChars;
}

bool IsValidValueName(std::string_view name) {
    return IsWellFormedCp932(name) && !HasLineBreakOrNul(name) && CharCount(name) <= kMaxValueNameChars;
}

// ---- Paths and queries --------------------------------------------------------

platform::Error SplitKeyPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    path = path.substr(0, path.find('\0'));
    if (!path.empty() && path.front() == '\\') return kBadPathname;
    std::string name;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (text::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            name += c;
            name += path[++i];
        } else if (c == '\\') {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty()) names.push_back(std::move(name));
    return platform::error::kSuccess;
}

platform::Error QueryValue(const Key& key, std::string_view name, std::uint32_t& type, std::uint8_t* data,
                           std::uint32_t& size) {
    const Value* value = key.FindValue(name);
    if (value == nullptr) return platform::error::kFileNotFound;
    type = value->type;
    // Fits: data are never longer than kMaxValueBytes.
    const auto needed = static_cast<std::uint32_t>(value->data.size());
    if (data == nullptr) {
        size = needed;
        return platform::error::kSuccess;
    }
    if (size < needed) {
        size = needed;
        return platform::error::kMoreData;
    }
    if (needed > 0) std::memcpy(data, value->data.data(), needed);
    if (IsTextType(value->type) && size > needed && (needed == 0 || data[needed - 1] != 0)) data[needed] = 0;
    size = needed;
    return platform::error::kSuccess;
}

}  // namespace quorvin::reg
