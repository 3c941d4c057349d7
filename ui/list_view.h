#pragma once
// The list view common control in report view, one message per method.

#include "ui/window.h"

namespace quorvin::ui {

class ListView {
public:
    explicit ListView(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A list view child of `parent` with the LVS_ styles in `style`; null on failure.
    static HWND Create(HWND parent, int id, DWORD style, DWORD exStyle);

    DWORD ExtendedStyle() const;
    void SetExtendedStyle(DWORD style) const;
    // Inserts a left-aligned column at `index`; its index or -1.
    int InsertColumn(int index, std::string_view title, int width) const;
    int ColumnCount() const;
    std::string ColumnTitle(int index) const;
    // A column's width in pixels; 0 when there is no such column.
    int ColumnWidth(int index) const;
    bool SetColumnWidth(int index, int width) const;
    // The pixel width of `text` in the control's font.
    int StringWidth(std::string_view text) const;
    void SetImageList(HIMAGELIST images, int which) const;

    int ItemCount() const;
    // Inserts a row at `index` with the text of column 0 and image; its index or -1.
    int InsertItem(int index, std::string_view text, int image) const;
    bool SetItemText(int index, int column, std::string_view text) const;
    // The whole text of a cell.
    std::string ItemText(int index, int column) const;
    bool DeleteAll() const;
    LPARAM ItemData(int index) const;
    bool SetItemData(int index, LPARAM data) const;
    // LVM_SORTITEMS: `compare` gets two rows' item data and `context`.
    bool SortItems(PFNLVCOMPARE compare, LPARAM context) const;

    // The row at `client` (client coordinates), or -1.
    int HitTest(POINT client) const;
    // The first selected row, or -1.
    int FirstSelected() const;
    // The next row after `after` (-1: from the top) with all of `flags`
    // (LVNI_SELECTED, LVNI_FOCUSED), or -1.
    int NextItem(int after, UINT flags) const;
    int SelectedCount() const;
    // Sets the bits of `mask` of row `row` (-1: every row) to those of `state`.
    bool SetItemState(int row, UINT state, UINT mask) const;
    // The check box of row `row` (LVS_EX_CHECKBOXES): whether it is checked, and setting it.
    bool IsChecked(int row) const;
    bool SetChecked(int row, bool checked) const;

    // The header's sort arrow on `column` (none on the others): up for an
    // ascending order, down for a descending one; `column` -1 clears every
    // arrow. HDF_SORTUP and HDF_SORTDOWN are drawn by the common controls
    // of version 6 (the program's manifest asks for them); version 5 keeps
    // the bits and draws nothing. False when a column refused.
    bool ShowSortArrow(int column, bool descending) const;

private:
    HWND handle_;
};

}  // namespace quorvin::ui
