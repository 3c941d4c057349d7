#include "rules/run_outcome.h"

#include <algorithm>

namespace quorvin::run {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "(N)rest" after `prefix`: N and rest; false when the line is not such.
bool RunLine(std::string_view line, std::string_view prefix, std::string& name, std::string_view& rest) {
    if (!StartsWith(line, prefix) || line.size() <= prefix.size() || line[prefix.size()] != '(') return false;
    const std::size_t close = line.find(')', prefix.size());
    if (close == std::string_view::npos) return false;
    name = std::string(line.substr(prefix.size() + 1, close - prefix.size() - 1));
    rest = line.substr(close + 1);
    return true;
}

// A coded line of an error or warning, "ｴﾗｰ 002:[\\N][log]:text": N and the text.
bool ProblemLine(std::string_view line, std::string& name, std::string& text) {
    if (!StartsWith(line, "ｴﾗｰ ") && !StartsWith(line, "警告 ") && !StartsWith(line, "注意 ")) return false;
    const std::size_t open = line.find(":[");
    if (open == std::string_view::npos) return false;
    std::size_t start = open + 2;
    if (StartsWith(line.substr(start), "\\\\")) start += 2;
    const std::size_t close = line.find(']', start);
    const std::size_t fieldsEnd = line.find("]:", start);
    if (close == std::string_view::npos || fieldsEnd == std::string_view::npos) return false;
    name = std::string(line.substr(start, close - start));
    text = std::string(line.substr(fieldsEnd + 2));
    return true;
}

// The cause line after a problem: "原因 003:text" or "原因:text".
bool CauseLine(std::string_view line, std::string& cause) {
    if (!StartsWith(line, "原因")) return false;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    cause = std::string(line.substr(colon + 1));
    return true;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

class Reader {
public:
    void Line(std::string_view line) {
        std::string name, text;
        std::string_view rest;
        if (RunLine(line, "確認:", name, rest)) {
            Computer(name).outcome.cancelled |= rest == "ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。";
            causeFor_ = nullptr;
        } else if (RunLine(line, "失敗:", name, rest)) {
            Failed(Computer(name), rest);
            causeFor_ = nullptr;
        } else if (ProblemLine(line, name, text)) {
            Seen& computer = Computer(name);
            computer.lastProblem = text;
            firstAwaitsCause_ = computer.outcome.firstProblem.empty();
            if (firstAwaitsCause_) computer.outcome.firstProblem = text;
            causeFor_ = &computer;
        } else if (causeFor_ && CauseLine(line, text)) {
            // The cause completes the problem line before it.
            causeFor_->lastProblem += " " + text;
            if (firstAwaitsCause_) causeFor_->outcome.firstProblem += " " + text;
            causeFor_ = nullptr;
        }
    }
    std::vector<ComputerOutcome> Outcomes() {
        std::vector<ComputerOutcome> outcomes;
        for (Seen& computer : seen_) {
            if (!computer.failProblem.empty()) computer.outcome.firstProblem = computer.failProblem;
            outcomes.push_back(std::move(computer.outcome));
        }
        return outcomes;
    }

private:
    struct Seen {
        ComputerOutcome outcome;
        std::string lastProblem, failProblem;
    };

    Seen& Computer(const std::string& name) {
        for (Seen& computer : seen_)
            if (SameName(computer.outcome.name, name)) return computer;
        seen_.emplace_back();
        seen_.back().outcome.name = name;
        causeFor_ = nullptr;  // a vector's growth moves what it points to
        return seen_.back();
    }
    static void Failed(Seen& computer, std::string_view rest) {
        constexpr std::string_view kEnd = "の取得に失敗しました。", kLog = "ﾛｸﾞ";
        std::string_view log = rest.substr(0, rest.find(kEnd));
        if (log.size() >= kLog.size() && log.substr(log.size() - kLog.size()) == kLog) log.remove_suffix(kLog.size());
        computer.outcome.failedLogs.emplace_back(log);
        if (computer.failProblem.empty()) computer.failProblem = computer.lastProblem;
    }

    std::vector<Seen> seen_;
    Seen* causeFor_ = nullptr;
    bool firstAwaitsCause_ = false;
};

}  // namespace

std::vector<ComputerOutcome> ReadRunOutcomes(std::string_view report) {
    Reader reader;
    for (std::size_t start = 0; start < report.size();) {
        std::size_t end = report.find("\r\n", start);
        if (end == std::string_view::npos) end = report.size();
        reader.Line(report.substr(start, end - start));
        start = end + 2;
    }
    return reader.Outcomes();
}

std::vector<ComputerOutcome> SummaryOrder(std::vector<ComputerOutcome> outcomes) {
    std::stable_partition(outcomes.begin(), outcomes.end(),
                          [](const ComputerOutcome& o) { return o.Failed() || o.cancelled; });
    return outcomes;
}

const char* OutcomeTitle(int column) {
    static const char* const titles[kOutcomeColumns] = {"ｺﾝﾋﾟｭｰﾀ名", "件数", "失敗したﾛｸﾞ", "最初の問題"};
    return column >= 0 && column < kOutcomeColumns ? titles[column] : "";
}

std::string OutcomeText(const ComputerOutcome& outcome, int column) {
    switch (column) {
    case 0: return outcome.name;
    case 1: return std::to_string(outcome.rows);
    case 2: {
        std::string logs;
        for (const std::string& log : outcome.failedLogs) logs += (logs.empty() ? "" : "、") + log;
        if (outcome.cancelled) logs += logs.empty() ? "(中止)" : " (中止)";
        return logs;
    }
    case 3: return outcome.firstProblem;
    default: return {};
    }
}

}  // namespace quorvin::run
