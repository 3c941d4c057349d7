#pragma once
// The INI files of a simulated network (network.ini, computer.ini).
//
// Text: CP932 bytes, or UTF-8 when the file begins with the UTF-8 byte order
// mark, or UTF-16LE when it begins with FF FE; both are turned into CP932.
// Lines end in LF or CR LF. Blanks and tabs around names and values are
// dropped. A line whose first non-blank character is ";" is a comment; ";"
// inside a value is part of the value. "[name]" opens a section; "key=value"
// (split at the first "=") belongs to the section above it. Section names and
// keys are compared with MbsICmp; a section or a key that appears twice is an
// error, as is any other line.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::network {

struct IniEntry {
    std::string key;
    std::string value;
    std::size_t line = 0;
};

struct IniSection {
    std::string name;
    std::size_t line = 0;
    std::vector<IniEntry> entries;  // in file order

    // The entry whose key equals `key` (MbsICmp), or null.
    const IniEntry* Find(std::string_view key) const;
};

struct IniFile {
    std::vector<IniSection> sections;  // in file order

    // The section whose name equals `name` (MbsICmp), or null.
    const IniSection* Find(std::string_view name) const;
};

// Parses the bytes of one file. On failure returns false and sets `error` to
// "line N: what is wrong".
bool ParseIni(std::string_view data, IniFile& file, std::string& error);

// Text of an INI file as CP932: decodes a UTF-8 or UTF-16LE file with its
// byte order mark; anything else is returned as it is.
std::string IniTextToCp932(std::string_view data);

// A number of the network's text files: decimal, or hexadecimal after "0x",
// fitting 32 bits; with `allowNegative` a leading '-' gives the 32-bit two's
// complement (down to -2147483648).
bool ParseU32(std::string_view s, std::uint32_t& value, bool allowNegative = false);

}  // namespace quorvin::network
