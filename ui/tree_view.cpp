#include "ui/tree_view.h"

#include <cstring>
#include <vector>

namespace quorvin::ui {

HWND TreeView::Create(HWND parent, int id, DWORD style, DWORD exStyle) {
    return CreateWindowExW(exStyle, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

HTREEITEM TreeView::Insert(HTREEITEM parent, HTREEITEM after, std::string_view text, int image) const {
    std::wstring wide = win32::Wide(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = wide.data();
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(SendMessageW(handle_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::Delete(HTREEITEM item) const { SendMessageW(handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)); }

void TreeView::DeleteAll() const { SendMessageW(handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

void TreeView::Expand(HTREEITEM item) const { SendMessageW(handle_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)); }

void TreeView::Select(HTREEITEM item) const { SendMessageW(handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }

std::string TreeView::ItemText(HTREEITEM item) const {
    // Names are at most a few hundred characters; grow until the text fits.
    for (std::size_t room = 256;; room *= 4) {
        std::vector<wchar_t> buffer(room);
        TVITEMW query{};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = buffer.data();
        query.cchTextMax = static_cast<int>(room);
        if (!SendMessageW(handle_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) return {};
        const std::wstring_view got(query.pszText);
        if (got.size() + 1 < room || room >= 65536) return win32::Narrow(got.data(), got.size());
    }
}

int TreeView::Count() const { return static_cast<int>(SendMessageW(handle_, TVM_GETCOUNT, 0, 0)); }

HTREEITEM TreeView::HitTest(POINT client, UINT& flags) const {
    TVHITTESTINFO hit{};
    hit.pt = client;
    const auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(handle_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    flags = hit.flags;
    return item;
}

void TreeView::SetImageList(HIMAGELIST images) const {
    SendMessageW(handle_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

bool TreeView::SetItemImage(HTREEITEM item, int image) const {
    TVITEMW change{};
    change.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    change.hItem = item;
    change.iImage = change.iSelectedImage = image;
    return SendMessageW(handle_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change)) != 0;
}

bool TreeView::ItemRect(HTREEITEM item, RECT& rect) const {
    // TVM_GETITEMRECT takes the item in the rectangle it fills.
    static_assert(sizeof item <= sizeof rect);
    std::memcpy(&rect, &item, sizeof item);
    return SendMessageW(handle_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) != FALSE;
}

HTREEITEM TreeView::Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(handle_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace quorvin::ui
