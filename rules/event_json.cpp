#include "rules/event_json.h"

#include <cstdio>

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
void AddKeywords(const std::string& mask, nlohmann::ordered_json& j) {
    static const std::pair<std::uint64_t, const char*> kNames[] = {
        {0x0001000000000000ull, "Response Time"}, {0x0002000000000000ull, "WDI Context"},
        {0x0004000000000000ull, "WDI Diag"},      {0x0008000000000000ull, "SQM"},
        {0x0010000000000000ull, "Audit Failure"}, {0x0020000000000000ull, "Audit Success"},
        {0x0040000000000000ull, "Correlation Hint"}, {0x0080000000000000ull, "Classic"}};
    std::uint64_t bits = 0;
    try {
        bits = std::stoull(mask, nullptr, 0);
    } catch (const std::exception&) {
        return;
    }
    nlohmann::ordered_json names = nlohmann::ordered_json::array();
    for (const auto& [bit, name] : kNames)
        if (bits & bit) names.push_back(name);
    if (!names.empty()) j["winlog.keywords"] = names;
}

// A number of the record as a JSON number when it is one.
void AddNumber(const char* key, const std::string& text, nlohmann::ordered_json& j) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return;
    j[key] = std::stoull(text);
}

void AddText(const char* key, const std::string& text, nlohmann::ordered_json& j) {
    if (!text.empty()) j[key] = text;
}

// An event of the XML event log: its own UTF-8 texts, never through CP932.
std::string XmlEventJsonLine(const engine::EventFacts& f, const engine::XmlFacts& x, const std::string& agentVersion) {
    nlohmann::ordered_json j;
    j["@timestamp"] = x.timeCreated;
    j["event.created"] = x.timeCreated;
    j["event.code"] = std::to_string(x.eventId & 0xFFFFu);
    j["event.kind"] = "event";
    j["event.provider"] = x.provider;
    if (f.eventType == 8) j["event.outcome"] = "success";
    if (f.eventType == 16) j["event.outcome"] = "failure";
    j["log.level"] = Level(f.eventType);
    j["message"] = x.message;
    j["host.name"] = x.computer;
    j["winlog.channel"] = x.channel;
    j["winlog.computer_name"] = x.computer;
    j["winlog.provider_name"] = x.provider;
    AddText("winlog.provider_guid", x.providerGuid, j);
    j["winlog.event_id"] = x.eventId & 0xFFFFu;
    j["winlog.record_id"] = x.recordId;
    j["winlog.api"] = "wineventlog";
    AddNumber("winlog.version", x.version, j);
    AddNumber("winlog.opcode", x.opcode, j);
    AddKeywords(x.keywords, j);
    AddNumber("winlog.process.pid", x.processId, j);
    AddNumber("winlog.process.thread.id", x.threadId, j);
    AddText("winlog.activity_id", x.activityId, j);
    AddText("winlog.related_activity_id", x.relatedActivityId, j);
    for (const auto& [name, value] : x.data) {
        // An item repeated (an array's values) becomes a list of its values.
        nlohmann::ordered_json& slot = j["winlog.event_data." + name];
        if (slot.is_null())
            slot = value;
        else if (slot.is_array())
            slot.push_back(value);
        else
            slot = nlohmann::ordered_json::array({slot, value});
    }
    AddText("winlog.user.identifier", x.userSid, j);
    j["agent.name"] = "quorvin-cli";
    j["agent.version"] = agentVersion;
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
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
