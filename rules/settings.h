#pragma once
// The settings record: every option of the program, one field per registry
// value under HKEY_LOCAL_MACHINE\SOFTWARE\ORVANTE\クォーヴィン, named after
// the value. Loaded once at start-up, written once at exit.

#include <cstdint>
#include <string>
#include <vector>

#include "core/rect.h"
#include "engine/run_options.h"
#include "rules/event_filter.h"

namespace quorvin::app {

// A window's size in pixels; {0, 0}: its first size.
struct SummarySize {
    int width = 0, height = 0;
    bool operator==(const SummarySize& o) const { return width == o.width && height == o.height; }
};

// The main window as the user left it: its restored rectangle (in the
// workspace coordinates of GetWindowPlacement), whether it was maximized,
// and the event list's column widths; nothing stored: `placed` false and
// no widths.
struct MainWindowLayout {
    bool placed = false;
    PixelRect normal;
    bool maximized = false;
    std::vector<int> columnWidths;
    bool operator==(const MainWindowLayout& o) const {
        return placed == o.placed && normal == o.normal && maximized == o.maximized && columnWidths == o.columnWidths;
    }
};

// The job and the alternate account (Filter_*, EnableStartDate,
// EnableEndDate, StartTime, EndTime, AnotherLoginName, Username, Password)
// are the fields of the engine's run options; the rest are the windows'.
struct AppSettings : engine::RunOptions {
    std::int32_t DontShowComList = 0;
    std::int32_t DontShowMessageToolTip = 0;
    std::int32_t DayBefore = 0;
    std::uint32_t MaxComputer = 0;
    std::int32_t ShowOnlyServer = 0;
    std::int32_t bDebugTrace = 0;
    // The start dialog's "その他のログ" as typed; its channels are the run
    // options' Channels. Value OtherLogs (REG_SZ).
    std::string OtherLogs;
    // Computers a run collects at the same time, 1 to engine::kMostParallel.
    // Read from the value ParallelComputers when set there (an administrator
    // sets it; the program never writes it), else engine::kDefaultParallel.
    std::int32_t ParallelComputers = engine::kDefaultParallel;
    // The computer list: each name followed by ";". Composed when the main
    // window closes; read by the computer tree itself at start-up.
    std::string ComputerListToSave;
    // The event list's filter as last set; kept in values of its own
    // (LoadViewFilter, SaveViewFilter), not among the record's 27.
    views::FilterFields ViewFilter;
    // The summary window's size as last left; kept in values of its own
    // (LoadSummarySize, SaveSummarySize).
    SummarySize SummaryWindow;
    // The main window's place and the list's column widths; kept in values
    // of their own (LoadMainWindowLayout, SaveMainWindowLayout).
    MainWindowLayout MainWindow;
};

}  // namespace quorvin::app
