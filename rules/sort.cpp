#include "rules/sort.h"

#include <algorithm>
#include <numeric>

#include "core/cp932.h"

namespace quorvin::views {

namespace {

bool IsNumber(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numbers of any length by value ("007" equals "7"), before every other
// text; other texts as the other columns compare them.
int CompareEventIds(std::string_view a, std::string_view b) {
    const bool aNumber = IsNumber(a), bNumber = IsNumber(b);
    if (aNumber != bNumber) return aNumber ? -1 : 1;
    if (!aNumber) return text::MbsICmp(a, b);
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

template <class Keys>
std::vector<std::size_t> StableOrder(const Keys& keys, int column, bool reversed) {
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int compared = CompareForColumn(keys[a], keys[b], column);
        return reversed ? compared > 0 : compared < 0;
    });
    return order;
}

}  // namespace

int CompareForColumn(std::string_view a, std::string_view b, int column) {
    if (column == kEventIdColumn) return CompareEventIds(a, b);
    const int order = text::MbsICmp(a, b);
    return column == kTimeColumn ? -order : order;
}

SortState NextSortState(SortState current, int column) {
    if (current.column == column) return {column, !current.reversed};
    return {column, false};
}

bool SortsDescending(SortState state) { return (state.column == kTimeColumn) != state.reversed; }

std::vector<std::size_t> SortOrder(const std::vector<std::string>& keys, int column, bool reversed) {
    return StableOrder(keys, column, reversed);
}

std::vector<std::size_t> SortOrderOfViews(const std::vector<std::string_view>& keys, int column, bool reversed) {
    return StableOrder(keys, column, reversed);
}

}  // namespace quorvin::views
