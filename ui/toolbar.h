#pragma once
// The toolbar common control in a rebar band: the band's gripper lets the
// user move the toolbar along the top of the window.

#include "ui/window.h"

#include <vector>

namespace quorvin::ui {

class Toolbar {
public:
    explicit Toolbar(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A flat toolbar with tooltips, laid out by its rebar band; null on failure.
    static HWND Create(HWND parent, int id);

    // Buttons in order, each taking the next image of `images`; command 0 is
    // a separator. Notifications (tooltip texts, hot item) go to `notify`.
    bool SetButtons(HIMAGELIST images, const std::vector<int>& commands, HWND notify) const;
    // The size of all buttons together.
    SIZE Size() const;
    int ButtonCount() const;

private:
    HWND handle_;
};

class Rebar {
public:
    explicit Rebar(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A rebar along the top of `parent`; null on failure.
    static HWND Create(HWND parent, int id);
    // One band with a gripper holding `child` of `size`.
    bool AddBand(HWND child, SIZE size) const;
    // Height in pixels (0 when hidden).
    int Height() const;

private:
    HWND handle_;
};

}  // namespace quorvin::ui
