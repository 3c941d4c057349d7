#pragma once
// The result dialog (resource 151): the run's report, "コピー" and "閉じる".
// Windows build only.

#include "ui/dialog.h"

#include <string>

namespace quorvin::run {

class ResultDialog final : public ui::Dialog {
public:
    explicit ResultDialog(const std::string& report) : report_(report) {}

    void Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Copy() const;

    const std::string& report_;
};

}  // namespace quorvin::run
