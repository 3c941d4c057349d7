#pragma once
// The event filter: which rows of the event list are shown, and which rows
// the console collector writes. A filter is given as texts (the filter
// dialog's fields, the console's switches, the stored values) and parsed
// into an EventFilter that matches rows; a field that cannot be parsed gives
// a FilterError naming the field and the entry at fault.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_message.h"
#include "engine/collection_view.h"

namespace quorvin::views {

// Event types as bits: 1 error, 2 warning, 4 information, 8 audit success,
// 16 audit failure. A row's type is read from its image, so rows of any
// other type (type 0 among them) count as information, as their icon shows.
constexpr unsigned kTypeError = 1, kTypeWarning = 2, kTypeInformation = 4, kTypeAuditSuccess = 8,
                   kTypeAuditFailure = 16, kAllTypes = 31;
// Logs as bits: 1 system, 2 security, 4 application. A row of another log
// (a channel's, or another program's) is shown whatever the bits say,
// unless its name is one of the hidden channels; no bit at all shows the
// channels' rows alone.
constexpr unsigned kLogSystem = 1, kLogSecurity = 2, kLogApplication = 4, kAllLogs = 7;

// The type bit of a row's image, and the log bit of a log's display name
// (0 for another name).
unsigned TypeOfImage(int image);
unsigned LogOfName(const std::string& name);

// The filter as its fields are typed. Names and IDs are lists separated by
// commas; blanks around an entry do not count. A name in double quotes is
// taken as it is, commas and blanks included ("a,b", "" for a double quote
// inside, "" alone for an empty name). Empty texts restrict nothing.
struct FilterFields {
    unsigned types = kAllTypes;
    unsigned logs = kAllLogs;
    std::string computers;  // CP932
    std::string sources;    // CP932
    std::string eventIds;   // e.g. "529,675,4625" or "7-11,-9"
    std::string text;       // CP932, looked for in the message
    // Channels whose rows are not shown (CP932, ASCII letters in either case).
    std::vector<std::string> hiddenChannels;
};
bool operator==(const FilterFields& a, const FilterFields& b);
inline bool operator!=(const FilterFields& a, const FilterFields& b) { return !(a == b); }

// True when the fields restrict nothing: every row is shown.
bool ShowsEverything(const FilterFields& fields);

enum class FilterField { kTypes, kLogs, kComputers, kSources, kEventIds, kText, kChannels };
enum class FilterProblem {
    kEmptyEntry,   // "529,,675", a trailing comma
    kNoNumber,     // "abc", "-"
    kNoEnd,        // "7-"
    kTooLarge,     // above 65535
    kBackwards,    // "11-7"
    kBadText,      // not CP932: a lead byte without its trail byte
    kNoneChosen,   // no type chosen
    kTooLong,      // a field of more than kMostFieldBytes
    kBadChoice,    // a stored choice of types or logs that is no set of them
    kNoCp932Form,  // a character typed in the window that CP932 has not (position: which, from 1)
};
struct FilterError {
    FilterField field;
    FilterProblem problem;
    std::string entry;  // the entry at fault, CP932; empty for the whole field
    std::size_t position = 0;  // its place in the list, from 1
};

// The longest text a field may hold, in bytes.
constexpr std::size_t kMostFieldBytes = 4096;

struct IdRange {
    std::uint32_t first = 0, last = 0;
};

class EventFilter {
public:
    // A filter that shows every row.
    EventFilter() = default;

    // Parses `fields`; on failure `error` says which field and which entry.
    static std::optional<EventFilter> Parse(const FilterFields& fields, FilterError& error);

    bool ShowsEverything() const { return everything_; }
    bool Matches(const engine::EventRow& row) const;

private:
    bool MatchesId(std::string_view idText) const;
    bool MatchesText(std::string_view message) const;
    bool MatchesLog(const std::string& log) const;

    bool everything_ = true;
    unsigned types_ = kAllTypes;
    unsigned logs_ = kAllLogs;
    std::vector<std::string> computers_, sources_;
    std::vector<std::string> hiddenChannels_;  // MbsICmpKey of each
    std::vector<IdRange> included_, excluded_;
    std::string text_;  // ASCII letters folded to lower case
};

// The ID list of `text` into `included` and `excluded`; false with `error` set.
bool ParseEventIds(std::string_view text, std::vector<IdRange>& included, std::vector<IdRange>& excluded,
                   FilterError& error);

// Whether `message` holds `needle` at a character boundary, ASCII letters in
// either case, double-byte characters exactly; `needle` has its ASCII
// letters folded to lower case already (FoldAscii).
bool ContainsText(std::string_view message, std::string_view needle);
// `name` as an entry of a name list: in double quotes when it holds a
// comma or a double quote, starts or ends with a blank, starts with a
// backslash or is empty; as it is otherwise.
std::string QuoteName(std::string_view name);
// `text` with its single-byte ASCII letters in lower case; trail bytes stay.
std::string FoldAscii(std::string_view text);

// The hidden channels as one text, the names separated by ";", and back.
// Reading skips empty entries; a name with half a double-byte character
// gives kBadText naming it. A name holding ";" cannot be kept and is left out.
std::string ChannelListText(const std::vector<std::string>& names);
bool ParseChannelList(std::string_view text, std::vector<std::string>& names, FilterError& error);

// The hidden channels after the filter dialog: those of `hidden` that it did
// not list, then the `listed` channels whose box is not in `shown`.
std::vector<std::string> HiddenAfterChoice(const std::vector<std::string>& hidden,
                                           const std::vector<std::string>& listed, const std::vector<bool>& shown);

// What went wrong, for the filter dialog (CP932, caption "注意").
app::UserMessage FilterErrorMessage(const FilterError& error);
// The same for the console (UTF-8), naming the switch the field came from.
std::string FilterErrorText(const FilterError& error, std::string_view switchName);

}  // namespace quorvin::views
