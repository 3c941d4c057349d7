#pragma once
// The test seam of the program's file writers (the window's saves and the
// console's outputs): with QUORVIN_WRITE_FAILS_AFTER=N in the environment
// every write fails as a full disk does once N bytes of the file are
// written. Tests use it to show that a save failing half way loses nothing.

#include <cstdint>
#include <optional>

namespace quorvin {

// N, or none when the variable is unset or empty. Text that is no number
// reads as 0: the first byte fails.
std::optional<std::uint64_t> WriteFailsAfter();

}  // namespace quorvin
