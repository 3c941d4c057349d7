// The channels of Windows Vista and later, read after a computer's three
// classic logs: one session per computer, each channel queried newest
// first after its bookmark or from the window's start, every event a row
// with the text its computer formats.

#include <algorithm>
#include <limits>

#include "core/cp932.h"
#include "core/local_time.h"
#include "engine/bookmark.h"
#include "engine/collector.h"
#include "engine/day_cache.h"
#include "engine/event_row.h"
#include "engine/message_files.h"
#include "engine/xml_event.h"

namespace quorvin::engine {

namespace {

// RPC_S_UNKNOWN_IF: the computer's RPC server has no channel service
// (Windows XP, Server 2003 and older).
constexpr platform::Error kUnknownInterface = 1717;

// A bookmark's time: the seconds of the event's creation, within 32 bits.
std::uint32_t BookmarkTime(const evtx::Record& record) {
    const std::int64_t seconds = XmlEventTime(record);
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(seconds, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The major version of "5.2" or "6.1"; false when the text is no version.
bool MajorVersion(const std::string& text, int& major) {
    major = 0;
    std::size_t i = 0;
    for (; i < text.size() && i < 4 && text[i] >= '0' && text[i] <= '9'; ++i) major = major * 10 + (text[i] - '0');
    return i > 0 && (i == text.size() || text[i] == '.');
}

}  // namespace

// What the two queries of one channel read share. The second is made when
// the bookmark's record was not found (the channel was cleared): the
// records below the ones the first walked, from the window's start.
struct Collector::ChannelWalk {
    std::optional<LogBookmark> bookmark;
    bool following = false;  // records are compared with the bookmark
    bool reached = false;    // the bookmark's record was found
    bool gone = false;       // it is not in the channel any more
    bool done = false;       // the read ended before the query did
    bool second = false;     // the query after a bookmark that was gone
    std::uint64_t lowestWalked = std::numeric_limits<std::uint64_t>::max();
    std::int64_t endDay = 0;
    DayCache days;
    std::string lastSource;
};

bool Collector::BeforeVista() {
    std::unique_ptr<platform::RegistryKey> machine, version;
    if (env_.platform.registry.ConnectLocalMachine(computer_, machine) != platform::error::kSuccess || !machine)
        return false;
    if (machine->OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", version) != platform::error::kSuccess ||
        !version)
        return false;
    std::string text;
    int major = 0;
    if (ReadValueText(*version, "CurrentVersion", text) != platform::error::kSuccess || !MajorVersion(text, major))
        return false;
    return major < 6;
}

bool Collector::ReadChannels(const std::string& name, std::uint32_t typeMask) {
    const std::vector<std::string>& channels = env_.options.Channels;
    if (channels.empty()) return true;
    computer_ = "\\\\" + name;
    name_ = name;
    // The session is the computer's own; it goes however the channels end.
    struct EndOfChannels {
        Collector& c;
        ~EndOfChannels() {
            c.session_.reset();
            c.channel_.clear();
        }
    } endOfChannels{*this};
    connections_.Use("IPC$");
    sessionError_ = OpenChannelSession();
    // A service that opens no session and names no failure cannot be asked.
    if (sessionError_ == platform::error::kSuccess && !session_) sessionError_ = platform::error::kRpcServerUnavailable;
    if (sessionError_ == platform::error::kCallNotImplemented) {
        report_.NoChannelService(computer_);
        return true;
    }
    // A computer whose channel service cannot be reached may be one that has
    // none: its registry tells. Asked only then, as it costs a connection.
    if (sessionError_ != platform::error::kSuccess && BeforeVista()) sessionError_ = kUnknownInterface;
    for (const std::string& channel : channels) {
        if (sessionError_ == kUnknownInterface) {
            report_.ClassicLogsOnly(computer_, channel);
            continue;
        }
        if (!ReadChannelStep(name, channel, typeMask)) return false;
        HoldStopCheck(false);
        if (env_.stopRequested) return false;
    }
    return true;
}

platform::Error Collector::OpenChannelSession() {
    const RunOptions& s = env_.options;
    platform::ChannelService& service = env_.platform.channels;
    session_.reset();
    if (!s.AnotherLoginName) return service.OpenSession(computer_, nullptr, session_);
    const platform::ChannelAccount account{AccountUser(s), AccountPassword(s)};
    const platform::Error error = service.OpenSession(computer_, &account, session_);
    if (error != platform::error::kAccessDenied && error != platform::error::kLogonFailure) return error;
    report_.ChannelLoginFailed(computer_, account.user, error);
    session_.reset();
    return service.OpenSession(computer_, nullptr, session_);
}

// False when the read was stopped by the user.
bool Collector::ReadChannelStep(const std::string& name, const std::string& channel, std::uint32_t typeMask) {
    channel_ = channel;
    log_ = channel;
    report_.ChannelStarted(name, channel);
    env_.view.LogStarted(name, channel);
    LogEnd end;
    const int result = GetChannel(name, channel, typeMask, end);
    env_.view.FlushRows();
    end.failed = result == kLogFailed;
    if (end.failed)
        report_.ChannelFailed(name, channel);
    else
        report_.ChannelEnded(name, channel);
    env_.view.LogEnded(name, channel, end);
    return result != kLogStopped;
}

int Collector::GetChannel(const std::string& name, const std::string& channel, std::uint32_t typeMask, LogEnd& end) {
    end = LogEnd{};
    newestHandedOn_.reset();
    if (!session_) {
        report_.OpenFailed(computer_, channel, sessionError_);
        return kLogFailed;
    }
    const RunOptions& s = env_.options;
    ChannelWalk walk;
    walk.bookmark = env_.bookmarks ? env_.bookmarks(name, channel) : std::optional<LogBookmark>();
    walk.following = walk.bookmark.has_value();
    walk.endDay = app::LocalMidnight(s.EndTime);
    const std::int64_t since = s.EnableStartDate == 0 ? s.StartTime : 0;
    // With a bookmark the query takes its record too, to tell it is still there.
    platform::ChannelQuery query{channel, 0, walk.following ? 0 : since};
    if (walk.following && walk.bookmark->recordNumber > 0) query.afterRecord = walk.bookmark->recordNumber - 1;

    int result = WalkChannel(query, walk, typeMask);
    if (result == kLogRead && sessionError_ == kUnknownInterface) return kLogRead;  // nothing read, nothing kept
    if (result == kLogRead && !walk.done && walk.following) {
        report_.BookmarkGone(computer_, channel, walk.bookmark->recordNumber);
        walk.following = false;
        walk.gone = true;
    }
    if (result == kLogRead && !walk.done && walk.gone) {
        walk.second = true;
        result = WalkChannel({channel, 0, since}, walk, typeMask);
    }
    if (result != kLogRead) return result;
    end.complete = true;
    end.bookmark = NextBookmark(walk.bookmark, walk.reached, newestHandedOn_);
    return kLogRead;
}

int Collector::WalkChannel(const platform::ChannelQuery& query, ChannelWalk& walk, std::uint32_t typeMask) {
    std::unique_ptr<platform::ChannelEvents> events;
    platform::Error error = session_->Query(query, events);
    if (error == platform::error::kSuccess && !events) error = platform::error::kEventLogFileCorrupt;
    if (error == kUnknownInterface && !walk.second) {
        // The computer answered that it has no channel service: it is older than Vista.
        sessionError_ = kUnknownInterface;
        report_.ClassicLogsOnly(computer_, channel_);
        return kLogRead;
    }
    if (error == platform::error::kRpcServerUnavailable && !walk.second) {
        // The computer does not answer: its other channels fail with the same cause, unasked.
        sessionError_ = error;
        session_.reset();
    }
    if (error != platform::error::kSuccess) {
        if (walk.second)
            report_.ReadFailed(computer_, channel_, walk.lastSource, error);
        else
            report_.OpenFailed(computer_, channel_, error);
        return kLogFailed;
    }
    const RunOptions& s = env_.options;
    std::vector<evtx::Record> batch;
    for (;;) {
        error = events->Next(platform::kChannelBatch, batch);
        if (error == platform::error::kNoMoreItems) return kLogRead;
        // A batch that succeeds with no event would be asked for again without end.
        if (error == platform::error::kSuccess && batch.empty()) error = platform::error::kEventLogFileCorrupt;
        if (error != platform::error::kSuccess) {
            report_.ReadFailed(computer_, channel_, walk.lastSource, error);
            return kLogFailed;
        }
        for (const evtx::Record& record : batch) {
            HoldStopCheck(true);
            if (env_.stopRequested) {
                env_.stopRequested = 0;
                return kLogStopped;
            }
            const std::u16string_view sourceName = record.System(evtx::Field::kEventSourceName);
            walk.lastSource = text::FromUtf16(sourceName.empty() ? record.System(evtx::Field::kProviderName) : sourceName);
            // The second query passes over what the first walked.
            if (walk.second && record.id >= walk.lowestWalked) continue;
            if (!walk.second) walk.lowestWalked = std::min(walk.lowestWalked, record.id);
            const std::uint32_t created = BookmarkTime(record);
            if (walk.following) {
                if (record.id == walk.bookmark->recordNumber && created == walk.bookmark->timeWritten) {
                    walk.reached = walk.done = true;
                    return kLogRead;
                }
                if (record.id <= walk.bookmark->recordNumber) {
                    // The channel was cleared: this record and the rest came after.
                    report_.BookmarkGone(computer_, channel_, walk.bookmark->recordNumber);
                    walk.following = false;
                    walk.gone = true;
                }
            }
            const std::int64_t time = XmlEventTime(record);
            std::tm local{};
            if (!app::ToLocalCalendar(time, local))
                report_.TimeConversionFailed(computer_, channel_, walk.lastSource, platform::error::kInvalidParameter);
            const std::int64_t eventDay = walk.days.MidnightOf(time);
            if (!walk.following && s.EnableStartDate == 0 && eventDay < s.StartTime) {
                walk.done = true;
                return kLogRead;
            }
            const bool afterEnd = s.EnableEndDate == 0 && eventDay > walk.endDay;
            const std::uint16_t type =
                XmlEventType(record.System(evtx::Field::kLevel), record.System(evtx::Field::kKeywords));
            if (!afterEnd && (type & typeMask) != 0) AppendChannelRow(record, TimeText(local));
        }
    }
}

void Collector::AppendChannelRow(const evtx::Record& record, const std::string& timeText) {
    session_->Format(record, texts_);
    const std::u16string_view message =
        texts_.error == platform::error::kSuccess ? std::u16string_view(texts_.message) : std::u16string_view();
    EventRow row = XmlEventRow(record, timeText, env_.eventFacts, message);
    // The row names the channel read and the computer as the list names it
    // (a forwarded event's own computer is in its facts).
    row.columns[3] = LogDisplayName(channel_);
    row.columns[4] = name_;
    if (!newestHandedOn_) newestHandedOn_ = LogBookmark{record.id, BookmarkTime(record)};
    if (held_) {
        HoldRow(std::move(row));
        return;
    }
    ShowRow(row, name_, channel_);
}

}  // namespace quorvin::engine
