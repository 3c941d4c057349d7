#pragma once
// The event list: the right pane of the main window, a report-style virtual
// list view (LVS_OWNERDATA) whose rows are the collected events of the last
// run. The rows live in an EventTable; the control keeps only their number
// and the selection, and asks for texts and images as it draws
// (LVN_GETDISPINFO). Messages that put rows into a list (LVM_INSERTITEM,
// LVM_SETITEMTEXT, LVM_SETITEM, LVM_DELETEITEM, LVM_DELETEALLITEMS) change
// the table, so the list answers them as a list that stores its rows does,
// and searches by text (typing in the list, LVM_FINDITEM) look in the table.
// Sorting by a column (a second click turns the order round; the header's
// arrow shows it), the message tooltip, the position text of the status
// bar (the current row and the row count), the detail dialog (double-click
// or Enter), copying the selected rows and selecting all are its own.
// Several rows can be selected. Windows build only.

#include "ui/image_list.h"
#include "ui/list_view.h"
#include "ui/subclass.h"
#include "ui/tooltip.h"

#include "engine/collection_view.h"
#include "rules/event_table.h"
#include "rules/shown_rows.h"
#include "rules/export.h"
#include "rules/settings.h"
#include "rules/sort.h"

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
    // The number of rows, or of rows shown, changed.
    virtual void ShownCountChanged() = 0;
};

// Moves `rows` to the end of the event list `list`, in one message; `rows`
// is empty after. The rows of a run enter the list here.
void AppendEventRows(HWND list, std::vector<engine::EventRow>& rows);

class EventList : public ui::Subclass {
public:
    // AppendEventRows's message: lParam a std::vector<engine::EventRow>*.
    static constexpr UINT kAppendRows = WM_APP + 40;

    EventList(EventListHost& host, const app::AppSettings& settings) : host_(host), settings_(settings) {}

    // Creates the list control as a child of `parent` with its image list; false on failure.
    bool Create(HWND parent, int id);
    // The initial update: the eight columns, the tooltip, the images.
    void InitialUpdate();

    // The rows shown (all of them unless a filter is set), and all rows.
    int RowCount() const { return static_cast<int>(shown_.Count()); }
    int TotalCount() const { return static_cast<int>(table_.Count()); }
    const EventTable& Table() const { return table_; }
    // The rows shown, as an index over the table.
    const ShownRows& Shown() const { return shown_; }
    // The rows as the list shows them, in its current order, and the column titles.
    std::vector<run::ExportRow> Rows() const { return shown_.ExportRows(); }
    // Shows only the rows `filter` matches, now and as rows arrive; the
    // selection goes.
    void SetFilter(EventFilter filter);
    bool Filtered() const { return !shown_.Filter().ShowsEverything(); }
    run::ExportRow Titles() const;
    // The row the last double-click hit (-1 for none).
    int CurrentEventIndex() const { return currentEvent_; }
    // The row Enter opens and the position text tells: the focused row
    // while it is selected, else the first selected row; -1 for none.
    int CurrentRow() const;
    // Ctrl+C: the selected rows, in the list's order, under a line of the
    // column titles, on the clipboard as tab-separated text; false when
    // none is selected or the clipboard refused.
    bool CopySelection() const;
    // Ctrl+A: every shown row becomes selected.
    void SelectAll() const;

    // A notification of the list control (column clicks); false when not ours.
    bool OnNotify(NMHDR& header, LRESULT& result);
    // Every message the loop takes goes here first: the list's own and its
    // children's are shown to the tooltip unless DontShowMessageToolTip is 1.
    void PreTranslate(const MSG& message) const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    ui::ListView List() const { return ui::ListView(Handle()); }
    void SortByColumn(int column);
    // The selected shown rows and the focused one (-1: none) moved to
    // where `newPlace` (a table index's new index) put their events.
    void MoveSelection(const std::vector<std::size_t>& selected, std::size_t focused,
                       const std::vector<std::size_t>& newPlace, bool allSelected);
    // Rows came or went or changed: the list is no longer in a sorted
    // order, and the header shows no arrow.
    void Unsorted();
    // The table indexes of the selected rows, in the list's order.
    std::vector<std::size_t> SelectedTableRows() const;
    // "row/count" of the selected row into the status bar; called whenever
    // the selection or the row count may have changed, so it never goes stale.
    void ShowPosition() const;
    // The detail dialog on `row`, which becomes the current event index.
    void OpenDetail(int row);
    void UpdateToolText(POINT client);
    void FillDisplayInfo(LVITEMW& item) const;
    // The control's row count follows the table's; `keepView`: rows were
    // only added at the end, nothing drawn so far moves.
    void CountChanged(bool keepView);
    // The row a search (LVFINDINFO of an A or a W message) finds from row
    // `first` on; -1 for none.
    int FindItem(int first, const LVFINDINFOW& find, bool wide) const;
    // The table's index of shown row `row`, or the table's end.
    std::size_t TableIndex(int row) const;
    // Clicks and keys: the pane becomes active, Enter and a double-click
    // open the detail dialog, and the position text follows the selection.
    LRESULT OnInput(UINT message, WPARAM wParam, LPARAM lParam);
    // A run's rows, appended to the table and shown when they match.
    LRESULT OnAppendRows(std::vector<engine::EventRow>& rows);
    // The row messages of other programs and of our own code, on the table.
    LRESULT OnRowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT InsertItem(const LVITEMW& item, std::string text);
    LRESULT SetItem(int row, const LVITEMW& item, std::string text, bool textOnly);

    EventListHost& host_;
    const app::AppSettings& settings_;
    ui::ImageList images_;
    EventTable table_;
    ShownRows shown_{table_};
    ui::ToolTip tooltip_;
    std::string toolText_;
    int currentEvent_ = -1;
    SortState sort_;
    // True while the detail dialog is open: its steps select one row alone.
    bool detailOpen_ = false;
    // True while a sort puts the selection back row by row.
    bool movingSelection_ = false;
};

}  // namespace quorvin::views
