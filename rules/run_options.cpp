#include "rules/run_options.h"

#include <cstring>

namespace quorvin::run {

engine::RunOptions RunOptionsFrom(const app::AppSettings& s) {
    engine::RunOptions o;
    o.Filter_System = s.Filter_System;
    o.Filter_Application = s.Filter_Application;
    o.Filter_Security = s.Filter_Security;
    o.Filter_Information = s.Filter_Information;
    o.Filter_Warning = s.Filter_Warning;
    o.Filter_Error = s.Filter_Error;
    o.Filter_Securityok = s.Filter_Securityok;
    o.Filter_Securityng = s.Filter_Securityng;
    o.EnableStartDate = s.EnableStartDate;
    o.EnableEndDate = s.EnableEndDate;
    o.StartTime = s.StartTime;
    o.EndTime = s.EndTime;
    o.AnotherLoginName = s.AnotherLoginName;
    static_assert(sizeof o.Username == sizeof s.Username && sizeof o.Password == sizeof s.Password);
    std::memcpy(o.Username, s.Username, sizeof o.Username);
    std::memcpy(o.Password, s.Password, sizeof o.Password);
    return o;
}

}  // namespace quorvin::run
