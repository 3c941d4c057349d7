#include "rules/event_json.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/cp932.h"
#include "rules/event_summary.h"

namespace quorvin::run {

namespace {

std::string Utf8(const std::string& cp932) { return text::Cp932ToUtf8Marked(cp932); }

// The channel as Windows names the log.
const char* Channel(const std::string& log) {
    if (log == "system") return "System";
    if (log == "security") return "Security";
    if (log == "application") return "Application";
    return nullptr;
}

// The channel of a log as the list names it.
std::string ChannelOfDisplayName(const std::string& log) {
    if (log == "ｼｽﾃﾑ") return "System";
    if (log == "ｾｷｭﾘﾃｨ") return "Security";
    if (log == "ｱﾌﾟﾘｹｰｼｮﾝ") return "Application";
    return Utf8(log);
}

const char* Level(std::uint16_t eventType) {
    switch (eventType) {
        case 1: return "error";
        case 2: return "warning";
        case 8: return "audit success";
        case 16: return "audit failure";
        default: return "information";
    }
}

// A message text without the line break and blanks it ends with.
std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string IsoUtcTime(std::int64_t seconds) {
    // Days since 1970-01-01 to the civil date (proleptic Gregorian).
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

namespace {

// Names of the keywords every provider shares (the high byte of the mask).
std::vector<const char*> KeywordNames(const std::string& mask) {
    static const std::pair<std::uint64_t, const char*> kNames[] = {
        {0x0001000000000000ull, "Response Time"}, {0x0002000000000000ull, "WDI Context"},
        {0x0004000000000000ull, "WDI Diag"},      {0x0008000000000000ull, "SQM"},
        {0x0010000000000000ull, "Audit Failure"}, {0x0020000000000000ull, "Audit Success"},
        {0x0040000000000000ull, "Correlation Hint"}, {0x0080000000000000ull, "Classic"}};
    std::vector<const char*> names;
    std::uint64_t bits = 0;
    try {
        bits = std::stoull(mask, nullptr, 0);
    } catch (const std::exception&) {
        return names;
    }
    for (const auto& [bit, name] : kNames)
        if (bits & bit) names.push_back(name);
    return names;
}

// Whether `s` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool WellFormedUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        const auto second = static_cast<unsigned char>(s[i + 1]);
        const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high) return false;
        for (std::size_t k = 2; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// A JSON object written as it goes, byte for byte as nlohmann's dump
// writes it (no blanks, UTF-8 kept, ill-formed UTF-8 replaced); the keys
// are the caller's and never repeat.
class JsonLine {
public:
    void Text(std::string_view key, std::string_view value) {
        Key(key);
        String(value);
    }
    void TextIfAny(std::string_view key, const std::string& value) {
        if (!value.empty()) Text(key, value);
    }
    void Number(std::string_view key, std::uint64_t value) {
        Key(key);
        char digits[24];
        out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    // A number of the record as a JSON number when it is one.
    void NumberIfOne(std::string_view key, const std::string& text) {
        if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return;
        Number(key, std::stoull(text));
    }
    template <typename Texts>
    void List(std::string_view key, const Texts& values) {
        Key(key);
        out_ += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out_ += ',';
            String(values[i]);
        }
        out_ += ']';
    }
    std::string End() {
        out_ += "}\n";
        return std::move(out_);
    }

private:
    void Key(std::string_view key) {
        out_ += out_.empty() ? '{' : ',';
        String(key);
        out_ += ':';
    }
    void String(std::string_view s);

    std::string out_;
};

void JsonLine::String(std::string_view s) {
    if (!WellFormedUtf8(s)) {
        out_ += nlohmann::json(std::string(s)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return;
    }
    out_ += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != '"' && c != '\\') {
            out_ += ch;
            continue;
        }
        static const char kHex[] = "0123456789abcdef";
        switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\b': out_ += "\\b"; break;
            case '\f': out_ += "\\f"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default: out_ += {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        }
    }
    out_ += '"';
}

// The event's data items by name, in the order each name first comes: a
// name repeated (an array's values) has all its values.
std::vector<std::pair<std::string_view, std::vector<std::string_view>>> DataByName(const engine::XmlFacts& x) {
    std::vector<std::pair<std::string_view, std::vector<std::string_view>>> items;
    for (const auto& item : x.data) {
        const std::string_view name = item.first;
        auto it = std::find_if(items.begin(), items.end(), [name](const auto& known) { return known.first == name; });
        if (it == items.end()) it = items.insert(items.end(), {name, {}});
        it->second.push_back(item.second);
    }
    return items;
}

// An event of the XML event log: its own UTF-8 texts, never through CP932.
std::string XmlEventJsonLine(const engine::EventFacts& f, const engine::XmlFacts& x, const std::string& agentVersion) {
    JsonLine j;
    j.Text("@timestamp", x.timeCreated);
    j.Text("event.created", x.timeCreated);
    j.Text("event.code", std::to_string(x.eventId & 0xFFFFu));
    j.Text("event.kind", "event");
    j.Text("event.provider", x.provider);
    if (f.eventType == 8) j.Text("event.outcome", "success");
    if (f.eventType == 16) j.Text("event.outcome", "failure");
    j.Text("log.level", Level(f.eventType));
    j.Text("message", x.message);
    j.Text("host.name", x.computer);
    j.Text("winlog.channel", x.channel);
    j.Text("winlog.computer_name", x.computer);
    j.Text("winlog.provider_name", x.provider);
    j.TextIfAny("winlog.provider_guid", x.providerGuid);
    j.Number("winlog.event_id", x.eventId & 0xFFFFu);
    j.Number("winlog.record_id", x.recordId);
    j.Text("winlog.api", "wineventlog");
    j.NumberIfOne("winlog.version", x.version);
    j.NumberIfOne("winlog.opcode", x.opcode);
    if (const std::vector<const char*> names = KeywordNames(x.keywords); !names.empty())
        j.List("winlog.keywords", names);
    j.NumberIfOne("winlog.process.pid", x.processId);
    j.NumberIfOne("winlog.process.thread.id", x.threadId);
    j.TextIfAny("winlog.activity_id", x.activityId);
    j.TextIfAny("winlog.related_activity_id", x.relatedActivityId);
    std::string key = "winlog.event_data.";
    for (const auto& [name, values] : DataByName(x)) {
        key.resize(18);
        key += name;
        if (values.size() == 1)
            j.Text(key, values[0]);
        else
            j.List(key, values);
    }
    j.TextIfAny("winlog.user.identifier", x.userSid);
    j.Text("agent.name", "quorvin-cli");
    j.Text("agent.version", agentVersion);
    return j.End();
}

}  // namespace

std::string EventJsonLine(const engine::EventRow& row, const std::string& agentVersion) {
    static const engine::EventFacts kNone;
    const engine::EventFacts& f = row.facts ? *row.facts : kNone;
    if (f.xml) return XmlEventJsonLine(f, *f.xml, agentVersion);
    nlohmann::ordered_json j;
    j["@timestamp"] = IsoUtcTime(f.timeWritten);
    j["event.created"] = IsoUtcTime(f.timeGenerated);
    j["event.code"] = std::to_string(f.eventId & 0xFFFFu);
    j["event.kind"] = "event";
    j["event.provider"] = Utf8(row.columns[5]);
    if (f.eventType == 8) j["event.outcome"] = "success";
    if (f.eventType == 16) j["event.outcome"] = "failure";
    j["log.level"] = Level(f.eventType);
    j["message"] = Utf8(row.columns[7]);
    j["host.name"] = Utf8(row.columns[4]);
    const char* channel = Channel(f.log);
    j["winlog.channel"] = channel ? std::string(channel) : Utf8(f.log);
    j["winlog.computer_name"] = Utf8(f.computerName);
    j["winlog.provider_name"] = Utf8(row.columns[5]);
    j["winlog.event_id"] = f.eventId & 0xFFFFu;
    j["winlog.record_id"] = f.recordNumber;
    j["winlog.api"] = "eventlogging";
    const std::string task = Trimmed(f.categoryText);
    if (!task.empty()) j["winlog.task"] = Utf8(task);
    if (f.eventType == 8) j["winlog.keywords"] = {"Audit Success"};
    if (f.eventType == 16) j["winlog.keywords"] = {"Audit Failure"};
    for (std::size_t i = 0; i < f.strings.size(); ++i)
        j["winlog.event_data.param" + std::to_string(i + 1)] = Utf8(f.strings[i]);
    if (!f.userSid.empty()) j["winlog.user.identifier"] = f.userSid;
    j["agent.name"] = "quorvin-cli";
    j["agent.version"] = agentVersion;
    // The texts are valid UTF-8 by construction; a fault would still not
    // end the run half way.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string SummaryJsonLine(const views::SummaryRow& row) {
    nlohmann::ordered_json j;
    j["host.name"] = Utf8(row.computer);
    j["winlog.channel"] = ChannelOfDisplayName(row.log);
    j["log.level"] = Level(static_cast<std::uint16_t>(row.type));
    j["event.provider"] = Utf8(row.source);
    const bool number = !row.eventId.empty() && row.eventId.size() <= 5 &&
                        row.eventId.find_first_not_of("0123456789") == std::string::npos;
    if (number)
        j["winlog.event_id"] = std::stoul(row.eventId);
    else
        j["winlog.event_id"] = Utf8(row.eventId);
    j["count"] = row.count;
    j["first"] = row.haveSeconds ? IsoUtcTime(row.firstSeconds) : Utf8(row.first);
    j["last"] = row.haveSeconds ? IsoUtcTime(row.lastSeconds) : Utf8(row.last);
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace quorvin::run
