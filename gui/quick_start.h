#pragma once
// The quick-start wizard's pages (resources 155, 153 and 154): plain modal
// dialogs whose only answer is the button that closed them. Windows build only.

#include "ui/dialog.h"

#include "rules/quick_start.h"

namespace quorvin::app {

class QuickStartPageDialog : public ui::Dialog {
public:
    explicit QuickStartPageDialog(QuickStartPage page) : page_(page) {}
    // Shows the page over `owner`; a page that cannot be shown answers Stop.
    PageResult Run(HWND owner);

protected:
    void OnCommand(int id, int code) override;

private:
    QuickStartPage page_;
};

}  // namespace quorvin::app
