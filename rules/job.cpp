#include "rules/job.h"

#include "rules/other_logs.h"
#include "rules/run_options.h"

#include "core/local_time.h"

namespace quorvin::run {

namespace {

app::UserMessage Refusal(const char* text) {
    return app::UserMessage{text, "注意", app::MessageIcon::Exclamation, app::MessageButtons::Ok};
}

std::int32_t Flag(std::int32_t checked) { return checked != 0 ? 1 : 0; }

bool NamesChannels(const JobChoice& c) {
    OtherLogsError error;
    const auto channels = ParseOtherLogs(c.OtherLogs, error);
    return channels && !channels->empty();
}

}  // namespace

JobChoice ChoiceFromSettings(const app::AppSettings& s) {
    JobChoice c;
    c.Filter_System = Flag(s.Filter_System);
    c.Filter_Security = Flag(s.Filter_Security);
    c.Filter_Application = Flag(s.Filter_Application);
    c.Filter_Information = Flag(s.Filter_Information);
    c.Filter_Error = Flag(s.Filter_Error);
    c.Filter_Warning = Flag(s.Filter_Warning);
    c.Filter_Securityok = Flag(s.Filter_Securityok);
    c.Filter_Securityng = Flag(s.Filter_Securityng);
    c.EnableStartDate = Flag(s.EnableStartDate);
    c.EnableEndDate = Flag(s.EnableEndDate);
    c.StartTime = s.StartTime;
    c.EndTime = s.EndTime;
    c.OtherLogs = s.OtherLogs;
    return c;
}

std::optional<JobProblem> FindJobProblem(const JobChoice& c, std::int64_t now) {
    if (!c.Filter_Application && !c.Filter_Security && !c.Filter_System && !NamesChannels(c)) return JobProblem::kNoLog;
    if ((c.Filter_System || c.Filter_Application) && !c.Filter_Error && !c.Filter_Information && !c.Filter_Warning)
        return JobProblem::kNoEventType;
    if (c.Filter_Security && !c.Filter_Securityok && !c.Filter_Securityng) return JobProblem::kNoAuditType;
    // The pickers carry a time of day; comparing the full values amounts to
    // comparing the dates, since both carry the same one.
    if (c.StartTime > c.EndTime && !c.EnableStartDate && !c.EnableEndDate) return JobProblem::kEndBeforeStart;
    if (c.EndTime > now && !c.EnableEndDate) return JobProblem::kEndAfterToday;
    return std::nullopt;
}

app::UserMessage JobProblemMessage(JobProblem problem) {
    switch (problem) {
        case JobProblem::kNoLog: return Refusal("ｱﾌﾟﾘｹｰｼｮﾝ、ｾｷｭﾘﾃｨ、ｼｽﾃﾑの中から一つ以上選択してください。");
        case JobProblem::kNoEventType: return Refusal("情報、警告、ｴﾗｰの中から一つ以上選択してください。");
        case JobProblem::kNoAuditType: return Refusal("成功の監査、失敗の監査の中から一つ以上選択してください。");
        case JobProblem::kEndBeforeStart: return Refusal("終了日が開始日より前の日付に設定されています。");
        case JobProblem::kEndAfterToday: break;
    }
    return Refusal("終了日が本日より後の日付に設定されています。");
}

std::optional<app::UserMessage> CheckJob(const JobChoice& c, std::int64_t now) {
    OtherLogsError error;
    if (!ParseOtherLogs(c.OtherLogs, error)) return OtherLogsMessage(error);
    if (const auto problem = FindJobProblem(c, now)) return JobProblemMessage(*problem);
    return std::nullopt;
}

std::optional<app::UserMessage> AcceptJob(const JobChoice& c, std::int64_t now, app::AppSettings& s) {
    if (auto refusal = CheckJob(c, now)) return refusal;
    OtherLogsError error;
    s.Channels = ParseOtherLogs(c.OtherLogs, error).value_or(std::vector<std::string>());
    s.OtherLogs = c.OtherLogs;
    s.Filter_Application = Flag(c.Filter_Application);
    s.Filter_Error = Flag(c.Filter_Error);
    s.Filter_Information = Flag(c.Filter_Information);
    s.Filter_Security = Flag(c.Filter_Security);
    s.Filter_System = Flag(c.Filter_System);
    s.Filter_Warning = Flag(c.Filter_Warning);
    s.EnableStartDate = Flag(c.EnableStartDate);
    s.EnableEndDate = Flag(c.EnableEndDate);
    s.Filter_Securityok = Flag(c.Filter_Securityok);
    s.Filter_Securityng = Flag(c.Filter_Securityng);
    s.StartTime = app::LocalMidnight(c.StartTime);
    s.EndTime = app::LocalMidnight(c.EndTime);
    return std::nullopt;
}

std::uint32_t BuildTypeMask(const app::AppSettings& s) { return engine::TypeMask(RunOptionsFrom(s)); }

}  // namespace quorvin::run
