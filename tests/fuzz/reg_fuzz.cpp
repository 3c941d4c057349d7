// Registry files from outside: the registry.reg of a simulated computer. No
// crash, no overread, no hang; and a hive that was read writes out so that
// reading the result gives the same hive again, in one format per run
// chosen by the input's length (odd: REGEDIT4, even: version 5), since the
// round trip costs several times the first reading.
//
// A registry file names every key by its full path, so what a hive writes
// grows with depth times path length: a 4 KB input 400 levels deep writes
// 0.9 MB. The round trip is made while the key paths to write come to at
// most four times the input and 4 KB; deeper hives are only read (a written
// file's key lines are read the same way whatever their depth, and the
// round trip of 512 levels has its own unit test).

#include <cstdint>
#include <cstdlib>

#include "formats/registry/reg_file.h"

namespace {

// The bytes of the key paths a writer puts in the [key] lines of `key`,
// whose path is `pathBytes` long, and of its subkeys; stops past `limit`.
std::size_t PathBytes(const quorvin::reg::Key& key, std::size_t pathBytes, std::size_t limit) {
    std::size_t total = pathBytes;
    for (const quorvin::reg::Key& sub : key.SubKeys()) {
        if (total > limit) break;
        total += PathBytes(sub, pathBytes + 1 + sub.Name().size(), limit - total);
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quorvin::reg::Format;
    const quorvin::reg::ParseResult read = quorvin::reg::ParseRegFile(data, size);
    if (!read.hive) {
        if (read.error.empty() || read.errorLine == 0) std::abort();
        return 0;
    }
    const std::size_t budget = 4 * size + 4096;
    if (PathBytes(read.hive->root, 18, budget) > budget) return 0;
    const Format format = size % 2 != 0 ? Format::kRegedit4 : Format::kVersion5;
    const std::vector<std::uint8_t> file = quorvin::reg::WriteRegFile(*read.hive, format);
    const quorvin::reg::ParseResult again = quorvin::reg::ParseRegFile(file.data(), file.size());
    if (!again.hive || again.format != format || !(again.hive->root == read.hive->root)) std::abort();
    return 0;
}
