#pragma once
// The local calendar of time values (seconds since 1970-01-01 00:00 UTC),
// through the C library's localtime and mktime, so the time zone and its
// daylight saving rules are the C library's.

#include <cstdint>
#include <ctime>

namespace quorvin::app {

// The broken-down local time of `time`; false when the C library cannot
// convert it (out of its range).
bool ToLocalCalendar(std::int64_t time, std::tm& local);

// 00:00:00 local time of the day of `time`, daylight saving determined by
// mktime (a day that starts at 00:00 standard time gets the standard-time
// midnight). `time` unchanged when the C library cannot convert it.
std::int64_t LocalMidnight(std::int64_t time);

}  // namespace quorvin::app
