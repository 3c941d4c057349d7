#pragma once
// Saved event log files (.evtx) read as a run reads a computer's logs: the
// records of the date window and of the chosen types become rows, in the
// order the file holds them; what is wrong in a file becomes a report line
// and the reading goes on as far as it can; a stop ends the run at the next
// record.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <atomic>

#include "engine/collection_view.h"
#include "engine/run_options.h"

namespace quorvin::engine {

// Reads the whole file of the run's list at `index` into `bytes`; false
// with the system's reason (CP932).
using ReadWholeFile = std::function<bool(std::size_t index, std::vector<std::uint8_t>& bytes, std::string& reason)>;

struct FileRunEnvironment {
    // The date window and the event types kept.
    const RunOptions& options;
    std::string& report;
    std::atomic<int>& stopRequested;
    CollectionView& view;
    // Make EventRow::facts for every row (the console's JSON output).
    bool eventFacts = false;
};

// The files `names` (CP932, as the user named them) one after another into
// the run's view and report, then the total line; returns 1, as
// Collector::Run does.
int ReadLogFiles(FileRunEnvironment& env, const std::vector<std::string>& names, const ReadWholeFile& read);

}  // namespace quorvin::engine
