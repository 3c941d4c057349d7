#include "gui/event_list.h"

#include "gui/event_detail_dialog.h"
#include "gui/resources/resource.h"
#include "rules/event_list_rules.h"
#include "rules/sort.h"

#include <utility>
#include <windowsx.h>

namespace quorvin::views {

namespace {
constexpr COLORREF kLightGrey = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);
const std::pair<int, COLORREF> kImages[] = {
    {IDB_EVENT_INFORMATION, kLightGrey}, {IDB_EVENT_WARNING, kWhite},       {IDB_EVENT_ERROR, kWhite},
    {IDB_EVENT_AUDIT_SUCCESS, kWhite},   {IDB_EVENT_AUDIT_FAILURE, kWhite},
};
}  // namespace

bool EventList::Create(HWND parent, int id) {
    // The view frees the images itself: the control must not.
    HWND list = ui::ListView::Create(parent, id, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                                     WS_EX_CLIENTEDGE);
    if (!list) return false;
    if (!Attach(list)) {
        ui::Discard(list);
        return false;
    }
    // Index 0 information, 1 warning, 2 error, 3 audit success, 4 audit failure.
    // A list without all its pictures shows none rather than wrong ones.
    bool made = images_.Create(16, 16, 1, 16);
    for (const auto& [bitmap, transparent] : kImages) made = made && images_.AddBitmap(bitmap, transparent);
    if (!made) images_.Destroy();
    List().SetExtendedStyle(List().ExtendedStyle() | LVS_EX_FULLROWSELECT);
    return true;
}

void EventList::InitialUpdate() {
    const run::ExportRow& titles = run::EventColumnTitles();
    // Each new column goes in front, from the message column down to the icon column.
    for (int column = kEventColumnCount - 1; column >= 0; --column) {
        const std::string& title = titles[static_cast<std::size_t>(column)];
        List().InsertColumn(0, title, EventColumnWidth(column, List().StringWidth(title)));
    }
    tooltip_ = ui::ToolTip(ui::ToolTip::Create(Handle()));
    if (tooltip_.Handle()) {
        tooltip_.Activate(true);
        tooltip_.SetAutomaticDelay(0);
        tooltip_.AddWindowTool(Handle(), "");
    }
    if (images_.Handle()) List().SetImageList(images_.Handle(), LVSIL_SMALL);
}

void AppendEventRow(HWND list, const engine::EventRow& row) {
    static_assert(std::tuple_size<decltype(row.columns)>::value == kEventColumnCount);
    const ui::ListView view(list);
    const int index = view.InsertItem(view.ItemCount(), row.columns[0], row.image);
    if (index < 0) return;
    for (int column = 1; column < kEventColumnCount; ++column)
        view.SetItemText(index, column, row.columns[static_cast<std::size_t>(column)]);
}

void EventList::AppendRow(const engine::EventRow& row) const { AppendEventRow(List().Handle(), row); }

void EventList::ClearRows() const { List().DeleteAll(); }

std::vector<run::ExportRow> EventList::Rows() const {
    std::vector<run::ExportRow> rows(static_cast<std::size_t>(RowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (int column = 0; column < kEventColumnCount; ++column)
            rows[i][static_cast<std::size_t>(column)] = List().ItemText(static_cast<int>(i), column);
    return rows;
}

run::ExportRow EventList::Titles() const {
    run::ExportRow titles;
    for (int column = 0; column < kEventColumnCount; ++column)
        titles[static_cast<std::size_t>(column)] = List().ColumnTitle(column);
    return titles;
}

bool EventList::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != Handle() || header.code != LVN_COLUMNCLICK) return false;
    SortByColumn(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
    result = 0;
    return true;
}

namespace {
// The rows' item data hold their places in the new order while the list sorts.
int CALLBACK CompareRanks(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : (a > b ? 1 : 0); }
}  // namespace

void EventList::SortByColumn(int column) const {
    const int count = RowCount();
    std::vector<std::string> keys(static_cast<std::size_t>(count));
    std::vector<LPARAM> ownData(keys.size());
    for (int row = 0; row < count; ++row) {
        keys[static_cast<std::size_t>(row)] = List().ItemText(row, column);
        ownData[static_cast<std::size_t>(row)] = List().ItemData(row);
    }
    const std::vector<std::size_t> order = SortOrder(keys, column);
    for (std::size_t place = 0; place < order.size(); ++place)
        List().SetItemData(static_cast<int>(order[place]), static_cast<LPARAM>(place));
    List().SortItems(CompareRanks, 0);
    // Row `place` now holds the row that was at order[place]: give it its own data back.
    for (std::size_t place = 0; place < order.size(); ++place)
        List().SetItemData(static_cast<int>(place), ownData[order[place]]);
}

void EventList::PreTranslate(const MSG& message) const {
    if (!tooltip_.Handle() || settings_.DontShowMessageToolTip == 1) return;
    if (message.hwnd == Handle() || IsChild(Handle(), message.hwnd)) tooltip_.Relay(message);
}

void EventList::UpdateToolText(POINT client) {
    const int row = List().HitTest(client);
    std::string text = row >= 0 ? TooltipText(List().ItemText(row, kMessageColumn)) : std::string();
    if (text == toolText_) return;
    toolText_ = std::move(text);
    if (tooltip_.Handle()) tooltip_.SetToolText(Handle(), toolText_);
}

LRESULT EventList::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS:
        host_.ListActivated();
        break;
    case WM_MOUSEMOVE:
        // The list's own hover handling does not run: the tooltip is the hover.
        UpdateToolText({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONDOWN: {
        host_.ListActivated();
        const LRESULT result = Default(message, wParam, lParam);
        host_.ShowPosition(PositionText(List().HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}), RowCount()));
        return result;
    }
    case WM_KEYDOWN: {
        const LRESULT result = Default(message, wParam, lParam);
        host_.ShowPosition(PositionText(List().FirstSelected(), RowCount()));
        return result;
    }
    case WM_LBUTTONDBLCLK:
        currentEvent_ = List().HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (currentEvent_ < 0) return 0;
        EventDetailDialog(Handle(), currentEvent_).Run(GetAncestor(Handle(), GA_ROOT));
        break;
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW: {
        const LRESULT result = Default(message, wParam, lParam);
        if (result != -1) host_.RowAdded();
        return result;
    }
    case WM_DESTROY: {
        const LRESULT result = Default(message, wParam, lParam);
        images_.Destroy();
        return result;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace quorvin::views
