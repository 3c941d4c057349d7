#pragma once
// The state of scheduled collection: per computer and log the bookmark of
// the last record handed on, kept in a small JSON file between runs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/collection_view.h"

namespace quorvin::run {

struct StateEntry {
    std::string computer;  // CP932, as the computer list names it
    std::string log;       // "system", "security" or "application"
    engine::LogBookmark bookmark;
};

class CollectionState {
public:
    // The bookmark of a log; computer names compare as names do (case ignored).
    std::optional<engine::LogBookmark> Find(const std::string& computer, const std::string& log) const;
    // What a complete read of a log leaves: its new bookmark, or none.
    void Set(const std::string& computer, const std::string& log, const std::optional<engine::LogBookmark>& bookmark);
    const std::vector<StateEntry>& Entries() const { return entries_; }

private:
    std::vector<StateEntry> entries_;
};

// The file's text (UTF-8 JSON, one entry a line, ending in "\n").
std::string WriteState(const CollectionState& state);

// Reads a state file's text. False with `error` (UTF-8) saying what is
// wrong and where: a file that is no JSON (with its line and column), of
// another kind or version, or an entry (by its number) without a computer,
// with an unknown log or a record number or time that is no 32-bit number.
// An empty text is an empty state.
bool ParseState(std::string_view text, CollectionState& state, std::string& error);

}  // namespace quorvin::run
