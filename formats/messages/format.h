#pragma once
// The insert formatting of FormatMessage with an argument array, done by our
// own code on UTF-16 text, rule for rule as the system does it:
//
// - "%1" to "%99" insert an argument; "%n!fmt!" formats it with a printf
//   format of at most 30 characters (flags, width, precision, "*" taking
//   further arguments, length prefixes h l ll w I I32 I64 z t j, conversions
//   c C s S d i o u x X p). The first argument of an insert is its number;
//   "*" widths and precisions take the entries after the highest number
//   used so far. In a FormatMessageA call (an ANSI caller) a plain insert and
//   !s! / !c! read narrow strings and !S! / !C! wide ones; in a FormatMessageW
//   call the other way round. hs, hc read narrow, ls, lc, ws, wc wide.
// - "%0" ends the text there (no final line break), "%n" gives "\r\n",
//   "%r" "\r", "%t" a tab, "% " a blank, "%." ".", "%!" "!", "%%" "%", and
//   a "%" before any other character gives that character.
// - A "\r\n", a lone "\r" and a lone "\n" of the text each become "\r\n"
//   (no line-width limit is set, so the text's own line breaks stay).
// - A "%" at the end of the text, an insert whose format lacks its closing
//   "!", is longer than 30 characters or has more than two "*", and an insert
//   without an argument array fail with 87 (ERROR_INVALID_PARAMETER).
// - Ignoring inserts keeps "%1" ... and every "%x" as they are; only %0, %n,
//   %r, %t and the line breaks are still handled.
// - A text longer than the caller's limit fails with 122
//   (ERROR_INSUFFICIENT_BUFFER); so does the printf format "$".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace quorvin::messages {

// One entry of an argument array. On Windows an entry is a pointer-sized
// value; numbers and characters are read from its bits and string
// conversions from the memory it points at.
struct Argument {
    std::uint64_t value = 0;  // the entry's bits
    bool null = false;        // a null pointer: string conversions show "(null)"
    std::string narrow;       // the bytes a narrow-string conversion reads (up to the first NUL)
    std::u16string wide;      // the units a wide-string conversion reads (up to the first 0)
};

// Narrow text in the machine's ANSI code page to UTF-16.
using NarrowDecoder = std::u16string (*)(std::string_view);

// The longest result of FormatMessageA: it formats into 32,768 UTF-16 units,
// the terminator included.
constexpr std::size_t kAnsiMaxLength = 32767;

struct FormatOptions {
    bool ansiCaller = true;       // FormatMessageA (true) or FormatMessageW
    bool ignoreInserts = false;   // FORMAT_MESSAGE_IGNORE_INSERTS
    unsigned pointerBits = 32;    // 32 or 64: the size of an entry and of %p, %Id, %zd
    std::size_t maxLength = kAnsiMaxLength;  // longest result in UTF-16 units, no terminator
    NarrowDecoder decodeNarrow = nullptr;    // null: code page 932
};

// Formats `pattern` (up to its first NUL) with the argument array
// `arguments` (null: no array). Entries past the end of the array read as
// empty strings with the value 0. 0 and the text in `out`, or 87 or 122.
platform::Error FormatInserts(std::u16string_view pattern, const std::vector<Argument>* arguments,
                              const FormatOptions& options, std::u16string& out);

// An argument of a FormatMessageA call: the CP932 text `text` (up to its first
// NUL, as the C string the caller passes) at the address `address`. Read as a
// wide string, its bytes pair up little-endian; a byte left over pairs with
// its NUL, and a zero byte is taken to follow.
Argument NarrowArgument(const std::string& text, std::uint64_t address);

}  // namespace quorvin::messages
