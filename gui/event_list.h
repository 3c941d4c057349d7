#pragma once
// The event list: the right pane of the main window, a report-style list
// view whose rows are the collected events of the last run. The control is
// the only store of the events: rows are added and read back through it.
// Sorting by a column, the message tooltip and the position text of the
// status bar are its own. Windows build only.

#include "ui/image_list.h"
#include "ui/list_view.h"
#include "ui/subclass.h"
#include "ui/tooltip.h"

#include "engine/collection_view.h"
#include "rules/export.h"
#include "rules/settings.h"

#include <vector>

namespace quorvin::views {

// What the list tells the main window.
class EventListHost {
public:
    virtual ~EventListHost() = default;
    // The list got the focus or a click: it is the active view.
    virtual void ListActivated() = 0;
    // Text for the first pane of the status bar.
    virtual void ShowPosition(const std::string& text) = 0;
    // A row was added, by the program or by anyone who sent the message.
    virtual void RowAdded() = 0;
};

// Appends `row` at the end of the list control `list`: its first column
// with its image, then the other columns. Every row enters the list here,
// from the window's own commands and from a run's worker alike.
void AppendEventRow(HWND list, const engine::EventRow& row);

class EventList : public ui::Subclass {
public:
    EventList(EventListHost& host, const app::AppSettings& settings) : host_(host), settings_(settings) {}

    // Creates the list control as a child of `parent` with its image list; false on failure.
    bool Create(HWND parent, int id);
    // The initial update: the eight columns, the tooltip, the images.
    void InitialUpdate();

    int RowCount() const { return List().ItemCount(); }
    void AppendRow(const engine::EventRow& row) const;
    void ClearRows() const;
    // The rows as the list shows them, in its current order, and the column titles.
    std::vector<run::ExportRow> Rows() const;
    run::ExportRow Titles() const;
    // The row the last double-click hit (-1 for none).
    int CurrentEventIndex() const { return currentEvent_; }

    // A notification of the list control (column clicks); false when not ours.
    bool OnNotify(NMHDR& header, LRESULT& result);
    // Every message the loop takes goes here first: the list's own and its
    // children's are shown to the tooltip unless DontShowMessageToolTip is 1.
    void PreTranslate(const MSG& message) const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    ui::ListView List() const { return ui::ListView(Handle()); }
    void SortByColumn(int column) const;
    void UpdateToolText(POINT client);

    EventListHost& host_;
    const app::AppSettings& settings_;
    ui::ImageList images_;
    ui::ToolTip tooltip_;
    std::string toolText_;
    int currentEvent_ = -1;
};

}  // namespace quorvin::views
