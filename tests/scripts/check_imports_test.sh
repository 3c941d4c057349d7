#!/usr/bin/env bash
# scripts/check-imports against small executables made here with the mingw
# compilers: what Windows XP SP3 has must pass, and each kind of thing it
# lacks must fail, named. Also the 32-bit thread library with and without
# core/xp_runtime.cpp; under Wine, when it can run 32-bit
# programs, the thread library's timed waits must still wait.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAILED: $*"; }
cc32=i686-w64-mingw32-gcc
cxx32=i686-w64-mingw32-g++-posix

# --- executables that XP SP3 can load
cat > xp.c <<'C'
#include <windows.h>
#include <stdio.h>
int main(void) {
    HANDLE h = CreateFileW(L"x", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    printf("%lu %p\n", GetTickCount(), (void*)h);
    return MessageBoxW(NULL, L"", L"", MB_OK);
}
C
$cc32 -O2 xp.c -o xp.exe -luser32

cat > subclass.c <<'C'
#include <windows.h>
#include <commctrl.h>
static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    (void)id; (void)data; return DefSubclassProc(w, m, wp, lp);
}
int main(void) { return SetWindowSubclass(GetDesktopWindow(), proc, 1, 0); }
C
cat > v6.manifest <<'XML'
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                      processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
</assembly>
XML
echo '1 24 "v6.manifest"' > v6.rc
i686-w64-mingw32-windres v6.rc -O coff -o v6.res
$cc32 -O2 subclass.c v6.res -o subclass-v6.exe -lcomctl32 -luser32
$cc32 -O2 subclass.c -o subclass-nomanifest.exe -lcomctl32 -luser32

# comctl32's subclass functions by ordinal, as comctl32 5.8 exports them.
printf 'LIBRARY "COMCTL32.dll"\nEXPORTS\nSetWindowSubclass@16 @410 NONAME\nDefSubclassProc@16 @413 NONAME\n' > ordinal.def
i686-w64-mingw32-dlltool -d ordinal.def -l libordinal.a
$cc32 -O2 subclass.c -o subclass-ordinal.exe -L. -lordinal -luser32

# --- executables that XP SP3 cannot load
cat > vista.c <<'C'
#include <windows.h>
#include <stdio.h>
int main(void) {
    CONDITION_VARIABLE c;
    InitializeConditionVariable(&c);
    printf("%llu\n", (unsigned long long)GetTickCount64());
    return 0;
}
C
$cc32 -O2 -D_WIN32_WINNT=0x0600 vista.c -o vista.exe

# Server 2003 functions that the headers declare for XP.
cat > server2003.c <<'C'
#include <windows.h>
int main(void) {
    HANDLE h = ReOpenFile(GetStdHandle(STD_OUTPUT_HANDLE), GENERIC_WRITE, 0, 0);
    return (int)GetThreadId(GetCurrentThread()) + (h != NULL);
}
C
$cc32 -O2 server2003.c -o server2003.exe

cat > crt.c <<'C'
#include <string.h>
#include <stdio.h>
#include <time.h>
int main(void) {
    char b[8]; struct tm t = {0};
    strcpy_s(b, sizeof b, "x");
    printf("%s %ld\n", b, (long)_mkgmtime(&t));
    return 0;
}
C
$cc32 -O2 crt.c -o crt.exe

printf 'LIBRARY "COMCTL32.dll"\nEXPORTS\nUnknownByOrdinal@0 @999 NONAME\n' > unknown-ordinal.def
i686-w64-mingw32-dlltool -d unknown-ordinal.def -l libunknownordinal.a
printf 'LIBRARY "ELSEWHERE.dll"\nEXPORTS\nSomething@0\n' > elsewhere.def
i686-w64-mingw32-dlltool -d elsewhere.def -l libelsewhere.a
cat > other.c <<'C'
#include <windows.h>
__declspec(dllimport) void WINAPI UnknownByOrdinal(void);
__declspec(dllimport) void WINAPI Something(void);
int main(void) { UnknownByOrdinal(); Something(); return 0; }
C
$cc32 -O2 other.c -o other.exe -L. -lunknownordinal -lelsewhere

$cc32 -O2 xp.c -o subsystem6.exe -luser32 -Wl,--major-subsystem-version,6,--minor-subsystem-version,0
x86_64-w64-mingw32-gcc -O2 xp.c -o xp64.exe -luser32
echo "not an executable" > text.exe

# --- the thread library of the posix thread model
cat > waits.cpp <<'C'
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
int main() {
    std::timed_mutex m;
    m.lock();
    DWORD start = GetTickCount();
    bool got = false;
    std::thread t([&] { got = m.try_lock_for(std::chrono::milliseconds(300)); });
    t.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    DWORD waited = GetTickCount() - start;
    m.unlock();
    std::printf("%s %lu\n", got ? "locked" : "timed-out", waited);
    return 0;
}
C
common=(-std=c++17 -O2 -static -I"$root")
$cxx32 "${common[@]}" waits.cpp -o waits-plain.exe
$cxx32 "${common[@]}" waits.cpp "$root/core/xp_runtime.cpp" "$root/core/tick_count.cpp" \
  -o waits-xp.exe

if [ ! -f xp.exe ] || [ ! -f waits-xp.exe ] || [ ! -f other.exe ]; then
  echo "FAILED: the test executables did not build"; echo "0 passed, 1 failed"; exit 1
fi

# --- verdicts
good=(xp.exe subclass-v6.exe subclass-ordinal.exe waits-xp.exe)
if out=$("$root/scripts/check-imports" "${good[@]}"); then ok; else bad "XP executables were refused:"; echo "$out"; fi
for want in "KERNEL32.dll" "GetTickCount" "COMCTL32.dll (2): " "#410" "#413" "manifest asks for comctl32 6"; do
  if grep -qwF -- "$want" <<<"$out"; then ok; else bad "the listing lacks '$want'"; fi
done
if grep -q GetTickCount64 <<<"$out"; then bad "waits-xp.exe still imports GetTickCount64"; else ok; fi

bad_ones=(vista.exe server2003.exe crt.exe subclass-nomanifest.exe other.exe subsystem6.exe xp64.exe text.exe waits-plain.exe)
out=$("$root/scripts/check-imports" "${bad_ones[@]}"); status=$?
if [ $status -eq 1 ]; then ok; else bad "exit status $status for executables XP lacks functions of"; fi
expect() {  # expect EXE TEXT: a problem line of EXE that contains TEXT (DLL names in any case)
  if grep -F -- "$1: " <<<"$out" | grep -qiF -- "$2"; then ok; else bad "no '$2' for $1"; fi
}
expect vista.exe "KERNEL32.dll!GetTickCount64: added after XP: declared from Windows Vista"
expect vista.exe "KERNEL32.dll!InitializeConditionVariable: added after XP"
expect server2003.exe "KERNEL32.dll!ReOpenFile: not on XP SP3, although the headers declare it for XP"
expect server2003.exe "KERNEL32.dll!GetThreadId: not on XP SP3"
expect crt.exe "msvcrt.dll!strcpy_s: not in XP's msvcrt.dll"
expect crt.exe "msvcrt.dll!_mkgmtime"
expect subclass-nomanifest.exe "COMCTL32.dll!SetWindowSubclass: exported by name only by comctl32 version 6"
expect subclass-nomanifest.exe "COMCTL32.dll!DefSubclassProc: exported by name only by comctl32 version 6"
expect other.exe "COMCTL32.dll!#999: imported by ordinal"
expect other.exe "ELSEWHERE.dll!Something@0: no reference for ELSEWHERE.dll"
expect subsystem6.exe "subsystem version 6.0"
expect xp64.exe "64-bit image"
expect text.exe "cannot read"
expect waits-plain.exe "KERNEL32.dll!GetTickCount64"
if grep -F "waits-plain.exe: " <<<"$out" | grep -vq GetTickCount64; then
  bad "the thread library imports more than GetTickCount64 that XP lacks"
else ok; fi
if grep -F "subsystem6.exe: " <<<"$out" | grep -q '!'; then bad "subsystem6.exe: a function was refused"; else ok; fi

# --- the timed waits, where Wine runs 32-bit programs
if [ -f /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll ]; then
  prefix="${QUORVIN_BINARY_DIR:-$work}/wineprefix-i686-test"
  # A tick count that stood still would make the waits endless: bounded.
  if run=$(timeout 120 "$root/scripts/wine-run" --prefix "$prefix" ./waits-xp.exe 2>&1); then
    read -r verdict waited <<<"$(tr -d '\r' <<<"$run" | tail -1)"
    if [ "$verdict" = timed-out ] && [ "${waited:-0}" -ge 450 ] && [ "${waited:-0}" -lt 5000 ]; then ok
    else bad "the timed waits of waits-xp.exe: '$run' (want timed-out after 500 ms)"; fi
  else bad "waits-xp.exe did not run under Wine: $run"; fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
else
  echo "skipped: the timed waits under Wine (no wine32)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
