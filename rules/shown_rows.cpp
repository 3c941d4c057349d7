#include "rules/shown_rows.h"

#include <algorithm>
#include <map>

#include "core/cp932.h"

namespace quorvin::views {

std::vector<std::string> ChannelsOfTable(const EventTable& table) {
    std::map<std::string, std::string> byKey;  // MbsICmpKey -> the first name seen
    const std::string* last = nullptr;
    for (std::size_t row = 0; row < table.Count(); ++row) {
        const std::string& log = table.Text(row, 3);
        if ((last && *last == log) || LogOfName(log) != 0) continue;
        last = &log;
        byKey.emplace(text::MbsICmpKey(log), log);
    }
    std::vector<std::string> channels;
    for (auto& [key, name] : byKey) channels.push_back(std::move(name));
    return channels;
}

void ShownRows::SetFilter(EventFilter filter) {
    filter_ = std::move(filter);
    Rebuild();
}

void ShownRows::Rebuild() {
    index_.clear();
    looked_ = 0;
    RowsAppended();
}

void ShownRows::RowsAppended() {
    if (filter_.ShowsEverything()) {
        index_.clear();
    } else {
        for (std::size_t row = looked_; row < table_.Count(); ++row)
            if (filter_.Matches(table_.Row(row))) index_.push_back(row);
    }
    looked_ = table_.Count();
}

void ShownRows::RowInserted(std::size_t row) {
    if (!filter_.ShowsEverything()) {
        // The rows after it moved down by one.
        const auto at = std::lower_bound(index_.begin(), index_.end(), row);
        for (auto later = at; later != index_.end(); ++later) ++*later;
        index_.insert(at, row);
    }
    if (row <= looked_) ++looked_;
}

int ShownRows::ShownIndexOf(std::size_t row) const {
    if (filter_.ShowsEverything()) return row < table_.Count() ? static_cast<int>(row) : -1;
    const auto at = std::lower_bound(index_.begin(), index_.end(), row);
    return at != index_.end() && *at == row ? static_cast<int>(at - index_.begin()) : -1;
}

const std::string& ShownRows::Text(std::size_t shown, int column) const {
    static const std::string kEmpty;
    return shown < Count() ? table_.Text(TableRow(shown), column) : kEmpty;
}

int ShownRows::Image(std::size_t shown) const { return shown < Count() ? table_.Image(TableRow(shown)) : 0; }

std::vector<run::ExportRow> ShownRows::ExportRows() const {
    if (filter_.ShowsEverything()) return table_.ExportRows();
    std::vector<run::ExportRow> rows;
    rows.reserve(index_.size());
    for (const std::size_t row : index_) rows.push_back(table_.Row(row).columns);
    return rows;
}

}  // namespace quorvin::views
