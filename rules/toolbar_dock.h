#pragma once
// Where the main window's toolbar goes: the edge a drop point docks it to,
// the rectangles of the bar, the panes and the status bar around it, and
// how its buttons wrap into rows of a given width. Plain values, no windows.

#include <vector>

#include "core/rect.h"

namespace quorvin::run {

enum class DockSide { Top, Bottom, Left, Right, Floating };

using DockRect = PixelRect;

struct DockPoint {
    int x = 0, y = 0;
};

// Left and right dock the bar upright (its buttons in one column).
bool IsUpright(DockSide side);

// The edge of `client` (in the same coordinates as `drop`) nearest to a
// drop point lying within `reach` pixels of it, inside or outside;
// Floating when the point is farther from every edge. Ties go to the top,
// then the bottom, the left, the right.
DockSide DockSideAt(const DockRect& client, DockPoint drop, int reach);

struct FrameLayout {
    DockRect bar;     // empty when the bar floats or is hidden
    DockRect panes;   // the splitter
    DockRect status;  // empty when the status bar is hidden
};

// The frame's client area shared out: the status bar along the bottom,
// the docked bar (`barThickness` pixels: its height at the top or bottom,
// its width on the left or right) along its edge of what is left, the
// panes in the rest. Sizes never go below zero.
FrameLayout LayOutFrame(const DockRect& client, DockSide side, bool barShown, int barThickness, int statusHeight);

// Row breaks of items of `widths` laid out from left to right in rows at
// most `rowWidth` wide: true after an item that ends a row (never after
// the last). Every row holds at least one item, so a width smaller than
// every item gives one item per row. A separator (marked in `separators`)
// never starts a row: one that does not fit ends the row before it.
std::vector<bool> RowBreaks(const std::vector<int>& widths, const std::vector<bool>& separators, int rowWidth);

// Row breaks of an upright bar, one button a row: a separator ends the row
// of the button before it (it keeps its place after that button, so the
// groups stay apart), a button followed by a button ends its own.
// `separators` marks them.
std::vector<bool> ColumnBreaks(const std::vector<bool>& separators);

}  // namespace quorvin::run
