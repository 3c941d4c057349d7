#include "gui/start_dialog.h"

#include "core/local_time.h"
#include "gui/resources/resource.h"
#include "ui/message_box.h"

#include <ctime>

namespace quorvin::run {

namespace {

// Each check box and the field of the choice it shows.
struct Box {
    int id;
    std::int32_t JobChoice::*field;
};
constexpr Box kBoxes[] = {
    {IDC_FROM_LOG_START, &JobChoice::EnableStartDate},
    {IDC_TO_LOG_END, &JobChoice::EnableEndDate},
    {IDC_LOG_SYSTEM, &JobChoice::Filter_System},
    {IDC_LOG_SECURITY, &JobChoice::Filter_Security},
    {IDC_LOG_APPLICATION, &JobChoice::Filter_Application},
    {IDC_TYPE_INFORMATION, &JobChoice::Filter_Information},
    {IDC_TYPE_ERROR, &JobChoice::Filter_Error},
    {IDC_TYPE_WARNING, &JobChoice::Filter_Warning},
    {IDC_TYPE_AUDIT_SUCCESS, &JobChoice::Filter_Securityok},
    {IDC_TYPE_AUDIT_FAILURE, &JobChoice::Filter_Securityng},
};

// A picker shows the local date of `time` and keeps its time of day. A time
// the C library cannot convert leaves the picker at its own default (today).
void SetPicker(HWND picker, std::int64_t time) {
    std::tm local{};
    if (!app::ToLocalCalendar(time, local)) return;
    SYSTEMTIME value{};
    value.wYear = static_cast<WORD>(local.tm_year + 1900);
    value.wMonth = static_cast<WORD>(local.tm_mon + 1);
    value.wDay = static_cast<WORD>(local.tm_mday);
    value.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    value.wHour = static_cast<WORD>(local.tm_hour);
    value.wMinute = static_cast<WORD>(local.tm_min);
    value.wSecond = static_cast<WORD>(local.tm_sec);
    static_cast<void>(SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value)));
}

// The picker's local date and time as a time value; `fallback` when it holds none.
std::int64_t ReadPicker(HWND picker, std::int64_t fallback) {
    SYSTEMTIME value{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value)) != GDT_VALID) return fallback;
    std::tm local{};
    local.tm_year = value.wYear - 1900;
    local.tm_mon = value.wMonth - 1;
    local.tm_mday = value.wDay;
    local.tm_hour = value.wHour;
    local.tm_min = value.wMinute;
    local.tm_sec = value.wSecond;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    return time == static_cast<std::time_t>(-1) ? fallback : static_cast<std::int64_t>(time);
}

}  // namespace

INT_PTR StartDialog::Run(HWND owner) { return RunModal(owner, IDD_START); }

bool StartDialog::OnInit() {
    const JobChoice choice = ChoiceFromSettings(settings_);
    for (const Box& box : kBoxes)
        static_cast<void>(CheckDlgButton(Handle(), box.id, choice.*box.field ? BST_CHECKED : BST_UNCHECKED));
    SetPicker(Item(IDC_START_DATE), choice.StartTime);
    SetPicker(Item(IDC_END_DATE), choice.EndTime);
    static_cast<void>(SendMessageW(Item(IDC_OTHER_LOGS), EM_SETLIMITTEXT, kMostOtherLogsBytes / 2, 0));
    if (!SetItemText(IDC_OTHER_LOGS, choice.OtherLogs)) static_cast<void>(SetItemText(IDC_OTHER_LOGS, ""));
    EnablePickers();
    return true;
}

JobChoice StartDialog::ReadChoice() const {
    JobChoice choice;
    for (const Box& box : kBoxes) choice.*box.field = IsDlgButtonChecked(Handle(), box.id) == BST_CHECKED ? 1 : 0;
    choice.StartTime = ReadPicker(Item(IDC_START_DATE), settings_.StartTime);
    choice.EndTime = ReadPicker(Item(IDC_END_DATE), settings_.EndTime);
    choice.OtherLogs = ItemText(IDC_OTHER_LOGS);
    return choice;
}

void StartDialog::EnablePickers() const {
    const JobChoice choice = ReadChoice();
    EnableWindow(Item(IDC_START_DATE), StartPickerEnabled(choice));
    EnableWindow(Item(IDC_END_DATE), EndPickerEnabled(choice));
}

// A refusal of the other logs' text leaves the caret in its field.
void StartDialog::RefuseOtherLogs(const OtherLogsError& error) const {
    ui::ShowMessage(Handle(), OtherLogsMessage(error));
    static_cast<void>(SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_OTHER_LOGS)), TRUE));
}

void StartDialog::Accept() {
    JobChoice choice = ReadChoice();
    std::size_t character = 0;
    OtherLogsError error;
    if (!ui::ExactText(Item(IDC_OTHER_LOGS), choice.OtherLogs, character)) {
        RefuseOtherLogs({OtherLogsProblem::kNoCp932Form, {}});
        return;
    }
    if (!ParseOtherLogs(choice.OtherLogs, error)) {
        RefuseOtherLogs(error);
        return;
    }
    if (const auto refusal = AcceptJob(choice, static_cast<std::int64_t>(std::time(nullptr)), settings_)) {
        ui::ShowMessage(Handle(), *refusal);
        return;
    }
    End(IDOK);
}

void StartDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDOK: Accept(); break;
    case IDC_FROM_LOG_START:
    case IDC_TO_LOG_END:
        if (code == BN_CLICKED) EnablePickers();
        break;
    default: Dialog::OnCommand(id, code); break;
    }
}

}  // namespace quorvin::run
