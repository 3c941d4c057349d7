#pragma once
// Sets the C library's local time zone for one test and restores it after.
// POSIX rule strings ("CET-1CEST,M3.5.0,M10.5.0/3") need no zone database.
// The Windows C runtime knows only fixed offsets ("UTC0", "JST-9"): there a
// zone with rules is not applied, `Applied()` is false, and the tests that
// depend on it skip (QUORVIN_REQUIRE_TZ).

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace quorvin::testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
#ifdef _WIN32
        if (std::string(zone).find(',') != std::string::npos) return;
        applied_ = _putenv_s("TZ", zone) == 0;
        _tzset();
#else
        applied_ = setenv("TZ", zone, 1) == 0;
        tzset();
#endif
    }
    ~ScopedTimeZone() {
#ifdef _WIN32
        _putenv_s("TZ", old_ ? old_->c_str() : "");
        _tzset();
#else
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
#endif
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    bool Applied() const { return applied_; }

private:
    std::optional<std::string> old_;
    bool applied_ = false;
};

}  // namespace quorvin::testing

#ifdef _WIN32
#define QUORVIN_REQUIRE_TZ() GTEST_SKIP() << "the C runtime here does not follow TZ rules"
#else
#define QUORVIN_REQUIRE_TZ() (void)0
#endif
