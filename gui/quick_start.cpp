#include "gui/quick_start.h"

#include "gui/resources/resource.h"

namespace quorvin::app {

namespace {
// The dialog results of the three buttons: next, stop, back.
constexpr INT_PTR kNext = 1, kStop = 2, kBack = 3;
}  // namespace

PageResult QuickStartPageDialog::Run(HWND owner) {
    int id = IDD_WELCOME;
    if (page_ == QuickStartPage::StepOne) id = IDD_STEP_ONE;
    if (page_ == QuickStartPage::StepTwo) id = IDD_STEP_TWO;
    switch (RunModal(owner, id)) {
    case kNext: return PageResult::Next;
    case kBack: return PageResult::Back;
    default: return PageResult::Stop;
    }
}

void QuickStartPageDialog::OnCommand(int id, int) {
    switch (id) {
    case IDOK: End(kNext); break;
    case IDCANCEL: End(kStop); break;
    case IDC_BACK: End(kBack); break;
    default: break;
    }
}

}  // namespace quorvin::app
