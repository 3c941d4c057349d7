#include "core/tick_count.h"

#include <windows.h>

#include <atomic>

namespace quorvin::win32 {

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

std::atomic<std::uint64_t> g_extended{0};
std::atomic<TickCount64Function> g_tickCount64{nullptr};

ULONGLONG WINAPI Extended() { return TickCountExtended(); }

}  // namespace

std::uint64_t TickCountExtended() {
    std::uint64_t previous = g_extended.load();
    for (;;) {
        // Read after `previous`: a later tick, so a lower value means a wrap.
        const std::uint64_t next = ExtendTickCount(previous, GetTickCount());
        if (g_extended.compare_exchange_weak(previous, next)) return next;
    }
}

std::uint64_t TickCount64() {
    TickCount64Function function = g_tickCount64.load(std::memory_order_acquire);
    if (function == nullptr) {
        // Two threads may both look it up; they find the same answer.
        const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64");
        function = found ? reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(found)) : &Extended;
        g_tickCount64.store(function, std::memory_order_release);
    }
    return function();
}

}  // namespace quorvin::win32
