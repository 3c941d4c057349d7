#pragma once
// The summary of the events: one group per computer, log, type, source and
// event ID with its count and its first and last time, and the events per
// hour (or per day) for the chart above it. The window summarizes the rows
// the list shows; the console collector the rows it writes, as they pass,
// so it keeps only the groups. Computers and sources are grouped as the
// filter compares them (ASCII letters in either case), so the filter of a
// group (GroupFilter) shows exactly its rows.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/collection_view.h"
#include "rules/event_filter.h"

namespace quorvin::views {

// The types in the order of their bits (error first), as the chart stacks them.
constexpr std::size_t kTypeCount = 5;
using TypeCounts = std::array<std::uint64_t, kTypeCount>;

struct SummaryRow {
    // The group's texts as its first row shows them (CP932).
    std::string computer, log, typeText, source, eventId;
    unsigned type = kTypeInformation;  // one bit of the filter's types
    std::uint64_t count = 0;
    // The earliest and the latest time text of its rows, as the list shows them.
    std::string first, last;
    // While counting, texts of the list's form ("YYYY/MM/DD hh:mm:ss  ")
    // are kept as the number YYYYMMDDhhmmss (-1: none yet), in the same
    // order; `first` and `last` hold only texts of other forms until Rows().
    std::int64_t firstStamp = -1, lastStamp = -1;
    bool otherTimes = false;
    // The same as seconds since 1970 UTC, when the rows carried their facts.
    bool haveSeconds = false;
    std::int64_t firstSeconds = 0, lastSeconds = 0;
};

// The summary's columns, in the order of the table and of its CSV file.
enum class SummaryColumn { kComputer, kLog, kType, kSource, kEventId, kCount, kFirst, kLast };
constexpr int kSummaryColumns = 8;
// "ｺﾝﾋﾟｭｰﾀ名", "ｲﾍﾞﾝﾄ", "種類", "ｿｰｽ", "ｲﾍﾞﾝﾄID", "件数", "最初", "最後".
const std::array<const char*, kSummaryColumns>& SummaryTitles();
// The text of `column` of `row` as the table and the CSV file show it.
std::string SummaryText(const SummaryRow& row, SummaryColumn column);

// The events of one chart: bars of one hour, or of whole days when the
// times span more than seven days (of as many days as keep the chart to
// kMostBars bars); each bar counts the events of each type.
constexpr std::size_t kMostBars = 1000;
struct SummaryChart {
    // Hours a bar stands for: 1, 24 or a multiple of 24.
    std::int64_t hoursPerBar = 1;
    // The first bar's start: hours since 1970-01-01 00:00 of the local calendar.
    std::int64_t firstHour = 0;
    std::vector<TypeCounts> bars;
    std::uint64_t Tallest() const;
    // "YYYY/MM/DD HH:00" of the start of bar `bar` (hourly bars), "YYYY/MM/DD" for days.
    std::string BarStart(std::size_t bar) const;
};

class EventSummary {
public:
    EventSummary() = default;
    EventSummary(const EventSummary&) = delete;
    EventSummary& operator=(const EventSummary&) = delete;

    // Counts `row` into its group and its hour.
    void Add(const engine::EventRow& row);
    // Adds the groups and hours of `other`.
    void Merge(const EventSummary& other);
    void Clear();
    bool Empty() const { return rows_.empty(); }
    std::uint64_t EventCount() const { return events_; }

    // The groups, most events first, then by the columns in their order.
    std::vector<SummaryRow> Rows() const;
    SummaryChart Chart() const;

private:
    SummaryRow& GroupOf(const engine::EventRow& row, unsigned type, std::string_view key, std::size_t hash);
    void Count(const engine::EventRow& row, SummaryRow& group);
    TypeCounts& HourOf(std::int64_t hour);
    // The group of `key`, a new one (`added`, its row still to be made) when there is none.
    std::size_t FindOrAdd(std::string_view key, std::size_t hash, bool& added);
    void Grow();
    std::string_view KeyOf(std::size_t group) const;

    // The groups' keys, by an open-addressing table of at most half its slots.
    static constexpr std::uint32_t kNoGroup = 0xFFFFFFFF;
    struct Slot {
        std::uint32_t hash = 0;  // the key's hash, its low bits
        std::uint32_t group = kNoGroup;
    };
    std::vector<Slot> slots_;
    std::string keys_;                 // every group's key, one after another
    std::vector<std::size_t> keyEnds_;  // where each group's key ends in keys_
    std::vector<SummaryRow> rows_;
    std::unordered_map<std::int64_t, TypeCounts> hours_;  // events per local hour
    std::pair<const std::int64_t, TypeCounts>* lastHour_ = nullptr;  // the hour of the row before
    std::uint64_t events_ = 0;
    std::string key_;  // reused for every row
};

// Orders `rows` by `column` (texts as the list compares them, IDs and
// counts as numbers), descending when asked; ties in the summary's order.
void SortSummary(std::vector<SummaryRow>& rows, SummaryColumn column, bool descending);

// The step between the chart's value lines: 1, 2 or 5 times a power of
// ten, the smallest that needs at most `most` steps to reach `tallest`.
std::uint64_t AxisStep(std::uint64_t tallest, int most);
// Every how many bars a time label fits: labels `labelWidth` wide under
// `bars` bars spread over `width` pixels.
std::size_t LabelEvery(std::size_t bars, int width, int labelWidth);

// The filter fields that show exactly the rows of `row`'s group; `channels`
// are those of the list's rows (ChannelsOfTable), hidden but the group's.
FilterFields GroupFilter(const SummaryRow& row, const std::vector<std::string>& channels);

// The local hour of a time text "YYYY/MM/DD HH:MM:SS": hours since
// 1970-01-01 00:00 of the same calendar; false when it is no such text.
bool HourOfTimeText(std::string_view text, std::int64_t& hour);

// The summary as a CSV file as the export writes it (CP932, the titles'
// line first, CR LF).
std::string SummaryCsv(const std::vector<SummaryRow>& rows);

}  // namespace quorvin::views
