#pragma once
// Rules of the event list window that need no window: column widths, the
// position text of the status bar, the message tooltip's text and the row
// a search by text (typing in the list, LVM_FINDITEM) finds.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rules/event_table.h"
#include "rules/export.h"
#include "rules/shown_rows.h"

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

// The status bar's count while a filter is set: "N / M 件" with `shown` of
// `total` rows; the empty text when no filter is set.
std::string FilterCountText(int shown, int total, bool filtered);

// The save dialog's title for the export while a filter is set:
// "名前を付けて保存 (絞り込み中: N / M 件)" with `shown` of `total` rows; the
// empty text (the system's own title) when no filter is set.
std::string ExportDialogTitle(int shown, int total, bool filtered);

// What Ctrl+C puts on the clipboard: a line of the titles of columns 1 to
// 7 (the icon column has neither title nor text), then one line for each
// of the shown rows `rows` in the order given, each cell whole and empty
// cells empty, cells joined by a tab, every line ended by "\r\n". A tab,
// CR or LF inside a text (another program's rows may hold them) becomes a
// blank, so every row stays one line of the same number of cells.
std::string CopiedRowsText(const run::ExportRow& titles, const ShownRows& shown, const std::vector<std::size_t>& rows);

// The tooltip text of a row whose message column holds `message`.
std::string TooltipText(std::string_view message);

// A search of the list by text: the row's key text equals `text` (kWhole) or
// starts with it (kStart), as MbsICmp compares. The key text is the first
// column's text, or the type's when the first column holds only the icon
// (as a run's rows do: the type is the first text the row shows).
enum class RowMatch { kWhole, kStart };
// The first matching row from `first` on (from 0 when negative) and, with
// `wrap`, then from row 0 up to `first`; -1 when there is none.
// Over the rows a filter shows, or over every row of a table.
int FindRow(const ShownRows& rows, int first, std::string_view text, RowMatch match, bool wrap);
int FindRow(const EventTable& table, int first, std::string_view text, RowMatch match, bool wrap);

}  // namespace quorvin::views
