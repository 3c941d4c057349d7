#pragma once
// A static splitter of one row and two columns: two pane windows side by
// side, divided by a bar the user drags with the mouse. The panes are its
// children; their notifications and commands go on to the splitter's parent.

#include "ui/window.h"

namespace quorvin::ui {

class Splitter : public Window {
public:
    // Creates the splitter (panes come with SetPanes); false on failure.
    bool Create(HWND parent, int id);
    // The two panes; the left one starts `leftWidth` pixels wide.
    void SetPanes(HWND left, HWND right, int leftWidth);
    HWND Pane(int column) const { return column == 0 ? left_ : right_; }
    int LeftWidth() const { return leftWidth_; }
    // Width of the bar between the panes, in pixels.
    static constexpr int kBarWidth = 6;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Layout() const;
    bool OnBar(int x) const { return x >= leftWidth_ && x < leftWidth_ + kBarWidth; }

    HWND left_ = nullptr;
    HWND right_ = nullptr;
    int leftWidth_ = 0;
    // While the bar is dragged: the distance from the bar's left edge to the mouse.
    int dragOffset_ = -1;
};

}  // namespace quorvin::ui
