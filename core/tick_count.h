#pragma once
// Milliseconds since Windows started, as a 64-bit count on every Windows the
// program runs on: GetTickCount64 exists from Vista on only, and the 32-bit
// GetTickCount wraps to zero every 49.7 days.

#include <cstdint>

namespace quorvin::win32 {

// The 64-bit count that follows `previous` when the 32-bit tick count now
// reads `now`: the count wrapped once if `now` is below the low half of
// `previous`. Right as long as the count is read at least once every 49.7
// days.
constexpr std::uint64_t ExtendTickCount(std::uint64_t previous, std::uint32_t now) {
    std::uint64_t high = previous >> 32;
    if (now < static_cast<std::uint32_t>(previous)) ++high;
    return (high << 32) | now;
}

#ifdef _WIN32
// GetTickCount64 where kernel32 has it, TickCountExtended() elsewhere.
std::uint64_t TickCount64();

// GetTickCount extended to 64 bits, one count for the whole process: it
// never goes back, from any thread. It starts at GetTickCount's value, so
// it lags the real count by 2^32 ms for each wrap before the first call.
std::uint64_t TickCountExtended();
#endif

}  // namespace quorvin::win32
