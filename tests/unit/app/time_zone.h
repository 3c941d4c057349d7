#pragma once
// Sets the C library's local time zone for one test and restores it after.
// POSIX rule strings ("CET-1CEST,M3.5.0,M10.5.0/3") need no zone database.
// The Windows C runtime does not follow such TZ rules: tests that depend on
// the zone are skipped there.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace quorvin::testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
#ifndef _WIN32
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
#else
        (void)zone;
#endif
    }
    ~ScopedTimeZone() {
#ifndef _WIN32
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
#endif
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

}  // namespace quorvin::testing

#ifdef _WIN32
#define QUORVIN_REQUIRE_TZ() GTEST_SKIP() << "the C runtime here does not follow TZ rules"
#else
#define QUORVIN_REQUIRE_TZ() (void)0
#endif
