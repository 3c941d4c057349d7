#pragma once
// The text description of a simulated network that quorvin-netbuild turns
// into a network folder (docs/network.md, "Building a network").
//
// The text is UTF-8 (a byte order mark is allowed) and is converted to CP932.
// Each line is a keyword and its arguments, separated by blanks; '#' at the
// start of a line makes a comment. An argument in double quotes may hold
// blanks (inside, \" and \\ stand for " and \; every other character is
// itself); quotes may also close part of an argument (message="C:\a b.dll").
// Times are resolved when the text is parsed, against `now`.

#include "formats/evt/evt.h"
#include "services/simulated/network_config.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::network {

// One change to a computer's registry, applied in order.
struct RegistryStep {
    enum class Kind { kImport, kCreateKey, kSetValue } kind = Kind::kCreateKey;
    std::string file;     // kImport: the .reg file, as written in the description
    std::string keyPath;  // below HKEY_LOCAL_MACHINE
    std::string valueName;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    std::size_t line = 0;
};

struct DescribedLog {
    std::string name;  // the file is logs/NAME.evt
    evt::WriteOptions options;
    std::vector<evt::Event> events;  // in description order; written oldest first
    std::size_t line = 0;
};

// One event of a channel (an .evtx record): its System fields and its
// named data, all data written as strings.
struct ChannelEvent {
    std::string provider;
    std::string guid;  // "{...}" as Windows shows it, or empty: no Guid attribute
    std::uint16_t id = 0;
    std::uint8_t version = 0, level = 4, opcode = 0;
    std::uint16_t task = 0;
    std::uint64_t keywords = 0;
    std::uint32_t time = 0;  // seconds since 1970 UTC
    std::string computer;
    std::vector<std::uint8_t> userSid;  // empty: none
    std::vector<std::pair<std::string, std::string>> data;
    std::size_t line = 0;
};

// A "channel" block: logs/NAME.evtx, "/" in NAME written %4.
struct DescribedChannel {
    std::string name;
    std::vector<ChannelEvent> events;  // in description order; written oldest first
    std::size_t line = 0;
};

struct DescribedFile {
    char drive = 'C';
    std::vector<std::string> components;  // below the drive root
    std::string source;                   // as written in the description
    // A "muifile" line: the languages of its .mui files, and the neutral
    // file's ultimate fallback language; empty for a plain copy.
    std::vector<std::string> languages;
    std::string fallback;
    std::size_t line = 0;
};

struct DescribedComputer {
    std::string name;
    bool eventLog = true;
    bool registry = true;
    Shares shares = Shares::kOn;
    ChannelAccess channels = ChannelAccess::kUnset;  // unset: not written
    std::vector<std::pair<std::string, std::string>> accounts;
    std::vector<std::string> addresses;
    Environment environment;
    std::string regFormat;  // "regedit4", "version5", or empty: as imported, else version5
    std::vector<RegistryStep> registrySteps;
    std::vector<DescribedLog> logs;
    std::vector<DescribedChannel> channelLogs;
    std::vector<DescribedFile> files;
    // Milliseconds of computer.ini [network] latency= and timeout=; -1: not written.
    int latencyMs = -1;
    int timeoutMs = -1;
    std::size_t line = 0;
};

struct NetworkDescription {
    std::string localComputer;
    std::string lanGroup;  // empty: not written (the network's default applies)
    std::time_t now = 0;
    std::vector<BrowseList> browse;
    std::vector<DescribedComputer> computers;
    // Milliseconds of network.ini [network] latency= and timeout=; -1: not written.
    int latencyMs = -1;
    int timeoutMs = -1;
    // network.ini [demo]: the window program's settings key while it runs on
    // this network, and the computers it lists when that key holds none;
    // both empty: no [demo] section.
    std::string demoSettingsKey;
    std::vector<std::string> demoComputers;
};

// Parses a description. `now` is the time relative times count from until a
// "now" line sets another. False with `error` = "line N: what" on a fault.
bool ParseDescription(std::string_view utf8, std::time_t now, NetworkDescription& description, std::string& error);

// An event time as the description writes it, at the start of `tokens`:
// "-3d 10:15" (the local date 3 days before `now`, at 10:15 local time),
// "-3d", "-2h", "-30m", "-45s", "+1d" (relative to `now`), "2003-06-17
// 10:15[:30]" (local time) or "@1055840100" (seconds since 1970 UTC).
// `used` receives how many tokens it took. False when it is none of these or
// lies outside 1970..2106.
bool ParseEventTime(const std::vector<std::string>& tokens, std::time_t now, std::uint32_t& time, std::size_t& used);

// "S-1-5-21-1-2-3-500" as the binary SID of an event record; false when it is none.
bool ParseSid(std::string_view text, std::vector<std::uint8_t>& sid);

}  // namespace quorvin::network
