#pragma once
// The event detail dialog (resource 147): one row of the event list field
// by field, with steps to the previous and the next row shown. It reads the
// list's rows; its steps move the list's selection along and scroll the
// row into view. Windows build only.

#include "rules/shown_rows.h"
#include "ui/dialog.h"

namespace quorvin::views {

class EventDetailDialog final : public ui::Dialog {
public:
    // `current` is the current event index: the row shown, moved by the steps.
    EventDetailDialog(HWND list, const ShownRows& rows, int& current) : list_(list), rows_(rows), current_(current) {}

    void Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Fill();
    void Step(int by);

    HWND list_;
    const ShownRows& rows_;
    int& current_;
    int row_ = 0;
};

}  // namespace quorvin::views
