#pragma once
// The progress dialog (resource 146): the bar, the status line and "中止".
// The worker reaches it only by sending it messages (kSetPosition,
// kEndRun) and by setting the status line's text; only the worker ends it.
// Esc, Enter and "中止" alike ask the run to stop, so the dialog stays open
// until the worker's last act. Windows build only.

#include "ui/dialog.h"

#include <atomic>
#include <functional>
#include <string>

namespace quorvin::run {

class ProgressDialog final : public ui::Dialog {
public:
    // Sent by the worker: wParam the bar's position (0 to 1000), drawn at once.
    static constexpr UINT kSetPosition = WM_APP + 1;
    // Sent by the worker as its last act: ends the dialog with 1.
    static constexpr UINT kEndRun = WM_APP + 2;

    // `shown` is called once the dialog's window exists, before the user
    // sees it: the run starts its worker there, so the worker's end of the
    // dialog always finds the window.
    ProgressDialog(std::atomic<int>& stopRequested, std::function<void(HWND)> shown)
        : stopRequested_(stopRequested), shown_(std::move(shown)) {}

    // 1 when the worker ended it, -1 when it could not be shown.
    INT_PTR Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Stop();
    void SetPosition(int position);

    std::atomic<int>& stopRequested_;
    std::function<void(HWND)> shown_;
    // Test seams, read at start (docs/ui.md): a file that gets every
    // position, and a position at which the dialog presses "中止" itself.
    std::wstring positionLog_;
    int stopAtPosition_ = -1;
};

}  // namespace quorvin::run
