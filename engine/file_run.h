#pragma once
// Saved event log files read as a run reads a computer's logs: the records
// of the date window and of the chosen types become rows; what is wrong in
// a file becomes a report line and the reading goes on as far as it can; a
// stop ends the run at the next record. The kind is told by the content:
// an .evtx file's rows come in the order the file holds them, with the
// record's own texts; an .evt file is read as the Collector reads a log of
// this machine, newest first, each record given its message text from
// this machine's message files.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <atomic>

#include "engine/collection_view.h"
#include "engine/run_options.h"
#include "services/services.h"

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
    // This machine's services, which give .evt records their message
    // texts; null: there are none, and those records keep the text of a
    // description not found.
    platform::Platform* machine = nullptr;
};

// The files `names` (CP932, as the user named them) one after another into
// the run's view and report, then the total line; returns 1, as
// Collector::Run does.
int ReadLogFiles(FileRunEnvironment& env, const std::vector<std::string>& names, const ReadWholeFile& read);

}  // namespace quorvin::engine
