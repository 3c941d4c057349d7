#pragma once
// Reading a log on from where the last run left it: the records newer than
// a bookmark, and what a log that was cleared or overwritten past it does.

#include <optional>

#include "engine/collection_view.h"

namespace quorvin::engine {

// Where a record read newest first stands against the bookmark.
enum class BookmarkStep {
    kNewer,    // a record after the bookmark: collected
    kReached,  // the bookmark's own record: the read ends before it
    kGone,     // the numbers went back, or the number is there with another time:
               // the bookmark's record was cleared or overwritten
};
BookmarkStep StepAgainst(const LogBookmark& bookmark, std::uint32_t recordNumber, std::uint32_t timeWritten);

// The bookmark a complete read leaves: the newest record handed on; when
// none was, the old one if the read reached it, else none (the log is read
// from the window's start next time).
std::optional<LogBookmark> NextBookmark(const std::optional<LogBookmark>& old, bool reached,
                                        const std::optional<LogBookmark>& newestHandedOn);

}  // namespace quorvin::engine
