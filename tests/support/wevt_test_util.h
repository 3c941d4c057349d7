#pragma once
// A provider manifest for tests, shaped to break a reader: three providers
// (one with every element, one with none, one with an empty level table),
// two versions of one event with templates of different sizes, a template
// with an item of every value type, value and bit maps, names in Japanese,
// a keyword in the top bit and an opcode of a task.

#include "formats/wevt/wevt.h"
#include "support/evtx_test_util.h"

namespace quorvin::wevt::test {

inline const Guid kProviderGuid = {0x3E, 0x5A, 0x2B, 0x8D, 0x4F, 0x1C, 0x6B, 0x4A,
                                   0x9E, 0x21, 0x0F, 0x3C, 0x5D, 0x7A, 0x9B, 0x11};

// Message numbers of the sample provider's texts.
namespace msg {
constexpr std::uint32_t kProvider = 1, kChannel = 2, kLevel = 3, kTaskOpcode = 4, kOpcode = 5, kTask = 6, kKeyword = 7,
                        kTopKeyword = 8, kKind1 = 10, kKind2 = 11, kFlag1 = 12, kFlag2 = 13, kFlag4 = 14,
                        kEvent100v0 = 100, kEvent100v1 = 101, kEvent200 = 200, kEvent400 = 400;
}  // namespace msg

inline Named Name(std::uint64_t value, std::uint32_t message, std::u16string name) {
    Named n;
    n.value = value;
    n.messageId = message;
    n.name = std::move(name);
    return n;
}

inline DataItem Item(std::u16string name, std::uint8_t inType, int map = -1) {
    DataItem d;
    d.name = std::move(name);
    d.inType = inType;
    d.outType = 1;
    d.map = map;
    return d;
}

inline Event EventOf(std::uint16_t id, std::uint8_t version, std::uint32_t message, int templateIndex) {
    Event e;
    e.id = id;
    e.version = version;
    e.messageId = message;
    e.templateIndex = templateIndex;
    return e;
}

// A template whose XML is EventData with a named Data for each item and
// `literal` as an unnamed one.
inline Template TemplateOf(std::vector<DataItem> items, std::vector<evtx::Node> literal, std::uint8_t guid) {
    using namespace evtx::test;
    std::vector<evtx::Node> data;
    for (std::size_t i = 0; i < items.size(); ++i)
        data.push_back(evtx::test::Element(u"Data", {{u"Name", {Text(items[i].name)}}},
                               {Sub(static_cast<std::uint16_t>(i), items[i].inType)}));
    if (!literal.empty()) data.push_back(evtx::test::Element(u"Data", {}, std::move(literal)));
    Template t;
    t.guid = Guid{guid, 0xEE};
    t.xml = evtx::WriteInlineXml(evtx::test::Element(u"EventData", {}, std::move(data)));
    t.items = std::move(items);
    return t;
}

// The data types of the "every type" template, in order.
inline std::vector<std::uint8_t> EveryInType() {
    std::vector<std::uint8_t> types;
    for (std::uint8_t t = evtx::type::kString; t <= evtx::type::kHexInt64; ++t) types.push_back(t);
    return types;
}

inline Provider FullProvider() {
    Provider p;
    p.guid = kProviderGuid;
    p.messageId = msg::kProvider;
    for (std::size_t k = 0; k < kElementCount; ++k) p.Set(static_cast<Element>(k));
    p.channels = {Name(16, msg::kChannel, u"Quorvin-Test/Operational"), Name(8, kNoMessage, u"System")};
    p.channels[0].flags = 1;
    p.levels = {Name(16, msg::kLevel, u"win:\x30ab\x30b9\x30bf\x30e0")};
    p.opcodes = {Name(std::uint64_t{1} << 16 | 10, msg::kTaskOpcode, u"Scan"), Name(11, msg::kOpcode, u"Sweep")};
    p.tasks = {Name(1, msg::kTask, u"Backup"), Name(2, kNoMessage, u"Restore")};
    p.tasks[0].guid = Guid{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    p.keywords = {Name(1, msg::kKeyword, u"Disk"), Name(0x8000000000000000ull, msg::kTopKeyword, u"Top")};
    Map kinds{false, u"KindMap", {{1, msg::kKind1}, {2, msg::kKind2}, {3, kNoMessage}}};
    Map flags{true, u"FlagMap", {{1, msg::kFlag1}, {2, msg::kFlag2}, {4, msg::kFlag4}}};
    p.maps = {kinds, flags, Map{}};
    std::vector<DataItem> every;
    for (std::uint8_t t : EveryInType()) every.push_back(Item(u"T" + std::u16string(1, char16_t(u'A' + t)), t));
    every[evtx::type::kBinary - 1].length = 5;
    every[evtx::type::kGuid - 1].count = 1;
    using evtx::test::Entity;
    using evtx::test::Text;
    p.templates = {TemplateOf(every, {}, 1),
                   TemplateOf({Item(u"Kind", evtx::type::kUInt32, 0), Item(u"Flags", evtx::type::kUInt32, 1),
                               Item(u"Text", evtx::type::kString)},
                              {Text(u"a "), Entity(u"amp"), Text(u" b")}, 2),
                   TemplateOf({}, {}, 3)};
    p.events = {EventOf(100, 0, msg::kEvent100v0, 1), EventOf(100, 1, msg::kEvent100v1, 0),
                EventOf(200, 0, msg::kEvent200, -1), EventOf(300, 0, kNoMessage, 2), EventOf(400, 0, msg::kEvent400, -1)};
    Event& e = p.events[0];
    e.channel = 16, e.level = 4, e.task = 1, e.keywords = 0x8000000000000001ull, e.flags = 2;
    Event& v1 = p.events[1];
    v1.channel = 16, v1.level = 16, v1.opcode = 10, v1.task = 1, v1.keywords = 0x0020000000000000ull;
    Event& other = p.events[2];
    other.channel = 8, other.level = 2, other.opcode = 11, other.task = 2;
    return p;
}

inline Manifest SampleManifest() {
    Manifest m;
    m.providers.push_back(FullProvider());
    Provider empty;
    empty.guid = Guid{2};
    m.providers.push_back(empty);
    Provider few;
    few.guid = Guid{3};
    few.messageId = kNoMessage;
    few.Set(Element::kLevels);
    few.Set(Element::kEvents);
    few.Set(Element::kTemplates);
    few.templates = {TemplateOf({Item(u"Only", evtx::type::kString)}, {}, 4)};
    few.events = {EventOf(1, 0, 0xB0000001, 0)};  // a number the message compiler gives
    m.providers.push_back(few);
    return m;
}

}  // namespace quorvin::wevt::test
