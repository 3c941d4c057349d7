#pragma once
// The tree view common control, one message per method.

#include "ui/window.h"

namespace quorvin::ui {

class TreeView {
public:
    explicit TreeView(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A tree view child of `parent` with the TVS_ styles in `style`; null on failure.
    static HWND Create(HWND parent, int id, DWORD style, DWORD exStyle);

    // Inserts an item with `text` under `parent` (TVI_ROOT for a top-level
    // item) after `after` (TVI_LAST, TVI_FIRST or an item); null on failure.
    HTREEITEM Insert(HTREEITEM parent, HTREEITEM after, std::string_view text, int image) const;
    // The tree answers these for any item it holds; they have no failure to report.
    void Delete(HTREEITEM item) const;
    void DeleteAll() const;
    void Expand(HTREEITEM item) const;
    // Selects `item` (null: no selection) and scrolls it into view.
    void Select(HTREEITEM item) const;

    HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
    HTREEITEM NextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
    HTREEITEM Selection() const { return Next(nullptr, TVGN_CARET); }
    std::string ItemText(HTREEITEM item) const;
    int Count() const;
    // The item at `client` (client coordinates) and the TVHT_ flags of the spot.
    HTREEITEM HitTest(POINT client, UINT& flags) const;
    void SetImageList(HIMAGELIST images) const;
    // The picture of `item`, selected or not.
    bool SetItemImage(HTREEITEM item, int image) const;
    bool ItemRect(HTREEITEM item, RECT& rect) const;

private:
    HTREEITEM Next(HTREEITEM item, UINT relation) const;
    HWND handle_;
};

}  // namespace quorvin::ui
