#include "ui/list_view.h"

#include <vector>

namespace quorvin::ui {

HWND ListView::Create(HWND parent, int id, DWORD style, DWORD exStyle) {
    return CreateWindowExW(exStyle, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

DWORD ListView::ExtendedStyle() const {
    return static_cast<DWORD>(SendMessageW(handle_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void ListView::SetExtendedStyle(DWORD style) const {
    SendMessageW(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int ListView::InsertColumn(int index, std::string_view title, int width) const {
    std::wstring wide = win32::Wide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = wide.data();
    column.iSubItem = index;
    return static_cast<int>(SendMessageW(handle_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

int ListView::ColumnCount() const {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(handle_, LVM_GETHEADER, 0, 0));
    if (!header) return 0;
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string ListView::ColumnTitle(int index) const {
    wchar_t buffer[1024] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = buffer;
    column.cchTextMax = 1024;
    if (!SendMessageW(handle_, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column))) return {};
    const std::wstring_view got(column.pszText);
    return win32::Narrow(got.data(), got.size());
}

int ListView::ColumnWidth(int index) const {
    return static_cast<int>(SendMessageW(handle_, LVM_GETCOLUMNWIDTH, index, 0));
}

bool ListView::SetColumnWidth(int index, int width) const {
    return SendMessageW(handle_, LVM_SETCOLUMNWIDTH, index, MAKELPARAM(width, 0)) != 0;
}

int ListView::StringWidth(std::string_view text) const {
    const std::wstring wide = win32::Wide(text);
    return static_cast<int>(SendMessageW(handle_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

void ListView::SetImageList(HIMAGELIST images, int which) const {
    SendMessageW(handle_, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images));
}

int ListView::ItemCount() const { return static_cast<int>(SendMessageW(handle_, LVM_GETITEMCOUNT, 0, 0)); }

int ListView::InsertItem(int index, std::string_view text, int image) const {
    std::wstring wide = win32::Wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = wide.data();
    item.iImage = image;
    return static_cast<int>(SendMessageW(handle_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::SetItemText(int index, int column, std::string_view text) const {
    std::wstring wide = win32::Wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    return SendMessageW(handle_, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

std::string ListView::ItemText(int index, int column) const {
    // LVM_GETITEMTEXT gives the number of characters copied: grow until the text fits.
    for (std::size_t room = 1024;; room *= 4) {
        std::vector<wchar_t> buffer(room);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(room);
        const auto copied =
            static_cast<std::size_t>(SendMessageW(handle_, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
        if (copied + 1 < room || room >= (1u << 20)) return win32::Narrow(item.pszText, copied);
    }
}

bool ListView::DeleteAll() const { return SendMessageW(handle_, LVM_DELETEALLITEMS, 0, 0) != FALSE; }

LPARAM ListView::ItemData(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageW(handle_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return item.lParam;
}

bool ListView::SetItemData(int index, LPARAM data) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = data;
    return SendMessageW(handle_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListView::SortItems(PFNLVCOMPARE compare, LPARAM context) const {
    return SendMessageW(handle_, LVM_SORTITEMS, context, reinterpret_cast<LPARAM>(compare)) != FALSE;
}

int ListView::HitTest(POINT client) const {
    LVHITTESTINFO hit{};
    hit.pt = client;
    return static_cast<int>(SendMessageW(handle_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

int ListView::FirstSelected() const { return NextItem(-1, LVNI_SELECTED); }

int ListView::NextItem(int after, UINT flags) const {
    return static_cast<int>(SendMessageW(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(after), MAKELPARAM(flags, 0)));
}

int ListView::SelectedCount() const { return static_cast<int>(SendMessageW(handle_, LVM_GETSELECTEDCOUNT, 0, 0)); }

bool ListView::SetItemState(int row, UINT state, UINT mask) const {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    return SendMessageW(handle_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListView::IsChecked(int row) const {
    const auto state = static_cast<UINT>(
        SendMessageW(handle_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), static_cast<LPARAM>(LVIS_STATEIMAGEMASK)));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool ListView::SetChecked(int row, bool checked) const {
    return SetItemState(row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

bool ListView::ShowSortArrow(int column, bool descending) const {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(handle_, LVM_GETHEADER, 0, 0));
    if (!header) return false;
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    bool shown = true;
    for (int index = 0; index < count; ++index) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, index, reinterpret_cast<LPARAM>(&item))) {
            shown = false;
            continue;
        }
        int format = item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN);
        if (index == column) format |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        if (format == item.fmt) continue;
        item.fmt = format;
        shown = SendMessageW(header, HDM_SETITEMW, index, reinterpret_cast<LPARAM>(&item)) != FALSE && shown;
    }
    return shown;
}

}  // namespace quorvin::ui
