#pragma once
// What a run's report says of each computer, for the result dialog's
// summary above the report and the computer tree's marks. The report's
// text stays as it is (scripts and users read it); this reads its run
// lines ("確認:(N)...", "失敗:(N)...") and its coded lines ("ｴﾗｰ 002:[\\N]...",
// "原因 003:...").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::run {

struct ComputerOutcome {
    std::string name;  // as the run lines name it
    // Logs whose read failed, as the report names them without "ﾛｸﾞ" ("ｼｽﾃﾑ").
    std::vector<std::string> failedLogs;
    bool cancelled = false;
    // The problem that made the first log fail, else the computer's first
    // error or warning, with its cause: one line, empty when none.
    std::string firstProblem;
    std::uint64_t rows = 0;  // left to the caller, which has the rows
    bool Failed() const { return !failedLogs.empty(); }
};

// The computers of `report` in the order it first names them.
std::vector<ComputerOutcome> ReadRunOutcomes(std::string_view report);

// The summary's rows: computers whose run failed first, then the others,
// each in the report's order; its columns' titles and texts (CP932).
std::vector<ComputerOutcome> SummaryOrder(std::vector<ComputerOutcome> outcomes);
constexpr int kOutcomeColumns = 4;
const char* OutcomeTitle(int column);
std::string OutcomeText(const ComputerOutcome& outcome, int column);

}  // namespace quorvin::run
