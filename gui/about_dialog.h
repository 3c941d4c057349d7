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

// The help command. With the compiled help file quorvin.hlp beside the
// program and the Windows help viewer in the Windows folder, it starts
// "winhlp32 quorvin.hlp" in the program's folder and leaves it alone;
// otherwise it opens the guide help\index.html beside the program with the
// shell (the user's browser). False, after a message over `owner`, when the
// guide could not be opened. With QUORVIN_HELP_LOG naming a file, what would
// be started is appended to that file instead ("winhlp32 quorvin.hlp", or
// "open " and the guide's path, CP932; what the tests read).
bool RunHelpViewer(HWND owner);

}  // namespace quorvin::app
