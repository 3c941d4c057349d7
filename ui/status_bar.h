#pragma once
// The status bar common control: panes of text along the bottom of a window.

#include "ui/window.h"

#include <vector>

namespace quorvin::ui {

class StatusBar {
public:
    explicit StatusBar(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A status bar with a size grip at the bottom of `parent`; null on failure.
    static HWND Create(HWND parent, int id);

    // Pane widths in pixels, the first one stretching: the right edges are
    // computed from the bar's width. False when the control refused.
    bool SetPanes(const std::vector<int>& fixedWidths) const;
    bool SetPaneText(int pane, std::string_view text) const;
    std::string PaneText(int pane) const;
    // The pixel width of `text` in the bar's font.
    int TextWidth(std::string_view text) const;
    // Height of the bar in pixels (0 when hidden).
    int Height() const;
    // Has the bar fit itself to its parent's new size.
    void FitToParent() const;

private:
    HWND handle_;
};

}  // namespace quorvin::ui
