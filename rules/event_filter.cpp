#include "rules/event_filter.h"

#include <algorithm>

#include "core/cp932.h"

namespace quorvin::views {

namespace {

constexpr std::uint32_t kMostEventId = 65535;

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The length of the quoted entry at the start of `text` ("a,b" with ""
// for a double quote) up to the comma or the end after it; npos when
// `text` starts with no such entry (no closing quote, or more after it).
// No CP932 trail byte is a comma or a double quote.
std::size_t QuotedLength(std::string_view text) {
    if (text.empty() || text.front() != '"') return std::string_view::npos;
    std::size_t i = 1;
    for (;; ++i) {
        if (i >= text.size()) return std::string_view::npos;
        if (text[i] != '"') continue;
        if (i + 1 >= text.size() || text[i + 1] != '"') break;
        ++i;
    }
    const std::size_t after = text.find_first_not_of(" \t", i + 1);
    if (after != std::string_view::npos && text[after] != ',') return std::string_view::npos;
    return i + 1;
}

// The entries of a comma-separated list, blanks around each removed; no
// entry at all for a blank text. A quoted entry keeps its quotes here.
std::vector<std::string_view> SplitEntries(std::string_view text) {
    std::vector<std::string_view> entries;
    if (TrimBlanks(text).empty()) return entries;
    for (;;) {
        text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
        const std::size_t quoted = QuotedLength(text);
        const std::size_t comma = text.find(',', quoted == std::string_view::npos ? 0 : quoted);
        entries.push_back(quoted != std::string_view::npos ? text.substr(0, quoted) : TrimBlanks(text.substr(0, comma)));
        if (comma == std::string_view::npos) return entries;
        text.remove_prefix(comma + 1);
    }
}

// A name entry without its quotes, its doubled quotes single again.
std::string Unquoted(std::string_view entry) {
    if (QuotedLength(entry) != entry.size()) return std::string(entry);
    std::string name;
    for (std::size_t i = 1; i + 1 < entry.size(); ++i) {
        name += entry[i];
        if (entry[i] == '"') ++i;
    }
    return name;
}

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The offset of the first lead byte without its trail byte; npos for none.
std::size_t BrokenCharacterAt(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!text::IsLeadByte(static_cast<unsigned char>(text[i]))) continue;
        if (i + 1 >= text.size() || !IsTrailByte(static_cast<unsigned char>(text[i + 1]))) return i;
        ++i;
    }
    return std::string_view::npos;
}

// A decimal number of at most 65535; false for anything else.
bool ParseId(std::string_view digits, std::uint32_t& id, bool& tooLarge) {
    tooLarge = false;
    if (digits.empty()) return false;
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(c - '0'), kMostEventId + 1);
    }
    tooLarge = value > kMostEventId;
    id = value;
    return !tooLarge;
}

// One entry of the ID list without its exclusion sign: "N" or "N-M".
bool ParseIdRange(std::string_view body, IdRange& range, FilterProblem& problem) {
    const std::size_t dash = body.find('-');
    bool tooLarge = false;
    if (dash != std::string_view::npos && dash > 0 && dash + 1 == body.size()) {
        problem = FilterProblem::kNoEnd;
        return false;
    }
    const std::string_view first = body.substr(0, dash);
    const std::string_view last = dash == std::string_view::npos ? first : body.substr(dash + 1);
    bool tooLargeLast = false;
    const bool parsed = ParseId(first, range.first, tooLarge) && ParseId(last, range.last, tooLargeLast);
    if (!parsed) {
        problem = (tooLarge || tooLargeLast) ? FilterProblem::kTooLarge : FilterProblem::kNoNumber;
        return false;
    }
    if (range.first > range.last) {
        problem = FilterProblem::kBackwards;
        return false;
    }
    return true;
}

bool InAny(const std::vector<IdRange>& ranges, std::uint32_t id) {
    return std::any_of(ranges.begin(), ranges.end(), [id](const IdRange& r) { return id >= r.first && id <= r.last; });
}

bool ParseNames(std::string_view text, FilterField field, std::vector<std::string>& names, FilterError& error) {
    std::size_t position = 0;
    for (std::string_view entry : SplitEntries(text)) {
        ++position;
        const bool quoted = QuotedLength(entry) == entry.size();
        if (field == FilterField::kComputers && !quoted)
            entry.remove_prefix(std::min(entry.find_first_not_of('\\'), entry.size()));
        if (entry.empty()) {
            error = {field, FilterProblem::kEmptyEntry, {}, position};
            return false;
        }
        if (const std::size_t at = BrokenCharacterAt(entry); at != std::string_view::npos) {
            error = {field, FilterProblem::kBadText, std::string(entry), position};
            return false;
        }
        names.push_back(Unquoted(entry));
    }
    return true;
}

bool MatchesName(const std::vector<std::string>& names, const std::string& text) {
    if (names.empty()) return true;
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return text::MbsICmp(n, text) == 0; });
}

// Hidden channel names: none empty, none with half a character, and all of
// them together no longer than a field.
bool CheckChannels(const std::vector<std::string>& names, FilterError& error) {
    std::size_t bytes = 0, position = 0;
    for (const std::string& name : names) {
        ++position;
        bytes += name.size() + 1;
        if (name.empty() || BrokenCharacterAt(name) != std::string_view::npos) {
            error = {FilterField::kChannels, name.empty() ? FilterProblem::kEmptyEntry : FilterProblem::kBadText, name,
                     position};
            return false;
        }
    }
    if (bytes <= kMostFieldBytes + 1) return true;
    error = {FilterField::kChannels, FilterProblem::kTooLong, {}, 0};
    return false;
}

}  // namespace

unsigned TypeOfImage(int image) {
    switch (image) {
    case 1: return kTypeWarning;
    case 2: return kTypeError;
    case 3: return kTypeAuditSuccess;
    case 4: return kTypeAuditFailure;
    default: return kTypeInformation;
    }
}

unsigned LogOfName(const std::string& name) {
    if (name == "ｼｽﾃﾑ") return kLogSystem;
    if (name == "ｾｷｭﾘﾃｨ") return kLogSecurity;
    if (name == "ｱﾌﾟﾘｹｰｼｮﾝ") return kLogApplication;
    return 0;
}

namespace {

char FoldByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool operator==(const FilterFields& a, const FilterFields& b) {
    return a.types == b.types && a.logs == b.logs && a.computers == b.computers && a.sources == b.sources &&
           a.eventIds == b.eventIds && a.text == b.text && a.hiddenChannels == b.hiddenChannels;
}

bool ShowsEverything(const FilterFields& f) {
    return f.types == kAllTypes && f.logs == kAllLogs && TrimBlanks(f.computers).empty() &&
           TrimBlanks(f.sources).empty() && TrimBlanks(f.eventIds).empty() && f.text.empty() &&
           f.hiddenChannels.empty();
}

bool ParseEventIds(std::string_view text, std::vector<IdRange>& included, std::vector<IdRange>& excluded,
                   FilterError& error) {
    std::size_t position = 0;
    for (const std::string_view entry : SplitEntries(text)) {
        ++position;
        if (entry.empty()) {
            error = {FilterField::kEventIds, FilterProblem::kEmptyEntry, {}, position};
            return false;
        }
        const bool exclusion = entry.front() == '-';
        IdRange range;
        FilterProblem problem{};
        if (!ParseIdRange(exclusion ? entry.substr(1) : entry, range, problem)) {
            error = {FilterField::kEventIds, problem, std::string(entry), position};
            return false;
        }
        (exclusion ? excluded : included).push_back(range);
    }
    return true;
}

std::optional<EventFilter> EventFilter::Parse(const FilterFields& fields, FilterError& error) {
    const std::pair<FilterField, const std::string*> texts[] = {{FilterField::kComputers, &fields.computers},
                                                                {FilterField::kSources, &fields.sources},
                                                                {FilterField::kEventIds, &fields.eventIds},
                                                                {FilterField::kText, &fields.text}};
    for (const auto& [field, text] : texts) {
        if (text->size() > kMostFieldBytes) {
            error = {field, FilterProblem::kTooLong, {}, 0};
            return std::nullopt;
        }
    }
    // No classic log chosen is a choice: the channels' rows alone.
    if ((fields.types & kAllTypes) == 0) {
        error = {FilterField::kTypes, FilterProblem::kNoneChosen, {}, 0};
        return std::nullopt;
    }
    if (const std::size_t at = BrokenCharacterAt(fields.text); at != std::string_view::npos) {
        error = {FilterField::kText, FilterProblem::kBadText, {}, at + 1};
        return std::nullopt;
    }
    EventFilter filter;
    if (!CheckChannels(fields.hiddenChannels, error)) return std::nullopt;
    for (const std::string& name : fields.hiddenChannels) filter.hiddenChannels_.push_back(text::MbsICmpKey(name));
    filter.types_ = fields.types & kAllTypes;
    filter.logs_ = fields.logs & kAllLogs;
    filter.text_ = FoldAscii(fields.text);
    if (!ParseNames(fields.computers, FilterField::kComputers, filter.computers_, error) ||
        !ParseNames(fields.sources, FilterField::kSources, filter.sources_, error) ||
        !ParseEventIds(fields.eventIds, filter.included_, filter.excluded_, error))
        return std::nullopt;
    filter.everything_ = filter.types_ == kAllTypes && filter.logs_ == kAllLogs && filter.computers_.empty() &&
                         filter.sources_.empty() && filter.included_.empty() && filter.excluded_.empty() &&
                         filter.text_.empty() && filter.hiddenChannels_.empty();
    return filter;
}

bool EventFilter::MatchesId(std::string_view idText) const {
    if (included_.empty() && excluded_.empty()) return true;
    std::uint32_t id = 0;
    bool tooLarge = false;
    if (!ParseId(idText, id, tooLarge)) return false;
    return (included_.empty() || InAny(included_, id)) && !InAny(excluded_, id);
}

bool EventFilter::MatchesText(std::string_view message) const {
    return text_.empty() || ContainsText(message, text_);
}

bool EventFilter::MatchesLog(const std::string& log) const {
    const unsigned bit = LogOfName(log);
    if (bit != 0) return (logs_ & bit) != 0;
    if (hiddenChannels_.empty()) return true;
    const std::string key = text::MbsICmpKey(log);
    return std::find(hiddenChannels_.begin(), hiddenChannels_.end(), key) == hiddenChannels_.end();
}

bool EventFilter::Matches(const engine::EventRow& row) const {
    if (everything_) return true;
    const auto& c = row.columns;
    return (types_ & TypeOfImage(row.image)) != 0 && MatchesLog(c[3]) &&
           MatchesName(computers_, c[4]) && MatchesName(sources_, c[5]) && MatchesId(c[6]) && MatchesText(c[7]);
}

std::string ChannelListText(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (name.find(';') != std::string::npos) continue;
        if (!text.empty()) text += ';';
        text += name;
    }
    return text;
}

bool ParseChannelList(std::string_view text, std::vector<std::string>& names, FilterError& error) {
    std::vector<std::string> read;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        if (end > start) read.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (!CheckChannels(read, error)) return false;
    names = std::move(read);
    return true;
}

std::vector<std::string> HiddenAfterChoice(const std::vector<std::string>& hidden,
                                           const std::vector<std::string>& listed, const std::vector<bool>& shown) {
    const auto isListed = [&](const std::string& name) {
        return std::any_of(listed.begin(), listed.end(),
                           [&](const std::string& l) { return text::MbsICmp(l, name) == 0; });
    };
    std::vector<std::string> after;
    for (const std::string& name : hidden)
        if (!isListed(name)) after.push_back(name);
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (i >= shown.size() || !shown[i]) after.push_back(listed[i]);
    return after;
}

std::string QuoteName(std::string_view name) {
    const bool plain = !name.empty() && name.find_first_of(",\"") == std::string_view::npos &&
                       TrimBlanks(name).size() == name.size() && name.front() != '\\';
    if (plain) return std::string(name);
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(folded[i])))
            ++i;
        else
            folded[i] = FoldByte(folded[i]);
    }
    return folded;
}

bool ContainsText(std::string_view message, std::string_view needle) {
    if (needle.empty()) return true;
    const std::size_t size = message.size();
    for (std::size_t start = 0; start + needle.size() <= size;) {
        const bool lead = text::IsLeadByte(static_cast<unsigned char>(message[start]));
        // Character by character from `start`: a double-byte character of
        // the message only ever meets one of the needle, at the same bytes.
        std::size_t i = 0;
        while (i < needle.size()) {
            const char m = message[start + i];
            if (text::IsLeadByte(static_cast<unsigned char>(m))) {
                if (i + 1 >= needle.size() || m != needle[i] || message[start + i + 1] != needle[i + 1]) break;
                i += 2;
            } else {
                if (FoldByte(m) != needle[i]) break;
                ++i;
            }
        }
        if (i == needle.size()) return true;
        start += lead && start + 1 < size ? 2 : 1;
    }
    return false;
}

}  // namespace quorvin::views

namespace quorvin::views {

namespace {

const char* FieldName(FilterField field) {
    switch (field) {
    case FilterField::kTypes: return "種類";
    case FilterField::kLogs: return "ログ";
    case FilterField::kComputers: return "コンピュータ名";
    case FilterField::kSources: return "ソース";
    case FilterField::kEventIds: return "イベントID";
    case FilterField::kText: return "メッセージの文字列";
    case FilterField::kChannels: return "チャネル";
    }
    return "";
}

}  // namespace

app::UserMessage FilterErrorMessage(const FilterError& e) {
    const std::string entry = "'" + e.entry + "' ";
    const std::string place = std::to_string(e.position);
    std::string problem;
    switch (e.problem) {
    case FilterProblem::kEmptyEntry: problem = place + " 番目の項目が空です。"; break;
    case FilterProblem::kNoNumber: problem = entry + "は 0 から 65535 の番号ではありません。"; break;
    case FilterProblem::kNoEnd: problem = entry + "に範囲の終わりがありません。"; break;
    case FilterProblem::kTooLarge: problem = entry + "は 65535 を超えています。"; break;
    case FilterProblem::kBackwards: problem = entry + "は範囲の始めが終わりより大きくなっています。"; break;
    case FilterProblem::kBadText:
        problem = e.entry.empty() ? place + " バイト目の2バイト文字が途中で切れています。"
                                  : place + " 番目の項目に途中で切れた2バイト文字があります。";
        break;
    case FilterProblem::kNoneChosen: problem = "1つ以上選んでください。"; break;
    case FilterProblem::kTooLong: problem = std::to_string(kMostFieldBytes) + " バイトまでです。"; break;
    case FilterProblem::kBadChoice: problem = entry + "は選択の値ではありません。"; break;
    case FilterProblem::kNoCp932Form: problem = place + " 文字目はシフトJISにない文字のため使えません。"; break;
    }
    return {std::string(FieldName(e.field)) + ": " + problem, "注意", app::MessageIcon::Exclamation,
            app::MessageButtons::Ok};
}

std::string FilterErrorText(const FilterError& e, std::string_view switchName) {
    const std::string entry = "'" + text::Cp932ToUtf8(e.entry) + "' ";
    const std::string place = std::to_string(e.position);
    std::string problem;
    switch (e.problem) {
    case FilterProblem::kEmptyEntry: problem = "entry " + place + " is empty"; break;
    case FilterProblem::kNoNumber: problem = entry + "is no event ID (a number from 0 to 65535)"; break;
    case FilterProblem::kNoEnd: problem = entry + "has no end"; break;
    case FilterProblem::kTooLarge: problem = entry + "is larger than 65535"; break;
    case FilterProblem::kBackwards: problem = entry + "starts after its end"; break;
    case FilterProblem::kBadText:
        problem = e.entry.empty() ? "byte " + place + " is half of a double-byte character"
                                  : "entry " + place + " has half of a double-byte character";
        break;
    case FilterProblem::kNoneChosen: problem = "nothing chosen"; break;
    case FilterProblem::kTooLong: problem = "longer than " + std::to_string(kMostFieldBytes) + " bytes"; break;
    case FilterProblem::kBadChoice: problem = entry + "is no choice"; break;
    case FilterProblem::kNoCp932Form: problem = "character " + place + " has no CP932 form"; break;
    }
    return std::string(switchName) + ": " + problem;
}

}  // namespace quorvin::views
