#pragma once
// Test logs in the .evtx format: templates like those of Windows' own
// providers, values of every type, records that use them.

#include <cstring>
#include <string>
#include <vector>

#include "formats/evtx/bytes.h"
#include "formats/evtx/evtx.h"

namespace quorvin::evtx::test {

// Element, Text and Sub are those of formats/evtx.
using quorvin::evtx::Element;
using quorvin::evtx::Sub;
using quorvin::evtx::Text;

inline Node Char(char16_t c) {
    Node n;
    n.kind = Node::Kind::kCharRef;
    n.character = c;
    return n;
}
inline Node Entity(std::u16string name) {
    Node n;
    n.kind = Node::Kind::kEntityRef;
    n.name = std::move(name);
    return n;
}
inline Value Bytes(std::uint8_t valueType, std::vector<std::uint8_t> bytes) {
    Value v;
    v.type = valueType;
    v.bytes = std::move(bytes);
    return v;
}
inline Value Number(std::uint8_t valueType, std::uint64_t n, std::size_t size) {
    std::vector<std::uint8_t> b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(n >> (8 * i));
    return Bytes(valueType, b);
}
// UTF-16LE, with `terminated` a NUL after each string (arrays of strings).
inline Value Strings(const std::vector<std::u16string>& texts, bool terminated) {
    std::vector<std::uint8_t> b;
    for (const auto& t : texts) {
        for (char16_t c : t) {
            b.push_back(static_cast<std::uint8_t>(c));
            b.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        if (terminated) b.insert(b.end(), {0, 0});
    }
    return Bytes(terminated ? type::kString | type::kArray : type::kString, b);
}
inline Value String(const std::u16string& text) { return Strings({text}, false); }
inline Value Null() { return Value{}; }
inline Value Xml(Instance instance) {
    Value v;
    v.type = type::kBinXml;
    v.xml = std::make_shared<Instance>(std::move(instance));
    return v;
}
// Concatenated values of one type as an array of it.
inline Value Array(std::uint8_t valueType, const std::vector<Value>& items) {
    Value v;
    v.type = valueType | type::kArray;
    for (const Value& i : items) v.bytes.insert(v.bytes.end(), i.bytes.begin(), i.bytes.end());
    return v;
}

// The substitutions of the System template, in the order Windows' own templates have them.
enum SystemValue : std::uint16_t {
    kLevel, kOpcode, kTask, kEventId, kQualifiers, kKeywords, kTimeCreated, kActivityId, kProcessId, kThreadId,
    kRecordId, kVersion, kUserId, kRelatedActivityId, kProviderName, kProviderGuid, kEventSourceName, kChannel,
    kComputer, kSystemValues
};

// <System> of an event, its fields substitutions, Provider's Guid and
// EventSourceName optional.
inline Node SystemElement() {
    auto attr = [](const char16_t* name, std::uint16_t index, std::uint8_t t) {
        return std::pair<std::u16string, std::vector<Node>>(name, {Sub(index, t)});
    };
    auto leaf = [](const char16_t* name, std::uint16_t index, std::uint8_t t) {
        return Element(name, {}, {Sub(index, t)});
    };
    return Element(u"System", {},
                   {Element(u"Provider", {attr(u"Name", kProviderName, type::kString), attr(u"Guid", kProviderGuid, type::kGuid),
                                          attr(u"EventSourceName", kEventSourceName, type::kString)}),
                    Element(u"EventID", {attr(u"Qualifiers", kQualifiers, type::kUInt16)}, {Sub(kEventId, type::kUInt16)}),
                    leaf(u"Version", kVersion, type::kUInt8), leaf(u"Level", kLevel, type::kUInt8),
                    leaf(u"Task", kTask, type::kUInt16), leaf(u"Opcode", kOpcode, type::kUInt8),
                    leaf(u"Keywords", kKeywords, type::kHexInt64),
                    Element(u"TimeCreated", {attr(u"SystemTime", kTimeCreated, type::kFileTime)}),
                    leaf(u"EventRecordID", kRecordId, type::kUInt64),
                    Element(u"Correlation", {attr(u"ActivityID", kActivityId, type::kGuid),
                                             attr(u"RelatedActivityID", kRelatedActivityId, type::kGuid)}),
                    Element(u"Execution", {attr(u"ProcessID", kProcessId, type::kUInt32),
                                           attr(u"ThreadID", kThreadId, type::kUInt32)}),
                    leaf(u"Channel", kChannel, type::kString), leaf(u"Computer", kComputer, type::kString),
                    Element(u"Security", {attr(u"UserID", kUserId, type::kSid)})});
}

inline Node EventElement(std::vector<Node> afterSystem) {
    std::vector<Node> children{SystemElement()};
    for (Node& n : afterSystem) children.push_back(std::move(n));
    return Element(u"Event", {{u"xmlns", {Text(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
                   std::move(children));
}

inline std::array<std::uint8_t, 16> Guid(std::uint8_t seed) {
    std::array<std::uint8_t, 16> g{};
    for (std::size_t i = 0; i < g.size(); ++i) g[i] = static_cast<std::uint8_t>(seed * 37 + i * 11 + 0x3E);
    return g;
}

inline Value GuidValue(std::uint8_t seed) {
    const auto g = Guid(seed);
    return Bytes(type::kGuid, std::vector<std::uint8_t>(g.begin(), g.end()));
}

// S-1-5-21-a-b-c-rid, or S-1-5-18 for rid 0.
inline Value Sid(std::uint32_t rid) {
    std::vector<std::uint8_t> b{1, 0, 0, 0, 0, 0, 0, 5};
    const std::vector<std::uint32_t> parts =
        rid == 0 ? std::vector<std::uint32_t>{18} : std::vector<std::uint32_t>{21, 3623811015, 3361044348, 30300820, rid};
    b[1] = static_cast<std::uint8_t>(parts.size());
    for (std::uint32_t p : parts)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(p >> (8 * i)));
    return Bytes(type::kSid, b);
}

// The System values of record `n` of a test log.
inline std::vector<Value> SystemValues(std::uint64_t n, std::uint16_t eventId) {
    std::vector<Value> v(kSystemValues);
    v[kLevel] = Number(type::kUInt8, n % 5, 1);
    v[kOpcode] = Number(type::kUInt8, n % 3, 1);
    v[kTask] = Number(type::kUInt16, n % 7 * 100, 2);
    v[kEventId] = Number(type::kUInt16, eventId, 2);
    v[kQualifiers] = n % 4 == 0 ? Number(type::kUInt16, 16384, 2) : Null();
    v[kKeywords] = Number(type::kHexInt64, n % 2 ? 0x8080000000000000ull : 0x4000000000000ull + n, 8);
    v[kTimeCreated] = Number(type::kFileTime, 131124751716816408ull + n * 123456789ull, 8);
    v[kActivityId] = n % 3 == 0 ? GuidValue(static_cast<std::uint8_t>(n)) : Null();
    v[kProcessId] = Number(type::kUInt32, 4 + n * 8, 4);
    v[kThreadId] = Number(type::kUInt32, 1000 + n, 4);
    v[kRecordId] = Number(type::kUInt64, n, 8);
    v[kVersion] = Number(type::kUInt8, n % 2, 1);
    v[kUserId] = n % 5 == 1 ? Null() : Sid(n % 2 ? 0 : static_cast<std::uint32_t>(1000 + n));
    v[kRelatedActivityId] = n % 6 == 0 ? GuidValue(static_cast<std::uint8_t>(n + 1)) : Null();
    v[kProviderName] = String(n % 2 ? u"Service Control Manager" : u"Microsoft-Windows-Security-Auditing");
    v[kProviderGuid] = n % 2 ? Null() : GuidValue(7);
    v[kEventSourceName] = n % 2 ? String(u"Service Control Manager") : Null();
    v[kChannel] = String(n % 2 ? u"System" : u"Security");
    v[kComputer] = String(n % 7 == 0 ? u"サーバー01.example.local" : u"dc01.example.local");
    return v;
}

}  // namespace quorvin::evtx::test
