#pragma once
// The summary window (表示 → 集計): the rows the event list shows, counted
// by computer, log, type, source and event ID (views::EventSummary) in a
// list sortable by every column, under a chart of the events per hour or
// per day stacked by type. It is a window of its own, owned by the main
// window and kept open beside the list: it follows the rows (a finished
// run, a new filter, rows removed). Double-click or Enter on a group hands
// the group to its host, which sets the filter to it; the window then
// closes so the list shows. Esc closes it. Windows build only.

#include <vector>

#include "rules/event_summary.h"
#include "rules/settings.h"
#include "rules/shown_rows.h"
#include "ui/list_view.h"
#include "ui/window.h"

namespace quorvin::views {

class SummaryHost {
public:
    virtual ~SummaryHost() = default;
    // The user chose `group`: the event list is to show its rows.
    virtual void ShowGroup(const SummaryRow& group) = 0;
};

// The chart pane: bars over time stacked by type, with axes, their
// labels and a legend, drawn with GDI into a bitmap and then onto the screen.
class SummaryChartPane final : public ui::Window {
public:
    bool Create(HWND parent, int id);
    void SetChart(SummaryChart chart, HFONT font);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc, const RECT& area) const;

    SummaryChart chart_;
    HFONT font_ = nullptr;
};

class SummaryWindow final : public ui::Window {
public:
    SummaryWindow(SummaryHost& host, const EventTable& table, const ShownRows& shown, app::SummarySize& size)
        : host_(host), table_(table), shown_(shown), size_(size) {}

    // Opens the window over `owner`, or brings it forward; false when it
    // could not be made.
    bool Open(HWND owner);
    bool IsOpen() const { return Handle() != nullptr; }
    // The rows or the filter changed: counted again shortly after (once
    // for many changes in a row), unless held.
    void RowsChanged();
    // While a run adds rows the window waits, disabled; counted again when it ends.
    void Hold(bool held);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(int id, NMHDR& header, LRESULT& result) override;

private:
    bool CreateChildren();
    void Fill();
    void Layout() const;
    void SortBy(int column);
    void ChooseGroup(int row);
    void PostToSelf(UINT message, WPARAM wParam);
    void FillDisplayInfo(LVITEMW& item) const;

    SummaryHost& host_;
    const EventTable& table_;
    const ShownRows& shown_;
    app::SummarySize& size_;
    SummaryChartPane chart_;
    ui::ListView list_;
    std::vector<SummaryRow> rows_;
    int sortColumn_ = -1;  // -1: the summary's own order
    bool descending_ = false;
    bool held_ = false;
};

}  // namespace quorvin::views
