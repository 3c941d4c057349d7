#include "tools/netbuild/description.h"

#include "core/cp932.h"
#include "formats/ini.h"
#include "formats/wevt/wevt.h"
#include "services/simulated/paths.h"
#include "tools/netbuild/channel_file.h"
#include "tools/netbuild/mui_split.h"

#include <algorithm>
#include <limits>

namespace quorvin::network {

namespace {

struct Token {
    std::string text;
    bool quoted = false;  // began with '"': an insertion string in an event line
};

bool Equal(std::string_view a, std::string_view b) { return text::MbsICmp(a, b) == 0; }

// Splits one line into tokens; false on an unterminated quote.
bool Tokenize(std::string_view line, std::vector<Token>& tokens) {
    tokens.clear();
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) return true;
        Token token;
        token.quoted = line[i] == '"';
        bool inQuotes = false;
        for (; i < line.size(); ++i) {
            const char c = line[i];
            if (text::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < line.size()) {
                token.text += c;
                token.text += line[++i];
            } else if (c == '"') {
                inQuotes = !inQuotes;
            } else if (inQuotes && c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                token.text += line[++i];
            } else if (!inQuotes && (c == ' ' || c == '\t')) {
                break;
            } else {
                token.text += c;
            }
        }
        if (inQuotes) return false;
        tokens.push_back(std::move(token));
    }
}

bool ParseHexBytes(const std::vector<Token>& tokens, std::size_t from, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    for (std::size_t t = from; t < tokens.size(); ++t) {
        std::string_view rest = tokens[t].text;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view piece = rest.substr(0, comma);
            std::uint32_t v = 0;
            if (piece.empty() || piece.size() > 2 || !ParseU32("0x" + std::string(piece), v)) return false;
            bytes.push_back(static_cast<std::uint8_t>(v));
            rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        }
    }
    return true;
}

bool ParseClock(std::string_view s, int& hour, int& minute, int& second) {
    std::uint32_t parts[3] = {0, 0, 0};
    std::size_t count = 0;
    while (count < 3) {
        const std::size_t colon = s.find(':');
        const std::string_view piece = s.substr(0, colon);
        if (piece.empty() || piece.size() > 2 || piece[0] == '-' || !ParseU32(piece, parts[count])) return false;
        ++count;
        if (colon == std::string_view::npos) break;
        s.remove_prefix(colon + 1);
        if (count == 3) return false;
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
    hour = static_cast<int>(parts[0]);
    minute = static_cast<int>(parts[1]);
    second = static_cast<int>(parts[2]);
    return true;
}

bool ParseDate(std::string_view s, int& year, int& month, int& day) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    std::uint32_t y, m, d;
    if (s[5] == '-' || s[8] == '-' || !ParseU32(s.substr(0, 4), y) || !ParseU32(s.substr(5, 2), m) ||
        !ParseU32(s.substr(8, 2), d))
        return false;
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    year = static_cast<int>(y);
    month = static_cast<int>(m);
    day = static_cast<int>(d);
    return true;
}

// Local time to seconds since 1970; false when the platform cannot tell or
// the time does not fit 32 unsigned bits.
bool LocalTime(int year, int month, int day, int hour, int minute, int second, std::uint32_t& time) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) || t < 0 || static_cast<std::uint64_t>(t) > 0xFFFFFFFFu) return false;
    time = static_cast<std::uint32_t>(t);
    return true;
}

bool ToLocal(std::time_t t, std::tm& tm) {
#ifdef _WIN32
    return localtime_s(&tm, &t) == 0;
#else
    return localtime_r(&t, &tm) != nullptr;
#endif
}

bool Fits(std::int64_t t) { return t >= 0 && t <= 0xFFFFFFFFll; }

// "{01234567-89AB-CDEF-0123-456789ABCDEF}", braces included, as the
// registry and event records write a GUID.
bool IsBracedGuid(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    wevt::Guid guid;
    return wevt::ParseGuid(std::u16string(text.begin(), text.end()), guid);
}

// "Name=value": the name and the value; false without "=" or a name.
bool SplitSetting(const std::string& token, std::string& name, std::string& value) {
    const std::size_t equals = token.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    name = token.substr(0, equals);
    value = token.substr(equals + 1);
    return true;
}

// Whether a name cannot be one file or folder name as Windows keeps it:
// separators, characters Windows refuses, ".", "..", trailing dots or blanks.
bool HasNameTrouble(const std::string& name) {
    std::vector<std::string> normalized;
    return SplitPath(name).size() != 1 || NormalizeComponents({name}, normalized) != 0 || normalized.size() != 1 ||
           normalized[0] != name;
}

}  // namespace

bool ParseEventTime(const std::vector<std::string>& tokens, std::time_t now, std::uint32_t& time, std::size_t& used) {
    if (tokens.empty() || tokens[0].empty()) return false;
    const std::string& first = tokens[0];
    int hour, minute, second;
    if (first[0] == '-' || first[0] == '+') {
        const char unit = first.back();
        std::uint32_t count = 0;
        if (first.size() < 3 || !ParseU32(std::string_view(first).substr(1, first.size() - 2), count)) return false;
        std::int64_t seconds = count;
        switch (unit) {
            case 'd': seconds *= 86400; break;
            case 'h': seconds *= 3600; break;
            case 'm': seconds *= 60; break;
            case 's': break;
            default: return false;
        }
        const std::int64_t moved = static_cast<std::int64_t>(now) + (first[0] == '-' ? -seconds : seconds);
        if (!Fits(moved)) return false;
        if (unit == 'd' && tokens.size() > 1 && ParseClock(tokens[1], hour, minute, second)) {
            std::tm day{};
            if (!ToLocal(static_cast<std::time_t>(moved), day)) return false;
            used = 2;
            return LocalTime(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, hour, minute, second, time);
        }
        time = static_cast<std::uint32_t>(moved);
        used = 1;
        return true;
    }
    if (first[0] == '@') {
        if (first.size() < 2 || first[1] == '-' || !ParseU32(std::string_view(first).substr(1), time)) return false;
        used = 1;
        return true;
    }
    int year, month, day;
    if (tokens.size() < 2 || !ParseDate(first, year, month, day) || !ParseClock(tokens[1], hour, minute, second))
        return false;
    used = 2;
    return LocalTime(year, month, day, hour, minute, second, time);
}

bool ParseSid(std::string_view s, std::vector<std::uint8_t>& sid) {
    if (s.size() < 4 || (s[0] != 'S' && s[0] != 's') || s[1] != '-') return false;
    s.remove_prefix(2);
    std::vector<std::uint64_t> parts;
    while (true) {
        const std::size_t dash = s.find('-');
        const std::string_view piece = s.substr(0, dash);
        if (piece.empty() || piece.size() > 15) return false;
        std::uint64_t n = 0;
        for (char c : piece) {
            if (c < '0' || c > '9') return false;
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        }
        parts.push_back(n);
        if (dash == std::string_view::npos) break;
        s.remove_prefix(dash + 1);
    }
    // Revision, authority and 0 to 15 sub-authorities.
    if (parts.size() < 2 || parts.size() > 17 || parts[0] != 1 || parts[1] > 0xFFFFFFFFFFFFull) return false;
    sid.assign(8, 0);
    sid[0] = 1;
    sid[1] = static_cast<std::uint8_t>(parts.size() - 2);
    for (int i = 0; i < 6; ++i) sid[2 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(parts[1] >> (8 * (5 - i)));
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (parts[i] > 0xFFFFFFFFu) return false;
        for (int b = 0; b < 4; ++b) sid.push_back(static_cast<std::uint8_t>(parts[i] >> (8 * b)));
    }
    return true;
}

namespace {

class Parser {
public:
    Parser(std::time_t now, NetworkDescription& d) : d_(d) { d_.now = now; }

    bool Line(std::size_t number, const std::vector<Token>& tokens, std::string& error);

private:
    bool Fail(const std::string& what) {
        *error_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }
    bool Arguments(std::size_t least, std::size_t most, const char* usage) {
        const std::size_t n = tokens_->size() - 1;
        if (n < least || n > most) return Fail(std::string("expected ") + usage);
        return true;
    }
    const std::string& Arg(std::size_t i) const { return (*tokens_)[i].text; }
    DescribedComputer* Computer() { return computer_ < 0 ? nullptr : &d_.computers[static_cast<std::size_t>(computer_)]; }
    void SetValue(const std::string& key, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> data) {
        RegistryStep step;
        step.kind = RegistryStep::Kind::kSetValue;
        step.keyPath = key;
        step.valueName = name;
        step.type = type;
        step.data = std::move(data);
        step.line = line_;
        Computer()->registrySteps.push_back(std::move(step));
    }
    static std::vector<std::uint8_t> TextData(const std::string& s) {
        std::vector<std::uint8_t> data(s.begin(), s.end());
        data.push_back(0);
        return data;
    }

    // "now", "local", "lan_group", "browse", "computer", "network", "demo".
    bool StandaloneLine(const std::string& keyword);
    bool Now();
    bool Browse();
    bool Server();
    bool NewComputer();
    bool Services();
    bool Timing();
    bool Account();
    bool Address();
    bool Environment();
    bool RegFormat();
    bool Registry();
    bool Os();
    bool SystemRoot();
    bool Key();
    // "latency=MS timeout=MS", either or both.
    bool Waits(const char* usage, int& latencyMs, int& timeoutMs);
    bool Demo();
    bool Value();
    bool Source();
    bool File();
    bool NewFile(DescribedFile& file);
    bool MuiFile();
    bool Log();
    bool Event();
    bool Channel();
    bool ChannelEventLine();
    bool ChannelSetting(const std::string& name, const std::string& value, ChannelEvent& event);
    bool Publisher();

    NetworkDescription& d_;
    std::size_t line_ = 0;
    const std::vector<Token>* tokens_ = nullptr;
    std::string* error_ = nullptr;
    int browse_ = -1;
    int computer_ = -1;
    std::string key_;
    bool haveKey_ = false;
    int log_ = -1;
    int channel_ = -1;
};

bool Parser::Line(std::size_t number, const std::vector<Token>& tokens, std::string& error) {
    line_ = number;
    tokens_ = &tokens;
    error_ = &error;
    const std::string& keyword = tokens[0].text;

    // Lines that stand on their own close every block.
    for (const char* own : {"now", "local", "lan_group", "browse", "computer", "network", "demo"})
        if (keyword == own) {
            browse_ = computer_ = log_ = channel_ = -1;
            haveKey_ = false;
            return StandaloneLine(keyword);
        }
    if (keyword == "server") {
        if (browse_ < 0) return Fail("\"server\" outside a browse block");
        return Server();
    }
    if (browse_ >= 0) return Fail("\"" + keyword + "\" inside a browse block");
    if (!Computer()) return Fail("\"" + keyword + "\" before any computer");

    if (keyword == "value") {
        if (!haveKey_) return Fail("\"value\" without a \"key\" line before it");
        return Value();
    }
    if (keyword == "event") {
        if (channel_ >= 0) return ChannelEventLine();
        if (log_ < 0) return Fail("\"event\" without a \"log\" or \"channel\" line before it");
        return Event();
    }
    // Every other line of a computer closes its key, log and channel blocks.
    haveKey_ = false;
    log_ = channel_ = -1;
    static const struct {
        const char* keyword;
        bool (Parser::*read)();
    } kComputerLines[] = {
        {"services", &Parser::Services}, {"timing", &Parser::Timing},       {"account", &Parser::Account},
        {"address", &Parser::Address},   {"env", &Parser::Environment},     {"regformat", &Parser::RegFormat},
        {"registry", &Parser::Registry}, {"os", &Parser::Os},               {"systemroot", &Parser::SystemRoot},
        {"key", &Parser::Key},           {"source", &Parser::Source},       {"file", &Parser::File},
        {"muifile", &Parser::MuiFile},   {"log", &Parser::Log},             {"channel", &Parser::Channel},
        {"publisher", &Parser::Publisher},
    };
    for (const auto& line : kComputerLines)
        if (keyword == line.keyword) return (this->*line.read)();
    return Fail("unknown keyword \"" + keyword + "\"");
}

bool Parser::StandaloneLine(const std::string& keyword) {
    if (keyword == "now") return Now();
    if (keyword == "network") return Waits("network latency=MS timeout=MS", d_.latencyMs, d_.timeoutMs);
    if (keyword == "local") {
        if (!Arguments(1, 1, "local NAME")) return false;
        d_.localComputer = Arg(1);
        return true;
    }
    if (keyword == "lan_group") {
        if (!Arguments(1, 1, "lan_group NAME")) return false;
        d_.lanGroup = Arg(1);
        return true;
    }
    if (keyword == "browse") return Browse();
    if (keyword == "demo") return Demo();
    return NewComputer();
}

bool Parser::Timing() {
    DescribedComputer& computer = *Computer();
    return Waits("timing latency=MS timeout=MS", computer.latencyMs, computer.timeoutMs);
}

bool Parser::Account() {
    if (!Arguments(2, 2, "account USER PASSWORD")) return false;
    DescribedComputer& computer = *Computer();
    for (const auto& account : computer.accounts)
        if (Equal(account.first, Arg(1))) return Fail("account " + Arg(1) + " given twice");
    computer.accounts.emplace_back(Arg(1), Arg(2));
    return true;
}

bool Parser::Address() {
    if (!Arguments(1, 64, "address ADDRESS...")) return false;
    for (std::size_t i = 1; i < tokens_->size(); ++i) {
        if (Arg(i).empty() || Arg(i).find_first_of("\\/,") != std::string::npos)
            return Fail("bad address \"" + Arg(i) + "\"");
        Computer()->addresses.push_back(Arg(i));
    }
    return true;
}

bool Parser::Environment() {
    if (!Arguments(2, 2, "env NAME VALUE")) return false;
    if (Arg(1).empty() || Arg(1).find_first_of("=%") != std::string::npos) return Fail("bad variable name");
    Computer()->environment.emplace_back(Arg(1), Arg(2));
    return true;
}

bool Parser::RegFormat() {
    if (!Arguments(1, 1, "regformat regedit4|version5")) return false;
    if (Arg(1) != "regedit4" && Arg(1) != "version5") return Fail("expected regformat regedit4 or version5");
    Computer()->regFormat = Arg(1);
    return true;
}

bool Parser::Registry() {
    if (!Arguments(1, 1, "registry FILE.reg")) return false;
    DescribedComputer& computer = *Computer();
    if (!computer.registrySteps.empty())
        return Fail("\"registry\" comes before every other registry line of a computer, and once");
    RegistryStep step;
    step.kind = RegistryStep::Kind::kImport;
    step.file = Arg(1);
    step.line = line_;
    computer.registrySteps.push_back(std::move(step));
    return true;
}

bool Parser::Os() {
    if (!Arguments(2, 3, "os VERSION BUILD [SERVICEPACK]")) return false;
    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    SetValue(key, "CurrentVersion", platform::regtype::kSz, TextData(Arg(1)));
    SetValue(key, "CurrentBuildNumber", platform::regtype::kSz, TextData(Arg(2)));
    if (tokens_->size() > 3) SetValue(key, "CSDVersion", platform::regtype::kSz, TextData(Arg(3)));
    return true;
}

bool Parser::SystemRoot() {
    if (!Arguments(1, 1, "systemroot PATH")) return false;
    if (ParseWindowsPath(Arg(1) + "\\").kind != WindowsPath::Kind::kDrive) return Fail("systemroot needs X:\\...");
    SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", platform::regtype::kSz,
             TextData(Arg(1)));
    return true;
}

bool Parser::Key() {
    if (!Arguments(1, 1, "key PATH")) return false;
    RegistryStep step;
    step.kind = RegistryStep::Kind::kCreateKey;
    step.keyPath = Arg(1);
    step.line = line_;
    Computer()->registrySteps.push_back(std::move(step));
    key_ = Arg(1);
    haveKey_ = true;
    return true;
}

bool Parser::Now() {
    if (!Arguments(2, 2, "now YYYY-MM-DD HH:MM[:SS]")) return false;
    int year, month, day, hour, minute, second;
    std::uint32_t t = 0;
    if (!ParseDate(Arg(1), year, month, day) || !ParseClock(Arg(2), hour, minute, second) ||
        !LocalTime(year, month, day, hour, minute, second, t))
        return Fail("expected now YYYY-MM-DD HH:MM[:SS]");
    d_.now = static_cast<std::time_t>(t);
    return true;
}

bool Parser::Browse() {
    if (!Arguments(1, 2, "browse DOMAIN [result=CODE]")) return false;
    for (const BrowseList& list : d_.browse)
        if (Equal(list.domain, Arg(1))) return Fail("browse " + Arg(1) + " given twice");
    BrowseList list;
    list.domain = Arg(1);
    if (list.domain.empty() || list.domain.find(']') != std::string::npos) return Fail("bad domain name");
    if (tokens_->size() == 3) {
        const std::string& option = Arg(2);
        if (option.compare(0, 7, "result=") != 0 || !ParseU32(std::string_view(option).substr(7), list.result) ||
            option[7] == '-')
            return Fail("expected result=CODE");
    }
    d_.browse.push_back(std::move(list));
    browse_ = static_cast<int>(d_.browse.size()) - 1;
    return true;
}

bool Parser::Server() {
    if (!Arguments(3, 1000, "server NAME MAJOR.MINOR TYPEBITS [COMMENT]")) return false;
    std::string line = Arg(2) + "," + Arg(3);
    if (tokens_->size() > 4) {
        line += ",";
        for (std::size_t i = 4; i < tokens_->size(); ++i) line += (i > 4 ? " " : "") + Arg(i);
    }
    platform::ServerInfo server;
    std::string problem;
    if (Arg(1).empty() || Arg(1).find('=') != std::string::npos) return Fail("bad server name");
    if (!ParseServerLine(Arg(1), line, server, problem)) return Fail(problem);
    for (const platform::ServerInfo& other : d_.browse[static_cast<std::size_t>(browse_)].servers)
        if (Equal(other.name, server.name)) return Fail("server " + server.name + " given twice");
    d_.browse[static_cast<std::size_t>(browse_)].servers.push_back(std::move(server));
    return true;
}

bool Parser::NewComputer() {
    if (!Arguments(1, 1, "computer NAME")) return false;
    const std::string& name = Arg(1);
    if (name.empty() || name.front() == '.' || name.size() > 63 || HasNameTrouble(name))
        return Fail("\"" + name + "\" cannot be a computer name");
    for (const DescribedComputer& other : d_.computers)
        if (Equal(other.name, name)) return Fail("computer " + name + " given twice (line " + std::to_string(other.line) + ")");
    DescribedComputer computer;
    computer.name = name;
    computer.line = line_;
    d_.computers.push_back(std::move(computer));
    computer_ = static_cast<int>(d_.computers.size()) - 1;
    return true;
}

bool Parser::Waits(const char* usage, int& latencyMs, int& timeoutMs) {
    if (!Arguments(1, 2, usage)) return false;
    for (std::size_t i = 1; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        const std::size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        std::uint32_t ms = 0;
        if ((name != "latency" && name != "timeout") || equals == std::string::npos ||
            !ParseU32(std::string_view(option).substr(equals + 1), ms) || ms > 3600000)
            return Fail("bad wait \"" + option + "\" (milliseconds from 0 to 3600000)");
        (name == "latency" ? latencyMs : timeoutMs) = static_cast<int>(ms);
    }
    return true;
}

bool Parser::Demo() {
    const char* usage = "demo settings=KEY computers=NAME,NAME,...";
    if (!Arguments(2, 2, usage)) return false;
    for (std::size_t i = 1; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        const std::size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        if (value.empty() || (name != "settings" && name != "computers")) return Fail(std::string("usage: ") + usage);
        if (name == "settings") {
            d_.demoSettingsKey = value;
            continue;
        }
        d_.demoComputers.clear();
        for (std::size_t at = 0; at <= value.size();) {
            const std::size_t comma = std::min(value.find(',', at), value.size());
            if (comma == at) return Fail("an empty computer name in \"" + option + "\"");
            d_.demoComputers.push_back(value.substr(at, comma - at));
            at = comma + 1;
        }
    }
    if (d_.demoSettingsKey.empty() || d_.demoComputers.empty()) return Fail(std::string("expected ") + usage);
    return true;
}

bool Parser::Services() {
    if (!Arguments(1, 4, "services eventlog=on|off registry=on|off shares=on|auth|off channels=on|auth|off")) return false;
    DescribedComputer& computer = *Computer();
    for (std::size_t i = 1; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        const std::size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        if ((name == "eventlog" || name == "registry") && (value == "on" || value == "off")) {
            (name == "eventlog" ? computer.eventLog : computer.registry) = value == "on";
        } else if (name == "shares" && (value == "on" || value == "auth" || value == "off")) {
            computer.shares = value == "on" ? Shares::kOn : value == "auth" ? Shares::kAuth : Shares::kOff;
        } else if (name == "channels" && (value == "on" || value == "auth" || value == "off")) {
            computer.channels = value == "on"     ? ChannelAccess::kOn
                                : value == "auth" ? ChannelAccess::kAuth
                                                  : ChannelAccess::kOff;
        } else {
            return Fail("bad service setting \"" + option + "\"");
        }
    }
    return true;
}

bool Parser::Value() {
    if (!Arguments(2, 100000, "value NAME TYPE [DATA...]")) return false;
    const std::string name = Arg(1) == "@" && !(*tokens_)[1].quoted ? "" : Arg(1);
    const std::string& type = Arg(2);
    const std::size_t data = tokens_->size() - 3;
    if (type == "sz" || type == "expand_sz") {
        if (data != 1) return Fail("a " + type + " value takes one text");
        SetValue(key_, name, type == "sz" ? platform::regtype::kSz : platform::regtype::kExpandSz, TextData(Arg(3)));
    } else if (type == "multi_sz") {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 3; i < tokens_->size(); ++i) {
            if (Arg(i).empty()) return Fail("a multi_sz value holds no empty texts");
            bytes.insert(bytes.end(), Arg(i).begin(), Arg(i).end());
            bytes.push_back(0);
        }
        bytes.push_back(0);
        SetValue(key_, name, platform::regtype::kMultiSz, std::move(bytes));
    } else if (type == "dword") {
        std::uint32_t v = 0;
        if (data != 1 || !ParseU32(Arg(3), v, true)) return Fail("a dword value takes one number");
        SetValue(key_, name, platform::regtype::kDword,
                 {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                  static_cast<std::uint8_t>(v >> 24)});
    } else if (type == "binary" || type == "none") {
        std::vector<std::uint8_t> bytes;
        if (!ParseHexBytes(*tokens_, 3, bytes)) return Fail("binary data are hex bytes such as 01,a0 or 01 a0");
        if (type == "none" && !bytes.empty()) return Fail("a none value holds no data");
        SetValue(key_, name, type == "none" ? platform::regtype::kNone : platform::regtype::kBinary, std::move(bytes));
    } else {
        return Fail("unknown value type \"" + type + "\" (sz, expand_sz, multi_sz, dword, binary, none)");
    }
    return true;
}

bool Parser::Source() {
    if (!Arguments(2, 8, "source LOG NAME [message=..] [category=..] [parameter=..] [categories=N] [types=N] [guid={GUID}]"))
        return false;
    if (HasNameTrouble(Arg(1)) || Arg(2).empty() || Arg(2).find('\\') != std::string::npos)
        return Fail("bad log or source name");
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + Arg(1) + "\\" + Arg(2);
    RegistryStep step;
    step.keyPath = key;
    step.line = line_;
    Computer()->registrySteps.push_back(std::move(step));
    for (std::size_t i = 3; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        const std::size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        static const struct {
            const char* option;
            const char* value;
        } files[] = {{"message", "EventMessageFile"}, {"category", "CategoryMessageFile"}, {"parameter", "ParameterMessageFile"}};
        bool done = false;
        for (const auto& file : files)
            if (name == file.option && equals != std::string::npos) {
                SetValue(key, file.value, platform::regtype::kExpandSz, TextData(value));
                done = true;
            }
        if (!done && name == "guid" && IsBracedGuid(value)) {
            SetValue(key, "ProviderGuid", platform::regtype::kSz, TextData(value));
            done = true;
        }
        std::uint32_t n = 0;
        if (!done && (name == "categories" || name == "types") && ParseU32(value, n)) {
            SetValue(key, name == "types" ? "TypesSupported" : "CategoryCount", platform::regtype::kDword,
                     {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
                      static_cast<std::uint8_t>(n >> 24)});
            done = true;
        }
        if (!done) return Fail("bad source setting \"" + option + "\"");
    }
    return true;
}

// The target path and source of a file or muifile line.
bool Parser::NewFile(DescribedFile& file) {
    const WindowsPath path = ParseWindowsPath(Arg(1));
    if (path.kind != WindowsPath::Kind::kDrive) return Fail("\"" + Arg(1) + "\" is no X:\\... path");
    file.drive = path.drive;
    for (const std::string& piece : path.components) {
        if (piece.empty()) continue;
        if (HasNameTrouble(piece)) return Fail("\"" + piece + "\" cannot be a file or folder name");
        file.components.push_back(piece);
    }
    if (file.components.empty()) return Fail("a file needs a name");
    file.source = Arg(2);
    file.line = line_;
    return true;
}

bool Parser::File() {
    DescribedFile file;
    if (!Arguments(2, 2, "file X:\\PATH SOURCE") || !NewFile(file)) return false;
    Computer()->files.push_back(std::move(file));
    return true;
}

bool Parser::MuiFile() {
    DescribedFile file;
    if (!Arguments(3, 4, "muifile X:\\PATH SOURCE languages=L1,L2... [fallback=L]") || !NewFile(file)) return false;
    std::uint16_t id = 0;
    for (std::size_t i = 3; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        if (option.compare(0, 10, "languages=") == 0 && file.languages.empty()) {
            for (std::size_t at = 10; at <= option.size();) {
                const std::size_t comma = std::min(option.find(',', at), option.size());
                file.languages.push_back(option.substr(at, comma - at));
                at = comma + 1;
            }
        } else if (option.compare(0, 9, "fallback=") == 0 && file.fallback.empty()) {
            file.fallback = option.substr(9);
            if (!LanguageId(file.fallback, id)) return Fail("unknown language \"" + file.fallback + "\"");
        } else {
            return Fail("bad muifile setting \"" + option + "\"");
        }
    }
    if (file.languages.empty()) return Fail("a muifile needs languages=");
    for (const std::string& language : file.languages)
        if (!LanguageId(language, id))
            return Fail("unknown language \"" + language + "\" (ja-JP, en-US, de-DE, fr-FR, ko-KR, zh-CN)");
    if (file.fallback.empty()) file.fallback = file.languages.front();
    Computer()->files.push_back(std::move(file));
    return true;
}

bool Parser::Log() {
    if (!Arguments(1, 4, "log NAME [maxsize=N] [retention=N] [dirty]")) return false;
    DescribedComputer& computer = *Computer();
    if (HasNameTrouble(Arg(1))) return Fail("\"" + Arg(1) + "\" cannot be a log name");
    for (const DescribedLog& other : computer.logs)
        if (Equal(other.name, Arg(1))) return Fail("log " + Arg(1) + " given twice");
    DescribedLog log;
    log.name = Arg(1);
    log.line = line_;
    for (std::size_t i = 2; i < tokens_->size(); ++i) {
        const std::string& option = Arg(i);
        std::uint32_t n = 0;
        if (option == "dirty") {
            log.options.dirty = true;
        } else if (option.compare(0, 8, "maxsize=") == 0 && ParseU32(option.substr(8), n) && option[8] != '-') {
            log.options.maxSize = n;
        } else if (option.compare(0, 10, "retention=") == 0 && ParseU32(option.substr(10), n)) {
            log.options.retention = n;
        } else {
            return Fail("bad log setting \"" + option + "\"");
        }
    }
    computer.logs.push_back(std::move(log));
    log_ = static_cast<int>(computer.logs.size()) - 1;
    return true;
}

bool Parser::Event() {
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < tokens_->size(); ++i) rest.push_back(Arg(i));
    const char* usage = "event TIME TYPE SOURCE ID [category=N] [user=SID] [data=HEX] [computer=NAME] [\"string\"...]";
    evt::Event event;
    std::size_t used = 0;
    if (!ParseEventTime(rest, d_.now, event.timeGenerated, used)) return Fail(std::string("bad time; ") + usage);
    event.timeWritten = event.timeGenerated;
    std::size_t i = 1 + used;
    if (tokens_->size() < i + 3) return Fail(std::string("expected ") + usage);
    static const struct {
        const char* name;
        std::uint16_t type;
    } types[] = {{"error", 1}, {"warning", 2}, {"information", 4}, {"success", 8}, {"failure", 16}};
    bool typed = false;
    for (const auto& type : types)
        if (Arg(i) == type.name) {
            event.eventType = type.type;
            typed = true;
        }
    std::uint32_t number = 0;
    if (!typed) {
        if (!ParseU32(Arg(i), number) || number > 0xFFFF)
            return Fail("bad event type \"" + Arg(i) + "\" (error, warning, information, success, failure or a number)");
        event.eventType = static_cast<std::uint16_t>(number);
    }
    event.sourceName = Arg(i + 1);
    if (event.sourceName.empty()) return Fail("an event needs a source");
    if (!ParseU32(Arg(i + 2), event.eventId)) return Fail("bad event id \"" + Arg(i + 2) + "\"");
    event.computerName = Computer()->name;
    for (i += 3; i < tokens_->size(); ++i) {
        const Token& token = (*tokens_)[i];
        if (token.quoted) {
            event.strings.push_back(token.text);
            continue;
        }
        if (!event.strings.empty()) return Fail("settings come before the quoted insertion strings");
        const std::size_t equals = token.text.find('=');
        const std::string name = token.text.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : token.text.substr(equals + 1);
        bool good = false;
        if (name == "category") {
            good = ParseU32(value, number) && number <= 0xFFFF;
            event.eventCategory = static_cast<std::uint16_t>(number);
        } else if (name == "user") {
            good = ParseSid(value, event.userSid);
        } else if (name == "data") {
            good = ParseHexBytes({Token{value, false}}, 0, event.data);
        } else if (name == "computer") {
            good = !value.empty();
            event.computerName = value;
        }
        if (!good) return Fail("bad event setting \"" + token.text + "\" (insertion strings are quoted)");
    }
    if (event.strings.size() > 0xFFFF) return Fail("too many insertion strings");
    Computer()->logs[static_cast<std::size_t>(log_)].events.push_back(std::move(event));
    return true;
}

bool Parser::Channel() {
    if (!Arguments(1, 1, "channel NAME")) return false;
    DescribedComputer& computer = *Computer();
    const std::string& name = Arg(1);
    if (name.empty() || name.find('%') != std::string::npos || HasNameTrouble(ChannelFileName(name)))
        return Fail("\"" + name + "\" cannot be a channel name");
    for (const DescribedChannel& other : computer.channelLogs)
        if (Equal(other.name, name)) return Fail("channel " + name + " given twice");
    DescribedChannel channel;
    channel.name = name;
    channel.line = line_;
    computer.channelLogs.push_back(std::move(channel));
    channel_ = static_cast<int>(computer.channelLogs.size()) - 1;
    return true;
}

// One of a channel event's settings; false when `name` is none of them or
// its value is bad.
bool Parser::ChannelSetting(const std::string& name, const std::string& value, ChannelEvent& event) {
    std::uint32_t n = 0;
    if (name == "guid") {
        event.guid = value;
        return IsBracedGuid(value);
    }
    if (name == "computer") {
        event.computer = value;
        return !value.empty();
    }
    if (name == "user") return ParseSid(value, event.userSid);
    if (name == "keywords") {
        if (value.size() < 3 || value.size() > 18 || value.compare(0, 2, "0x") != 0) return false;
        event.keywords = 0;
        for (std::size_t i = 2; i < value.size(); ++i) {
            const char c = static_cast<char>(value[i] | 0x20);
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
            event.keywords = event.keywords << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        return true;
    }
    if (name != "version" && name != "task" && name != "opcode") return false;
    if (!ParseU32(value, n) || n > (name == "task" ? 0xFFFFu : 0xFFu)) return false;
    if (name == "version") event.version = static_cast<std::uint8_t>(n);
    if (name == "opcode") event.opcode = static_cast<std::uint8_t>(n);
    if (name == "task") event.task = static_cast<std::uint16_t>(n);
    return true;
}

bool Parser::ChannelEventLine() {
    const char* usage =
        "event TIME LEVEL PROVIDER ID [guid={GUID}] [version=N] [task=N] [opcode=N] [keywords=0xHEX] "
        "[computer=NAME] [user=SID] [Name=value...]";
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < tokens_->size(); ++i) rest.push_back(Arg(i));
    ChannelEvent event;
    std::size_t used = 0;
    if (!ParseEventTime(rest, d_.now, event.time, used)) return Fail(std::string("bad time; ") + usage);
    std::size_t i = 1 + used;
    if (tokens_->size() < i + 3) return Fail(std::string("expected ") + usage);
    static const char* const kLevels[] = {"critical", "error", "warning", "information", "verbose"};
    std::uint32_t number = 0;
    const auto named = std::find(std::begin(kLevels), std::end(kLevels), Arg(i));
    if (named != std::end(kLevels)) {
        number = static_cast<std::uint32_t>(named - std::begin(kLevels)) + 1;
    } else if (!ParseU32(Arg(i), number) || number > 0xFF) {
        return Fail("bad level \"" + Arg(i) + "\" (critical, error, warning, information, verbose or a number)");
    }
    event.level = static_cast<std::uint8_t>(number);
    event.provider = Arg(i + 1);
    if (event.provider.empty()) return Fail("an event needs a provider");
    if (!ParseU32(Arg(i + 2), number) || number > 0xFFFF) return Fail("bad event id \"" + Arg(i + 2) + "\" (0 to 65535)");
    event.id = static_cast<std::uint16_t>(number);
    event.computer = Computer()->name;
    event.line = line_;
    // Settings are lower-case words; every other Name=value is a data item.
    static const char* const kSettings[] = {"guid", "version", "task", "opcode", "keywords", "computer", "user"};
    for (i += 3; i < tokens_->size(); ++i) {
        std::string name, value;
        if (!SplitSetting(Arg(i), name, value)) return Fail("expected Name=value, not \"" + Arg(i) + "\"");
        if (std::find(std::begin(kSettings), std::end(kSettings), name) == std::end(kSettings)) {
            for (const auto& item : event.data)
                if (item.first == name) return Fail("data item " + name + " given twice");
            event.data.emplace_back(name, value);
        } else if (!event.data.empty() || !ChannelSetting(name, value, event)) {
            return Fail("bad event setting \"" + Arg(i) + "\" (settings come before the data)");
        }
    }
    Computer()->channelLogs[static_cast<std::size_t>(channel_)].events.push_back(std::move(event));
    return true;
}

bool Parser::Publisher() {
    if (!Arguments(2, 5, "publisher {GUID} NAME [resource=FILE] [message=FILE] [parameter=FILE]")) return false;
    if (!IsBracedGuid(Arg(1))) return Fail("\"" + Arg(1) + "\" is no GUID such as {01234567-89AB-CDEF-0123-456789ABCDEF}");
    if (Arg(2).empty()) return Fail("a publisher needs a name");
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + Arg(1);
    SetValue(key, "", platform::regtype::kSz, TextData(Arg(2)));
    static const struct {
        const char* option;
        const char* value;
    } kFiles[] = {{"resource", "ResourceFileName"}, {"message", "MessageFileName"}, {"parameter", "ParameterFileName"}};
    for (std::size_t i = 3; i < tokens_->size(); ++i) {
        std::string name, value;
        if (!SplitSetting(Arg(i), name, value)) name.clear();
        const auto file = std::find_if(std::begin(kFiles), std::end(kFiles), [&](const auto& f) { return name == f.option; });
        if (file == std::end(kFiles) || value.empty()) return Fail("bad publisher setting \"" + Arg(i) + "\"");
        SetValue(key, file->value, platform::regtype::kExpandSz, TextData(value));
    }
    return true;
}

}  // namespace

bool ParseDescription(std::string_view utf8, std::time_t now, NetworkDescription& description, std::string& error) {
    description = NetworkDescription{};
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    if (utf8.find('\0') != std::string_view::npos) {
        error = "line " + std::to_string(std::count(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(utf8.find('\0')), '\n') + 1) +
                ": NUL byte";
        return false;
    }
    Parser parser(now, description);
    std::vector<Token> tokens;
    std::size_t number = 0;
    while (!utf8.empty()) {
        ++number;
        const std::size_t end = utf8.find('\n');
        std::string_view raw = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const std::string line = text::Utf8ToCp932(raw);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (!Tokenize(line, tokens)) {
            error = "line " + std::to_string(number) + ": a quote is not closed";
            return false;
        }
        if (!parser.Line(number, tokens, error)) return false;
    }
    return true;
}

}  // namespace quorvin::network
