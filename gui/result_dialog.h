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

// Puts `cp932` on the clipboard as CF_UNICODETEXT (converted from CP932),
// CF_TEXT (the CP932 bytes) and CF_LOCALE (Japanese, naming CF_TEXT's code
// page). False when the clipboard could not be opened or filled.
bool PutTextOnClipboard(HWND owner, const std::string& cp932);

}  // namespace quorvin::run
