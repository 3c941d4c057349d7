#pragma once
// The event list's column sort: a click on a column header orders the rows
// by the full text of that column under _mbsicmp rules (double-byte
// characters as units, Latin letters without regard to case, otherwise by
// code value), ascending, except the time column 2, which sorts descending
// so that the newest event comes first. No toggle, no secondary key: every
// column, the event ID included, compares as text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::views {

// The column that sorts descending ("時刻").
constexpr int kTimeColumn = 2;

// <0 when the row with key `a` comes before the row with key `b` in the
// order of `column`, 0 when they are equal, >0 otherwise.
int CompareForColumn(std::string_view a, std::string_view b, int column);

// The new order of rows whose keys (the texts of the clicked column, the
// empty text for column 0) are `keys`: element i is the index of the row
// that goes to position i. Rows with equal keys keep their relative order.
std::vector<std::size_t> SortOrder(const std::vector<std::string>& keys, int column);
// The same over texts kept elsewhere.
std::vector<std::size_t> SortOrderOfViews(const std::vector<std::string_view>& keys, int column);

}  // namespace quorvin::views
