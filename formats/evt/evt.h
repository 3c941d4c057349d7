#pragma once
// Event log files of Windows NT, 2000 and XP (.evt) and the records of the
// event log service.
//
// A file is a 0x30-byte header, a circular buffer of records from offset
// 0x30 to the end of the file, and a 0x28-byte EOF record after the newest
// record. Records are the EVENTLOGRECORD layout with UTF-16LE strings (the
// "wide" layout, which ReadEventLogW also returns); ReadEventLogA returns the
// same layout with CP932 strings (the "ANSI" layout). Once the buffer is
// full, new records overwrite the oldest whole records and wrap past the end
// of the file to offset 0x30: a record may be split there, but its fixed
// 0x38-byte part never is (the bytes before the end are then padding), and
// the EOF record may be split anywhere.
//
// Everything here works on bytes in memory; the simulated event log service
// and the real win32 backend build on it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"

namespace quorvin::evt {

constexpr std::uint32_t kHeaderSize = 0x30;
constexpr std::uint32_t kEofRecordSize = 0x28;
// The fixed part of EVENTLOGRECORD, up to the source name.
constexpr std::uint32_t kFixedRecordSize = 0x38;
// The fixed part and the trailing copy of the length: the shortest record.
constexpr std::uint32_t kShortestRecord = kFixedRecordSize + 4;
// "LfLe", at offset 4 of the header and of every record.
constexpr std::uint32_t kSignature = 0x654C664C;
// The service grows and sizes log files in steps of 64 KiB.
constexpr std::uint32_t kFileGranularity = 0x10000;

// Header flags.
namespace flag {
constexpr std::uint32_t kDirty = 1;    // the service did not close the file
constexpr std::uint32_t kWrap = 2;     // records have wrapped past the end of the file
constexpr std::uint32_t kLogFull = 4;  // the last write failed for want of room
constexpr std::uint32_t kArchive = 8;
}  // namespace flag

// One event. Texts are CP932; a text ends at its first NUL byte when written.
struct Event {
    std::uint32_t recordNumber = 0;
    std::uint32_t timeGenerated = 0;  // seconds since 1970-01-01 00:00 UTC
    std::uint32_t timeWritten = 0;
    std::uint32_t eventId = 0;
    std::uint16_t eventType = 0;
    std::uint16_t eventCategory = 0;
    std::string sourceName;
    std::string computerName;
    std::vector<std::string> strings;  // at most 65,535 are written
    std::vector<std::uint8_t> userSid;
    std::vector<std::uint8_t> data;
};

bool operator==(const Event& a, const Event& b);
inline bool operator!=(const Event& a, const Event& b) { return !(a == b); }

// ---- Records ----------------------------------------------------------------

// The record in the wide (on-disk, ReadEventLogW) layout: fixed part, source
// name and computer name with their terminators, the user SID at the next
// multiple of 4, the insertion strings with their terminators, the data,
// zero padding to a multiple of 4 and the length again. Every offset field
// is set, also when its part is empty (it then points where the part would be).
std::vector<std::uint8_t> ToWideRecord(const Event& event);

// The same record as ReadEventLogA returns it: CP932 strings, same rules.
std::vector<std::uint8_t> ToAnsiRecord(const Event& event);

// Reads the record that starts at `data`; `size` bytes are there and the
// record takes as many as its length field says. Nothing when the record's
// frame is broken: a length shorter than 0x3C, not a multiple of 4 or longer
// than `size`, no "LfLe" at offset 4, or a trailing length that differs.
// Inside a sound frame the reading is forgiving, as the service's readers
// are: a SID or data whose offset and size leave the record is taken as
// empty, names and strings are cut at the end of the record, strings stop
// at the end of the record even when fewer than their count were found.
std::optional<Event> ParseWideRecord(const std::uint8_t* data, std::size_t size);
std::optional<Event> ParseAnsiRecord(const std::uint8_t* data, std::size_t size);

// A record of a ReadEventLogA buffer as the collector reads it: only what a
// row and its message need, and leniently, as the event log service's own
// client does. Texts are CP932.
struct ServiceRecord {
    std::uint32_t length = 0;
    std::uint32_t recordNumber = 0;
    std::uint32_t timeGenerated = 0;
    std::uint32_t timeWritten = 0;
    std::uint32_t eventId = 0;
    std::uint16_t eventType = 0;
    std::uint16_t eventCategory = 0;
    std::string source;
    // The insertion strings, at most the first kMostServiceStrings.
    std::vector<std::string> strings;
    // Read only when asked for (ReadServiceRecord's `origin`): the computer
    // name the record carries and its user SID (empty when it has none or
    // the SID leaves the record).
    std::string computerName;
    std::vector<std::uint8_t> userSid;
};
constexpr std::size_t kMostServiceStrings = 256;

// Reads the record at the start of `data` (`size` bytes left in the buffer).
// False when the record's length cannot be walked: not a multiple of 4,
// shorter than the fixed part or running past `size`; the signature and the
// trailing length are not looked at. A source name or a string that runs
// past the record is cut at its end; strings that would start past it are
// empty, so the record keeps its number of strings.
// With `origin` the computer name and the user SID are read too.
bool ReadServiceRecord(const std::uint8_t* data, std::size_t size, ServiceRecord& record, bool origin = false);

// A SID in its text form ("S-1-5-18"); empty when the bytes are no SID
// (revision 1, a sub-authority count that matches their length).
std::string SidText(const std::vector<std::uint8_t>& sid);

// A record in the wide layout (as ReadEventLogW returns it) converted to the
// ANSI layout (as ReadEventLogA would have returned it). `size` as for
// ParseWideRecord. The reserved flags and closing record number are kept.
std::optional<std::vector<std::uint8_t>> ConvertWideRecord(const std::uint8_t* data, std::size_t size);

// The same conversion of a record already parsed, without parsing it again:
// `event` must be what ParseWideRecord made of the `size` bytes at `data`
// (as in the records of ParseLogFile).
std::vector<std::uint8_t> ConvertParsedRecord(const Event& event, const std::uint8_t* data, std::size_t size);

// ---- Log files --------------------------------------------------------------

struct WriteOptions {
    // The size of the circular buffer, i.e. of a full file, in bytes (a
    // multiple of 4 is used, rounded down, at least 0x58). 0: just large enough for every
    // event without wrapping, in steps of 64 KiB and at least 64 KiB, as the
    // service sizes files. The service itself only uses multiples of 64 KiB;
    // smaller sizes make small test files.
    std::uint32_t maxSize = 0;
    // Stored in the header; records are overwritten whatever it says.
    std::uint32_t retention = 0;
    // Leave the file as a service that stopped without closing it leaves
    // it: the dirty flag set and the header's offsets and record numbers as
    // they were after the first `dirtyHeaderEvents` events were written
    // (0: as the empty log was created). The EOF record is always current.
    bool dirty = false;
    std::size_t dirtyHeaderEvents = 0;
};

// A file image holding the events, written one after the other as the
// service writes them: each new record overwrites as many of the oldest
// records as it needs, wraps past the end of the buffer and is followed by
// the EOF record. An event whose record cannot fit even in an empty buffer
// is refused, as the service refuses it. Record number 0 means "the one
// after the previous record written" (1 for the first). While the records have not
// wrapped, the file is only as long as they need, in steps of 64 KiB (at
// most `maxSize`), as the service grows it.
std::vector<std::uint8_t> WriteLogFile(const std::vector<Event>& oldestFirst, const WriteOptions& options = {});

struct LogRecord {
    Event event;
    // The record's bytes in the wide layout, contiguous even when the
    // record was split across the end of the buffer.
    std::vector<std::uint8_t> raw;
    std::uint32_t offset = 0;  // where it starts in the file
};

struct ParsedLog {
    // 0, or 1500 (ERROR_EVENTLOG_FILE_CORRUPT) when the file is no event log
    // or holds nothing that can be read; `message` then says what and where.
    platform::Error error = platform::error::kSuccess;
    std::string message;
    std::vector<LogRecord> records;  // oldest first
    std::uint32_t flags = 0;         // the header's flags
    std::uint32_t maxSize = 0;       // the header's maximum size
    std::uint32_t retention = 0;
    // What was not as a cleanly closed file has it and how it was read
    // (dirty header, damaged records skipped, ...): one line each.
    std::vector<std::string> notes;
};

// Reads an event log file image. A cleanly closed file is read from the
// header's start offset to its end offset. A dirty file, or one whose header
// and EOF record disagree, is read from the offsets in the EOF record,
// found by scanning the buffer from the header's end offset; without an EOF
// record, from the header's offsets when the file is clean; failing all
// that, every sound record frame in the buffer is taken, ordered by record
// number. Records whose frame is broken are skipped: reading goes on at the
// next sound frame. Only a bad header (shorter than 0x30 bytes, wrong sizes
// or signature), a file too short for any record after it, or a file in
// which nothing at all can be found is an error. docs/evt-format.md tells more.
ParsedLog ParseLogFile(const std::uint8_t* data, std::size_t size);

// Where the bytes of a log file come from when it is not read whole:
// `Read` copies `n` bytes at `offset` into `out`, zeros for bytes the file
// does not have.
class FileBytes {
public:
    virtual ~FileBytes() = default;
    virtual void Read(std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const = 0;
};

// Where one record's frame is in a log file: `length` bytes from `offset`,
// going on at 0x30 when it runs past the end of the file.
struct RecordSpan {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// ParseLogFile over a file of `size` bytes read through `file`, without
// keeping the records: `spans` gets where each record ParseLogFile would
// give is, in the same order; the result has everything else (error,
// message, header fields, notes) and no records.
ParsedLog IndexLogFile(const FileBytes& file, std::uint64_t size, std::vector<RecordSpan>& spans);
// The bytes of the record at `span` (wide layout), as LogRecord::raw has them.
std::vector<std::uint8_t> ReadRecordBytes(const FileBytes& file, std::uint64_t size, RecordSpan span);

// ---- ReadEventLogA ----------------------------------------------------------

// Reads a log's records as ReadEventLogA with EVENTLOG_SEQUENTIAL_READ |
// EVENTLOG_BACKWARDS_READ reads them from an open handle.
class BackwardReader {
public:
    // `ansiRecords`: each record in the ANSI layout, oldest first.
    explicit BackwardReader(std::vector<std::vector<std::uint8_t>> ansiRecords);

    // Copies as many whole records as fit into `buffer`, newest first, and
    // sets `bytesRead`. 122 (ERROR_INSUFFICIENT_BUFFER) with `bytesNeeded`
    // set to its size when the next record alone does not fit (nothing is
    // consumed); 38 (ERROR_HANDLE_EOF) once the oldest record has been read,
    // and at once for an empty log. A null buffer counts as size 0.
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded);

private:
    std::vector<std::vector<std::uint8_t>> records_;
    std::size_t left_;  // records_[0, left_) are still to be read
};

// A reader over the records of a parsed log file (as ParseLogFile gives
// them: each event parsed from its raw bytes).
BackwardReader ReaderForLog(const std::vector<LogRecord>& records);

}  // namespace quorvin::evt
