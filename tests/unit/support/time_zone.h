#pragma once
// Sets the time zone of the C library's local-time functions for a test.

#include <cstdlib>
#include <ctime>

namespace quorvin::test {

// `posix` is a POSIX TZ value. The Windows C runtime knows only fixed
// offsets with US daylight rules: a zone with rules of its own is refused
// there (false) and the test skips.
inline bool SetTimeZone(const char* posix) {
#ifdef _WIN32
    for (const char* p = posix; *p; ++p)
        if (*p == ',') return false;
    if (_putenv_s("TZ", posix) != 0) return false;
    _tzset();
    return true;
#else
    if (setenv("TZ", posix, 1) != 0) return false;
    tzset();
    return true;
#endif
}

inline void ResetTimeZone() {
#ifdef _WIN32
    _putenv_s("TZ", "");
    _tzset();
#else
    unsetenv("TZ");
    tzset();
#endif
}

}  // namespace quorvin::test
