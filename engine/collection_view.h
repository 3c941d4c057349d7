#pragma once
// What the engine reaches outside itself during a run: the computer list,
// the event list and the progress dialog. The windows implement it with
// synchronous messages to their controls; the console collector and the
// tests with plain data.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::engine {

struct XmlFacts;

// What an event carries beyond the list's columns, for outputs that name
// every field of the record. Made only when the run asks for it
// (RunEnvironment::eventFacts). Texts are CP932, as recorded.
struct EventFacts {
    std::uint32_t recordNumber = 0;
    std::uint32_t timeGenerated = 0;  // seconds since 1970-01-01 00:00 UTC
    std::uint32_t timeWritten = 0;
    std::uint32_t eventId = 0;        // all 32 bits
    std::uint16_t eventType = 0;
    std::uint16_t eventCategory = 0;
    std::string log;                  // "system", "security" or "application"
    std::string computerName;         // as the record names it
    std::string categoryText;         // the category's message text; empty when none was found
    std::string userSid;              // "S-1-5-18"; empty when the record has none
    std::vector<std::string> strings; // the insertion strings as recorded
    std::shared_ptr<const XmlFacts> xml;  // an event of the XML event log; null for the classic logs
};

// An event of the XML event log (.evtx files, the channels of Vista and
// later): its System fields as Windows' XML rendering shows them, in UTF-8
// converted straight from the record's UTF-16 (no character lost to
// CP932); a field the record does not have is empty.
struct XmlFacts {
    std::string channel, provider, providerGuid, eventSourceName, computer, userSid;
    std::string timeCreated;  // "2016-07-08T18:12:51.6816408Z", the record's 100 ns kept
    std::string level, task, opcode, keywords, version, qualifiers;
    std::string processId, threadId, activityId, relatedActivityId;
    std::string message;  // the row's message, in UTF-8 from the record's own texts
    std::uint64_t recordId = 0;
    std::uint32_t eventId = 0;
    // The event's data: EventData's named items, unnamed ones as "param1"...,
    // and UserData's leaf elements, in their order.
    std::vector<std::pair<std::string, std::string>> data;
};

// One collected event: the row of the event list. Column 0 carries no text,
// only the image (0 information, 1 warning, 2 error, 3 audit success, 4 audit failure).
struct EventRow {
    int image = 0;
    std::array<std::string, 8> columns;
    std::shared_ptr<const EventFacts> facts;  // null unless the run asks for them
};

// A place in a log: the newest record handed on from it, by its number and
// the time it was written (a cleared log numbers from 1 again). A channel's
// place is its record id (64 bits) and the seconds of the event's creation.
struct LogBookmark {
    std::uint64_t recordNumber = 0;
    std::uint32_t timeWritten = 0;
    bool operator==(const LogBookmark& o) const {
        return recordNumber == o.recordNumber && timeWritten == o.timeWritten;
    }
    bool operator!=(const LogBookmark& o) const { return !(*this == o); }
};

// How the read of one log ended, for a view that keeps bookmarks.
struct LogEnd {
    // The read went to its end: to the bookmark, the window's start or the
    // oldest record. Not for a failed or stopped read.
    bool complete = false;
    // The bookmark to keep for the log after a complete read; nothing: none.
    std::optional<LogBookmark> bookmark;
    // The log could not be read: the report has its failure line ("失敗:"
    // for a computer's log, 061 or 062 for a saved file).
    bool failed = false;
};

class CollectionView {
public:
    virtual ~CollectionView() = default;

    // The computer list, walked in list order: the first entry, then the
    // entry after the current one; false when there is none.
    virtual bool FirstComputer(std::string& name) = 0;
    virtual bool NextComputer(std::string& name) = 0;
    // Items of the computer tree, its root included.
    virtual int TreeItemCount() = 0;

    virtual void ClearRows() = 0;
    virtual void AppendRow(const EventRow& row) = 0;
    // Called when the read of a log has ended, however it ended: a view that
    // holds rows back shows them now.
    virtual void FlushRows() {}
    // The read of log `log` ("system", ...) of computer `computer` begins,
    // and has ended (after FlushRows). A stopped read may end without the
    // second call; a saved file that cannot be read ends with the second
    // call alone (`log` empty, `end.failed`).
    virtual void LogStarted(const std::string& /*computer*/, const std::string& /*log*/) {}
    virtual void LogEnded(const std::string& /*computer*/, const std::string& /*log*/, const LogEnd& /*end*/) {}

    // Progress bar position (range 0 to 1000), redrawn at once.
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressText(const std::string& text) = 0;
    // Ends the progress dialog (result 1); the run's last act.
    virtual void EndProgress() = 0;
};

// The debug trace: checkpoint lines of the message-text resolution, each
// ending in "\n". Null when the trace is off.
class Trace {
public:
    virtual ~Trace() = default;
    virtual void Write(const std::string& line) = 0;
};

}  // namespace quorvin::engine
