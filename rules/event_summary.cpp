#include "rules/event_summary.h"

#include <algorithm>
#include <cstdio>

#include "core/cp932.h"
#include "rules/event_json.h"
#include "rules/export.h"

namespace quorvin::views {

namespace {

constexpr std::int64_t kSpanOfHours = 7 * 24;

std::size_t TypeSlot(unsigned type) {
    std::size_t slot = 0;
    while (type > 1) {
        type >>= 1;
        ++slot;
    }
    return slot;
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, unsigned& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// An event ID as a number to order by; texts that are none come after all numbers.
bool IdNumber(const std::string& text, std::uint64_t& id) {
    if (text.empty() || text.size() > 9) return false;
    unsigned value = 0;
    if (!Digits(text, 0, text.size(), value)) return false;
    id = value;
    return true;
}

int CompareIds(const std::string& a, const std::string& b) {
    std::uint64_t x = 0, y = 0;
    const bool numberA = IdNumber(a, x), numberB = IdNumber(b, y);
    if (numberA && numberB) return x < y ? -1 : (x > y ? 1 : 0);
    if (numberA != numberB) return numberA ? -1 : 1;
    return text::MbsICmp(a, b);
}

int Compare(const SummaryRow& a, const SummaryRow& b, SummaryColumn column) {
    switch (column) {
    case SummaryColumn::kComputer: return text::MbsICmp(a.computer, b.computer);
    case SummaryColumn::kLog: return text::MbsICmp(a.log, b.log);
    case SummaryColumn::kType: return text::MbsICmp(a.typeText, b.typeText);
    case SummaryColumn::kSource: return text::MbsICmp(a.source, b.source);
    case SummaryColumn::kEventId: return CompareIds(a.eventId, b.eventId);
    case SummaryColumn::kCount: return a.count < b.count ? -1 : (a.count > b.count ? 1 : 0);
    case SummaryColumn::kFirst: return a.first.compare(b.first);
    case SummaryColumn::kLast: return a.last.compare(b.last);
    }
    return 0;
}

// The summary's own order: most events first, then the columns in order.
bool BeforeInSummary(const SummaryRow& a, const SummaryRow& b) {
    if (a.count != b.count) return a.count > b.count;
    for (int column = 0; column < kSummaryColumns; ++column)
        if (const int order = Compare(a, b, static_cast<SummaryColumn>(column))) return order < 0;
    return false;
}

// A time text of the list's form as the number YYYYMMDDhhmmss, and its
// hour when it is a date; false for a text of another form.
bool StampOf(std::string_view text, std::int64_t& stamp) {
    if (text.size() != 21 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':' || text[19] != ' ' || text[20] != ' ')
        return false;
    stamp = 0;
    for (const std::size_t at : {0, 5, 8, 11, 14, 17}) {
        unsigned part = 0;
        if (!Digits(text, at, at == 0 ? 4 : 2, part)) return false;
        stamp = stamp * (at == 0 ? 1 : 100) + part;
    }
    return true;
}

// "YYYY/MM/DD hh:mm:ss  " of a stamp of StampOf; written by hand, as
// every group needs two.
std::string TextOfStamp(std::int64_t stamp) {
    std::string text = "0000/00/00 00:00:00  ";
    const auto put = [&](std::size_t end, std::size_t digits, std::int64_t value) {
        for (std::size_t i = 0; i < digits; ++i, value /= 10) text[end - i - 1] = static_cast<char>('0' + value % 10);
    };
    put(4, 4, stamp / 10000000000);
    put(7, 2, stamp / 100000000 % 100);
    put(10, 2, stamp / 1000000 % 100);
    put(13, 2, stamp / 10000 % 100);
    put(16, 2, stamp / 100 % 100);
    put(19, 2, stamp % 100);
    return text;
}

void WidenTimes(SummaryRow& into, std::int64_t firstStamp, std::int64_t lastStamp) {
    if (firstStamp >= 0 && (into.firstStamp < 0 || firstStamp < into.firstStamp)) into.firstStamp = firstStamp;
    if (lastStamp > into.lastStamp) into.lastStamp = lastStamp;
}

void WidenOtherTimes(SummaryRow& into, const std::string& first, const std::string& last) {
    if (!into.otherTimes || first < into.first) into.first = first;
    if (!into.otherTimes || last > into.last) into.last = last;
    into.otherTimes = true;
}

// The group's first and last texts from what counting kept.
SummaryRow Finished(const SummaryRow& group) {
    SummaryRow row = group;
    if (group.firstStamp >= 0) {
        const std::string first = TextOfStamp(group.firstStamp), last = TextOfStamp(group.lastStamp);
        row.first = group.otherTimes ? std::min(first, group.first) : first;
        row.last = group.otherTimes ? std::max(last, group.last) : last;
    }
    return row;
}

void Widen(SummaryRow& into, const SummaryRow& from) {
    into.count += from.count;
    WidenTimes(into, from.firstStamp, from.lastStamp);
    if (from.otherTimes) WidenOtherTimes(into, from.first, from.last);
    if (!from.haveSeconds) return;
    into.firstSeconds = into.haveSeconds ? std::min(into.firstSeconds, from.firstSeconds) : from.firstSeconds;
    into.lastSeconds = into.haveSeconds ? std::max(into.lastSeconds, from.lastSeconds) : from.lastSeconds;
    into.haveSeconds = true;
}

}  // namespace

const std::array<const char*, kSummaryColumns>& SummaryTitles() {
    static const std::array<const char*, kSummaryColumns> titles = {"ｺﾝﾋﾟｭｰﾀ名", "ｲﾍﾞﾝﾄ", "種類", "ｿｰｽ",
                                                                    "ｲﾍﾞﾝﾄID",   "件数",  "最初", "最後"};
    return titles;
}

std::string SummaryText(const SummaryRow& row, SummaryColumn column) {
    switch (column) {
    case SummaryColumn::kComputer: return row.computer;
    case SummaryColumn::kLog: return row.log;
    case SummaryColumn::kType: return row.typeText;
    case SummaryColumn::kSource: return row.source;
    case SummaryColumn::kEventId: return row.eventId;
    case SummaryColumn::kCount: return std::to_string(row.count);
    case SummaryColumn::kFirst: return row.first;
    case SummaryColumn::kLast: return row.last;
    }
    return {};
}

namespace {

bool HourOfDate(unsigned year, unsigned month, unsigned day, unsigned h, std::int64_t& hour) {
    if (month < 1 || month > 12 || day < 1 || day > 31 || h > 23) return false;
    hour = DaysFromCivil(year, month, day) * 24 + h;
    return true;
}

// HourOfTimeText of the text a stamp of StampOf was read from.
bool HourOfStamp(std::int64_t stamp, std::int64_t& hour) {
    return HourOfDate(static_cast<unsigned>(stamp / 10000000000), static_cast<unsigned>(stamp / 100000000 % 100),
                      static_cast<unsigned>(stamp / 1000000 % 100), static_cast<unsigned>(stamp / 10000 % 100), hour);
}

}  // namespace

bool HourOfTimeText(std::string_view text, std::int64_t& hour) {
    unsigned year = 0, month = 0, day = 0, h = 0;
    if (text.size() < 13 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || !Digits(text, 0, 4, year) ||
        !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) || !Digits(text, 11, 2, h))
        return false;
    return HourOfDate(year, month, day, h, hour);
}

// `text` onto `key` as MbsICmpKey writes it, without a string of its own.
void AppendFolded(std::string& key, const std::string& text) {
    const std::size_t start = key.size();
    key += text;
    for (std::size_t i = start; i < key.size(); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        if (c >= 'A' && c <= 'Z')
            key[i] = static_cast<char>(c - 'A' + 'a');
        else if (c >= 0x80 && text::IsLeadByte(c))
            ++i;  // its trail byte is no letter
    }
}

// The key a row is grouped by: computer and source folded as the filter
// compares them, log, type and event ID as they are.
void GroupKey(const engine::EventRow& row, unsigned type, std::string& key) {
    const auto& c = row.columns;
    key.clear();
    AppendFolded(key, c[4]);
    key += '\0';
    key += c[3];
    key += '\0';
    key += static_cast<char>('0' + type % 64);
    AppendFolded(key, c[5]);
    key += '\0';
    key += c[6];
}

SummaryRow& EventSummary::GroupOf(const engine::EventRow& row, unsigned type, std::string_view key,
                                  std::size_t hash) {
    bool added = false;
    const std::size_t place = FindOrAdd(key, hash, added);
    if (!added) return rows_[place];
    const auto& c = row.columns;
    SummaryRow& group = rows_.emplace_back();
    group.computer = c[4];
    group.log = c[3];
    group.typeText = c[1];
    group.source = c[5];
    group.eventId = c[6];
    group.type = type;
    return group;
}

TypeCounts& EventSummary::HourOf(std::int64_t hour) {
    // A run's rows come a log at a time, newest first: most rows fall in the hour of the row before.
    if (!lastHour_ || lastHour_->first != hour) lastHour_ = &*hours_.try_emplace(hour).first;
    return lastHour_->second;
}

void EventSummary::Add(const engine::EventRow& row) {
    const unsigned type = TypeOfImage(row.image);
    GroupKey(row, type, key_);
    Count(row, GroupOf(row, type, key_, std::hash<std::string_view>()(key_)));
}

void EventSummary::Count(const engine::EventRow& row, SummaryRow& group) {
    const std::string& time = row.columns[2];
    ++group.count;
    std::int64_t stamp = 0, hour = 0;
    const bool listTime = StampOf(time, stamp);
    if (listTime)
        WidenTimes(group, stamp, stamp);
    else
        WidenOtherTimes(group, time, time);
    if (row.facts) {
        const std::int64_t seconds = row.facts->timeGenerated;
        group.firstSeconds = group.haveSeconds ? std::min(group.firstSeconds, seconds) : seconds;
        group.lastSeconds = group.haveSeconds ? std::max(group.lastSeconds, seconds) : seconds;
        group.haveSeconds = true;
    }
    ++events_;
    if (listTime ? HourOfStamp(stamp, hour) : HourOfTimeText(time, hour)) ++HourOf(hour)[TypeSlot(group.type)];
}

std::size_t EventSummary::FindOrAdd(std::string_view key, std::size_t hash, bool& added) {
    if ((rows_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.group == kNoGroup) {
            slot = {static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(rows_.size())};
            keys_ += key;
            keyEnds_.push_back(keys_.size());
            added = true;
            return rows_.size();
        }
        if (slot.hash == static_cast<std::uint32_t>(hash) && KeyOf(slot.group) == key) {
            added = false;
            return slot.group;
        }
    }
}

void EventSummary::Grow() {
    std::vector<Slot> slots(std::max<std::size_t>(64, slots_.size() * 2));
    const std::size_t mask = slots.size() - 1;
    for (const Slot& slot : slots_) {
        if (slot.group == kNoGroup) continue;
        std::size_t at = slot.hash & mask;
        while (slots[at].group != kNoGroup) at = (at + 1) & mask;
        slots[at] = slot;
    }
    slots_.swap(slots);
}

std::string_view EventSummary::KeyOf(std::size_t group) const {
    const std::size_t start = group == 0 ? 0 : keyEnds_[group - 1];
    return std::string_view(keys_).substr(start, keyEnds_[group] - start);
}

void EventSummary::Merge(const EventSummary& other) {
    for (std::size_t group = 0; group < other.rows_.size(); ++group) {
        bool added = false;
        const std::string_view key = other.KeyOf(group);
        const std::size_t place = FindOrAdd(key, std::hash<std::string_view>()(key), added);
        if (added)
            rows_.push_back(other.rows_[group]);
        else
            Widen(rows_[place], other.rows_[group]);
    }
    for (const auto& [hour, counts] : other.hours_)
        for (std::size_t type = 0; type < kTypeCount; ++type) hours_[hour][type] += counts[type];
    events_ += other.events_;
}

void EventSummary::Clear() {
    lastHour_ = nullptr;
    slots_.clear();
    keys_.clear();
    keyEnds_.clear();
    rows_.clear();
    hours_.clear();
    events_ = 0;
}

namespace {

// For each group, the place of its text of `column` among the groups'
// distinct texts in the column's order (texts that compare equal share
// one): the order of thousands of groups then costs one comparison of
// each distinct text instead of several of each group.
std::vector<std::uint32_t> RanksOf(const std::vector<SummaryRow>& groups, SummaryColumn column) {
    std::unordered_map<std::string, std::uint32_t> distinct;
    std::vector<std::uint32_t> ranks(groups.size());
    std::vector<const SummaryRow*> firsts;
    for (std::size_t group = 0; group < groups.size(); ++group) {
        const auto [at, added] = distinct.try_emplace(SummaryText(groups[group], column),
                                                      static_cast<std::uint32_t>(firsts.size()));
        if (added) firsts.push_back(&groups[group]);
        ranks[group] = at->second;
    }
    std::vector<std::uint32_t> order(firsts.size());
    for (std::size_t text = 0; text < order.size(); ++text) order[text] = static_cast<std::uint32_t>(text);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t x, std::uint32_t y) { return Compare(*firsts[x], *firsts[y], column) < 0; });
    std::vector<std::uint32_t> rankOfText(order.size());
    std::uint32_t rank = 0;
    for (std::size_t place = 0; place < order.size(); ++place) {
        if (place > 0 && Compare(*firsts[order[place - 1]], *firsts[order[place]], column) < 0) ++rank;
        rankOfText[order[place]] = rank;
    }
    for (std::uint32_t& text : ranks) text = rankOfText[text];
    return ranks;
}

}  // namespace

std::vector<SummaryRow> EventSummary::Rows() const {
    constexpr int kRanked = static_cast<int>(SummaryColumn::kEventId) + 1;
    std::array<std::vector<std::uint32_t>, kRanked> ranks;
    for (int column = 0; column < kRanked; ++column) ranks[column] = RanksOf(rows_, static_cast<SummaryColumn>(column));
    std::vector<std::uint32_t> order(rows_.size());
    for (std::size_t group = 0; group < order.size(); ++group) order[group] = static_cast<std::uint32_t>(group);
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        const SummaryRow &a = rows_[x], &b = rows_[y];
        if (a.count != b.count) return a.count > b.count;
        for (const auto& rank : ranks)
            if (rank[x] != rank[y]) return rank[x] < rank[y];
        // Only groups whose texts the grouping folds apart get here.
        return BeforeInSummary(Finished(a), Finished(b));
    });
    std::vector<SummaryRow> rows;
    rows.reserve(order.size());
    for (const std::uint32_t group : order) rows.push_back(Finished(rows_[group]));
    return rows;
}

SummaryChart EventSummary::Chart() const {
    SummaryChart chart;
    if (hours_.empty()) return chart;
    std::int64_t first = hours_.begin()->first, last = first;
    for (const auto& entry : hours_) {
        first = std::min(first, entry.first);
        last = std::max(last, entry.first);
    }
    if (last - first >= kSpanOfHours) {
        const std::int64_t days = last / 24 - first / 24 + 1;
        chart.hoursPerBar = 24 * ((days + static_cast<std::int64_t>(kMostBars) - 1) / static_cast<std::int64_t>(kMostBars));
        first -= ((first % 24) + 24) % 24;
    }
    chart.firstHour = first;
    chart.bars.resize(static_cast<std::size_t>((last - first) / chart.hoursPerBar + 1));
    for (const auto& [hour, counts] : hours_) {
        TypeCounts& bar = chart.bars[static_cast<std::size_t>((hour - first) / chart.hoursPerBar)];
        for (std::size_t type = 0; type < kTypeCount; ++type) bar[type] += counts[type];
    }
    return chart;
}

std::uint64_t SummaryChart::Tallest() const {
    std::uint64_t tallest = 0;
    for (const TypeCounts& bar : bars) {
        std::uint64_t height = 0;
        for (const std::uint64_t count : bar) height += count;
        tallest = std::max(tallest, height);
    }
    return tallest;
}

std::string SummaryChart::BarStart(std::size_t bar) const {
    const std::int64_t hour = firstHour + static_cast<std::int64_t>(bar) * hoursPerBar;
    // The hour counts on the local calendar as the UTC text counts on its own.
    std::string text = run::IsoUtcTime(hour * 3600);
    std::replace(text.begin(), text.end(), '-', '/');
    text[10] = ' ';
    return text.substr(0, hoursPerBar == 1 ? 16 : 10);
}

void SortSummary(std::vector<SummaryRow>& rows, SummaryColumn column, bool descending) {
    std::sort(rows.begin(), rows.end(), [&](const SummaryRow& a, const SummaryRow& b) {
        const int order = Compare(a, b, column);
        if (order != 0) return descending ? order > 0 : order < 0;
        return BeforeInSummary(a, b);
    });
}

std::uint64_t AxisStep(std::uint64_t tallest, int most) {
    const auto steps = static_cast<std::uint64_t>(std::max(most, 1));
    for (std::uint64_t power = 1;; power *= 10)
        for (const std::uint64_t factor : {1, 2, 5})
            if (factor * power * steps >= tallest || power > tallest) return factor * power;
}

std::size_t LabelEvery(std::size_t bars, int width, int labelWidth) {
    if (bars == 0 || width <= 0) return 1;
    const double slot = static_cast<double>(width) / static_cast<double>(bars);
    const auto every = static_cast<std::size_t>(static_cast<double>(std::max(labelWidth, 1)) / slot) + 1;
    return std::min(every, bars);
}

FilterFields GroupFilter(const SummaryRow& row, const std::vector<std::string>& channels) {
    FilterFields fields;
    fields.types = row.type;
    // A channel's group: no classic log, and every other channel hidden.
    fields.logs = LogOfName(row.log);
    for (const std::string& channel : channels)
        if (text::MbsICmp(channel, row.log) != 0) fields.hiddenChannels.push_back(channel);
    fields.computers = QuoteName(row.computer);
    fields.sources = QuoteName(row.source);
    // An ID the filter cannot name (another program's text) restricts nothing.
    std::uint64_t id = 0;
    if (IdNumber(row.eventId, id) && id <= 65535) fields.eventIds = std::to_string(id);
    return fields;
}

std::string SummaryCsv(const std::vector<SummaryRow>& rows) {
    std::vector<std::string> cells(SummaryTitles().begin(), SummaryTitles().end());
    std::string out = run::CsvLine(cells);
    for (const SummaryRow& row : rows) {
        for (int column = 0; column < kSummaryColumns; ++column)
            cells[static_cast<std::size_t>(column)] = SummaryText(row, static_cast<SummaryColumn>(column));
        out += run::CsvLine(cells);
    }
    return out;
}

}  // namespace quorvin::views
