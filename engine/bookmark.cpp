#include "engine/bookmark.h"

namespace quorvin::engine {

BookmarkStep StepAgainst(const LogBookmark& bookmark, std::uint32_t recordNumber, std::uint32_t timeWritten) {
    if (recordNumber > bookmark.recordNumber) return BookmarkStep::kNewer;
    if (recordNumber == bookmark.recordNumber && timeWritten == bookmark.timeWritten) return BookmarkStep::kReached;
    return BookmarkStep::kGone;
}

std::optional<LogBookmark> NextBookmark(const std::optional<LogBookmark>& old, bool reached,
                                        const std::optional<LogBookmark>& newestHandedOn) {
    if (newestHandedOn) return newestHandedOn;
    return reached ? old : std::nullopt;
}

}  // namespace quorvin::engine
