#pragma once
// The run state the application object holds for the whole process: the
// report of the last run, the stop request of the progress dialog and
// whether the collected results were saved.

#include <atomic>
#include <cstdint>
#include <string>

namespace quorvin::app {

struct RunState {
    // The coded lines of the last run; written by the worker during a run only.
    std::string RunReport;
    // 1 = the user asked the run to stop; set by the stop button, read and cleared by the worker.
    std::atomic<int> StopRequested{0};
    // 1 = nothing unsaved: set at start-up and after an export; 0 once a row is added to the event list.
    std::int32_t ResultsSaved = 0;
};

}  // namespace quorvin::app
