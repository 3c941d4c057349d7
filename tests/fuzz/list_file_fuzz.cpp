// Computer list texts from outside: a list file to import and a stored
// ComputerListToSave value. No crash, no overread, and every imported name
// obeys the import rules: at most 32 bytes, no CR, LF or zero byte, never
// more names than the limit leaves room for, at most one stop message.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "rules/computer_list.h"
#include "rules/list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t entries = data[0] % 8;
    const std::uint32_t maxComputer = 1 + data[1] % 16;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto result = quorvin::computers::ImportListFile(text, entries, maxComputer);
    if (result.messages.size() > 1) std::abort();
    if (entries + result.names.size() > maxComputer && !result.names.empty()) std::abort();
    for (const std::string& name : result.names) {
        if (name.size() > quorvin::computers::kMaxNameBytes) std::abort();
        if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
    }

    const auto names = quorvin::computers::ParseComputerList(text);
    if (quorvin::computers::ComposeComputerList(names).size() < text.size()) std::abort();
    return 0;
}
