#pragma once
// The settings record: every option of the program, one field per registry
// value under HKEY_LOCAL_MACHINE\SOFTWARE\ORVANTE\クォーヴィン, named after
// the value. Loaded once at start-up, written once at exit.

#include <cstdint>
#include <string>

namespace quorvin::app {

struct AppSettings {
    // The collection job: which logs, which event types, the date window.
    std::int32_t Filter_System = 0;
    std::int32_t Filter_Application = 0;
    std::int32_t Filter_Security = 0;
    std::int32_t Filter_Information = 0;
    std::int32_t Filter_Warning = 0;
    std::int32_t Filter_Error = 0;
    std::int32_t Filter_Securityok = 0;
    std::int32_t Filter_Securityng = 0;
    // 1 = no start bound ("from the beginning of the log"); 1 = no end bound.
    std::int32_t EnableStartDate = 0;
    std::int32_t EnableEndDate = 0;
    // Seconds since 1970-01-01 00:00 UTC; the local midnight of the day once
    // a start dialog has been accepted.
    std::int64_t StartTime = 0;
    std::int64_t EndTime = 0;

    std::int32_t DontShowComList = 0;
    std::int32_t DontShowMessageToolTip = 0;
    std::int32_t DayBefore = 0;
    std::uint32_t MaxComputer = 0;
    // Alternate account for the administrative shares.
    std::int32_t AnotherLoginName = 0;
    std::int32_t ShowOnlyServer = 0;
    char Username[34] = {};
    char Password[32] = {};
    std::int32_t bDebugTrace = 0;
    // The computer list: each name followed by ";". Composed when the main
    // window closes; read by the computer tree itself at start-up.
    std::string ComputerListToSave;
};

}  // namespace quorvin::app
