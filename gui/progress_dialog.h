#pragma once
// The progress dialog (resource 146): the bar, the status line and "中止".
// The worker reaches it only by sending it messages (kSetPosition,
// kTakeRows, kEndRun); only the worker ends it.
// Esc, Enter and "中止" alike ask the run to stop, so the dialog stays open
// until the worker's last act. Windows build only.

#include "rules/row_batch.h"
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
    // Sent by the worker: lParam a RowHandover*, whose rows go to `rows`
    // and whose progress text the status line shows.
    static constexpr UINT kTakeRows = WM_APP + 3;

    // `shown` is called once the dialog's window exists, before the user
    // sees it: the run starts its worker there, so the worker's end of the
    // dialog always finds the window.
    ProgressDialog(std::atomic<int>& stopRequested, std::function<void(HWND)> shown,
                   std::function<void(std::vector<engine::EventRow>&)> rows)
        : stopRequested_(stopRequested), shown_(std::move(shown)), rows_(std::move(rows)) {}

    // 1 when the worker ended it, -1 when it could not be shown.
    INT_PTR Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Stop();
    void SetPosition(int position);
    void TakeRows(RowHandover& handover);

    std::atomic<int>& stopRequested_;
    std::function<void(HWND)> shown_;
    std::function<void(std::vector<engine::EventRow>&)> rows_;
    // Test seams, read at start (docs/ui.md): a file that gets every
    // position, and a position at which the dialog presses "中止" itself.
    std::wstring positionLog_;
    int stopAtPosition_ = -1;
};

}  // namespace quorvin::run
