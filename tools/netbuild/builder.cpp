#include "tools/netbuild/builder.h"

#include "core/cp932.h"
#include "formats/registry/reg_file.h"
#include "services/simulated/hive_key.h"
#include "services/simulated/paths.h"
#include "services/simulated/simulated_network.h"
#include "tools/netbuild/channel_file.h"
#include "tools/netbuild/mui_split.h"

#include <algorithm>
#include <fstream>

namespace quorvin::network {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSourceLimit = 64u << 20;

std::string At(std::size_t line) { return "line " + std::to_string(line) + ": "; }

bool WriteBytes(const fs::path& file, const std::string& bytes, std::string& error) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (ec || !out) {
        error = "cannot write " + HostNameToCp932(file);
        return false;
    }
    return true;
}

// An INI value or key must come back as it was written.
bool IniSafe(const std::string& s, bool key) {
    if (s.find_first_of("\r\n") != std::string::npos) return false;
    if (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t')) return false;
    if (key && (s.empty() || s.find('=') != std::string::npos || s.front() == '[' || s.front() == ';')) return false;
    return true;
}

// INI text as the builder writes it: UTF-8 with its byte order mark, CR LF.
std::string IniText(const std::vector<std::string>& lines) {
    std::string out = "\xEF\xBB\xBF";
    for (const std::string& line : lines) out += text::Cp932ToUtf8(line) + "\r\n";
    return out;
}

std::string Hex(std::uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
    return s;
}

bool FindSource(const std::string& name, const BuildOptions& options, fs::path& found) {
    const fs::path path = Cp932ToHostName(name);
    std::error_code ec;
    if (path.is_absolute()) {
        found = path;
        return fs::is_regular_file(found, ec);
    }
    std::vector<fs::path> folders{options.baseFolder};
    folders.insert(folders.end(), options.searchFolders.begin(), options.searchFolders.end());
    for (const fs::path& folder : folders) {
        found = folder / path;
        if (fs::is_regular_file(found, ec)) return true;
    }
    return false;
}

bool WriteNetworkIni(const NetworkDescription& d, const fs::path& out, std::string& error) {
    std::vector<std::string> lines;
    if (!d.localComputer.empty() || !d.lanGroup.empty()) {
        lines.push_back("[local]");
        if (!d.localComputer.empty()) lines.push_back("computer=" + d.localComputer);
        if (!d.lanGroup.empty()) lines.push_back("lan_group=" + d.lanGroup);
    }
    if (d.latencyMs >= 0 || d.timeoutMs >= 0) {
        if (!lines.empty()) lines.push_back("");
        lines.push_back("[network]");
        if (d.latencyMs >= 0) lines.push_back("latency=" + std::to_string(d.latencyMs));
        if (d.timeoutMs >= 0) lines.push_back("timeout=" + std::to_string(d.timeoutMs));
    }
    if (!d.demoSettingsKey.empty()) {
        if (!lines.empty()) lines.push_back("");
        lines.push_back("[demo]");
        lines.push_back("settings=" + d.demoSettingsKey);
        std::string names;
        for (const std::string& name : d.demoComputers) names += (names.empty() ? "" : ",") + name;
        lines.push_back("computers=" + names);
    }
    for (const BrowseList& list : d.browse) {
        lines.push_back("");
        lines.push_back("[browse:" + list.domain + "]");
        if (list.result != 0) lines.push_back("result=" + std::to_string(list.result));
        for (const platform::ServerInfo& s : list.servers)
            lines.push_back(s.name + "=" + std::to_string(s.versionMajor) + "." + std::to_string(s.versionMinor) + "," +
                            Hex(s.type) + "," + s.comment);
    }
    for (const std::string& line : lines)
        if (line.find_first_of("\r\n") != std::string::npos) {
            error = "network.ini: a name or comment holds a line break";
            return false;
        }
    return WriteBytes(out / "network.ini", IniText(lines), error);
}

bool WriteComputerIni(const DescribedComputer& c, const fs::path& folder, std::string& error) {
    auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    std::vector<std::string> lines{"[services]", "eventlog=" + onOff(c.eventLog), "registry=" + onOff(c.registry),
                                   std::string("shares=") +
                                       (c.shares == Shares::kOn ? "on" : c.shares == Shares::kAuth ? "auth" : "off")};
    if (c.channels != ChannelAccess::kUnset)
        lines.push_back(std::string("channels=") + (c.channels == ChannelAccess::kOn     ? "on"
                                                    : c.channels == ChannelAccess::kAuth ? "auth"
                                                                                         : "off"));
    if (!c.accounts.empty()) {
        lines.push_back("");
        lines.push_back("[accounts]");
        for (const auto& [user, password] : c.accounts) {
            if (!IniSafe(user, true) || !IniSafe(password, false)) {
                error = At(c.line) + "computer " + c.name + ": account \"" + user +
                        "\" cannot be kept in computer.ini (\"=\", line breaks or blanks at either end)";
                return false;
            }
            lines.push_back(user + "=" + password);
        }
    }
    if (!c.addresses.empty() || c.latencyMs >= 0 || c.timeoutMs >= 0) {
        lines.push_back("");
        lines.push_back("[network]");
    }
    if (!c.addresses.empty()) {
        std::string list;
        for (const std::string& address : c.addresses) list += (list.empty() ? "" : ",") + address;
        lines.push_back("address=" + list);
    }
    if (c.latencyMs >= 0) lines.push_back("latency=" + std::to_string(c.latencyMs));
    if (c.timeoutMs >= 0) lines.push_back("timeout=" + std::to_string(c.timeoutMs));
    if (!c.environment.empty()) {
        lines.push_back("");
        lines.push_back("[environment]");
        for (const auto& [name, value] : c.environment) {
            if (!IniSafe(name, true) || !IniSafe(value, false)) {
                error = At(c.line) + "computer " + c.name + ": variable \"" + name + "\" cannot be kept in computer.ini";
                return false;
            }
            lines.push_back(name + "=" + value);
        }
    }
    return WriteBytes(folder / "computer.ini", IniText(lines), error);
}

bool WriteRegistry(const DescribedComputer& c, const fs::path& folder, const BuildOptions& options, std::string& error) {
    if (c.registrySteps.empty()) return true;
    auto hive = std::make_shared<reg::Hive>();
    reg::Format format = reg::Format::kVersion5;
    std::size_t first = 0;
    if (c.registrySteps[0].kind == RegistryStep::Kind::kImport) {
        const RegistryStep& step = c.registrySteps[0];
        fs::path file;
        std::vector<std::uint8_t> data;
        if (!FindSource(step.file, options, file) || ReadWholeFile(file, kSourceLimit, data) != 0) {
            error = At(step.line) + "cannot read " + step.file;
            return false;
        }
        reg::ParseResult parsed = reg::ParseRegFile(data.data(), data.size());
        if (!parsed.hive) {
            error = At(step.line) + step.file + " " + parsed.error;
            return false;
        }
        hive = parsed.hive;
        format = parsed.format;
        first = 1;
    }
    if (c.regFormat == "regedit4") format = reg::Format::kRegedit4;
    if (c.regFormat == "version5") format = reg::Format::kVersion5;

    std::unique_ptr<platform::RegistryKey> root = reg::OpenHiveRoot(hive, true);
    for (std::size_t i = first; i < c.registrySteps.size(); ++i) {
        const RegistryStep& step = c.registrySteps[i];
        std::unique_ptr<platform::RegistryKey> key;
        platform::Error e = root->CreateKey(step.keyPath, key);
        if (e == 0 && step.kind == RegistryStep::Kind::kSetValue)
            e = key->SetValue(step.valueName, step.type, step.data.data(), static_cast<std::uint32_t>(step.data.size()));
        if (e != 0) {
            error = At(step.line) + "the registry refuses " + step.keyPath +
                    (step.kind == RegistryStep::Kind::kSetValue ? " value \"" + step.valueName + "\"" : std::string()) +
                    " (error " + std::to_string(e) + ")";
            return false;
        }
    }
    const std::vector<std::uint8_t> bytes = reg::WriteRegFile(*hive, format);
    return WriteBytes(folder / "registry.reg", std::string(bytes.begin(), bytes.end()), error);
}

bool WriteLogs(const DescribedComputer& c, const fs::path& folder, std::string& error) {
    for (const DescribedLog& log : c.logs) {
        std::vector<evt::Event> events = log.events;
        std::stable_sort(events.begin(), events.end(),
                         [](const evt::Event& a, const evt::Event& b) { return a.timeGenerated < b.timeGenerated; });
        const std::vector<std::uint8_t> bytes = evt::WriteLogFile(events, log.options);
        if (!WriteBytes(folder / "logs" / Cp932ToHostName(log.name + ".evt"), std::string(bytes.begin(), bytes.end()),
                        error))
            return false;
    }
    for (const DescribedChannel& channel : c.channelLogs) {
        const std::vector<std::uint8_t> bytes = WriteChannelFile(channel);
        if (!WriteBytes(folder / "logs" / Cp932ToHostName(ChannelFileName(channel.name)),
                        std::string(bytes.begin(), bytes.end()), error))
            return false;
    }
    return true;
}

// The files one file or muifile line gives: the path below the drive and
// the bytes of each.
using DriveFiles = std::vector<std::pair<std::vector<std::string>, std::vector<std::uint8_t>>>;

bool FilesOf(const DescribedFile& file, const BuildOptions& options, DriveFiles& out, std::string& error) {
    fs::path source;
    std::vector<std::uint8_t> data;
    if (!FindSource(file.source, options, source) || ReadWholeFile(source, kSourceLimit, data) != 0) {
        error = At(file.line) + "cannot read " + file.source;
        return false;
    }
    out.clear();
    if (file.languages.empty()) {
        out.emplace_back(file.components, std::move(data));
        return true;
    }
    MuiSplit split;
    std::string problem;
    if (!SplitMessageFile(data, file.languages, file.fallback, split, problem)) {
        error = At(file.line) + file.source + " " + problem;
        return false;
    }
    out.emplace_back(file.components, std::move(split.neutral));
    for (auto& [language, bytes] : split.languages) {
        std::vector<std::string> components = file.components;
        components.back() += ".mui";
        components.insert(components.end() - 1, language);
        out.emplace_back(std::move(components), std::move(bytes));
    }
    return true;
}

bool WriteFiles(const DescribedComputer& c, const fs::path& folder, const BuildOptions& options, std::string& error) {
    std::vector<std::string> written;
    DriveFiles files;
    for (const DescribedFile& file : c.files) {
        if (!FilesOf(file, options, files, error)) return false;
        for (const auto& [components, data] : files) {
            std::string target = std::string(1, file.drive) + ":";
            fs::path path = folder / "drives" / std::string(1, file.drive);
            for (const std::string& component : components) {
                target += "\\" + component;
                path /= Cp932ToHostName(component);
            }
            for (const std::string& other : written)
                if (text::MbsICmp(other, target) == 0) {
                    error = At(file.line) + "computer " + c.name + " gets " + target + " twice";
                    return false;
                }
            written.push_back(target);
            if (!WriteBytes(path, std::string(data.begin(), data.end()), error)) return false;
        }
    }
    return true;
}

}  // namespace

bool BuildNetwork(const NetworkDescription& d, const fs::path& out, const BuildOptions& options, std::string& error) {
    std::error_code ec;
    if (fs::exists(out, ec) && (!fs::is_directory(out, ec) || !fs::is_empty(out, ec))) {
        error = HostNameToCp932(out) + " exists and is not an empty folder";
        return false;
    }
    fs::create_directories(out, ec);
    if (ec) {
        error = "cannot make " + HostNameToCp932(out);
        return false;
    }
    if (!d.localComputer.empty() &&
        std::none_of(d.computers.begin(), d.computers.end(),
                     [&](const DescribedComputer& c) { return text::MbsICmp(c.name, d.localComputer) == 0; })) {
        error = "local " + d.localComputer + " is no computer of the description";
        return false;
    }
    if (!WriteNetworkIni(d, out, error)) return false;
    for (const DescribedComputer& c : d.computers) {
        const fs::path folder = out / Cp932ToHostName(c.name);
        fs::create_directories(folder, ec);
        if (ec || !WriteComputerIni(c, folder, error) || !WriteRegistry(c, folder, options, error) ||
            !WriteLogs(c, folder, error) || !WriteFiles(c, folder, options, error)) {
            if (error.empty()) error = "cannot make " + HostNameToCp932(folder);
            return false;
        }
    }
    std::string openError;
    if (!SimulatedNetwork::Open(out, openError)) {
        error = "the network does not open: " + openError;
        return false;
    }
    return true;
}

}  // namespace quorvin::network
