#pragma once
// The event list's column sort: a click on a column header orders the rows
// by the full text of that column under _mbsicmp rules (double-byte
// characters as units, Latin letters without regard to case, otherwise by
// code value), ascending, except the time column 2, which sorts descending
// so that the newest event comes first, and the event ID column 6, which
// orders IDs by number (texts that are no number, as another program may
// put there, after every number, by text). A second click on the same
// header turns the order round; rows with equal keys keep their previous
// order either way.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::views {

// The column that sorts descending ("時刻").
constexpr int kTimeColumn = 2;
// The column that sorts by number ("ｲﾍﾞﾝﾄID").
constexpr int kEventIdColumn = 6;

// <0 when the row with key `a` comes before the row with key `b` in the
// order of a first click on `column`, 0 when they are equal, >0 otherwise.
int CompareForColumn(std::string_view a, std::string_view b, int column);

// The sorted column (-1: none) and whether its order is turned round.
struct SortState {
    int column = -1;
    bool reversed = false;
    bool operator==(const SortState& other) const { return column == other.column && reversed == other.reversed; }
};
// The state after a click on the header of `column`: the sorted column
// again turns its order round, another column starts with its own order.
SortState NextSortState(SortState current, int column);
// Whether rows sorted so run from the larger key to the smaller (the
// header's arrow points down): the time column unless reversed, others
// when reversed.
bool SortsDescending(SortState state);

// The new order of rows whose keys (the texts of the clicked column, the
// empty text for column 0) are `keys`: element i is the index of the row
// that goes to position i. Rows with equal keys keep their relative order,
// also when `reversed`.
std::vector<std::size_t> SortOrder(const std::vector<std::string>& keys, int column, bool reversed = false);
// The same over texts kept elsewhere.
std::vector<std::size_t> SortOrderOfViews(const std::vector<std::string_view>& keys, int column,
                                          bool reversed = false);

}  // namespace quorvin::views
