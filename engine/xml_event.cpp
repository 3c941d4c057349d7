#include "engine/xml_event.h"

#include <algorithm>

#include "core/cp932.h"
#include "engine/event_row.h"

namespace quorvin::engine {

namespace {

using evtx::Field;

// Keywords bits of the audit events (winmeta.xml's WINEVENT_KEYWORD_AUDIT_*).
constexpr std::uint64_t kAuditFailure = 0x0010000000000000ull;
constexpr std::uint64_t kAuditSuccess = 0x0020000000000000ull;

// A decimal or "0x" hexadecimal number; false when the text is none.
bool Number(std::u16string_view text, std::uint64_t& value) {
    value = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 16) return false;
    for (const char16_t c : text) {
        const int digit = c >= u'0' && c <= u'9'                 ? c - u'0'
                          : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
                          : base == 16 && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                                 : -1;
        if (digit < 0) return false;
        value = value * base + static_cast<unsigned>(digit);
    }
    return true;
}

int Digits(std::u16string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < u'0' || text[i] > u'9') return -1;
        value = value * 10 + (text[i] - u'0');
    }
    return value;
}

// The list's log name of a channel: the classic three by the names the
// list gives them, any other by its own name.
std::string LogOfChannel(std::u16string_view channel) {
    const std::string name = text::FromUtf16(channel);
    for (const char* classic : {"system", "security", "application"})
        if (text::MbsICmp(name, classic) == 0) return LogDisplayName(classic);
    return name;
}

std::string Utf8Of(const evtx::Record& record, Field field) { return evtx::Utf8(record.System(field)); }

std::shared_ptr<const XmlFacts> FactsOf(const evtx::Record& record, std::uint32_t eventId,
                                        std::u16string_view message) {
    auto facts = std::make_shared<XmlFacts>();
    facts->channel = Utf8Of(record, Field::kChannel);
    facts->provider = Utf8Of(record, Field::kProviderName);
    facts->providerGuid = Utf8Of(record, Field::kProviderGuid);
    facts->eventSourceName = Utf8Of(record, Field::kEventSourceName);
    facts->computer = Utf8Of(record, Field::kComputer);
    facts->userSid = Utf8Of(record, Field::kUserId);
    facts->timeCreated = Utf8Of(record, Field::kTimeCreated);
    facts->level = Utf8Of(record, Field::kLevel);
    facts->task = Utf8Of(record, Field::kTask);
    facts->opcode = Utf8Of(record, Field::kOpcode);
    facts->keywords = Utf8Of(record, Field::kKeywords);
    facts->version = Utf8Of(record, Field::kVersion);
    facts->qualifiers = Utf8Of(record, Field::kQualifiers);
    facts->processId = Utf8Of(record, Field::kProcessId);
    facts->threadId = Utf8Of(record, Field::kThreadId);
    facts->activityId = Utf8Of(record, Field::kActivityId);
    facts->relatedActivityId = Utf8Of(record, Field::kRelatedActivityId);
    std::uint64_t recordId = 0;
    facts->recordId = Number(record.System(Field::kEventRecordId), recordId) ? recordId : record.id;
    facts->eventId = eventId;
    facts->data.reserve(record.data.size());
    std::string strings;
    for (const evtx::DataPair& pair : record.data) {
        facts->data.emplace_back(evtx::Utf8(record.Text(pair.name)), evtx::Utf8(record.Text(pair.value)));
        if (facts->data.size() > 1) strings += ",";
        strings += facts->data.back().second;
    }
    if (!message.empty()) {
        facts->message = evtx::Utf8(message);
        return facts;
    }
    // The list's text, its own words converted and the record's texts as they are.
    const std::string marker = "\x01";
    const std::string words = text::Cp932ToUtf8(DescriptionNotFound(marker, eventId, marker));
    const std::size_t first = words.find(marker), second = words.rfind(marker);
    const std::string& source = facts->eventSourceName.empty() ? facts->provider : facts->eventSourceName;
    facts->message = words.substr(0, first) + source + words.substr(first + 1, second - first - 1) + strings +
                     words.substr(second + 1);
    return facts;
}

}  // namespace

std::uint16_t XmlEventType(std::u16string_view level, std::u16string_view keywords) {
    std::uint64_t bits = 0;
    if (Number(keywords, bits)) {
        if (bits & kAuditFailure) return 16;
        if (bits & kAuditSuccess) return 8;
    }
    std::uint64_t value = 0;
    if (!Number(level, value)) return 4;
    return value == 1 || value == 2 ? 1 : value == 3 ? 2 : 4;
}

bool ParseXmlTime(std::u16string_view t, std::int64_t& seconds) {
    if (t.size() < 20 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':' ||
        t.back() != u'Z')
        return false;
    const int year = Digits(t, 0, 4), month = Digits(t, 5, 2), day = Digits(t, 8, 2);
    const int hour = Digits(t, 11, 2), minute = Digits(t, 14, 2), second = Digits(t, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return false;
    // The fraction of a second, when there is one: ".", then digits up to the "Z".
    if (t.size() > 20 && (t[19] != u'.' || t.size() == 21 || Digits(t, 20, std::min<std::size_t>(t.size() - 21, 9)) < 0))
        return false;
    // Days from 1970-01-01 to the civil date (proleptic Gregorian).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

std::int64_t XmlEventTime(const evtx::Record& record) {
    std::int64_t seconds = 0;
    if (ParseXmlTime(record.System(Field::kTimeCreated), seconds)) return seconds;
    // FILETIME: 100 ns since 1601-01-01.
    return static_cast<std::int64_t>(record.written / 10000000u) - 11644473600;
}

EventRow XmlEventRow(const evtx::Record& record, const std::string& timeText, bool withFacts,
                     std::u16string_view message) {
    if (message.empty()) message = record.System(Field::kRenderedMessage);
    std::uint64_t id = 0;
    const std::uint32_t eventId = Number(record.System(Field::kEventId), id) ? static_cast<std::uint32_t>(id) : 0;
    const std::u16string_view sourceName = record.System(Field::kEventSourceName);
    const std::string source = text::FromUtf16(sourceName.empty() ? record.System(Field::kProviderName) : sourceName);
    std::string strings;
    for (std::size_t i = 0; i < record.data.size(); ++i) {
        if (i > 0) strings += ",";
        strings += text::FromUtf16(record.Text(record.data[i].value));
    }
    EventRow row = MakeEventRow(XmlEventType(record.System(Field::kLevel), record.System(Field::kKeywords)),
                                "\\\\" + text::FromUtf16(record.System(Field::kComputer)), source,
                                message.empty() ? DescriptionNotFound(source, eventId, strings)
                                                : text::FromUtf16(message),
                                LogOfChannel(record.System(Field::kChannel)), timeText, eventId);
    if (withFacts) {
        auto facts = std::make_shared<EventFacts>();
        facts->eventId = eventId;
        facts->eventType = XmlEventType(record.System(Field::kLevel), record.System(Field::kKeywords));
        facts->xml = FactsOf(record, eventId, message);
        row.facts = std::move(facts);
    }
    return row;
}

}  // namespace quorvin::engine
