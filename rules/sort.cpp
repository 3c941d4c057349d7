#include "rules/sort.h"

#include <algorithm>
#include <numeric>

#include "core/cp932.h"

namespace quorvin::views {

int CompareForColumn(std::string_view a, std::string_view b, int column) {
    const int order = text::MbsICmp(a, b);
    return column == kTimeColumn ? -order : order;
}

namespace {
template <class Keys>
std::vector<std::size_t> StableOrder(const Keys& keys, int column) {
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareForColumn(keys[a], keys[b], column) < 0;
    });
    return order;
}
}  // namespace

std::vector<std::size_t> SortOrder(const std::vector<std::string>& keys, int column) {
    return StableOrder(keys, column);
}

std::vector<std::size_t> SortOrderOfViews(const std::vector<std::string_view>& keys, int column) {
    return StableOrder(keys, column);
}

}  // namespace quorvin::views
