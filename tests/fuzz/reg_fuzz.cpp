// Registry files from outside: the registry.reg of a simulated computer. No
// crash, no overread, no hang; and a hive that was read writes out in both
// formats so that reading the result gives the same hive again.

#include <cstdint>
#include <cstdlib>

#include "formats/registry/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quorvin::reg::Format;
    const quorvin::reg::ParseResult read = quorvin::reg::ParseRegFile(data, size);
    if (!read.hive) {
        if (read.error.empty() || read.errorLine == 0) std::abort();
        return 0;
    }
    for (Format format : {Format::kRegedit4, Format::kVersion5}) {
        const std::vector<std::uint8_t> file = quorvin::reg::WriteRegFile(*read.hive, format);
        const quorvin::reg::ParseResult again = quorvin::reg::ParseRegFile(file.data(), file.size());
        if (!again.hive || again.format != format || !(again.hive->root == read.hive->root)) std::abort();
    }
    return 0;
}
