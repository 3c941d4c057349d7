#include "rules/event_list_rules.h"

#include "core/cp932.h"
#include "core/display_text.h"

#include <algorithm>

namespace quorvin::views {

int EventColumnWidth(int column, int titleWidth) {
    switch (column) {
    case 0: return 18;
    case 1: return 50;
    case 2: return titleWidth + 100;
    case 3: return titleWidth + 20;
    case 4: return titleWidth + 25;
    case 5: return titleWidth + 44;
    case 6: return titleWidth + 44;
    case 7: return titleWidth + 500;
    default: return titleWidth;
    }
}

std::string PositionText(int row, int count) {
    const int shown = row < 0 ? 0 : row + 1;
    return std::to_string(shown) + "/" + std::to_string(count);
}

std::string FilterCountText(int shown, int total, bool filtered) {
    return filtered ? std::to_string(shown) + " / " + std::to_string(total) + " 件" : std::string();
}

std::string ExportDialogTitle(int shown, int total, bool filtered) {
    return filtered ? "名前を付けて保存 (絞り込み中: " + FilterCountText(shown, total, true) + ")" : std::string();
}

namespace {
// `text` with tabs and line breaks as blanks; the CP932 trail bytes never
// take their values, so no double-byte character is touched.
void AppendCell(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out += text;
    std::replace_if(
        out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
        [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
}

template <class CellOf>
void AppendLine(std::string& out, CellOf cell) {
    for (int column = 1; column < kEventColumnCount; ++column) {
        if (column > 1) out += '\t';
        AppendCell(out, cell(column));
    }
    out += "\r\n";
}
}  // namespace

std::string CopiedRowsText(const run::ExportRow& titles, const ShownRows& shown, const std::vector<std::size_t>& rows) {
    std::string out;
    AppendLine(out, [&](int column) -> const std::string& { return titles[static_cast<std::size_t>(column)]; });
    for (const std::size_t row : rows)
        AppendLine(out, [&](int column) -> const std::string& { return shown.Text(row, column); });
    return out;
}

std::string TooltipText(std::string_view message) { return app::CutToBytes(message, kTooltipBytes); }

namespace {
bool RowMatches(const ShownRows& table, std::size_t row, std::string_view text, RowMatch match) {
    const std::string& first = table.Text(row, 0);
    const std::string& key = first.empty() ? table.Text(row, 1) : first;
    return match == RowMatch::kStart ? text::MbsIStartsWith(key, text) : text::MbsICmp(key, text) == 0;
}
}  // namespace

int FindRow(const EventTable& table, int first, std::string_view text, RowMatch match, bool wrap) {
    return FindRow(ShownRows(table), first, text, match, wrap);
}

int FindRow(const ShownRows& table, int first, std::string_view text, RowMatch match, bool wrap) {
    const std::size_t count = table.Count();
    const std::size_t start = first < 0 ? 0 : std::min(static_cast<std::size_t>(first), count);
    for (std::size_t row = start; row < count; ++row)
        if (RowMatches(table, row, text, match)) return static_cast<int>(row);
    for (std::size_t row = 0; wrap && row < start; ++row)
        if (RowMatches(table, row, text, match)) return static_cast<int>(row);
    return -1;
}

}  // namespace quorvin::views
