// Extending the 32-bit tick count, which wraps every 49.7 days, to 64 bits.

#include "core/tick_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using quorvin::win32::ExtendTickCount;

constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;

TEST(ExtendTickCount, FollowsTheCountBetweenWraps) {
    EXPECT_EQ(ExtendTickCount(0, 0), 0u);
    EXPECT_EQ(ExtendTickCount(0, 15), 15u);
    EXPECT_EQ(ExtendTickCount(1000, 1000), 1000u);  // the same tick read twice
    EXPECT_EQ(ExtendTickCount(1000, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(ExtendTickCount(3 * kWrap + 5, 9), 3 * kWrap + 9);  // wraps counted before stay
}

TEST(ExtendTickCount, CountsAWrapWhenTheCountFallsBelowTheLastReading) {
    EXPECT_EQ(ExtendTickCount(0xFFFFFFF0u, 0x10), kWrap + 0x10);
    EXPECT_EQ(ExtendTickCount(0xFFFFFFFFu, 0), kWrap);
    EXPECT_EQ(ExtendTickCount(kWrap + 2, 1), 2 * kWrap + 1);
}

TEST(ExtendTickCount, ReadingsAcrossSeveralWrapsKeepRising) {
    // One reading every 10 days (864,000,000 ms) for a year of uptime,
    // starting 10 days before the first wrap.
    std::uint32_t tick = 0xFFFFFFFFu - 864000000u;
    std::uint64_t count = ExtendTickCount(0, tick);
    std::uint64_t expected = count;
    for (int day = 10; day <= 370; day += 10) {
        tick += 864000000u;  // wraps as GetTickCount does
        expected += 864000000u;
        count = ExtendTickCount(count, tick);
        ASSERT_EQ(count, expected) << "after " << day << " days";
    }
    EXPECT_EQ(count >> 32, 8u);  // 8 wraps: about 410 days of uptime by the last reading
}

}  // namespace
