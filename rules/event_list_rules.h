#pragma once
// Rules of the event list window that need no window: column widths, the
// position text of the status bar and the message tooltip's text.

#include <string>
#include <string_view>

namespace quorvin::views {

constexpr int kEventColumnCount = 8;
// The message column, whose text the tooltip shows.
constexpr int kMessageColumn = 7;
// The tooltip shows at most this many bytes of a message.
constexpr std::size_t kTooltipBytes = 255;

// Width in pixels of `column` (0 to 7) whose title the list measures
// `titleWidth` pixels wide: the icon column 18 and the type column 50 are
// fixed, the others are the title's width plus a margin of their own.
int EventColumnWidth(int column, int titleWidth);

// "row/count" of the status bar: `row` is a row index or -1 for none,
// shown as 0; e.g. PositionText(0, 3) is "1/3", PositionText(-1, 0) "0/0".
std::string PositionText(int row, int count);

// The tooltip text of a row whose message column holds `message`.
std::string TooltipText(std::string_view message);

}  // namespace quorvin::views
