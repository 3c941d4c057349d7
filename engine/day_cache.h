#pragma once
// The local midnight of a time, remembered for the day it falls on: the
// records of a log come in order of time, many on the same day.

#include <cstdint>

#include "core/local_time.h"

namespace quorvin::engine {

class DayCache {
public:
    std::int64_t MidnightOf(std::int64_t time) {
        if (!(time >= start_ && time < end_)) {
            start_ = app::LocalMidnight(time);
            // The next day begins at the midnight of a time 30 hours on
            // (a day has 23 to 25 hours).
            end_ = app::LocalMidnight(start_ + 30 * 3600);
            if (end_ <= start_ || time >= end_ || time < start_) {
                end_ = start_;  // not a plain day: nothing is remembered
                return start_;
            }
        }
        return start_;
    }

private:
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
};

}  // namespace quorvin::engine
