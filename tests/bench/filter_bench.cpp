// The event list's filter over 200,000 rows: how many rows a second it
// looks at, for each kind of filter, as setting the filter in the window
// does (the index of shown rows built over the whole table); then the
// summary of the same rows, its groups ordered and its chart made, as the
// summary window does. Prints one line a filter; not a test.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/event_row.h"
#include "rules/event_summary.h"
#include "rules/shown_rows.h"

using namespace quorvin;

namespace {

constexpr std::size_t kRows = 200000;

// Times over six days, a second apart per row and wrapping: hourly bars.
std::string TimeOf(std::size_t row) {
    char text[32];
    const std::size_t second = row * 7 % (6 * 86400);
    std::snprintf(text, sizeof text, "2026/12/%02zu %02zu:%02zu:%02zu  ", 1 + second / 86400, second / 3600 % 24,
                  second / 60 % 60, second % 60);
    return text;
}

// Summarizes the rows `shown` shows, as the summary window does, five
// times: the first in memory the process has not used yet, as a window's
// first summary, and the best, without what the machine's other work adds.
void BenchSummary(const char* name, const views::EventTable& table, const views::ShownRows& shown) {
    double first = 0, best = 0;
    std::size_t groups = 0, bars = 0;
    for (int pass = 0; pass < 5; ++pass) {
        const std::clock_t cpuStart = std::clock();
        views::EventSummary summary;
        for (std::size_t row = 0; row < shown.Count(); ++row) summary.Add(table.Row(shown.TableRow(row)));
        groups = summary.Rows().size();
        bars = summary.Chart().bars.size();
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC * 1000;
        if (pass == 0) first = best = cpu;
        best = std::min(best, cpu);
    }
    std::printf("summary, %-31s %7zu rows in %6zu groups, %4zu bars: %6.1f ms of CPU (first), %.1f ms (best of 5)\n",
                name, shown.Count(), groups, bars, first, best);
}

views::EventTable MakeTable() {
    static const char* const kSources[] = {"Service Control Manager", "Security", "Disk", "EventLog", "W32Time"};
    static const char* const kLogs[] = {"System", "Security", "Application"};
    std::vector<engine::EventRow> rows;
    rows.reserve(kRows);
    for (std::size_t i = 0; i < kRows; ++i) {
        const std::uint16_t type = static_cast<std::uint16_t>(1u << (i % 5));
        std::string message = "ｻｰﾋﾞｽ Spooler の状態が変わりました。ユーザー user" + std::to_string(i % 977) +
                              " のログオンに失敗しました。理由: 不明なユーザー名または不正なパスワードです。 "
                              "ログオン プロセス: NtLmSsp 認証パッケージ: MICROSOFT_AUTHENTICATION_PACKAGE_V1_0";
        rows.push_back(engine::MakeEventRow(type, "\\\\PC" + std::to_string(i % 200), kSources[i % 5],
                                            std::move(message), kLogs[i % 3], TimeOf(i),
                                            static_cast<std::uint32_t>(i % 8000)));
    }
    views::EventTable table;
    table.Append(rows);
    return table;
}

}  // namespace

int main() {
    const views::EventTable table = MakeTable();
    const struct {
        const char* name;
        views::FilterFields fields;
    } filters[] = {
        {"event IDs 529,675,4625", [] { views::FilterFields f; f.eventIds = "529,675,4625"; return f; }()},
        {"event IDs 7-11,-9", [] { views::FilterFields f; f.eventIds = "7-11,-9"; return f; }()},
        {"type error, computer PC15", [] { views::FilterFields f; f.types = views::kTypeError; f.computers = "pc15"; return f; }()},
        {"source, text 'USER976' (ASCII)", [] { views::FilterFields f; f.sources = "security"; f.text = "USER976"; return f; }()},
        {"text (double-byte, every row)", [] { views::FilterFields f; f.text = "不正なパスワード"; return f; }()},
        {"text 'nowhere' (no row)", [] { views::FilterFields f; f.text = "nowhere"; return f; }()},
    };
    for (const auto& filter : filters) {
        views::FilterError error{};
        const auto parsed = views::EventFilter::Parse(filter.fields, error);
        if (!parsed) return 1;
        views::ShownRows shown(table);
        const auto start = std::chrono::steady_clock::now();
        shown.SetFilter(*parsed);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-40s %7zu of %zu rows shown in %6.1f ms: %.1f million rows/s\n", filter.name, shown.Count(),
                    table.Count(), seconds * 1000, static_cast<double>(table.Count()) / seconds / 1e6);
    }
    views::ShownRows all(table);
    BenchSummary("every row", table, all);
    views::FilterError error{};
    views::FilterFields errors;
    errors.types = views::kTypeError;
    all.SetFilter(*views::EventFilter::Parse(errors, error));
    BenchSummary("errors only", table, all);
    return 0;
}
