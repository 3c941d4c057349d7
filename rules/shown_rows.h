#pragma once
// The rows of the event list that its filter shows: an index of the
// matching rows of the EventTable, in the table's order. The table keeps
// every row; the list, the detail dialog, the tooltip, searches and the
// export read the shown rows through this index.

#include <cstddef>
#include <string>
#include <vector>

#include "rules/event_filter.h"
#include "rules/event_table.h"

namespace quorvin::views {

// The channels of the table's rows (log names that are no classic log's),
// each once whatever its ASCII case, in MbsICmp's order.
std::vector<std::string> ChannelsOfTable(const EventTable& table);

class ShownRows {
public:
    explicit ShownRows(const EventTable& table) : table_(table) {}

    const EventFilter& Filter() const { return filter_; }
    // Shows the rows `filter` matches.
    void SetFilter(EventFilter filter);
    // Looks at every row again: after rows were sorted, inserted or removed.
    void Rebuild();
    // Looks at the rows appended to the table since the last look.
    void RowsAppended();
    // Table row `row` was inserted (another program's row): it is shown,
    // whatever the filter, until the rows are looked at again.
    void RowInserted(std::size_t row);

    std::size_t Count() const { return filter_.ShowsEverything() ? table_.Count() : index_.size(); }
    // The table's index of shown row `shown` (which must exist).
    std::size_t TableRow(std::size_t shown) const { return filter_.ShowsEverything() ? shown : index_[shown]; }
    // The shown index of table row `row`; -1 when it is not shown.
    int ShownIndexOf(std::size_t row) const;
    // Column `column` of shown row `shown`; the empty text outside.
    const std::string& Text(std::size_t shown, int column) const;
    int Image(std::size_t shown) const;
    // The shown rows' texts in their order, for the export.
    std::vector<run::ExportRow> ExportRows() const;

private:
    const EventTable& table_;
    EventFilter filter_;
    std::vector<std::size_t> index_;  // used only while the filter restricts
    std::size_t looked_ = 0;          // table rows looked at so far
};

}  // namespace quorvin::views
