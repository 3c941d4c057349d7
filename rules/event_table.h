#pragma once
// The rows of the event list: what the last run collected (and whatever
// else was put in the list), in the order the list shows them. The list
// control only draws them; sorting, export, the detail dialog and the
// tooltip read them here.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/collection_view.h"
#include "rules/export.h"

namespace quorvin::views {

// `text` as the list control keeps a cell's text: up to its first NUL,
// through UTF-16 and back (bytes that form no CP932 character come back as
// "・"). The rows a run hands over are kept as the list would show them.
std::string AsListKeepsIt(std::string_view text);

class EventTable {
public:
    std::size_t Count() const { return rows_.size(); }
    // Column `column` of row `row`; the empty text outside the table.
    const std::string& Text(std::size_t row, int column) const;
    // The row's image; 0 outside the table.
    int Image(std::size_t row) const;
    // Row `row`, which must exist.
    const engine::EventRow& Row(std::size_t row) const { return rows_[row]; }

    void Clear() { rows_.clear(); }
    // Moves `rows` to the end, in their order.
    void Append(std::vector<engine::EventRow>& rows);
    // Puts `row` at `index`, or at the end when `index` is past it; its index.
    std::size_t Insert(std::size_t index, engine::EventRow row);
    // False when there is no such row or column.
    bool SetText(std::size_t row, int column, std::string text);
    bool SetImage(std::size_t row, int image);
    bool Erase(std::size_t row);

    // Orders the rows by `column` as a header click does (rules/sort.h),
    // turned round when `reversed`. Element i of the result is the new
    // index of the row that was at i.
    std::vector<std::size_t> SortByColumn(int column, bool reversed = false);

    // The rows' texts in their order, for the export.
    std::vector<run::ExportRow> ExportRows() const;

private:
    std::vector<engine::EventRow> rows_;
};

}  // namespace quorvin::views
