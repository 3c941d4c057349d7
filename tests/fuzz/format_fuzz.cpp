// The insert formatting of FormatMessage with fuzzed patterns and arguments.
// The first byte chooses the caller (bit 0 ANSI, bit 1 inserts ignored, bit 2
// 64-bit, bit 3 a small length limit, bit 4 no argument array); the rest,
// split at each 0xFE byte, is the pattern (UTF-16LE) and the arguments (each
// one's bytes, read narrow, wide and as a number). The result never exceeds
// the limit and is 0, 87 or 122.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/messages/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvin::messages;
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::string> parts(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFE)
            parts.emplace_back();
        else
            parts.back().push_back(static_cast<char>(data[i]));
    }

    std::u16string pattern;
    for (std::size_t i = 0; i + 1 < parts[0].size(); i += 2)
        pattern.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(parts[0][i]) |
                                                static_cast<std::uint8_t>(parts[0][i + 1]) << 8));
    std::vector<Argument> arguments;
    for (std::size_t k = 1; k < parts.size(); ++k) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < parts[k].size() && i < 8; ++i)
            value |= std::uint64_t{static_cast<std::uint8_t>(parts[k][i])} << (8 * i);
        Argument argument = NarrowArgument(parts[k], value);
        argument.null = parts[k].empty() && (flags & 0x20) != 0;
        arguments.push_back(argument);
    }

    FormatOptions options;
    options.ansiCaller = (flags & 1) != 0;
    options.ignoreInserts = (flags & 2) != 0;
    options.pointerBits = (flags & 4) != 0 ? 64 : 32;
    options.maxLength = (flags & 8) != 0 ? 64 : kAnsiMaxLength;
    std::u16string out;
    const quorvin::platform::Error e = FormatInserts(pattern, (flags & 0x10) != 0 ? nullptr : &arguments, options, out);
    if (out.size() > options.maxLength) std::abort();
    if (e != 0 && e != 87 && e != 122) std::abort();
    if (e != 0 && !out.empty()) std::abort();
    return 0;
}
