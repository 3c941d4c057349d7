#include "tools/netbuild/channel_file.h"

#include "core/cp932.h"
#include "formats/evtx/evtx.h"
#include "formats/wevt/wevt.h"

#include <algorithm>

namespace quorvin::network {

namespace {

using evtx::Element;
using evtx::Node;
using evtx::Sub;
using evtx::Text;
using evtx::Value;
namespace type = evtx::type;

// The System values every template takes first, in this order.
enum SystemValue : std::uint16_t {
    kProviderName, kProviderGuid, kEventId, kVersion, kLevel, kTask, kOpcode, kKeywords, kTimeCreated,
    kRecordId, kChannel, kComputer, kUserId, kSystemValues
};

// The event element: System, then EventData with a Data of each name.
Node EventTemplate(const std::vector<std::string>& dataNames) {
    auto attr = [](const char16_t* name, std::uint16_t index, std::uint8_t t) {
        return std::pair<std::u16string, std::vector<Node>>(name, {Sub(index, t)});
    };
    auto leaf = [](const char16_t* name, std::uint16_t index, std::uint8_t t) { return Element(name, {}, {Sub(index, t)}); };
    Node system = Element(
        u"System", {},
        {Element(u"Provider", {attr(u"Name", kProviderName, type::kString), attr(u"Guid", kProviderGuid, type::kGuid)}),
         leaf(u"EventID", kEventId, type::kUInt16), leaf(u"Version", kVersion, type::kUInt8),
         leaf(u"Level", kLevel, type::kUInt8), leaf(u"Task", kTask, type::kUInt16),
         leaf(u"Opcode", kOpcode, type::kUInt8), leaf(u"Keywords", kKeywords, type::kHexInt64),
         Element(u"TimeCreated", {attr(u"SystemTime", kTimeCreated, type::kFileTime)}),
         leaf(u"EventRecordID", kRecordId, type::kUInt64), leaf(u"Channel", kChannel, type::kString),
         leaf(u"Computer", kComputer, type::kString), Element(u"Security", {attr(u"UserID", kUserId, type::kSid)})});
    std::vector<Node> data;
    for (std::size_t i = 0; i < dataNames.size(); ++i)
        data.push_back(Element(u"Data", {{u"Name", {Text(text::ToUtf16(dataNames[i]))}}},
                               {Sub(static_cast<std::uint16_t>(kSystemValues + i), type::kString)}));
    return Element(u"Event", {{u"xmlns", {Text(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
                   {std::move(system), Element(u"EventData", {}, std::move(data))});
}

Value Number(std::uint8_t valueType, std::uint64_t n, std::size_t size) {
    Value v;
    v.type = valueType;
    for (std::size_t i = 0; i < size; ++i) v.bytes.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    return v;
}

Value String(const std::string& cp932) {
    Value v;
    v.type = type::kString;
    for (const char16_t c : text::ToUtf16(cp932)) {
        v.bytes.push_back(static_cast<std::uint8_t>(c));
        v.bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return v;
}

// A GUID as the record stores it (the parser checked the text).
Value GuidValue(const std::string& braced) {
    Value v;
    wevt::Guid guid{};
    if (braced.empty() || !wevt::ParseGuid(std::u16string(braced.begin(), braced.end()), guid)) return v;
    v.type = type::kGuid;
    v.bytes.assign(guid.begin(), guid.end());
    return v;
}

std::uint64_t FileTime(std::uint32_t unixTime) { return (static_cast<std::uint64_t>(unixTime) + 11644473600ull) * 10000000ull; }

}  // namespace

std::string ChannelFileName(const std::string& channel) {
    std::string file;
    for (const char c : channel) file += c == '/' ? std::string("%4") : std::string(1, c);
    return file + ".evtx";
}

std::vector<std::uint8_t> WriteChannelFile(const DescribedChannel& channel) {
    std::vector<ChannelEvent> events = channel.events;
    std::stable_sort(events.begin(), events.end(), [](const ChannelEvent& a, const ChannelEvent& b) { return a.time < b.time; });
    std::vector<std::vector<std::string>> shapes;
    std::vector<evtx::Template> templates;
    std::vector<evtx::WrittenRecord> records;
    for (const ChannelEvent& event : events) {
        std::vector<std::string> names;
        for (const auto& item : event.data) names.push_back(item.first);
        auto shape = std::find(shapes.begin(), shapes.end(), names);
        if (shape == shapes.end()) {
            evtx::Template t;
            t.guid[0] = static_cast<std::uint8_t>(shapes.size());
            t.guid[1] = static_cast<std::uint8_t>(shapes.size() >> 8);
            t.root = EventTemplate(names);
            templates.push_back(std::move(t));
            shape = shapes.insert(shapes.end(), names);
        }
        evtx::WrittenRecord record;
        record.id = records.size() + 1;
        record.written = FileTime(event.time);
        record.instance.templateIndex = static_cast<std::size_t>(shape - shapes.begin());
        std::vector<Value>& v = record.instance.values;
        v.resize(kSystemValues);
        v[kProviderName] = String(event.provider);
        v[kProviderGuid] = GuidValue(event.guid);
        v[kEventId] = Number(type::kUInt16, event.id, 2);
        v[kVersion] = Number(type::kUInt8, event.version, 1);
        v[kLevel] = Number(type::kUInt8, event.level, 1);
        v[kTask] = Number(type::kUInt16, event.task, 2);
        v[kOpcode] = Number(type::kUInt8, event.opcode, 1);
        v[kKeywords] = Number(type::kHexInt64, event.keywords, 8);
        v[kTimeCreated] = Number(type::kFileTime, record.written, 8);
        v[kRecordId] = Number(type::kUInt64, record.id, 8);
        v[kChannel] = String(channel.name);
        v[kComputer] = String(event.computer);
        if (!event.userSid.empty()) {
            v[kUserId].type = type::kSid;
            v[kUserId].bytes = event.userSid;
        }
        for (const auto& item : event.data) v.push_back(String(item.second));
        records.push_back(std::move(record));
    }
    return evtx::WriteFile(templates, records);
}

}  // namespace quorvin::network
