#include "gui/event_list.h"

#include "gui/event_detail_dialog.h"
#include "gui/resources/resource.h"
#include "rules/event_list_rules.h"
#include "rules/sort.h"
#include "ui/clipboard.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cwchar>
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
    HWND list = ui::ListView::Create(
        parent, id, LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
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

void AppendEventRows(HWND list, std::vector<engine::EventRow>& rows) {
    if (rows.empty()) return;
    SendMessageW(list, EventList::kAppendRows, 0, reinterpret_cast<LPARAM>(&rows));
}

run::ExportRow EventList::Titles() const {
    run::ExportRow titles;
    for (int column = 0; column < kEventColumnCount; ++column)
        titles[static_cast<std::size_t>(column)] = List().ColumnTitle(column);
    return titles;
}

void EventList::CountChanged(bool keepView) {
    const DWORD flags = keepView ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : LVSICF_NOSCROLL;
    static_cast<void>(Default(LVM_SETITEMCOUNT, shown_.Count(), flags));
    // A list that cannot be drawn now is drawn with its next WM_PAINT.
    if (!keepView) static_cast<void>(InvalidateRect(Handle(), nullptr, TRUE));
    ShowPosition();
}

void EventList::ShowPosition() const { host_.ShowPosition(PositionText(CurrentRow(), RowCount())); }

int EventList::CurrentRow() const {
    const int focused = List().NextItem(-1, LVNI_FOCUSED | LVNI_SELECTED);
    return focused >= 0 ? focused : List().FirstSelected();
}

void EventList::OpenDetail(int row) {
    currentEvent_ = row;
    detailOpen_ = true;
    EventDetailDialog(Handle(), shown_, currentEvent_).Run(GetAncestor(Handle(), GA_ROOT));
    detailOpen_ = false;
}

std::vector<std::size_t> EventList::SelectedTableRows() const {
    std::vector<std::size_t> rows;
    rows.reserve(static_cast<std::size_t>(std::max(List().SelectedCount(), 0)));
    for (int row = List().NextItem(-1, LVNI_SELECTED); row >= 0; row = List().NextItem(row, LVNI_SELECTED))
        rows.push_back(TableIndex(row));
    return rows;
}

bool EventList::CopySelection() const {
    std::vector<std::size_t> rows;
    for (int row = List().NextItem(-1, LVNI_SELECTED); row >= 0; row = List().NextItem(row, LVNI_SELECTED))
        rows.push_back(static_cast<std::size_t>(row));
    if (rows.empty()) return false;
    return ui::PutTextOnClipboard(Handle(), CopiedRowsText(Titles(), shown_, rows));
}

void EventList::SelectAll() const {
    // A list that refuses keeps its selection; the user sees it.
    if (RowCount() > 0) static_cast<void>(List().SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED));
}

void EventList::FillDisplayInfo(LVITEMW& item) const {
    if (item.iItem < 0) return;
    const auto row = static_cast<std::size_t>(item.iItem);
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = shown_.Image(row);
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        // Cut to the room given, as a list that stores its texts copies them.
        const std::wstring text = win32::Wide(shown_.Text(row, item.iSubItem));
        const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
        text.copy(item.pszText, n);
        item.pszText[n] = L'\0';
    }
}

namespace {
// The text of an A or a W message, as CP932: the text of an A message is
// in the ANSI code page.
std::string MessageText(const wchar_t* given, bool wide) {
    if (!given || given == LPSTR_TEXTCALLBACKW) return {};
    if (wide) return win32::Narrow(given, std::wcslen(given));
    const char* ansi = reinterpret_cast<const char*>(given);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (units <= 1) return {};
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, text.data(), units) != units) return {};
    return win32::Narrow(text.c_str(), static_cast<std::size_t>(units - 1));
}
std::string ItemTextOf(const LVITEMW& item, bool wide) { return MessageText(item.pszText, wide); }
static_assert(sizeof(LVITEMA) == sizeof(LVITEMW) && offsetof(LVITEMA, pszText) == offsetof(LVITEMW, pszText),
              "the A and W items differ only in the text's type");
static_assert(sizeof(LVFINDINFOA) == sizeof(LVFINDINFOW) && offsetof(LVFINDINFOA, psz) == offsetof(LVFINDINFOW, psz),
              "the A and W searches differ only in the text's type");
}  // namespace

int EventList::FindItem(int first, const LVFINDINFOW& find, bool wide) const {
    // LVFI_SUBSTRING (Vista and later, not in mingw-w64's headers) is LVFI_PARTIAL.
    constexpr UINT kStart = LVFI_PARTIAL | 0x0004;
    // LVFI_WRAP alone asks for a whole text; the rows carry no item data to search for.
    if ((find.flags & LVFI_PARAM) || !(find.flags & (LVFI_STRING | kStart | LVFI_WRAP))) return -1;
    const RowMatch match = (find.flags & kStart) ? RowMatch::kStart : RowMatch::kWhole;
    return FindRow(shown_, first, MessageText(find.psz, wide), match, (find.flags & LVFI_WRAP) != 0);
}

LRESULT EventList::InsertItem(const LVITEMW& item, std::string text) {
    if (item.iItem < 0) return -1;
    engine::EventRow row;
    if (item.mask & LVIF_IMAGE) row.image = item.iImage;
    if (item.mask & LVIF_TEXT) row.columns[0] = std::move(text);
    const std::size_t index = table_.Insert(TableIndex(item.iItem), std::move(row));
    Unsorted();
    const bool atEnd = index + 1 == table_.Count();
    shown_.RowInserted(index);
    CountChanged(atEnd);
    host_.RowAdded();
    host_.ShownCountChanged();
    return shown_.ShownIndexOf(index);
}

LRESULT EventList::SetItem(int row, const LVITEMW& item, std::string text, bool textOnly) {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.Count()) return FALSE;
    // The row stays shown until the filter looks at the rows again.
    const std::size_t index = TableIndex(row);
    bool set = true;
    if (textOnly || (item.mask & LVIF_TEXT)) {
        set = table_.SetText(index, item.iSubItem, std::move(text));
        if (item.iSubItem == sort_.column) Unsorted();
    }
    if (!textOnly && (item.mask & LVIF_IMAGE) && item.iSubItem == 0) set = table_.SetImage(index, item.iImage) && set;
    if (!textOnly && (item.mask & LVIF_STATE))
        set = Default(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE && set;
    static_cast<void>(Default(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row));
    return set ? TRUE : FALSE;
}

bool EventList::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != Handle()) return false;
    switch (header.code) {
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        result = 0;
        return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        // The selection moved: by the user, a sort or the detail dialog's steps.
        if (!movingSelection_) ShowPosition();
        result = 0;
        return true;
    case LVN_GETDISPINFOW:
        FillDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header).item);
        result = 0;
        return true;
    case LVN_ODFINDITEMW: {
        // Typing in the list: iStart is the first row to look at.
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        result = FindItem(find.iStart, find.lvfi, true);
        return true;
    }
    default:
        return false;
    }
}

void EventList::SortByColumn(int column) {
    // The selected and the focused rows stay with their events, as in a list that moves its rows.
    const std::vector<std::size_t> selected = SelectedTableRows();
    const bool allSelected = !selected.empty() && selected.size() == shown_.Count();
    const std::size_t focused = TableIndex(List().NextItem(-1, LVNI_FOCUSED));
    sort_ = NextSortState(sort_, column);
    const std::vector<std::size_t> newPlace = table_.SortByColumn(column, sort_.reversed);
    shown_.Rebuild();
    MoveSelection(selected, focused, newPlace, allSelected);
    // A header that shows no arrow leaves the order as sorted.
    static_cast<void>(List().ShowSortArrow(column, SortsDescending(sort_)));
    CountChanged(false);
    // Rows shown only until this look (edited or inserted by another program) may have gone.
    host_.ShownCountChanged();
}

void EventList::MoveSelection(const std::vector<std::size_t>& selected, std::size_t focused,
                              const std::vector<std::size_t>& newPlace, bool allSelected) {
    const auto moved = [&](std::size_t row) { return row < newPlace.size() ? shown_.ShownIndexOf(newPlace[row]) : -1; };
    // One position text after the whole move, not one for each row.
    movingSelection_ = true;
    static_cast<void>(List().SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED));
    if (moved(focused) >= 0) static_cast<void>(List().SetItemState(moved(focused), LVIS_FOCUSED, LVIS_FOCUSED));
    if (allSelected) {
        static_cast<void>(List().SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED));
    } else {
        for (const std::size_t row : selected)
            if (moved(row) >= 0) static_cast<void>(List().SetItemState(moved(row), LVIS_SELECTED, LVIS_SELECTED));
    }
    movingSelection_ = false;
}

void EventList::Unsorted() {
    if (sort_.column < 0) return;
    sort_ = SortState();
    static_cast<void>(List().ShowSortArrow(-1, false));
}

std::size_t EventList::TableIndex(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < shown_.Count() ? shown_.TableRow(static_cast<std::size_t>(row))
                                                                       : table_.Count();
}

void EventList::SetFilter(EventFilter filter) {
    shown_.SetFilter(std::move(filter));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    static_cast<void>(Default(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item)));
    CountChanged(false);
    host_.ShownCountChanged();
}

void EventList::PreTranslate(const MSG& message) const {
    if (!tooltip_.Handle() || settings_.DontShowMessageToolTip == 1) return;
    if (message.hwnd == Handle() || IsChild(Handle(), message.hwnd)) tooltip_.Relay(message);
}

void EventList::UpdateToolText(POINT client) {
    const int row = List().HitTest(client);
    std::string text =
        row >= 0 ? TooltipText(shown_.Text(static_cast<std::size_t>(row), kMessageColumn)) : std::string();
    if (text == toolText_) return;
    toolText_ = std::move(text);
    if (tooltip_.Handle()) tooltip_.SetToolText(Handle(), toolText_);
}

LRESULT EventList::OnInput(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK) {
        const int row = List().HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (row < 0) return 0;
        OpenDetail(row);
        return Default(message, wParam, lParam);
    }
    if (message == WM_LBUTTONDOWN) host_.ListActivated();
    // Enter opens the current row as a double-click opens the row it hits.
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        const int current = CurrentRow();
        if (current >= 0) OpenDetail(current);
        return 0;
    }
    // Also where the selection stays: a click beside the rows of an empty list.
    const LRESULT result = Default(message, wParam, lParam);
    ShowPosition();
    return result;
}

LRESULT EventList::OnAppendRows(std::vector<engine::EventRow>& rows) {
    if (rows.empty()) return 0;
    table_.Append(rows);
    shown_.RowsAppended();
    Unsorted();
    CountChanged(true);
    host_.RowAdded();
    host_.ShownCountChanged();
    return 0;
}

LRESULT EventList::OnRowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool wide = message == LVM_INSERTITEMW || message == LVM_SETITEMTEXTW || message == LVM_SETITEMW ||
                      message == LVM_FINDITEMW;
    const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    switch (message) {
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
        if (!item) return -1;
        return InsertItem(*item, (item->mask & LVIF_TEXT) ? ItemTextOf(*item, wide) : std::string());
    case LVM_SETITEMTEXTA:
    case LVM_SETITEMTEXTW:
        if (!item) return FALSE;
        return SetItem(static_cast<int>(wParam), *item, ItemTextOf(*item, wide), true);
    case LVM_SETITEMA:
    case LVM_SETITEMW:
        if (!item) return FALSE;
        return SetItem(item->iItem, *item, (item->mask & LVIF_TEXT) ? ItemTextOf(*item, wide) : std::string(), false);
    case LVM_FINDITEMA:
    case LVM_FINDITEMW: {
        // The row wParam names is not searched (-1: from the top).
        if (!lParam) return -1;
        const int first = static_cast<int>(std::min<long long>(static_cast<int>(wParam) + 1LL, INT_MAX));
        return FindItem(first, *reinterpret_cast<const LVFINDINFOW*>(lParam), wide);
    }
    case LVM_DELETEITEM: {
        if (static_cast<std::size_t>(wParam) >= shown_.Count() || !table_.Erase(TableIndex(static_cast<int>(wParam))))
            return FALSE;
        shown_.Rebuild();
        // The control moves the selection of the rows after it.
        const LRESULT result = Default(message, wParam, lParam);
        CountChanged(false);
        host_.ShownCountChanged();
        return result;
    }
    default: {  // LVM_DELETEALLITEMS
        table_.Clear();
        Unsorted();
        shown_.Rebuild();
        const LRESULT result = Default(message, wParam, lParam);
        host_.ShownCountChanged();
        ShowPosition();
        return result;
    }
    }
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
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_CHAR:
        return OnInput(message, wParam, lParam);
    case LVM_SETITEMSTATE:
        // The detail dialog's steps select their row: the others go, as in
        // the list of one selected row the dialog steps through.
        if (detailOpen_ && static_cast<int>(wParam) >= 0 && lParam) {
            const auto& item = *reinterpret_cast<const LVITEMW*>(lParam);
            if (item.stateMask & item.state & LVIS_SELECTED)
                static_cast<void>(List().SetItemState(-1, 0, LVIS_SELECTED));
        }
        break;
    case kAppendRows:
        return OnAppendRows(*reinterpret_cast<std::vector<engine::EventRow>*>(lParam));
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
    case LVM_SETITEMTEXTA:
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMA:
    case LVM_SETITEMW:
    case LVM_FINDITEMA:
    case LVM_FINDITEMW:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        return OnRowMessage(message, wParam, lParam);
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
