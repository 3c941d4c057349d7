#include "services/simulated/network_config.h"

#include <unordered_map>
#include <unordered_set>

#include "core/cp932.h"
#include "formats/ini.h"
#include "services/simulated/paths.h"

namespace quorvin::network {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kIniLimit = 1u << 20;
constexpr std::string_view kBrowsePrefix = "browse:";
constexpr std::uint32_t kLongestWaitMs = 3600000;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The comma-separated items of a value, blanks around each dropped.
std::vector<std::string> SplitList(std::string_view value) {
    std::vector<std::string> items;
    while (true) {
        const std::size_t comma = value.find(',');
        items.emplace_back(Trim(value.substr(0, comma)));
        if (comma == std::string_view::npos) return items;
        value.remove_prefix(comma + 1);
    }
}

bool Equal(std::string_view a, std::string_view b) { return text::MbsICmp(a, b) == 0; }

std::string Where(const std::string& file, std::size_t line) { return file + " line " + std::to_string(line) + ": "; }

bool ParseOnOff(const IniEntry& entry, const std::string& file, bool& value, std::string& error) {
    if (Equal(entry.value, "on")) {
        value = true;
    } else if (Equal(entry.value, "off")) {
        value = false;
    } else {
        error = Where(file, entry.line) + entry.key + "=" + entry.value + ": expected on or off";
        return false;
    }
    return true;
}

bool ParseChannels(const IniEntry& entry, const std::string& file, ChannelAccess& value, std::string& error) {
    if (Equal(entry.value, "on")) {
        value = ChannelAccess::kOn;
    } else if (Equal(entry.value, "auth")) {
        value = ChannelAccess::kAuth;
    } else if (Equal(entry.value, "off")) {
        value = ChannelAccess::kOff;
    } else {
        error = Where(file, entry.line) + "channels=" + entry.value + ": expected on, auth or off";
        return false;
    }
    return true;
}

// A wait in milliseconds: 0 to one hour.
bool ParseMilliseconds(const IniEntry& entry, const std::string& file, int& value, std::string& error) {
    std::uint32_t ms = 0;
    if (!ParseU32(entry.value, ms) || ms > kLongestWaitMs) {
        error = Where(file, entry.line) + entry.key + "=" + entry.value + ": expected milliseconds from 0 to " +
                std::to_string(kLongestWaitMs);
        return false;
    }
    value = static_cast<int>(ms);
    return true;
}

// Reads a small text file whole; false with `error` naming it.
bool ReadSmallFile(const fs::path& path, std::string& data, std::string& error) {
    std::vector<std::uint8_t> bytes;
    const platform::Error read = ReadWholeFile(path, kIniLimit, bytes);
    if (read != platform::error::kSuccess) {
        error = HostNameToCp932(path) + (read == platform::error::kNotEnoughMemory ? ": larger than 1 MiB" : ": cannot be read");
        return false;
    }
    data.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

int NetworkConfig::FindComputer(std::string_view name) const {
    if (name.empty()) return -1;
    for (std::size_t i = 0; i < computers.size(); ++i)
        if (Equal(computers[i].name, name)) return static_cast<int>(i);
    for (std::size_t i = 0; i < computers.size(); ++i)
        for (const std::string& address : computers[i].addresses)
            if (Equal(address, name)) return static_cast<int>(i);
    return -1;
}

int NetworkConfig::LatencyOf(int index) const {
    if (index >= 0 && computers[static_cast<std::size_t>(index)].latencyMs >= 0)
        return computers[static_cast<std::size_t>(index)].latencyMs;
    return latencyMs;
}

int NetworkConfig::TimeoutOf(int index) const {
    if (index >= 0 && computers[static_cast<std::size_t>(index)].timeoutMs >= 0)
        return computers[static_cast<std::size_t>(index)].timeoutMs;
    return timeoutMs;
}

const BrowseList* NetworkConfig::FindBrowse(std::string_view domain) const {
    for (const BrowseList& list : browse)
        if (Equal(list.domain, domain)) return &list;
    return nullptr;
}

bool ParseServerLine(const std::string& name, std::string_view value, platform::ServerInfo& server,
                     std::string& error) {
    server = platform::ServerInfo{};
    server.name = name;
    const std::size_t comma1 = value.find(',');
    if (comma1 == std::string_view::npos) {
        error = "expected major.minor,TYPEBITS[,comment]";
        return false;
    }
    const std::size_t comma2 = value.find(',', comma1 + 1);
    const std::string_view version = Trim(value.substr(0, comma1));
    const std::size_t dot = version.find('.');
    if (dot == std::string_view::npos || version.find('x') != std::string_view::npos ||
        version.find('X') != std::string_view::npos || !ParseU32(version.substr(0, dot), server.versionMajor) ||
        !ParseU32(version.substr(dot + 1), server.versionMinor)) {
        error = "version \"" + std::string(version) + "\" is not major.minor";
        return false;
    }
    const std::string_view type =
        Trim(comma2 == std::string_view::npos ? value.substr(comma1 + 1) : value.substr(comma1 + 1, comma2 - comma1 - 1));
    if (!ParseU32(type, server.type)) {
        error = "type bits \"" + std::string(type) + "\" are no number";
        return false;
    }
    if (comma2 != std::string_view::npos) server.comment = std::string(Trim(value.substr(comma2 + 1)));
    return true;
}

bool ParseMidRunFault(std::string_view key, std::string_view value, MidRunFaults& faults, bool& known,
                      std::string& error) {
    ServiceFault* fault = nullptr;
    if (Equal(key, "ReadFailsAfter"))
        fault = &faults.read;
    else if (Equal(key, "RegistryFailsAfter"))
        fault = &faults.registry;
    else if (Equal(key, "SharesFailAfter"))
        fault = &faults.shares;
    known = fault != nullptr;
    if (!fault) return true;
    const std::size_t comma = value.find(',');
    ServiceFault parsed;
    if (comma == std::string_view::npos || !ParseU32(Trim(value.substr(0, comma)), parsed.after) ||
        !ParseU32(Trim(value.substr(comma + 1)), parsed.error) || parsed.error == 0) {
        error = "expected N,CODE (a count and a non-zero error code)";
        return false;
    }
    *fault = parsed;
    return true;
}

// Parses one INI file; the error names the file.
bool ReadIni(std::string_view data, const std::string& file, IniFile& ini, std::string& error) {
    std::string iniError;
    if (ParseIni(data, ini, iniError)) return true;
    error = file + " " + iniError;
    return false;
}

// "LOG,AFTER,wrapped,COUNT" or "LOG,AFTER,cleared[,COUNT]".
bool ParseLogChange(const IniEntry& entry, const std::string& file, LogChange& change, std::string& error) {
    std::vector<std::string_view> parts;
    std::string_view rest = entry.value;
    for (;;) {
        const std::size_t comma = rest.find(',');
        parts.push_back(Trim(rest.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    auto number = [](std::string_view text, std::uint32_t& value) {
        if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        value = static_cast<std::uint32_t>(std::stoul(std::string(text)));
        return true;
    };
    LogChange parsed;
    bool good = parts.size() >= 3 && parts.size() <= 4 && !parts[0].empty() && number(parts[1], parsed.afterRecords);
    if (good) {
        parsed.log = std::string(parts[0]);
        parsed.cleared = Equal(parts[2], "cleared");
        good = (parsed.cleared || Equal(parts[2], "wrapped")) &&
               (parts.size() == 4 ? number(parts[3], parsed.count) : parsed.cleared);
    }
    if (!good) {
        error = Where(file, entry.line) + "LogChanges=" + entry.value +
                ": expected LOG,AFTER,wrapped,COUNT or LOG,AFTER,cleared[,COUNT]";
        return false;
    }
    change = parsed;
    return true;
}

bool ParseComputerIni(std::string_view data, const std::string& file, ComputerConfig& computer, std::string& error) {
    IniFile ini;
    if (!ReadIni(data, file, ini, error)) return false;
    for (const IniSection& section : ini.sections) {
        if (Equal(section.name, "services")) {
            for (const IniEntry& entry : section.entries) {
                if (Equal(entry.key, "eventlog")) {
                    if (!ParseOnOff(entry, file, computer.eventLog, error)) return false;
                } else if (Equal(entry.key, "registry")) {
                    if (!ParseOnOff(entry, file, computer.registry, error)) return false;
                } else if (Equal(entry.key, "channels")) {
                    if (!ParseChannels(entry, file, computer.channels, error)) return false;
                } else if (Equal(entry.key, "shares")) {
                    if (Equal(entry.value, "on")) {
                        computer.shares = Shares::kOn;
                    } else if (Equal(entry.value, "auth")) {
                        computer.shares = Shares::kAuth;
                    } else if (Equal(entry.value, "off")) {
                        computer.shares = Shares::kOff;
                    } else {
                        error = Where(file, entry.line) + "shares=" + entry.value + ": expected on, auth or off";
                        return false;
                    }
                } else {
                    error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [services]";
                    return false;
                }
            }
        } else if (Equal(section.name, "accounts")) {
            for (const IniEntry& entry : section.entries) computer.accounts.emplace_back(entry.key, entry.value);
        } else if (Equal(section.name, "network")) {
            for (const IniEntry& entry : section.entries) {
                if (Equal(entry.key, "latency") || Equal(entry.key, "timeout")) {
                    if (!ParseMilliseconds(entry, file, Equal(entry.key, "latency") ? computer.latencyMs : computer.timeoutMs,
                                           error))
                        return false;
                    continue;
                }
                if (!Equal(entry.key, "address")) {
                    error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [network]";
                    return false;
                }
                for (const std::string& address : SplitList(entry.value)) {
                    if (address.empty() || address.find_first_of("\\/") != std::string::npos) {
                        error = Where(file, entry.line) + "address list \"" + entry.value + "\" holds an empty or bad address";
                        return false;
                    }
                    computer.addresses.push_back(address);
                }
            }
        } else if (Equal(section.name, "environment")) {
            for (const IniEntry& entry : section.entries) computer.environment.emplace_back(entry.key, entry.value);
        } else if (Equal(section.name, "faults")) {
            for (const IniEntry& entry : section.entries) {
                if (Equal(entry.key, "LogChanges")) {
                    if (!ParseLogChange(entry, file, computer.logChange, error)) return false;
                    continue;
                }
                bool known = false;
                std::string why;
                if (!ParseMidRunFault(entry.key, entry.value, computer.faults, known, why)) {
                    error = Where(file, entry.line) + entry.key + "=" + entry.value + ": " + why;
                    return false;
                }
                if (!known) {
                    error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [faults]";
                    return false;
                }
            }
        } else {
            error = Where(file, section.line) + "unknown section [" + section.name + "]";
            return false;
        }
    }
    return true;
}

// [demo] settings=KEY computers=NAME,NAME,...: both, each once (ReadIni
// refuses a key given twice). The key is a relative registry path: no empty
// part, at most 255 bytes a part, as the registry's key names.
bool ParseDemo(const IniSection& section, const std::string& file, NetworkConfig& config, std::string& error) {
    for (const IniEntry& entry : section.entries) {
        if (Equal(entry.key, "settings")) {
            config.demoSettingsKey = entry.value;
            bool good = !entry.value.empty();
            for (std::size_t at = 0; good && at <= entry.value.size();) {
                const std::size_t slash = std::min(entry.value.find('\\', at), entry.value.size());
                good = slash > at && slash - at <= 255;
                at = slash + 1;
            }
            if (!good) {
                error = Where(file, entry.line) + "settings=" + entry.value + " is no registry key path";
                return false;
            }
        } else if (Equal(entry.key, "computers")) {
            for (const std::string& name : SplitList(entry.value)) {
                if (name.empty()) {
                    error = Where(file, entry.line) + "computers= holds an empty name";
                    return false;
                }
                config.demoComputers.push_back(name);
            }
        } else {
            error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [demo]";
            return false;
        }
    }
    if (config.demoSettingsKey.empty() || config.demoComputers.empty()) {
        error = Where(file, section.line) + "[demo] needs settings= and computers=";
        return false;
    }
    return true;
}

bool ParseNetworkIni(std::string_view data, const std::string& file, NetworkConfig& config,
                     std::string& localComputer, std::string& error) {
    IniFile ini;
    if (!ReadIni(data, file, ini, error)) return false;
    std::unordered_set<std::string> domains;  // by MbsICmpKey
    for (const IniSection& section : ini.sections) {
        if (Equal(section.name, "local")) {
            for (const IniEntry& entry : section.entries) {
                if (Equal(entry.key, "computer")) {
                    localComputer = entry.value;
                } else if (Equal(entry.key, "lan_group")) {
                    config.lanGroup = entry.value;
                } else {
                    error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [local]";
                    return false;
                }
            }
        } else if (Equal(section.name, "network")) {
            for (const IniEntry& entry : section.entries) {
                if (!Equal(entry.key, "latency") && !Equal(entry.key, "timeout")) {
                    error = Where(file, entry.line) + "unknown key \"" + entry.key + "\" in [network]";
                    return false;
                }
                if (!ParseMilliseconds(entry, file, Equal(entry.key, "latency") ? config.latencyMs : config.timeoutMs,
                                       error))
                    return false;
            }
        } else if (Equal(section.name, "demo")) {
            if (!ParseDemo(section, file, config, error)) return false;
        } else if (section.name.size() >= kBrowsePrefix.size() &&
                   Equal(std::string_view(section.name).substr(0, kBrowsePrefix.size()), kBrowsePrefix)) {
            BrowseList list;
            list.domain = std::string(Trim(std::string_view(section.name).substr(kBrowsePrefix.size())));
            if (list.domain.empty()) {
                error = Where(file, section.line) + "[browse:] names no domain";
                return false;
            }
            if (!domains.insert(text::MbsICmpKey(list.domain)).second) {
                error = Where(file, section.line) + "a second [browse:" + list.domain + "]";
                return false;
            }
            for (const IniEntry& entry : section.entries) {
                if (Equal(entry.key, "result")) {
                    if (!ParseU32(entry.value, list.result)) {
                        error = Where(file, entry.line) + "result=" + entry.value + " is no error code";
                        return false;
                    }
                    continue;
                }
                platform::ServerInfo server;
                std::string lineError;
                if (!ParseServerLine(entry.key, entry.value, server, lineError)) {
                    error = Where(file, entry.line) + entry.key + ": " + lineError;
                    return false;
                }
                list.servers.push_back(std::move(server));
            }
            config.browse.push_back(std::move(list));
        } else {
            error = Where(file, section.line) + "unknown section [" + section.name + "]";
            return false;
        }
    }
    return true;
}

bool LoadNetworkConfig(const fs::path& folder, NetworkConfig& config, std::string& error) {
    config = NetworkConfig{};
    config.folder = folder;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = HostNameToCp932(folder) + ": no such folder";
        return false;
    }
    fs::path iniPath;
    if (!FindEntry(folder, "network.ini", EntryKind::kFile, iniPath)) {
        error = HostNameToCp932(folder / "network.ini") + ": missing";
        return false;
    }
    const std::string iniName = HostNameToCp932(iniPath);
    std::string localName;
    std::string data;
    if (!ReadSmallFile(iniPath, data, error) || !ParseNetworkIni(data, iniName, config, localName, error)) return false;

    std::unordered_map<std::string, std::size_t> nameOwners;  // by MbsICmpKey
    for (const std::string& name : ListEntries(folder, EntryKind::kDirectory)) {
        if (name.empty() || name.front() == '.') continue;
        // A host name CP932 cannot hold (not UTF-8, or characters outside
        // CP932) would be reached under another name than its folder's.
        fs::path entry;
        if (!FindEntry(folder, name, EntryKind::kDirectory, entry) || entry.filename() != Cp932ToHostName(name)) {
            error = HostNameToCp932(folder) + ": the folder name \"" + name + "\" has no CP932 form";
            return false;
        }
        const auto [other, added] = nameOwners.emplace(text::MbsICmpKey(name), config.computers.size());
        if (!added) {
            error = HostNameToCp932(folder) + ": the folders \"" + config.computers[other->second].name + "\" and \"" +
                    name + "\" name the same computer";
            return false;
        }
        ComputerConfig computer;
        computer.name = name;
        computer.folder = entry;
        fs::path computerIni;
        if (FindEntry(computer.folder, "computer.ini", EntryKind::kFile, computerIni) &&
            (!ReadSmallFile(computerIni, data, error) ||
             !ParseComputerIni(data, HostNameToCp932(computerIni), computer, error)))
            return false;
        config.computers.push_back(std::move(computer));
    }

    // Every name and address must lead to one computer only: an address may
    // repeat within its own computer, never be another's name or address.
    constexpr std::size_t kShared = static_cast<std::size_t>(-1);
    std::unordered_map<std::string, std::size_t> addressOwners;  // by MbsICmpKey; kShared: several computers
    for (std::size_t i = 0; i < config.computers.size(); ++i)
        for (const std::string& address : config.computers[i].addresses) {
            const auto [owner, added] = addressOwners.emplace(text::MbsICmpKey(address), i);
            if (!added && owner->second != i) owner->second = kShared;
        }
    for (std::size_t i = 0; i < config.computers.size(); ++i)
        for (const std::string& address : config.computers[i].addresses) {
            const std::string key = text::MbsICmpKey(address);
            const auto named = nameOwners.find(key);
            if ((named != nameOwners.end() && named->second != i) || addressOwners[key] == kShared) {
                error = config.computers[i].name + "/computer.ini: address " + address +
                        " is also the name or address of another computer";
                return false;
            }
        }

    if (!localName.empty()) {
        for (std::size_t i = 0; i < config.computers.size(); ++i)
            if (Equal(config.computers[i].name, localName)) config.localComputer = static_cast<int>(i);
        if (config.localComputer < 0) {
            error = iniName + ": [local] computer=" + localName + " names no computer folder";
            return false;
        }
    }
    return true;
}

}  // namespace quorvin::network
