#include "core/local_time.h"

#include <limits>

namespace quorvin::app {

bool ToLocalCalendar(std::int64_t time, std::tm& local) {
    if (time < std::numeric_limits<std::time_t>::min() || time > std::numeric_limits<std::time_t>::max())
        return false;
    const std::time_t t = static_cast<std::time_t>(time);
#ifdef _WIN32
    return localtime_s(&local, &t) == 0;
#else
    return localtime_r(&t, &local) != nullptr;
#endif
}

std::int64_t LocalMidnight(std::int64_t time) {
    std::tm local{};
    if (!ToLocalCalendar(time, local)) return time;
    std::tm midnight{};
    midnight.tm_year = local.tm_year;
    midnight.tm_mon = local.tm_mon;
    midnight.tm_mday = local.tm_mday;
    midnight.tm_isdst = -1;
    const std::time_t result = std::mktime(&midnight);
    // mktime gives -1 when it cannot represent the date.
    if (result == static_cast<std::time_t>(-1)) return time;
    return static_cast<std::int64_t>(result);
}

}  // namespace quorvin::app
