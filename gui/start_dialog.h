#pragma once
// The start dialog (resource 135): shows the collection job, lets the user
// change it and stores it through run::AcceptJob when "開始" passes the
// other logs' check and the five others. Windows build only.

#include "ui/dialog.h"

#include "rules/job.h"
#include "rules/other_logs.h"
#include "rules/settings.h"

namespace quorvin::run {

class StartDialog final : public ui::Dialog {
public:
    explicit StartDialog(app::AppSettings& settings) : settings_(settings) {}

    // IDOK once the job was accepted and stored, IDCANCEL when the user left
    // (the job unchanged), -1 when the dialog could not be shown.
    INT_PTR Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;

private:
    JobChoice ReadChoice() const;
    void Accept();
    void RefuseOtherLogs(const OtherLogsError& error) const;
    void EnablePickers() const;

    app::AppSettings& settings_;
};

}  // namespace quorvin::run
