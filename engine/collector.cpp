#include "engine/collector.h"
#include "engine/day_cache.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <new>
#include <thread>

#include "core/cp932.h"
#include "core/event_log_read.h"
#include "core/local_time.h"
#include "engine/bookmark.h"
#include "engine/event_row.h"
#include "engine/log_cache.h"
#include "engine/message_files.h"

namespace quorvin::engine {

namespace {

// A log that keeps changing under the read is given up after this many reopenings.
constexpr int kMostReopens = 16;
constexpr std::size_t kSystemDirectoryMax = 260;

// SystemTimeToFileTime accepts years 1601 to 30827 and valid fields only.
bool ConvertsToFileTime(const std::tm& t) {
    const int year = t.tm_year + 1900;
    return year >= 1601 && year <= 30827 && t.tm_mon >= 0 && t.tm_mon < 12 && t.tm_mday >= 1 && t.tm_mday <= 31 &&
           t.tm_hour >= 0 && t.tm_hour < 24 && t.tm_min >= 0 && t.tm_min < 60 && t.tm_sec >= 0 && t.tm_sec < 60;
}


// Doubles the read buffer after a read that came back full, up to the
// largest read (platform::NextEventLogRead). Short of memory it stays as it
// is: a larger read only saves round trips.
void GrowAfterFullRead(std::vector<std::uint8_t>& buffer, std::uint32_t bytesRead) {
    const std::uint32_t next = platform::NextEventLogRead(static_cast<std::uint32_t>(buffer.size()), bytesRead);
    if (next <= buffer.size()) return;
    try {
        buffer.resize(next);
    } catch (const std::bad_alloc&) {
        // The reads go on at the size they have.
    }
}

}  // namespace

Collector::Collector(RunEnvironment environment)
    : env_(std::move(environment)),
      report_(env_.report, [this](std::uint32_t code) { return messages_->SystemErrorText(code); }),
      connections_(env_.platform.connections),
      messages_(&env_.platform.messages),
      system_(&env_.platform.system) {
    if (!env_.finalPause) env_.finalPause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1000)); };
}

int Collector::Run() {
    if (env_.parallel > 1) return RunParallel();
    env_.view.ClearRows();
    report_.RunStarted();

    std::string name;
    bool more = env_.view.FirstComputer(name);
    int progress = 1000;

    while (more) {
        int items = env_.view.TreeItemCount();
        if (items < 1) items = 1;
        if (!CollectComputer(name, progress, items)) return StopPath(name);
        progress += 3000;
        more = env_.view.NextComputer(name);
    }
    return Finish();
}

int Collector::Finish() {
    env_.finalPause();
    report_.Total(eventCount_);
    env_.view.EndProgress();
    return 1;
}

bool Collector::CollectComputer(const std::string& name, int progress, int items) {
    const RunOptions& s = env_.options;
    const std::uint32_t typeMask = TypeMask(s);
    if (s.AnotherLoginName) {
        // The password is handed on as a view of the options' own field.
        const platform::Error error = connections_.Connect(name, s.Username, AccountPassword(s));
        if (error != platform::error::kSuccess) report_.AlternateLoginFailed(name, s.Username, error);
    }
    // The connections are given back however the computer ends.
    struct EndOfComputer {
        ComputerConnections& connections;
        ~EndOfComputer() { connections.CancelAll(); }
    } endOfComputer{connections_};

    SystemStepPosition(progress / 3 / items);
    if (!ReadLogStep(name, "system", LogKind::System, typeMask, s.Filter_System)) return false;

    HoldStopCheck(false);
    if (env_.stopRequested) return false;
    progress += 1000;
    env_.view.SetProgressPosition(progress / 3 / items);
    if (!ReadLogStep(name, "security", LogKind::Security, typeMask, s.Filter_Security)) return false;

    HoldStopCheck(false);
    if (env_.stopRequested) return false;
    progress += 1000;
    env_.view.SetProgressPosition(progress / 3 / items - 10);
    if (!ReadLogStep(name, "application", LogKind::Application, typeMask, s.Filter_Application)) return false;
    HoldStopCheck(false);
    if (env_.stopRequested) return false;
    return ReadChannels(name, typeMask);
}

// False when the log read was stopped by the user.
bool Collector::ReadLogStep(const std::string& name, const char* logName, LogKind kind, std::uint32_t typeMask,
                            bool enabled) {
    if (!enabled) return true;
    logKind_ = kind;
    report_.LogStarted(name, kind);
    env_.view.LogStarted(name, logName);
    LogEnd end;
    const int result = GetLog(name, logName, typeMask, end);
    env_.view.FlushRows();
    end.failed = result == kLogFailed;
    if (end.failed)
        report_.LogFailed(name, kind);
    else
        report_.LogEnded(name, kind);
    env_.view.LogEnded(name, logName, end);
    return result != kLogStopped;
}

int Collector::StopPath(const std::string& name) {
    report_.Cancelled(name);
    env_.stopRequested = 0;
    env_.view.EndProgress();
    return 1;
}

int Collector::GetLog(const std::string& computerName, const std::string& logName, std::uint32_t typeMask,
                      LogEnd& end) {
    end = LogEnd{};
    newestHandedOn_.reset();
    // A log with a bookmark is read down to it; once it is known gone, down
    // to the window's start as any other log.
    const std::optional<LogBookmark> bookmark =
        env_.bookmarks ? env_.bookmarks(computerName, logName) : std::optional<LogBookmark>();
    bool following = bookmark.has_value();
    bool reached = false;
    const auto completed = [&] {
        if (following && !reached) report_.BookmarkGone(computer_, log_, bookmark->recordNumber);
        end.complete = true;
        end.bookmark = NextBookmark(bookmark, reached, newestHandedOn_);
        return kLogRead;
    };
    computer_ = computerName.empty() ? std::string() : "\\\\" + computerName;
    name_ = computerName;
    log_ = logName;
    anyLog_ = logName.empty();
    systemDirectory_ = env_.platform.system.SystemDirectory();
    if (systemDirectory_.size() > kSystemDirectoryMax) systemDirectory_.resize(kSystemDirectoryMax);

    std::vector<std::uint8_t> buffer;
    try {
        buffer.assign(platform::kFirstEventLogRead, 0);
    } catch (const std::bad_alloc&) {
        report_.ReadBufferMemory(computer_, log_);
        return kLogFailed;
    }

    std::unique_ptr<platform::EventLog> eventLog;
    const platform::Error openError = env_.platform.eventLog.Open(computer_, log_, eventLog);
    if (openError != platform::error::kSuccess || !eventLog) {
        report_.OpenFailed(computer_, log_, openError);
        return kLogFailed;
    }
    connections_.Use("IPC$");

    if (env_.cacheWithinLog) {
        cachedMessages_ = std::make_unique<CachedMessages>(env_.platform.messages, env_.moduleCacheBytes);
        cachedSystem_ = std::make_unique<CachedSystem>(env_.platform.system);
        messages_ = cachedMessages_.get();
        system_ = cachedSystem_.get();
    }
    PrepareRegistry();
    // The registry keys and the caches of the log are released however the read ends.
    struct EndOfLog {
        Collector& c;
        ~EndOfLog() {
            c.publishers_.reset();
            c.registry_.reset();
            c.localMachine_.reset();
            c.messages_ = &c.env_.platform.messages;
            c.system_ = &c.env_.platform.system;
            c.cachedMessages_.reset();
            c.cachedSystem_.reset();
        }
    } endOfLog{*this};

    const RunOptions& s = env_.options;
    // The end bound is the whole end day. It is compared day with day: on a
    // day of 23 hours (daylight saving time begins) "end day + 86,399
    // seconds" would reach into the next day and take it in whole.
    const std::int64_t endDay = app::LocalMidnight(s.EndTime);
    std::string lastSource;
    LogRecord record;
    DayCache days;
    // The last record walked, and whether the log is being read on after it
    // changed: records from `last.recordNumber` up were walked already.
    LogRecord last;
    bool walked = false;
    bool resuming = false;
    int reopens = 0;
    for (;;) {
        std::uint32_t bytesRead = 0, bytesNeeded = 0;
        const platform::Error error =
            eventLog->Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), bytesRead, bytesNeeded);

        // The log was cleared or overwritten since the last read: the
        // handle is of no more use, but the older records may still be
        // there. It is opened again and read on below the last record.
        if (error == platform::error::kEventLogFileChanged && reopens < kMostReopens) {
            if (!Reopen(eventLog, lastSource, walked ? last.recordNumber : 0, reopens)) return kLogFailed;
            resuming = walked;
            continue;
        }

        if (error == platform::error::kInsufficientBuffer) {
            // A service that asks for no more than it has is broken: growing
            // would not end. A record larger than one read may ask for
            // cannot be read at all: the service refuses such a read.
            if (bytesNeeded <= buffer.size() || bytesNeeded > platform::error::kLargestEventLogRead) {
                report_.ReadFailed(computer_, log_, lastSource, error);
                return kLogFailed;
            }
            try {
                buffer.assign(bytesNeeded, 0);
            } catch (const std::bad_alloc&) {
                report_.LargerBufferMemory(computer_, log_, lastSource);
                return kLogFailed;
            }
            continue;
        }
        if (error == platform::error::kHandleEof) {
            // Nothing older than the last record walked is left: it went with the change.
            if (resuming) {
                report_.ReadFailed(computer_, log_, lastSource, platform::error::kEventLogFileChanged);
                return kLogFailed;
            }
            return completed();
        }
        if (error != platform::error::kSuccess || bytesRead == 0 || bytesRead > buffer.size()) {
            // A successful read that returns nothing or more than the buffer
            // holds cannot be walked; it fails the log like a read error.
            report_.ReadFailed(computer_, log_, lastSource,
                               error != platform::error::kSuccess ? error : platform::error::kEventLogFileCorrupt);
            return kLogFailed;
        }

        std::size_t offset = 0;
        std::size_t left = bytesRead;
        bool changed = false;
        while (left > 0 && !changed) {
            HoldStopCheck(true);
            if (env_.stopRequested) {
                env_.stopRequested = 0;
                return kLogStopped;
            }
            if (!ParseLogRecord(buffer.data() + offset, left, record, env_.eventFacts || name_.empty())) {
                report_.ReadFailed(computer_, log_, lastSource, platform::error::kEventLogFileCorrupt);
                return kLogFailed;
            }
            if (resuming) {
                // Records from the last one walked up were read before the
                // change, or are newer than the read: passed over. The next
                // must be the one before it, written no later (a cleared log
                // numbers its new records from 1 again); otherwise the older
                // records are gone.
                if (record.recordNumber >= last.recordNumber) {
                    left -= record.length;
                    offset += record.length;
                    continue;
                }
                if (record.recordNumber != last.recordNumber - 1 || record.timeWritten > last.timeWritten) {
                    report_.ReadFailed(computer_, log_, lastSource, platform::error::kEventLogFileChanged);
                    return kLogFailed;
                }
                resuming = false;
            } else if (walked && record.recordNumber >= last.recordNumber) {
                // Read backwards, the numbers fall. A server that hands out
                // the records of an overwritten region instead of saying the
                // log changed would list newer records again: the log is read
                // on as one that changed.
                if (reopens >= kMostReopens) {
                    report_.ReadFailed(computer_, log_, lastSource, platform::error::kEventLogFileChanged);
                    return kLogFailed;
                }
                if (!Reopen(eventLog, lastSource, last.recordNumber, reopens)) return kLogFailed;
                resuming = true;
                changed = true;
                continue;
            }
            lastSource = record.source;
            last.recordNumber = record.recordNumber;
            last.timeWritten = record.timeWritten;
            walked = true;

            if (following) {
                const BookmarkStep step = StepAgainst(*bookmark, record.recordNumber, record.timeWritten);
                if (step == BookmarkStep::kReached) {
                    reached = true;
                    return completed();
                }
                if (step == BookmarkStep::kGone) {
                    // Every record handed on so far came after the clearing;
                    // the rest is read as a log without a bookmark is.
                    report_.BookmarkGone(computer_, log_, bookmark->recordNumber);
                    following = false;
                }
            }

            std::tm local{};
            const bool converted = app::ToLocalCalendar(record.timeGenerated, local);
            if (!converted || !ConvertsToFileTime(local))
                report_.TimeConversionFailed(computer_, log_, record.source, platform::error::kInvalidParameter);
            const std::string timeText = TimeText(local);
            // The local midnight of the record's local date.
            const std::int64_t eventDay = days.MidnightOf(record.timeGenerated);

            if (!following && s.EnableStartDate == 0 && eventDay < s.StartTime) return completed();
            const bool afterEnd = s.EnableEndDate == 0 && eventDay > endDay;
            const bool typeChosen = (record.eventType & typeMask) != 0 || record.eventType == 0;
            if (!afterEnd && typeChosen) ResolveEventMessage(record, timeText);

            left -= record.length;
            offset += record.length;
        }
        GrowAfterFullRead(buffer, bytesRead);
    }
}

bool Collector::Reopen(std::unique_ptr<platform::EventLog>& eventLog, const std::string& lastSource,
                       std::uint32_t lastRecord, int& reopens) {
    ++reopens;
    report_.LogReopened(computer_, log_, lastSource, lastRecord);
    eventLog.reset();
    const platform::Error error = env_.platform.eventLog.Open(computer_, log_, eventLog);
    if (error == platform::error::kSuccess && eventLog) return true;
    // The cause is the open's own failure (an open that succeeds without a
    // log is a broken service: the change itself is named).
    report_.ReadFailed(computer_, log_, lastSource,
                       error != platform::error::kSuccess ? error : platform::error::kEventLogFileChanged);
    return false;
}

void Collector::PrepareRegistry() {
    publishers_.reset();
    const platform::Error connectError = env_.platform.registry.ConnectLocalMachine(computer_, registry_);
    if (connectError != platform::error::kSuccess || !registry_) {
        registry_.reset();
        // This machine's own registry has none to stand in for it.
        if (!computer_.empty()) {
            report_.RegistryConnectFailed(computer_, log_, connectError);
            env_.platform.registry.ConnectLocalMachine("", registry_);
        }
    }

    systemRoot_.clear();
    if (!registry_) return;
    if (env_.cacheWithinLog) registry_ = std::make_unique<CachedKey>(std::move(registry_));
    std::unique_ptr<platform::RegistryKey> versionKey;
    const platform::Error keyError = registry_->OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", versionKey);
    if (keyError != platform::error::kSuccess || !versionKey) {
        report_.SystemRootKeyFailed(computer_, log_, keyError);
        return;
    }
    const platform::Error valueError = ReadValueText(*versionKey, "SystemRoot", systemRoot_);
    if (valueError != platform::error::kSuccess) {
        systemRoot_.clear();
        report_.SystemRootValueFailed(computer_, log_, valueError);
    }
}

void Collector::TraceLine(const std::string& line) {
    if (env_.trace) env_.trace->Write(line);
}

void Collector::TraceInsert(const char* which, const std::string& source) {
    if (!env_.trace) return;
    // Formatted into a 1024-byte buffer: at most 1023 bytes reach the file.
    // A longer name is cut at a whole character; the line keeps its end.
    constexpr std::size_t kLineMax = 1023;
    const std::string head = std::string(which) + "(";
    const std::size_t room = kLineMax > head.size() + 2 ? kLineMax - head.size() - 2 : 0;
    const std::size_t kept = text::WholeCharactersLength(source, room);
    env_.trace->Write(head + source.substr(0, kept) + ")\n");
}

void Collector::AppendRow(const LogRecord& record, std::string message, const std::string& timeText) {
    // A saved file's rows name the computer that wrote each record.
    const std::string computer = name_.empty() ? "\\\\" + record.computerName : computer_;
    EventRow row =
        MakeEventRow(record.eventType, computer, record.source, std::move(message), log_, timeText, record.eventId);
    if (!newestHandedOn_) newestHandedOn_ = LogBookmark{record.recordNumber, record.timeWritten};
    if (env_.eventFacts) {
        auto facts = std::make_shared<EventFacts>();
        facts->recordNumber = record.recordNumber;
        facts->timeGenerated = record.timeGenerated;
        facts->timeWritten = record.timeWritten;
        facts->eventId = record.eventId;
        facts->eventType = record.eventType;
        facts->eventCategory = record.eventCategory;
        facts->log = log_;
        facts->computerName = record.computerName;
        facts->categoryText = std::move(categoryText_);
        facts->userSid = evt::SidText(record.userSid);
        facts->strings = record.strings;
        row.facts = std::move(facts);
    }
    if (held_) {
        HoldRow(std::move(row));
        return;
    }
    ShowRow(row, name_, log_);
}

void Collector::ShowRow(const EventRow& row, const std::string& name, const std::string& logName) {
    env_.view.AppendRow(row);
    ++eventCount_;
    WriteProgressText(progressText_, name, logName, eventCount_);
    env_.view.SetProgressText(progressText_);
}

}  // namespace quorvin::engine
