// Linked into every 32-bit executable, so that it loads on Windows XP and
// Server 2003 too.
//
// The thread library of the posix thread model (winpthreads, behind
// std::mutex and std::thread) times its waits with GetTickCount64, which
// kernel32 has from Vista on only; an executable that imports it does not
// load on older systems. The library calls it through the import's address
// slot, __imp__GetTickCount64@0. This file defines that slot itself: the
// linker finds it here, before kernel32's import library, so the import is
// never made and the calls go to TickCount64, which uses GetTickCount64
// where kernel32 has it and GetTickCount elsewhere.
//
// scripts/check-imports checks the result: no executable of the 32-bit
// build may import anything that Windows XP SP3 lacks.

#include <windows.h>

#include "core/tick_count.h"

namespace {

ULONGLONG WINAPI TickCount64ForThreadLibrary() { return quorvin::win32::TickCount64(); }

}  // namespace

extern "C" {

// The i686 name of the slot: stdcall, no arguments.
__attribute__((used)) ULONGLONG(WINAPI* quorvin_GetTickCount64_slot)() __asm__("__imp__GetTickCount64@0") =
    &TickCount64ForThreadLibrary;

}
