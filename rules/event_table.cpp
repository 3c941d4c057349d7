#include "rules/event_table.h"

#include <algorithm>
#include <iterator>

#include "core/cp932.h"
#include "rules/sort.h"

namespace quorvin::views {

std::string AsListKeepsIt(std::string_view text) {
    // ASCII without NUL and half-width katakana come back as they are.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x01 && byte <= 0x7F) || (byte >= 0xA1 && byte <= 0xDF);
    });
    if (plain) return std::string(text);
    std::u16string wide = text::ToUtf16(text);
    const std::size_t end = wide.find(u'\0');
    if (end != std::u16string::npos) wide.resize(end);
    return text::FromUtf16(wide);
}

const std::string& EventTable::Text(std::size_t row, int column) const {
    static const std::string kEmpty;
    if (row >= rows_.size() || column < 0 || column >= static_cast<int>(engine::EventRow{}.columns.size()))
        return kEmpty;
    return rows_[row].columns[static_cast<std::size_t>(column)];
}

int EventTable::Image(std::size_t row) const { return row < rows_.size() ? rows_[row].image : 0; }

void EventTable::Append(std::vector<engine::EventRow>& rows) {
    if (rows_.empty()) {
        rows_.swap(rows);
        rows.clear();
        return;
    }
    // Grows geometrically: reserving each batch's exact size would move the
    // whole table at every batch of a large run.
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    rows.clear();
}

std::size_t EventTable::Insert(std::size_t index, engine::EventRow row) {
    if (index > rows_.size()) index = rows_.size();
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    return index;
}

bool EventTable::SetText(std::size_t row, int column, std::string text) {
    if (row >= rows_.size() || column < 0 || column >= static_cast<int>(rows_[row].columns.size())) return false;
    rows_[row].columns[static_cast<std::size_t>(column)] = std::move(text);
    return true;
}

bool EventTable::SetImage(std::size_t row, int image) {
    if (row >= rows_.size()) return false;
    rows_[row].image = image;
    return true;
}

bool EventTable::Erase(std::size_t row) {
    if (row >= rows_.size()) return false;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    return true;
}

std::vector<std::size_t> EventTable::SortByColumn(int column, bool reversed) {
    std::vector<std::string_view> keys;
    keys.reserve(rows_.size());
    for (std::size_t row = 0; row < rows_.size(); ++row) keys.push_back(Text(row, column));
    const std::vector<std::size_t> order = SortOrderOfViews(keys, column, reversed);
    std::vector<engine::EventRow> sorted;
    sorted.reserve(rows_.size());
    std::vector<std::size_t> newPlace(rows_.size());
    for (std::size_t place = 0; place < order.size(); ++place) {
        sorted.push_back(std::move(rows_[order[place]]));
        newPlace[order[place]] = place;
    }
    rows_.swap(sorted);
    return newPlace;
}

std::vector<run::ExportRow> EventTable::ExportRows() const {
    std::vector<run::ExportRow> rows;
    rows.reserve(rows_.size());
    for (const engine::EventRow& row : rows_) rows.push_back(row.columns);
    return rows;
}

}  // namespace quorvin::views
