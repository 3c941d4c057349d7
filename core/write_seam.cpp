#include "core/write_seam.h"

#include <cstdlib>

namespace quorvin {

std::optional<std::uint64_t> WriteFailsAfter() {
    const char* value = std::getenv("QUORVIN_WRITE_FAILS_AFTER");
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::strtoull(value, nullptr, 10);
}

}  // namespace quorvin
