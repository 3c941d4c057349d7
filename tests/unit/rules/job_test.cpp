#include "rules/job.h"
#include "rules/other_logs.h"

#include <gtest/gtest.h>

#include "support/time_zone.h"

using namespace quorvin::run;
using quorvin::app::AppSettings;

namespace {

constexpr std::int64_t kToday = 1042588800;  // 2003-01-15 00:00 UTC
constexpr std::int64_t kNow = kToday + 15 * 3600;

// All logs and types chosen, the window from three days back to today.
JobChoice Everything() {
    JobChoice c;
    c.Filter_System = c.Filter_Security = c.Filter_Application = 1;
    c.Filter_Information = c.Filter_Error = c.Filter_Warning = 1;
    c.Filter_Securityok = c.Filter_Securityng = 1;
    c.EnableStartDate = 0;
    c.EnableEndDate = 0;
    c.StartTime = kNow - 3 * 86400 - 3600;
    c.EndTime = kNow - 3600;
    return c;
}

std::string RefusalOf(const JobChoice& c, std::int64_t now = kNow) {
    const auto refusal = CheckJob(c, now);
    if (!refusal) return "accepted";
    EXPECT_EQ(refusal->caption, "注意");
    EXPECT_EQ(refusal->icon, quorvin::app::MessageIcon::Exclamation);
    EXPECT_EQ(refusal->buttons, quorvin::app::MessageButtons::Ok);
    return refusal->text;
}

const std::string kNoLog = "ｱﾌﾟﾘｹｰｼｮﾝ、ｾｷｭﾘﾃｨ、ｼｽﾃﾑの中から一つ以上選択してください。";
const std::string kNoType = "情報、警告、ｴﾗｰの中から一つ以上選択してください。";
const std::string kNoAudit = "成功の監査、失敗の監査の中から一つ以上選択してください。";
const std::string kEndBeforeStart = "終了日が開始日より前の日付に設定されています。";
const std::string kEndAfterToday = "終了日が本日より後の日付に設定されています。";

}  // namespace

TEST(Job, OnlyTheStartButtonStartsARun) {
    EXPECT_TRUE(JobAccepted(1));     // "開始"
    EXPECT_FALSE(JobAccepted(2));    // Cancel, Esc, the close box
    EXPECT_FALSE(JobAccepted(-1));   // the dialog could not be shown
    EXPECT_FALSE(JobAccepted(0));
}

TEST(Job, LogAndTypeChecksComeInOrder) {
    JobChoice c = Everything();
    c.Filter_System = c.Filter_Security = c.Filter_Application = 0;
    c.Filter_Information = c.Filter_Error = c.Filter_Warning = c.Filter_Securityok = c.Filter_Securityng = 0;
    c.EndTime = kNow + 86400;  // also wrong, but the first check wins
    EXPECT_EQ(RefusalOf(c), kNoLog);

    c = Everything();
    c.Filter_System = c.Filter_Application = 0;
    c.Filter_Information = c.Filter_Error = c.Filter_Warning = 0;
    EXPECT_EQ(RefusalOf(c), "accepted");  // Security alone needs no event type
    c.Filter_Securityok = 0;
    EXPECT_EQ(RefusalOf(c), "accepted");
    c.Filter_Securityng = 0;
    EXPECT_EQ(RefusalOf(c), kNoAudit);

    c = Everything();
    c.Filter_Security = c.Filter_Application = 0;
    c.Filter_Information = c.Filter_Error = c.Filter_Warning = 0;  // only the audit boxes
    EXPECT_EQ(RefusalOf(c), kNoType);
    c.Filter_System = 0;
    c.Filter_Application = 1;
    EXPECT_EQ(RefusalOf(c), kNoType);
    c.Filter_Warning = 1;
    EXPECT_EQ(RefusalOf(c), "accepted");
}

TEST(Job, DateChecksHonourTheOpenEnds) {
    JobChoice c = Everything();
    c.StartTime = c.EndTime + 86400;
    EXPECT_EQ(RefusalOf(c), kEndBeforeStart);
    c.EnableStartDate = 1;
    EXPECT_EQ(RefusalOf(c), "accepted");
    c.EnableStartDate = 0;
    c.EnableEndDate = 1;
    EXPECT_EQ(RefusalOf(c), "accepted");

    c = Everything();
    c.StartTime = c.EndTime;
    EXPECT_EQ(RefusalOf(c), "accepted");  // one whole day
    c.EndTime = kNow;
    c.StartTime = kNow;
    EXPECT_EQ(RefusalOf(c), "accepted");  // today
    c.EndTime = kNow + 1;
    EXPECT_EQ(RefusalOf(c), kEndAfterToday);
    c.EndTime = kNow + 86400;
    c.EnableEndDate = 1;
    EXPECT_EQ(RefusalOf(c), "accepted");
}

TEST(Job, RefusalLeavesTheJobAndAcceptanceStoresEveryField) {
    AppSettings s;
    s.Filter_System = 1;
    s.StartTime = 111;
    JobChoice c = Everything();
    c.Filter_System = c.Filter_Security = c.Filter_Application = 0;
    EXPECT_TRUE(AcceptJob(c, kNow, s).has_value());
    EXPECT_EQ(s.Filter_System, 1);
    EXPECT_EQ(s.StartTime, 111);

    c = Everything();
    c.Filter_Security = 0;
    c.Filter_Warning = 7;  // any non-zero state counts as checked and is stored as 1
    c.EnableStartDate = 1;
    c.EnableEndDate = 1;
    c.EndTime = kNow + 86400;  // a disabled picker is stored too
    EXPECT_FALSE(AcceptJob(c, kNow, s).has_value());
    EXPECT_EQ(s.Filter_Security, 0);
    EXPECT_EQ(s.Filter_Warning, 1);
    EXPECT_EQ(s.Filter_Application, 1);
    EXPECT_EQ(s.EnableStartDate, 1);
    EXPECT_EQ(s.EnableEndDate, 1);

    const JobChoice shown = ChoiceFromSettings(s);
    EXPECT_EQ(shown.Filter_Warning, 1);
    EXPECT_FALSE(StartPickerEnabled(shown));
    EXPECT_FALSE(EndPickerEnabled(shown));
    EXPECT_EQ(shown.StartTime, s.StartTime);
}

TEST(Job, AcceptedDatesAreCutToLocalMidnightAcrossDaylightSaving) {
    QUORVIN_REQUIRE_TZ();
    quorvin::testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    AppSettings s;
    JobChoice c = Everything();
    // 2003-03-30, the day summer time starts: 15:00 CEST is 13:00 UTC; the
    // day began at 00:00 CET, 23:00 UTC the day before.
    const std::int64_t springDay = 1049029200;  // 2003-03-30 13:00 UTC
    c.StartTime = springDay - 86400;             // 2003-03-29 14:00 CET
    c.EndTime = springDay;
    ASSERT_FALSE(AcceptJob(c, springDay + 60, s).has_value());
    EXPECT_EQ(s.StartTime, 1048892400);  // 2003-03-28 23:00 UTC
    EXPECT_EQ(s.EndTime, 1048978800);    // 2003-03-29 23:00 UTC
    // Accepting again keeps midnights as they are.
    c = ChoiceFromSettings(s);
    ASSERT_FALSE(AcceptJob(c, springDay + 60, s).has_value());
    EXPECT_EQ(s.EndTime, 1048978800);

    // 2003-10-26 in New York (then: summer time from the first Sunday of
    // April to the last Sunday of October): 23:30 EST is 04:30 UTC the next
    // day; the day began at 00:00 EDT, 04:00 UTC.
    quorvin::testing::ScopedTimeZone ny("EST5EDT,M4.1.0,M10.5.0");
    c.StartTime = c.EndTime = 1067229000;  // 2003-10-27 04:30 UTC
    ASSERT_FALSE(AcceptJob(c, c.EndTime, s).has_value());
    EXPECT_EQ(s.EndTime, 1067140800);  // 2003-10-26 04:00 UTC
}

TEST(Job, TypeMaskHasOneBitPerChosenType) {
    AppSettings s;
    EXPECT_EQ(BuildTypeMask(s), 0u);
    s.Filter_Error = 1;
    EXPECT_EQ(BuildTypeMask(s), 1u);
    s.Filter_Warning = 1;
    s.Filter_Securityng = 1;
    EXPECT_EQ(BuildTypeMask(s), 19u);
    s.Filter_Information = s.Filter_Securityok = 1;
    s.Filter_System = s.Filter_Security = s.Filter_Application = 0;  // logs do not count
    EXPECT_EQ(BuildTypeMask(s), 31u);
}

// The field "その他のログ": each text, the channels it gives or the start of
// its refusal; then a job of channels alone, and what acceptance stores.
TEST(Job, OtherLogsAreParsedCheckedAndStored) {
    const std::string longName(256, 'a');
    const struct {
        std::string text;
        std::vector<std::string> channels;
        std::string refusal;  // empty: accepted
    } cases[] = {
        {"", {}, ""},
        {" ; ;\t", {}, ""},
        {"Microsoft-Windows-PowerShell/Operational", {"Microsoft-Windows-PowerShell/Operational"}, ""},
        {" Setup ;\tA/B\t;;\x81\x40" "C\x81\x40", {"Setup", "A/B", "C"}, ""},
        {"Setup;SETUP; setup ;Other", {"Setup", "Other"}, ""},
        {"\x83\x5c\x83\x58;\x83\x5c\x83\x78", {"\x83\x5c\x83\x58", "\x83\x5c\x83\x78"}, ""},  // ソス, ソベ: trail bytes stay exact
        {"ok;" + std::string(255, 'b'), {"ok", std::string(255, 'b')}, ""},
        {"ok;" + longName, {}, "その他のログ: 「" + longName + "」は長すぎます。"},
        {"ok;a\\b", {}, "その他のログ: 「a\\b」にﾁｬﾈﾙ名に使えない文字"},
        {"a:b", {}, "その他のログ: 「a:b」に"},
        {"x<y>", {}, "その他のログ: 「x<y>」に"},
        {"50%", {}, "その他のログ: 「50%」に"},
        {"tab\x01", {}, "その他のログ: 「tab\x01」に"},
        {"broken\x81", {}, "その他のログ: 「broken\x81」の文字が途中で切れています。"},
        {std::string(4097, ';'), {}, "その他のログが長すぎます。"},
    };
    for (const auto& c : cases) {
        OtherLogsError error;
        const auto channels = ParseOtherLogs(c.text, error);
        ASSERT_EQ(channels.has_value(), c.refusal.empty()) << c.text;
        if (channels) {
            EXPECT_EQ(*channels, c.channels) << c.text;
        } else {
            EXPECT_EQ(OtherLogsMessage(error).text.rfind(c.refusal, 0), 0u) << OtherLogsMessage(error).text;
        }
    }

    JobChoice choice = Everything();
    choice.Filter_System = choice.Filter_Security = choice.Filter_Application = 0;
    choice.OtherLogs = " ; ";
    EXPECT_EQ(RefusalOf(choice), kNoLog);
    choice.OtherLogs = "a|b";
    EXPECT_EQ(RefusalOf(choice).rfind("その他のログ: ", 0), 0u);
    choice.OtherLogs = "Setup; setup ;Application ";
    AppSettings s;
    s.Channels = {"stale"};
    ASSERT_FALSE(AcceptJob(choice, kNow, s).has_value());
    EXPECT_EQ(s.OtherLogs, "Setup; setup ;Application ");
    EXPECT_EQ(s.Channels, (std::vector<std::string>{"Setup", "Application"}));
    EXPECT_EQ(ChoiceFromSettings(s).OtherLogs, s.OtherLogs);
}
