#pragma once
// The state of scheduled collection: per computer and log the bookmark of
// the last record handed on, kept in a small JSON file between runs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/collection_view.h"

namespace quorvin::run {

struct StateEntry {
    std::string computer;  // CP932, as the computer list names it
    // "system", "security" or "application" ("log" in the file), or a
    // channel as Windows names it, CP932 ("channel" in the file).
    std::string log;
    engine::LogBookmark bookmark;
    // Read from an entry that kept only the readable name (UTF-8), which
    // some names do not survive: it stands for every name that reads as it
    // does, until a run sets it.
    bool readableOnly = false;
};

class CollectionState {
public:
    // The bookmark of a log; computer names compare as names do (case ignored).
    std::optional<engine::LogBookmark> Find(const std::string& computer, const std::string& log) const;
    // What a complete read of a log leaves: its new bookmark, or none.
    void Set(const std::string& computer, const std::string& log, const std::optional<engine::LogBookmark>& bookmark);
    // An entry as a file holds it, in the place of the entry it stands for.
    void Put(StateEntry entry);
    const std::vector<StateEntry>& Entries() const { return entries_; }

    // The events file this state vouches for, as the run that wrote the
    // state left it: the file's identity (as the file system gives it) and
    // length. Bytes past that length in the same file were added by a run
    // that did not end (killed, a power loss) and were never handed on.
    struct EventsMark {
        std::string file;
        std::uint64_t length = 0;
        bool operator==(const EventsMark& o) const { return file == o.file && length == o.length; }
        bool operator!=(const EventsMark& o) const { return !(*this == o); }
    };
    std::optional<EventsMark> events;

private:
    std::vector<StateEntry> entries_;
};

// The file's text (UTF-8 JSON, one entry a line, ending in "\n"). A name
// whose readable form does not read back to its bytes keeps them beside it.
std::string WriteState(const CollectionState& state);

// Reads a state file's text. False with `error` (UTF-8) saying what is
// wrong and where: a file that is no JSON (with its line and column), of
// another kind or version, a field of the wrong type, or an entry (by its
// number) without a computer, with an unknown log or an empty channel
// name, a time or a classic log's record number that is no 32-bit number,
// or a second entry for one computer and log.
// An empty text is an empty state.
bool ParseState(std::string_view text, CollectionState& state, std::string& error);

}  // namespace quorvin::run
