#pragma once
// The rows of a run on their way from the worker to the window. Each
// handover to the window's thread costs a round trip, so rows are gathered
// and handed over together: when the last handover is at least an interval
// old, when a log ends, before the progress bar moves and before the run
// ends. The progress text travels with them: a handover carries the last
// text set since the one before.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/collection_view.h"

namespace quorvin::run {

// What one handover carries.
struct RowHandover {
    std::vector<engine::EventRow> rows;
    std::optional<std::string> progressText;
};

class RowBatch {
public:
    // At most one handover per `intervalMs` while rows come.
    static constexpr std::uint32_t kIntervalMs = 50;

    // `startMs`: the time the run started, on a millisecond clock that may
    // wrap (GetTickCount).
    explicit RowBatch(std::uint32_t startMs, std::uint32_t intervalMs = kIntervalMs)
        : lastMs_(startMs), intervalMs_(intervalMs) {}

    void Add(engine::EventRow row) { pending_.rows.push_back(std::move(row)); }
    void SetProgressText(std::string text) { pending_.progressText = std::move(text); }

    bool Empty() const { return pending_.rows.empty() && !pending_.progressText; }
    // Whether something waits and the last handover is an interval old at `nowMs`.
    bool Due(std::uint32_t nowMs) const { return !Empty() && nowMs - lastMs_ >= intervalMs_; }
    // What waits, for the handover at `nowMs`; the batch is empty after.
    RowHandover Take(std::uint32_t nowMs);

private:
    RowHandover pending_;
    std::uint32_t lastMs_;
    std::uint32_t intervalMs_;
};

}  // namespace quorvin::run
