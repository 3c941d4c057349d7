#pragma once
// Registry files in the text format regedit reads and writes, holding the
// HKEY_LOCAL_MACHINE of a simulated computer.
//
// Two encodings: "REGEDIT4" files are code page 932 bytes; files that begin
// with the UTF-16LE byte order mark FF FE are UTF-16LE and carry the header
// "Windows Registry Editor Version 5.00". Either header is accepted in either
// encoding; what decides how string data are read is the encoding.
//
// What the reader accepts (line by line; lines end in CR LF, LF or CR):
//   - the header as the first line (blanks around it allowed);
//   - blank lines, and comments: lines whose first non-blank character is ";";
//   - key lines "[HKEY_LOCAL_MACHINE\path]" (the key and its parents are
//     made) and "[-HKEY_LOCAL_MACHINE\path]" (the key and everything below it
//     are removed); after the "]" only blanks or a comment. The root name is
//     compared case-insensitively. The path follows RegCreateKeyExA: doubled
//     and trailing "\" are ignored, a "\" right after the root name's "\" is
//     an error. HKEY_CLASSES_ROOT stands for HKEY_LOCAL_MACHINE\SOFTWARE\Classes
//     (as on Windows NT). Keys under the other roots (HKEY_CURRENT_USER,
//     HKEY_USERS, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA) are skipped with their
//     values; any other root is an error;
//   - value lines NAME=DATA below a key line, NAME being @ (the default
//     value) or a quoted name, DATA one of
//       "text"            REG_SZ (escapes \\ and \" only)
//       dword:1a2b3c4d    REG_DWORD, 1 to 8 hex digits
//       hex:01,02         REG_BINARY
//       hex(N):01,02      type N (hex); for N = 1, 2 and 7 (REG_SZ,
//                         REG_EXPAND_SZ, REG_MULTI_SZ) the bytes are text in
//                         the file's encoding: CP932 in REGEDIT4 files,
//                         UTF-16LE in UTF-16 files
//       -                 removes the value
//     followed by blanks or a comment. Hex bytes are 1 or 2 hex digits
//     separated by commas; a line that ends in "\" continues on the next line
//     that is not blank or a comment.
// Texts are converted to UTF-16 and back as the ANSI registry functions do
// (NormalizeText); characters that code page 932 cannot hold become "?" (or,
// on Windows, a look-alike: "é" becomes "e").
//
// Anything else is an error with the line number: an unknown line, an
// unterminated string or key line, a bad escape, bad hex, NUL characters,
// bytes that are no CP932 text, unpaired UTF-16 surrogates, names longer than
// the registry allows or that hold CR or LF, keys deeper than kMaxDepth, data
// longer than kMaxValueBytes, a file that ends inside continued hex data.

#include "formats/registry/hive.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvin::reg {

enum class Format {
    kRegedit4,  // "REGEDIT4", CP932
    kVersion5,  // "Windows Registry Editor Version 5.00", UTF-16LE with BOM
};

struct ParseResult {
    std::shared_ptr<Hive> hive;  // null on failure
    Format format = Format::kRegedit4;
    std::size_t errorLine = 0;  // 1-based line of the fault
    std::string error;          // "line 12: ..." (ASCII)
};

ParseResult ParseRegFile(const std::uint8_t* data, std::size_t size);

// The whole hive as regedit exports it: the header, then every key, parents
// before their sub-keys, as a blank line, "[HKEY_LOCAL_MACHINE\path]" and its
// values (the root's own line only when the root has values); CR LF line
// ends and a blank line at the end. REG_SZ values are written as quoted
// strings and REG_DWORD values as dword: when they have that shape (one
// terminating NUL and no other, no CR or LF; 4 bytes), all else as hex bytes
// wrapped before 80 columns with "\" and two blanks of indent (columns are
// bytes in REGEDIT4 files, UTF-16 units in version 5 files). ParseRegFile
// reads the result back as the same hive, order and spelling included.
std::vector<std::uint8_t> WriteRegFile(const Hive& hive, Format format);

}  // namespace quorvin::reg
