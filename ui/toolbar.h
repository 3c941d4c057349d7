#pragma once
// The toolbar common control: flat buttons with tooltips, in rows of its
// owner's choosing (ui/dock_bar.h holds it docked or floating).

#include "ui/window.h"

#include <vector>

namespace quorvin::ui {

class Toolbar {
public:
    explicit Toolbar(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A flat toolbar with tooltips, sized and placed by its parent; null on failure.
    static HWND Create(HWND parent, int id);

    // Buttons in order, each taking the next image of `images`; command 0 is
    // a separator. Notifications (tooltip texts, hot item) go to `notify`.
    bool SetButtons(HIMAGELIST images, const std::vector<int>& commands, HWND notify) const;
    // The size of all buttons together.
    SIZE Size() const;
    int ButtonCount() const;
    // The width of each button and separator, in order.
    std::vector<int> ItemWidths() const;
    // Starts a new row after every item marked true (TBSTATE_WRAP), none
    // after the others. False when the control refused one.
    bool SetRowBreaks(const std::vector<bool>& breaks) const;
    // Which items are separators, in order.
    std::vector<bool> Separators() const;
    // The size of the items as they are laid out now (rows included).
    SIZE Extent() const;

private:
    HWND handle_;
};


}  // namespace quorvin::ui
