#pragma once
// An in-memory registry hive: the HKEY_LOCAL_MACHINE of one simulated
// computer. Keys hold sub-keys and values in the order they were made; names
// are CP932 and compare as the C runtime's _mbsicmp compares them. Values are
// held the way RegQueryValueExA returns them: REG_SZ and REG_EXPAND_SZ as
// CP932 with the terminating NUL, REG_MULTI_SZ as NUL-terminated CP932
// strings and a final NUL, REG_DWORD as 4 little-endian bytes, every other
// type as raw bytes.
//
// Texts (names and string data) are kept in the form the ANSI registry
// functions give them back: CP932 that converts to UTF-16 and back unchanged
// (NormalizeText). ParseRegFile and the RegistryKey functions only ever
// store such texts; code that builds a hive by hand should pass its texts
// through NormalizeText, or a .reg file written from the hive may read back
// different.

#include "core/error.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::reg {

// ERROR_BAD_PATHNAME: a sub-key path that begins with "\".
constexpr platform::Error kBadPathname = 161;

// Limits of the registry of Windows NT: a key name holds at most 255
// characters, a value name at most 16,383, and a key lies at most 512 levels
// below the root. Value data are limited to 1 MiB here (the simulated
// network needs nothing near that).
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kMaxValueBytes = 1 << 20;

struct Value {
    std::uint32_t type = platform::regtype::kNone;
    std::vector<std::uint8_t> data;
};

bool operator==(const Value& a, const Value& b);
inline bool operator!=(const Value& a, const Value& b) { return !(a == b); }

struct NamedValue {
    std::string name;  // empty for the default value
    Value value;
};

// Orders names as _mbsicmp does on CP932.
struct NameLess {
    bool operator()(std::string_view a, std::string_view b) const;
};

class Key {
public:
    Key() = default;
    explicit Key(std::string name) : name_(std::move(name)) {}
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // The name as it was first spelled; empty for the root.
    const std::string& Name() const { return name_; }

    // Sub-keys and values in the order they were made.
    const std::list<Key>& SubKeys() const { return subKeys_; }
    const std::list<NamedValue>& Values() const { return values_; }

    Key* FindSubKey(std::string_view name);
    const Key* FindSubKey(std::string_view name) const;

    // The sub-key of that name, made at the end when there is none yet
    // (`made` tells which). Null when the name is no valid key name
    // (IsValidKeyName).
    Key* AddSubKey(std::string_view name, bool* made = nullptr);

    // Removes the sub-key and everything below it; false when there is none.
    bool RemoveSubKey(std::string_view name);

    const Value* FindValue(std::string_view name) const;

    // Replaces the data and type of the value of that name, which keeps its
    // place and first spelling, or adds the value at the end. False (and
    // nothing changed) when the name is no valid value name or the data
    // exceed kMaxValueBytes.
    bool SetValue(std::string_view name, Value value);

    // False when there is no value of that name.
    bool RemoveValue(std::string_view name);

private:
    std::string name_;
    std::list<Key> subKeys_;
    // Views into the names held by the list elements, which never move.
    std::map<std::string_view, std::list<Key>::iterator, NameLess> subKeyIndex_;
    std::list<NamedValue> values_;
    std::map<std::string_view, std::list<NamedValue>::iterator, NameLess> valueIndex_;
};

// Same names (byte for byte), values and sub-keys, in the same order.
bool operator==(const Key& a, const Key& b);
inline bool operator!=(const Key& a, const Key& b) { return !(a == b); }

struct Hive {
    Key root;
    // Held by the RegistryKey objects over this hive (OpenHiveRoot) and by
    // WriteRegFile while they touch `root`; code that changes `root` while
    // such objects are in use takes it too, and removes no key they may
    // have open.
    mutable std::mutex mutex;
};

// ---- Texts ------------------------------------------------------------------

// Number of characters of CP932 text: a lead byte and the byte after it
// count as one.
std::size_t CharCount(std::string_view cp932);

// Every lead byte is followed by a trail byte (0x40-0x7E, 0x80-0xFC), and no
// byte stands alone that code page 932 leaves unassigned (0x80, 0xA0,
// 0xFD-0xFF).
bool IsWellFormedCp932(std::string_view cp932);

// What the ANSI registry functions make of a text: CP932 to UTF-16 and back.
// Bytes that form no character become "・" (81 45), characters with two
// codes take the one the conversion gives back (ED 40 becomes FA 5C).
std::string NormalizeText(std::string_view cp932);

// 1 to kMaxKeyNameChars characters of well-formed CP932 without "\" (a
// trail byte 5C is no "\"), NUL, CR or LF.
bool IsValidKeyName(std::string_view name);

// Up to kMaxValueNameChars characters of well-formed CP932 without NUL, CR
// or LF ("\" is allowed). Empty names the default value.
bool IsValidValueName(std::string_view name);

// ---- Paths and queries --------------------------------------------------------

// Splits a sub-key path the way RegOpenKeyExA reads it: "\" separates key
// names (the trail byte 5C of a double-byte character does not), empty names
// from doubled or trailing separators are skipped, and an empty path names
// the key itself. A path that begins with "\" gives kBadPathname. The text
// ends at its first NUL byte, as a C string argument does.
platform::Error SplitKeyPath(std::string_view path, std::vector<std::string>& names);

// RegQueryValueExA on `key`: `type` receives the value's type and `size` its
// size in bytes. With `data` null only the size is asked; when `size` is too
// small the result is 234 (ERROR_MORE_DATA), `size` holds what is needed and
// `data` is left alone; 2 when the value is missing (`type` and `size`
// unchanged). A text type stored without its terminating NUL gets one after
// the data when the buffer has room for it, not counted in `size` (as the
// ANSI function does).
platform::Error QueryValue(const Key& key, std::string_view name, std::uint32_t& type, std::uint8_t* data,
                           std::uint32_t& size);

}  // namespace quorvin::reg
