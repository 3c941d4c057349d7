#pragma once
// The about box "クォーヴィンのバージョン情報" (resource 100): the version,
// the maker, the notice and a link to the maker's page. Windows build only.

#include "ui/dialog.h"
#include "ui/static_link.h"

namespace quorvin::app {

// The page behind the about box's link, and the notice it shows.
extern const char* const kHomePage;
extern const char* const kNoticeText;

class AboutDialog : public ui::Dialog {
public:
    AboutDialog() : link_(kHomePage) {}
    void Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    ui::StaticLink link_;
};

// The help command: starts "winhlp32 quorvin.hlp" and leaves it alone.
// With QUORVIN_HELP_LOG naming a file, the command line is appended to that
// file instead of being started (what the tests read).
void RunHelpViewer();

}  // namespace quorvin::app
