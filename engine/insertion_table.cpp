#include "engine/insertion_table.h"

#include <algorithm>

namespace quorvin::engine {

void InsertionTable::Fill(const std::vector<std::string>& strings) {
    const std::size_t count = std::min(strings.size(), entries_.size());
    for (std::size_t i = 0; i < count; ++i) entries_[i] = strings[i];
    for (std::size_t i = count; i < filled_; ++i) entries_[i].clear();
    filled_ = count;
}

void InsertionTable::Set(std::size_t i, const std::string& text) {
    entries_[i] = text;
    if (i >= filled_) filled_ = i + 1;
}

}  // namespace quorvin::engine
