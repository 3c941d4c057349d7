#pragma once
// What the simulated network takes from the event log file, registry file and
// message module readers. Every use of those modules goes through here.

#include "services/services.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvin::network::backend {

// ---- Event logs -------------------------------------------------------------

// An open log over the .evt file `file` of `size` bytes: its records served
// as ReadEventLogA serves them backwards. 0, or 1500
// (ERROR_EVENTLOG_FILE_CORRUPT) when the file cannot be opened or parsed.
// The file is walked once when opened, to find its records, and each record
// is read from it again when its turn comes, so a log of any length needs
// only a few bytes a record. The file must not change while the log is open.
platform::Error OpenLogFileStream(const std::filesystem::path& file, std::uint64_t size,
                                  std::unique_ptr<platform::EventLog>& log);

// An open log without records.
std::unique_ptr<platform::EventLog> EmptyLog();

// The records of a log file after a change (wrapped: `count` newer records
// overwrite the `count` oldest; cleared: `count` new records numbered from 1)
// as a log that reads them. Each new record repeats the newest one, numbered,
// timed and identified (event id) one after the other.
struct Change {
    std::uint32_t afterRecords = 0;
    bool cleared = false;
    std::uint32_t count = 0;
};

// An open log over the bytes of an .evt file that changes while it is read:
// when `*changed` is already set, the changed log; otherwise the file's log
// until `afterRecords` records have been handed out from this handle, then
// `*changed` is set and every read fails with 1503
// (ERROR_EVENTLOG_FILE_CHANGED), as a handle does after its log changed.
platform::Error OpenChangingLogFile(const std::uint8_t* data, std::size_t size, const Change& change,
                                    std::shared_ptr<std::atomic<bool>> changed,
                                    std::unique_ptr<platform::EventLog>& log);

// ---- Registry ---------------------------------------------------------------

// One computer's HKEY_LOCAL_MACHINE, shared by every key opened on it, and
// the .reg format it came from.
struct Hive;

// Parses a .reg file; null with `error` set when it is no registry file.
std::shared_ptr<Hive> LoadHive(const std::uint8_t* data, std::size_t size, std::string& error);
std::shared_ptr<Hive> EmptyHive();

// The root key of a hive, read-only: creating keys and setting values give 5.
std::unique_ptr<platform::RegistryKey> ReadOnlyRoot(const std::shared_ptr<Hive>& hive);

// The root key of a hive, writable; `changed` runs after every change and its
// non-zero result is the result of the change.
std::unique_ptr<platform::RegistryKey> WritableRoot(const std::shared_ptr<Hive>& hive,
                                                    std::function<platform::Error()> changed);

// The hive as .reg file bytes, in the format it was loaded from (a new hive:
// "Windows Registry Editor Version 5.00").
std::vector<std::uint8_t> SaveHive(const Hive& hive);

// ---- The system's messages -------------------------------------------------

// FormatMessageA(FROM_SYSTEM | ARGUMENT_ARRAY) over the built-in system table.
platform::Error SystemMessage(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text);

std::string SystemErrorText(platform::Error code);

}  // namespace quorvin::network::backend
