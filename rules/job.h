#pragma once
// The collection job: what the start dialog shows, the five checks its
// "開始" button makes, what an accepted dialog stores in the settings record,
// and the event-type mask a run is built with.

#include <cstdint>
#include <optional>
#include <string>

#include "core/user_message.h"
#include "rules/settings.h"

namespace quorvin::run {

// The start dialog's check boxes (0 or 1) and its two date pickers (time
// values, seconds since 1970, with the time of day they carry).
struct JobChoice {
    std::int32_t Filter_System = 0;
    std::int32_t Filter_Security = 0;
    std::int32_t Filter_Application = 0;
    std::int32_t Filter_Information = 0;
    std::int32_t Filter_Error = 0;
    std::int32_t Filter_Warning = 0;
    std::int32_t Filter_Securityok = 0;
    std::int32_t Filter_Securityng = 0;
    std::int32_t EnableStartDate = 0;  // "ﾛｸﾞの始めから"
    std::int32_t EnableEndDate = 0;    // "ﾛｸﾞの最後まで"
    std::int64_t StartTime = 0;        // picker 1001
    std::int64_t EndTime = 0;          // picker 1002
    std::string OtherLogs;             // "その他のログ": channel names separated by ";"
};

// The dialog's initial state: each box checked when its field is non-zero,
// the pickers at StartTime and EndTime.
JobChoice ChoiceFromSettings(const app::AppSettings& settings);

// A picker is enabled exactly when its open-end box is unchecked.
inline bool StartPickerEnabled(const JobChoice& choice) { return choice.EnableStartDate == 0; }
inline bool EndPickerEnabled(const JobChoice& choice) { return choice.EnableEndDate == 0; }

// The five checks, in their order: no log (no box checked and no channel
// named), no type for the System or
// Application log, no audit type for the Security log, an end day before
// the start day, an end day after today.
enum class JobProblem { kNoLog, kNoEventType, kNoAuditType, kEndBeforeStart, kEndAfterToday };

// The first of the five checks that refuses `choice` at time `now`; none
// when all pass. A box counts as checked when non-zero.
std::optional<JobProblem> FindJobProblem(const JobChoice& choice, std::int64_t now);
// The message the dialog shows for `problem` (caption "注意", exclamation icon, OK).
app::UserMessage JobProblemMessage(JobProblem problem);
// The first refusal as its message; none when all pass. The field
// "その他のログ" is checked first (run::ParseOtherLogs); the first check
// then passes when it names a channel.
std::optional<app::UserMessage> CheckJob(const JobChoice& choice, std::int64_t now);

// "開始": when no check refuses, stores the choice into the job fields of
// `settings` (every box as 0 or 1, both pickers even when disabled, each
// date cut to 00:00:00 local time of its day, the other logs' text and its
// channels) and returns none; otherwise
// returns the refusal and leaves `settings` unchanged.
std::optional<app::UserMessage> AcceptJob(const JobChoice& choice, std::int64_t now, app::AppSettings& settings);

// The start dialog's answer: only "開始" (1, IDOK) starts a run; Cancel
// (2) and a dialog that could not be shown (-1) start none.
constexpr bool JobAccepted(std::intptr_t dialogResult) { return dialogResult == 1; }

// The event types a run keeps: 1 error, 2 warning, 4 information, 8 audit
// success, 16 audit failure, each when its filter is non-zero.
std::uint32_t BuildTypeMask(const app::AppSettings& settings);

}  // namespace quorvin::run
