#pragma once
// The insertion-string table a message is formatted with: 256 entries, the
// record's strings first, every other entry empty. One table is kept from
// one event to the next so that its strings' memory is reused.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/log_record.h"

namespace quorvin::engine {

class InsertionTable {
public:
    InsertionTable() : entries_(kMaxInsertionStrings) {}

    // The record's strings (at most 256) and empty entries after them,
    // whatever the table held before.
    void Fill(const std::vector<std::string>& strings);
    // Entry `i` (below 256) becomes `text`.
    void Set(std::size_t i, const std::string& text);

    const std::vector<std::string>& Entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
    // Entries from here on are empty: only those before are emptied again
    // by the next Fill.
    std::size_t filled_ = 0;
};

}  // namespace quorvin::engine
