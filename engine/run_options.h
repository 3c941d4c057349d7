#pragma once
// What one run collects and how it reaches the computers' shares: the job
// of the start dialog and the alternate account, as the engine reads them.
// The application fills it from its settings record before the run
// (rules/run_options.h): the settings record is made of these fields and
// the windows' own.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::engine {

struct RunOptions {
    // Which logs and which event types; a field counts when non-zero.
    std::int32_t Filter_System = 0;
    std::int32_t Filter_Application = 0;
    std::int32_t Filter_Security = 0;
    std::int32_t Filter_Information = 0;
    std::int32_t Filter_Warning = 0;
    std::int32_t Filter_Error = 0;
    std::int32_t Filter_Securityok = 0;
    std::int32_t Filter_Securityng = 0;
    // 1 = no start bound, 1 = no end bound.
    std::int32_t EnableStartDate = 0;
    std::int32_t EnableEndDate = 0;
    // Seconds since 1970-01-01 00:00 UTC: the local midnights of the first
    // and the last day of the window.
    std::int64_t StartTime = 0;
    std::int64_t EndTime = 0;
    // Connect to each computer's admin$ share with this account first.
    std::int32_t AnotherLoginName = 0;
    char Username[34] = {};
    char Password[32] = {};
    // Channels of Windows Vista and later read after the three logs, in
    // this order, named as Windows names them
    // ("Microsoft-Windows-PowerShell/Operational"); empty: none.
    std::vector<std::string> Channels;
};

// The alternate account's user name and password: views of the fields
// themselves, up to their terminators, so that the password is not copied.
inline std::string_view AccountUser(const RunOptions& o) { return {o.Username, strnlen(o.Username, sizeof o.Username)}; }
inline std::string_view AccountPassword(const RunOptions& o) {
    return {o.Password, strnlen(o.Password, sizeof o.Password)};
}

// Computers a run collects at the same time: the default when nothing is
// set (docs/performance.md, "Many computers at once", tells how it was
// chosen) and the most a run takes.
constexpr int kDefaultParallel = 16;
constexpr int kMostParallel = 64;

// The event types a run keeps: 1 error, 2 warning, 4 information, 8 audit
// success, 16 audit failure, each when its filter is non-zero.
inline std::uint32_t TypeMask(const RunOptions& o) {
    std::uint32_t mask = 0;
    if (o.Filter_Information) mask += 4;
    if (o.Filter_Error) mask += 1;
    if (o.Filter_Warning) mask += 2;
    if (o.Filter_Securityok) mask += 8;
    if (o.Filter_Securityng) mask += 16;
    return mask;
}

}  // namespace quorvin::engine
