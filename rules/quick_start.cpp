#include "rules/quick_start.h"

namespace quorvin::app {

UserMessage NoComputerMessage() {
    return {"ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。説明/ｸｲｯｸｽﾀｰﾄを中止します。", "注意"};
}

void RunQuickStart(QuickStartHost& host) {
    if (host.ShowPage(QuickStartPage::Welcome) == PageResult::Stop) return;
    // Step 1; back shows the welcome page again, which may stop the wizard.
    for (;;) {
        const PageResult step = host.ShowPage(QuickStartPage::StepOne);
        if (step == PageResult::Stop) return;
        if (step != PageResult::Back) break;
        if (host.ShowPage(QuickStartPage::Welcome) == PageResult::Stop) return;
    }
    // The add-computer dialog and step 2; back on step 2 adds again.
    for (;;) {
        host.AddComputers();
        if (host.TreeItemCount() <= 1) {
            host.ShowMessage(NoComputerMessage());
            return;
        }
        const PageResult step = host.ShowPage(QuickStartPage::StepTwo);
        if (step == PageResult::Stop) return;
        if (step == PageResult::Back) continue;
        host.StartCollection();
        return;
    }
}

}  // namespace quorvin::app
