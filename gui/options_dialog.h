#pragma once
// The options dialog "オプション" (resource 152): the tooltip and browse
// switches, the initial distance of the start date, the alternate login.
// It takes the values of the form in and hands them back once OK found
// nothing to refuse. Windows build only.

#include "ui/dialog.h"

#include "rules/options.h"

namespace quorvin::app {

class OptionsDialog : public ui::Dialog {
public:
    explicit OptionsDialog(OptionsForm form) : form_(std::move(form)) {}

    // True when the user accepted with OK; Form() then holds the values.
    bool Run(HWND owner);
    const OptionsForm& Form() const { return form_; }

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;

private:
    bool Checked(int id) const;
    void Check(int id, bool on) const;
    // The login edits are usable exactly while the alternate login is on.
    void EnableLogin(bool on) const;
    void Accept();
    void LimitBytes(int id) const;

    OptionsForm form_;
};

}  // namespace quorvin::app
