#pragma once
// The instrumentation manifest a provider's module carries as its resource
// WEVT_TEMPLATE ("CRIM"): providers by GUID, each with its channels,
// levels, opcodes, tasks, keywords, value and bit maps, events and
// templates. Texts are not in it: every name carries the number of its
// message in the provider's message table.
//
// Everything here works on bytes in memory. docs/wevt-format.md describes
// the layout as this reader takes it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/evtx/binxml.h"

namespace quorvin::wevt {

using Guid = std::array<std::uint8_t, 16>;

// The message number of an item that has none.
constexpr std::uint32_t kNoMessage = 0xFFFFFFFF;

// The element kinds of a provider, each a bit of Provider::elements.
enum class Element : std::uint8_t { kChannels, kLevels, kOpcodes, kTasks, kKeywords, kMaps, kEvents, kTemplates };
constexpr std::size_t kElementCount = 8;

// A channel, level, opcode, task or keyword: its value, the number of its
// message and its name as the manifest stores it.
struct Named {
    std::uint64_t value = 0;  // an opcode's: the task in the high 16 bits, the opcode in the low
    std::uint32_t messageId = kNoMessage;
    std::u16string name;
    std::uint32_t flags = 0;  // a channel's: the word between its name and its message
    Guid guid{};              // a task's
    bool operator==(const Named& o) const {
        return value == o.value && messageId == o.messageId && name == o.name && flags == o.flags && guid == o.guid;
    }
};

struct MapEntry {
    std::uint32_t value = 0;
    std::uint32_t messageId = kNoMessage;
    bool operator==(const MapEntry& o) const { return value == o.value && messageId == o.messageId; }
};

// A value map (an entry for each value) or a bit map (an entry for each
// bit or mask).
struct Map {
    bool bitmap = false;
    std::u16string name;
    std::vector<MapEntry> entries;
    bool operator==(const Map& o) const { return bitmap == o.bitmap && name == o.name && entries == o.entries; }
};

// One data item of a template, in template order: %1 is the first.
struct DataItem {
    std::u16string name;
    std::uint8_t inType = evtx::type::kString;  // the binary XML value types (evtx::type)
    std::uint8_t outType = 0;
    std::uint16_t count = 0;   // items of an array, or 0
    std::uint16_t length = 0;  // a fixed length, or 0
    int map = -1;              // the map it names, an index into Provider::maps; -1 for none
    bool operator==(const DataItem& o) const {
        return name == o.name && inType == o.inType && outType == o.outType && count == o.count &&
               length == o.length && map == o.map;
    }
};

struct Template {
    Guid guid{};
    std::vector<std::uint8_t> xml;  // the binary XML fragment, names stored in place
    std::vector<DataItem> items;
    bool operator==(const Template& o) const { return guid == o.guid && xml == o.xml && items == o.items; }
};

struct Event {
    std::uint16_t id = 0;
    std::uint8_t version = 0, channel = 0, level = 0, opcode = 0;
    std::uint16_t task = 0;
    std::uint64_t keywords = 0;
    std::uint32_t messageId = kNoMessage;
    int templateIndex = -1;  // into Provider::templates; -1 for none
    std::uint32_t flags = 0;
    bool operator==(const Event& o) const {
        return id == o.id && version == o.version && channel == o.channel && level == o.level &&
               opcode == o.opcode && task == o.task && keywords == o.keywords && messageId == o.messageId &&
               templateIndex == o.templateIndex && flags == o.flags;
    }
};

struct Provider {
    Guid guid{};
    std::uint32_t messageId = kNoMessage;
    std::uint32_t elements = 0;  // one bit for each Element the provider stores (empty or not)
    std::vector<Named> channels, levels, opcodes, tasks, keywords;
    std::vector<Map> maps;
    std::vector<Event> events;
    std::vector<Template> templates;

    bool Has(Element e) const { return (elements >> static_cast<unsigned>(e) & 1) != 0; }
    void Set(Element e) { elements |= 1u << static_cast<unsigned>(e); }
    bool operator==(const Provider& o) const {
        return guid == o.guid && messageId == o.messageId && elements == o.elements && channels == o.channels &&
               levels == o.levels && opcodes == o.opcodes && tasks == o.tasks && keywords == o.keywords &&
               maps == o.maps && events == o.events && templates == o.templates;
    }
};

struct Manifest {
    std::vector<Provider> providers;

    // The provider with `guid`; null when there is none.
    const Provider* Find(const Guid& guid) const;
};

// Limits a real manifest stays far within; more is taken for damage.
constexpr std::size_t kLargestManifest = 64u << 20;
constexpr std::uint32_t kMostItems = 1u << 16;  // of one table, one map or one template

// Reads the manifest in `size` bytes at `data`: false, with `problem`
// saying what and where (the offset in the bytes), at the first fault. An
// offset or a size that leads outside the bytes, a count that cannot fit,
// a signature where one is expected, a name without its end, a template
// whose binary XML does not walk, an event whose template or an item whose
// map is none of the provider's: each is a fault.
bool ReadManifest(const std::uint8_t* data, std::size_t size, Manifest& manifest, std::string& problem);

// Walks a template's binary XML (read or written) into `sink`: false, with
// `problem`, when it is malformed.
bool WalkTemplate(const Template& t, evtx::XmlSink& sink, std::string& problem);

// The bytes of the manifest (for tests and the simulated network's message
// modules); ReadManifest reads back what it writes. Only the elements a
// provider's `elements` names are written, in Element order.
std::vector<std::uint8_t> WriteManifest(const Manifest& manifest);

// Where WriteManifest put what a damage test aims at: the offset of each
// field the reader takes, with a short name of the field.
struct Field {
    std::size_t offset = 0;
    std::size_t size = 0;  // 2, 4 or 8
    std::string what;
};
std::vector<std::uint8_t> WriteManifest(const Manifest& manifest, std::vector<Field>& fields);

// Parses "{01234567-89AB-CDEF-0123-456789ABCDEF}" (the braces optional,
// hexadecimal digits in either case) as Windows shows a GUID: false when
// the text is no GUID.
bool ParseGuid(std::u16string_view text, Guid& guid);

}  // namespace quorvin::wevt
