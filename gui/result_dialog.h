#pragma once
// The result dialog (resource 151): a summary of the run per computer
// (rows read, logs failed, the first problem), the run's report,
// "コピー" and "閉じる". Resizable. Windows build only.

#include "rules/run_outcome.h"
#include "ui/dialog.h"

#include <string>
#include <vector>

namespace quorvin::run {

class ResultDialog final : public ui::Dialog {
public:
    // Without computers (a run over saved files) only the report shows.
    ResultDialog(const std::string& report, std::vector<ComputerOutcome> outcomes)
        : report_(report), outcomes_(SummaryOrder(std::move(outcomes))) {}

    void Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Copy() const;
    void FillSummary() const;
    // The summary and the report take the width, the report what height
    // is left; the buttons keep to the lower right corner.
    void Layout() const;

    const std::string& report_;
    std::vector<ComputerOutcome> outcomes_;
    // The dialog's first size (its least) and the summary's height, in pixels.
    SIZE least_{};
    int summaryHeight_ = 0;
};

}  // namespace quorvin::run
