#include "rules/toolbar_dock.h"

#include <algorithm>
#include <cstdlib>

namespace quorvin::run {

bool IsUpright(DockSide side) { return side == DockSide::Left || side == DockSide::Right; }

DockSide DockSideAt(const DockRect& client, DockPoint drop, int reach) {
    // Only points beside the client area (within reach of it) count.
    if (drop.x < client.left - reach || drop.x > client.right + reach || drop.y < client.top - reach ||
        drop.y > client.bottom + reach)
        return DockSide::Floating;
    const struct {
        DockSide side;
        int distance;
    } edges[] = {
        {DockSide::Top, std::abs(drop.y - client.top)},
        {DockSide::Bottom, std::abs(drop.y - client.bottom)},
        {DockSide::Left, std::abs(drop.x - client.left)},
        {DockSide::Right, std::abs(drop.x - client.right)},
    };
    DockSide best = DockSide::Floating;
    int bestDistance = reach + 1;
    for (const auto& edge : edges) {
        if (edge.distance < bestDistance) {
            best = edge.side;
            bestDistance = edge.distance;
        }
    }
    return best;
}

FrameLayout LayOutFrame(const DockRect& client, DockSide side, bool barShown, int barThickness, int statusHeight) {
    FrameLayout layout;
    const int width = std::max(0, client.Width());
    const int statusTop = std::max(client.top, client.bottom - std::max(0, statusHeight));
    if (statusHeight > 0) layout.status = {client.left, statusTop, client.left + width, client.bottom};
    DockRect rest{client.left, client.top, client.left + width, statusTop};
    const int thickness = std::max(0, barThickness);
    if (barShown && side != DockSide::Floating && thickness > 0) {
        switch (side) {
        case DockSide::Top: {
            const int edge = std::min(rest.bottom, rest.top + thickness);
            layout.bar = {rest.left, rest.top, rest.right, edge};
            rest.top = edge;
            break;
        }
        case DockSide::Bottom: {
            const int edge = std::max(rest.top, rest.bottom - thickness);
            layout.bar = {rest.left, edge, rest.right, rest.bottom};
            rest.bottom = edge;
            break;
        }
        case DockSide::Left: {
            const int edge = std::min(rest.right, rest.left + thickness);
            layout.bar = {rest.left, rest.top, edge, rest.bottom};
            rest.left = edge;
            break;
        }
        case DockSide::Right: {
            const int edge = std::max(rest.left, rest.right - thickness);
            layout.bar = {edge, rest.top, rest.right, rest.bottom};
            rest.right = edge;
            break;
        }
        case DockSide::Floating: break;
        }
    }
    layout.panes = rest;
    return layout;
}

std::vector<bool> RowBreaks(const std::vector<int>& widths, const std::vector<bool>& separators, int rowWidth) {
    std::vector<bool> breaks(widths.size(), false);
    int used = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const bool separator = i < separators.size() && separators[i];
        if (used > 0 && used + widths[i] > rowWidth) {
            if (separator) {
                // It ends this row instead of starting the next.
                breaks[i] = i + 1 < widths.size();
                used = 0;
                continue;
            }
            breaks[i - 1] = true;
            used = 0;
        }
        used += widths[i];
    }
    return breaks;
}

std::vector<bool> ColumnBreaks(const std::vector<bool>& separators) {
    const std::size_t count = separators.size();
    std::vector<bool> breaks(count, false);
    for (std::size_t i = 0; i + 1 < count; ++i) breaks[i] = separators[i] || !separators[i + 1];
    return breaks;
}

}  // namespace quorvin::run
