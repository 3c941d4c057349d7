#pragma once
// The Windows services the collector uses, as portable interfaces. Two
// backends implement them: the real Win32 calls (windows build) and the
// simulated Windows network (both builds). Every text is CP932; every
// failure is a Win32 error code carried as a value, never a thread-global
// last error.
//
// Threads: every service may be called from several threads at once (a run
// reads several computers at the same time); a log, key or module a service
// hands out is used by one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "formats/evtx/evtx.h"

#ifdef _WIN32
// <windows.h> maps FormatMessage and ExpandEnvironmentStrings to their A or
// W functions by macro, which would rename the methods below. Including it
// here first and dropping the two macros keeps the names whatever the order
// of includes; the program calls the W functions by their full names.
#include <windows.h>
#undef FormatMessage
#undef ExpandEnvironmentStrings
#endif

namespace quorvin::platform {

// ---- Event log service ------------------------------------------------------

class EventLog {
public:
    virtual ~EventLog() = default;
    // ReadEventLogA with EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ:
    // as many whole records as fit, newest first, in the EVENTLOGRECORD
    // layout with CP932 strings. 122 with `bytesNeeded` set when the next
    // record alone does not fit; 38 once the oldest record has been read.
    virtual Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                       std::uint32_t& bytesNeeded) = 0;
};

class EventLogService {
public:
    virtual ~EventLogService() = default;
    // OpenEventLogA(server, source); server is "\\NAME". Closing is destroying the log.
    virtual Error Open(const std::string& server, const std::string& source, std::unique_ptr<EventLog>& log) = 0;
};

// ---- Registry --------------------------------------------------------------

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // RegOpenKeyExA with read access.
    virtual Error OpenKey(const std::string& subKey, std::unique_ptr<RegistryKey>& key) = 0;
    // RegOpenKeyExA with query-value access only (KEY_QUERY_VALUE): the key
    // can be read value by value, not enumerated. Keys that know no access
    // rights open it as OpenKey does.
    virtual Error OpenKeyToQuery(const std::string& subKey, std::unique_ptr<RegistryKey>& key) {
        return OpenKey(subKey, key);
    }
    // RegCreateKeyExA with write access: opens the key, making it and its parents when missing.
    virtual Error CreateKey(const std::string& subKey, std::unique_ptr<RegistryKey>& key) = 0;
    // RegQueryValueExA: `type` receives the value's type and `size` its size
    // in bytes (texts in CP932 with their terminators). With `data` null
    // only the size is asked; 234 when `size` is too small (size then holds
    // what is needed); 2 when the value is missing.
    virtual Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                             std::uint32_t& size) = 0;
    // RegSetValueExA.
    virtual Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                           std::uint32_t size) = 0;
};

class RegistryService {
public:
    virtual ~RegistryService() = default;
    // RegConnectRegistryA(machine, HKEY_LOCAL_MACHINE). `machine` is "\\NAME",
    // or empty for this machine.
    virtual Error ConnectLocalMachine(const std::string& machine, std::unique_ptr<RegistryKey>& key) = 0;
};

// ---- Network connections ---------------------------------------------------

class ConnectionService {
public:
    virtual ~ConnectionService() = default;
    // WNetAddConnection2A with a disk resource, no local name and no provider.
    // The password is read where it lies; any copy made of it is wiped.
    virtual Error AddConnection(const std::string& remoteName, const std::string& user,
                                std::string_view password) = 0;
    // WNetCancelConnection2A without forcing.
    virtual Error CancelConnection(const std::string& remoteName) = 0;
};

// ---- Message modules -------------------------------------------------------

class FileAccess;  // services/message_files.h

class MessageModule {
public:
    virtual ~MessageModule() = default;
    // About the memory the loaded module holds; 0 when the system holds it.
    virtual std::uint64_t Bytes() const { return 0; }
};

class MessageService {
public:
    virtual ~MessageService() = default;
    // LoadLibraryExA(path, 0, DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE).
    virtual Error LoadDataFile(const std::string& path, std::unique_ptr<MessageModule>& module) = 0;
    // FormatMessageA with ALLOCATE_BUFFER | FROM_HMODULE | FROM_SYSTEM |
    // ARGUMENT_ARRAY and language 1024; the minimum size is not asked for.
    // `arguments` null: no argument array. A number the module lacks is
    // taken from the system's table. 0 and the text, or the error code.
    virtual Error FormatMessage(const MessageModule* module, std::uint32_t id,
                                const std::vector<std::string>* arguments, std::string& text) = 0;
    // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS): the system's text for an
    // error code, as it comes (normally ending in "\r\n"); empty when none.
    virtual std::string SystemErrorText(Error code) = 0;
    // Where this service opens message files itself, so that other
    // resources of the same files (a provider's manifest) are read the same
    // way; null when the system loads them.
    virtual FileAccess* Files() { return nullptr; }
};

// ---- This machine ----------------------------------------------------------

class SystemService {
public:
    virtual ~SystemService() = default;
    // ExpandEnvironmentStringsA with this machine's environment.
    virtual std::string ExpandEnvironmentStrings(const std::string& text) = 0;
    // GetSystemDirectoryA.
    virtual std::string SystemDirectory() = 0;
};

// ---- Network browse --------------------------------------------------------

struct ServerInfo {
    std::string name;
    std::uint32_t versionMajor = 0;
    std::uint32_t versionMinor = 0;
    std::uint32_t type = 0;
    std::string comment;
};

class BrowseService {
public:
    virtual ~BrowseService() = default;
    // NetServerEnum(no server, level 101, all types, domain): the entries in
    // the order the browser gives them, or its failure code without entries;
    // 234 (more data) comes with the entries that were read, a part of the list.
    virtual Error EnumServers(const std::string& domain, std::vector<ServerInfo>& servers) = 0;
    // NetWkstaGetInfo(no server, level 100): the LAN group of this machine.
    virtual Error LanGroup(std::string& group) = 0;
};

// ---- Channels (Windows Vista and later) -------------------------------------

namespace error {
constexpr Error kCallNotImplemented = 120;  // no channel service on this system
constexpr Error kNoMoreItems = 259;
constexpr Error kChannelNotFound = 15007;   // ERROR_EVT_CHANNEL_NOT_FOUND
}  // namespace error

// The events a query asks a channel for: those after a bookmark and from a
// start time, both when both are given.
struct ChannelQuery {
    std::string channel;             // as Windows names it: "Microsoft-Windows-PowerShell/Operational"
    std::uint64_t afterRecord = 0;   // the bookmark: record ids above it; 0: every record
    std::int64_t since = 0;          // seconds since 1970 UTC of TimeCreated, at or after; 0 or less: any time
};

// The events a query found, newest first (falling record ids) as the
// classic logs are read, so that a reader stops at its bookmark or start
// time as it does there.
class ChannelEvents {
public:
    virtual ~ChannelEvents() = default;
    // EvtNext and EvtRender: the next events, at least one and at most
    // `most`, parsed as formats/evtx reads a file's records, in place of
    // what `events` held. 259 with no events once all have been given; any
    // other failure ends the query.
    virtual Error Next(std::size_t most, std::vector<evtx::Record>& events) = 0;
};

// The batch a reader asks for at a time.
constexpr std::size_t kChannelBatch = 256;

namespace error {
constexpr Error kPublisherMetadataNotFound = 15002;  // ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND
constexpr Error kEvtMessageNotFound = 15027;         // ERROR_EVT_MESSAGE_NOT_FOUND
constexpr Error kMessageIdNotFound = 15028;          // ERROR_EVT_MESSAGE_ID_NOT_FOUND
constexpr Error kUnresolvedValueInsert = 15029;      // ERROR_EVT_UNRESOLVED_VALUE_INSERT
constexpr Error kMessageLocaleNotFound = 15033;      // ERROR_EVT_MESSAGE_LOCALE_NOT_FOUND
}  // namespace error

// What EvtFormatMessage gives for one event on the computer that logged it:
// the event's message and the names of its level, task, opcode, channel and
// keywords, in UTF-16 as the system hands them. `error` is that of the
// message (15002 when the computer has no metadata of the provider, 15027
// or 15028 when it has no message for the event, 15033 when none in the
// languages asked); the names are given whatever it is, empty when unknown.
struct ChannelTexts {
    Error error = error::kSuccess;
    std::u16string message;
    std::u16string level, task, opcode, channel;
    std::vector<std::u16string> keywords;
};

class ChannelSession {
public:
    virtual ~ChannelSession() = default;
    // EvtQuery(channel, XPath of the query, reverse direction). 15007 when
    // the computer has no such channel; another code when it cannot be read.
    virtual Error Query(const ChannelQuery& query, std::unique_ptr<ChannelEvents>& events) = 0;
    // EvtOpenPublisherMetadata over the session (Japanese, 0x411, asked
    // first, then the computer's own language) and EvtFormatMessage: the
    // texts of `event`, a record this session's Query gave, as its
    // computer renders them. Each provider's metadata is opened once per
    // session.
    virtual void Format(const evtx::Record& event, ChannelTexts& texts) = 0;
};

// The account a session logs on with instead of the user running the
// program: the user name as typed ("DOMAIN\user", "user@domain" or "user")
// and its password, both read where they lie; any copy made is wiped.
struct ChannelAccount {
    std::string_view user;
    std::string_view password;
};

class ChannelService {
public:
    virtual ~ChannelService() = default;
    // EvtOpenSession to "\\NAME", or this machine when `server` is empty,
    // as `account` or, when null, as the user running the program (this
    // machine is always read as that user). 1722 when the computer does not
    // answer or its firewall keeps the service out, 5 when the account may
    // not read its logs, 1326 or 5 when the computer refuses the account's
    // name or password, 120 where the system has no channel service.
    virtual Error OpenSession(const std::string& server, const ChannelAccount* account,
                              std::unique_ptr<ChannelSession>& session) = 0;
};

// A channel service that answers 120 to every call: the platform of a
// system without one.
ChannelService& NoChannels();

// What the engine and the windows reach the network through.
struct Platform {
    EventLogService& eventLog;
    RegistryService& registry;
    ConnectionService& connections;
    MessageService& messages;
    SystemService& system;
    BrowseService& browse;
    ChannelService& channels = NoChannels();
};

}  // namespace quorvin::platform
