#pragma once
// The heap as tests measure it: glibc's own counters, which the sanitizer
// build replaces (QUORVIN_UNDER_ASAN is set there).

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define QUORVIN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVIN_UNDER_ASAN 1
#endif
#endif

#if defined(__linux__)
#include <malloc.h>

namespace quorvin::testing {

// What malloc has handed out and not had back, large (mapped) blocks included.
inline std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

}  // namespace quorvin::testing
#endif
