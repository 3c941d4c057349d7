// The 64-bit tick count the 32-bit release build gives the thread library
// (core/xp_runtime.cpp), against Wine's own GetTickCount64.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/tick_count.h"

namespace {

using quorvin::win32::TickCount64;
using quorvin::win32::TickCountExtended;

// Within one tick of the system timer (10 to 16 ms), and a little more for a
// busy machine.
constexpr std::int64_t kSlack = 100;

std::int64_t Distance(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::int64_t>(a > b ? a - b : b - a);
}

// The same for the low 32 bits, the part GetTickCount gives.
std::int64_t LowDistance(std::uint64_t a, std::uint64_t b) {
    const std::uint32_t d = static_cast<std::uint32_t>(a - b);
    return d <= 0x80000000u ? d : 0x100000000 - d;
}

// Wine's GetTickCount64; the headers hide it from a program built for XP.
using TickCount64Function = ULONGLONG(WINAPI*)();
TickCount64Function SystemTickCount64() {
    return reinterpret_cast<TickCount64Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
}

TEST(TickCount, IsGetTickCount64WhereTheSystemHasIt) {
    const TickCount64Function GetTickCount64 = SystemTickCount64();
    ASSERT_NE(GetTickCount64, nullptr);
    const std::uint64_t before = GetTickCount64();
    const std::uint64_t ours = TickCount64();
    const std::uint64_t after = GetTickCount64();
    EXPECT_GE(ours, before);
    EXPECT_LE(ours, after);
}

TEST(TickCount, ExtendedCountAdvancesWithTheSystemCount) {
    const TickCount64Function GetTickCount64 = SystemTickCount64();
    ASSERT_NE(GetTickCount64, nullptr);
    // Both counts agree in their low 32 bits (the high ones hold the wraps
    // before the first call, which the extended count does not know).
    const std::uint64_t start = TickCountExtended();
    const std::uint64_t systemStart = GetTickCount64();
    EXPECT_LE(LowDistance(start, systemStart), kSlack);
    Sleep(200);
    const std::uint64_t elapsed = TickCountExtended() - start;
    const std::uint64_t systemElapsed = GetTickCount64() - systemStart;
    EXPECT_GE(elapsed, 150u);
    EXPECT_LE(Distance(elapsed, systemElapsed), kSlack);
}

TEST(TickCount, ExtendedCountNeverGoesBackOnAnyThread) {
    std::atomic<bool> wentBack{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wentBack] {
            std::uint64_t last = TickCountExtended();
            for (int i = 0; i < 200000; ++i) {
                const std::uint64_t now = TickCountExtended();
                if (now < last) wentBack = true;
                last = now;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(wentBack);
}

}  // namespace
