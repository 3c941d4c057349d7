// Reads a provider manifest (the resource WEVT_TEMPLATE) from its bytes.
// Every offset in it is from the start of the manifest; each offset and
// size is checked by Need before a byte behind it is read, and every count
// by Count before its array is walked. The first fault ends the reading
// with a text saying what and where.

#include <map>

#include "formats/evtx/bytes.h"
#include "formats/wevt/wevt.h"

namespace quorvin::wevt {

namespace {

using evtx::Hex;
using evtx::LoadU64;
using quorvin::bytes::LoadU16;
using quorvin::bytes::LoadU32;

// Header sizes: signature, size, count (and for events a word more).
constexpr std::uint32_t kTableHeader = 12, kEventsHeader = 16, kProviderHeader = 20, kTemplateHeader = 40;
constexpr std::uint32_t kEventSize = 48, kItemSize = 20, kMapEntrySize = 8;

// The size of one entry of each named table, in Element order up to kKeywords.
constexpr std::uint32_t kNamedSize[] = {16, 12, 12, 28, 16};

class NullSink final : public evtx::XmlSink {
public:
    void Open(evtx::NameView) override {}
    void Attribute(evtx::NameView) override {}
    void Content() override {}
    void End() override {}
    void Literal(const std::uint8_t*, std::uint32_t) override {}
    void Character(char16_t) override {}
    void Entity(evtx::NameView) override {}
    void Value(evtx::ValueView, bool) override {}
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, std::string& problem)
        : data_(data), size_(size), problem_(problem) {}

    bool Read(Manifest& manifest);

private:
    bool Fail(std::uint64_t at, const std::string& what) {
        problem_ = what + " at " + Hex(at);
        return false;
    }
    // The one bounds rule: `size` bytes at `offset` lie within the manifest.
    bool Need(std::uint64_t offset, std::uint64_t size, const std::string& what) {
        if (size <= size_ && offset <= size_ - size) return true;
        return Fail(offset, what + " (" + std::to_string(size) + " bytes) runs past the end of the manifest (" +
                                std::to_string(size_) + " bytes)");
    }
    // `count` entries of `each` bytes at `offset`, within `end`.
    bool Count(std::uint64_t offset, std::uint32_t count, std::uint32_t each, std::uint64_t end,
               const std::string& what) {
        if (count > kMostItems) return Fail(offset, std::to_string(count) + " " + what + " are more than any manifest holds");
        if (!Need(offset, std::uint64_t{count} * each, std::to_string(count) + " " + what)) return false;
        if (offset + std::uint64_t{count} * each > end)
            return Fail(offset, std::to_string(count) + " " + what + " run past their element's end " + Hex(end));
        return true;
    }
    bool Signature(std::uint32_t at, const char* signature, const std::string& what) {
        if (!Need(at, 4, what)) return false;
        for (int i = 0; i < 4; ++i)
            if (data_[at + i] != static_cast<std::uint8_t>(signature[i]))
                return Fail(at, what + " lacks its signature \"" + signature + "\"");
        return true;
    }
    std::uint32_t U32(std::uint64_t at) const { return LoadU32(data_ + at); }
    Guid GuidAt(std::uint64_t at) const {
        Guid g;
        for (std::size_t i = 0; i < g.size(); ++i) g[i] = data_[at + i];
        return g;
    }

    bool Name(std::uint32_t offset, std::u16string& name, const std::string& what);
    bool ElementEnd(std::uint32_t at, std::uint32_t header, const std::string& what, std::uint64_t& end);
    bool Provider(std::uint32_t at, wevt::Provider& provider);
    bool Named(std::uint32_t at, Element kind, std::vector<wevt::Named>& out);
    bool Maps(std::uint32_t at, wevt::Provider& provider);
    bool OneMap(std::uint32_t at, wevt::Map& map);
    bool Templates(std::uint32_t at, wevt::Provider& provider);
    bool OneTemplate(std::uint32_t at, std::uint64_t end, wevt::Template& t, std::uint32_t& size);
    bool Items(std::uint32_t at, std::uint32_t count, std::uint64_t end, wevt::Template& t);
    bool Events(std::uint32_t at, wevt::Provider& provider);

    const std::uint8_t* data_;
    std::size_t size_;
    std::string& problem_;
    std::map<std::uint32_t, int> maps_;       // a map's offset to its index, of the provider being read
    std::map<std::uint32_t, int> templates_;  // a template's offset to its index
};

// A name: its size (itself included), UTF-16 units ending with a NUL,
// padding. Offset 0 is no name.
bool Reader::Name(std::uint32_t offset, std::u16string& name, const std::string& what) {
    name.clear();
    if (offset == 0) return true;
    if (!Need(offset, 4, "the size of " + what)) return false;
    const std::uint32_t size = U32(offset);
    if (size < 6) return Fail(offset, what + " of " + std::to_string(size) + " bytes is too short for its end");
    if (!Need(offset, size, what)) return false;
    for (std::uint32_t at = offset + 4; at + 2 <= offset + size; at += 2) {
        const char16_t c = LoadU16(data_ + at);
        if (c == 0) return true;
        name.push_back(c);
    }
    return Fail(offset, what + " has no end");
}

// The end of the element at `at` by its size; a size of 0 (left so by some
// compilers for an empty table) leaves the element the rest of the manifest.
bool Reader::ElementEnd(std::uint32_t at, std::uint32_t header, const std::string& what, std::uint64_t& end) {
    if (!Need(at, header, what)) return false;
    const std::uint32_t size = U32(at + 4);
    if (size == 0) {
        end = size_;
        return true;
    }
    if (size < header) return Fail(at, what + " of " + std::to_string(size) + " bytes is shorter than its header");
    if (!Need(at, size, what)) return false;
    end = std::uint64_t{at} + size;
    return true;
}

bool Reader::Named(std::uint32_t at, Element kind, std::vector<wevt::Named>& out) {
    static const char* const kSignatures[] = {"CHAN", "LEVL", "OPCO", "TASK", "KEYW"};
    static const char* const kWhat[] = {"channel", "level", "opcode", "task", "keyword"};
    const auto k = static_cast<std::size_t>(kind);
    const std::string what = std::string("the ") + kWhat[k] + " table";
    std::uint64_t end = 0;
    if (!Signature(at, kSignatures[k], what) || !ElementEnd(at, kTableHeader, what, end)) return false;
    const std::uint32_t count = U32(at + 8);
    if (!Count(at + kTableHeader, count, kNamedSize[k], end, std::string(kWhat[k]) + " entries")) return false;
    out.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t e = at + kTableHeader + i * kNamedSize[k];
        wevt::Named& n = out[i];
        std::uint32_t nameAt = 0;
        switch (kind) {
        case Element::kChannels:
            n.value = U32(e), nameAt = U32(e + 4), n.flags = U32(e + 8), n.messageId = U32(e + 12);
            break;
        case Element::kTasks:
            n.value = U32(e), n.messageId = U32(e + 4), n.guid = GuidAt(e + 8), nameAt = U32(e + 24);
            break;
        case Element::kKeywords:
            n.value = LoadU64(data_ + e), n.messageId = U32(e + 8), nameAt = U32(e + 12);
            break;
        default:
            n.value = U32(e), n.messageId = U32(e + 4), nameAt = U32(e + 8);
            break;
        }
        if (!Name(nameAt, n.name, std::string("the name of ") + kWhat[k] + " " + std::to_string(i) + " (entry at " + Hex(e) + ")"))
            return false;
    }
    return true;
}

// A map: "VMAP" or "BMAP", size, the offset of its name, the number of
// entries, then each entry's value and message number.
bool Reader::OneMap(std::uint32_t at, wevt::Map& map) {
    if (!Need(at, 16, "map")) return false;
    if (U32(at) == LoadU32(reinterpret_cast<const std::uint8_t*>("BMAP"))) {
        map.bitmap = true;
    } else if (!Signature(at, "VMAP", "map")) {
        return Fail(at, "map lacks its signature \"VMAP\" or \"BMAP\"");
    }
    std::uint64_t end = 0;
    if (!ElementEnd(at, 16, "map", end) || !Name(U32(at + 8), map.name, "the name of the map at " + Hex(at))) return false;
    const std::uint32_t count = U32(at + 12);
    if (!Count(at + 16, count, kMapEntrySize, end, "map entries")) return false;
    map.entries.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) map.entries[i] = {U32(at + 16 + 8 * i), U32(at + 20 + 8 * i)};
    return true;
}

// "MAPS", size, count, the offsets of the maps after the first, which
// follows them.
bool Reader::Maps(std::uint32_t at, wevt::Provider& provider) {
    std::uint64_t end = 0;
    if (!Signature(at, "MAPS", "the map table") || !ElementEnd(at, kTableHeader, "the map table", end)) return false;
    const std::uint32_t count = U32(at + 8);
    if (count == 0) return true;
    if (!Count(at + kTableHeader, count - 1, 4, end, "map offsets")) return false;
    provider.maps.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t map = i == 0 ? at + kTableHeader + 4 * (count - 1) : U32(at + kTableHeader + 4 * (i - 1));
        if (!OneMap(map, provider.maps[i])) return false;
        maps_[map] = static_cast<int>(i);
    }
    return true;
}

// Item descriptors: a word, input and output type, a word of flags, the
// offset of the map it names (0: none), count, length, the name's offset.
bool Reader::Items(std::uint32_t at, std::uint32_t count, std::uint64_t end, wevt::Template& t) {
    if (!Count(at, count, kItemSize, end, "template items")) return false;
    t.items.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t d = at + i * kItemSize;
        DataItem& item = t.items[i];
        item.inType = data_[d + 4];
        item.outType = data_[d + 5];
        item.count = LoadU16(data_ + d + 12);
        item.length = LoadU16(data_ + d + 14);
        const std::uint32_t map = U32(d + 8);
        if (map != 0) {
            const auto found = maps_.find(map);
            if (found == maps_.end()) return Fail(d, "template item " + std::to_string(i) + " names no map of its provider (" + Hex(map) + ")");
            item.map = found->second;
        }
        if (!Name(U32(d + 16), item.name, "the name of template item " + std::to_string(i) + " (at " + Hex(d) + ")"))
            return false;
    }
    return true;
}

// "TEMP", size, item count, name count, the items' offset, a word, GUID,
// the binary XML up to the items, the items, their names.
bool Reader::OneTemplate(std::uint32_t at, std::uint64_t end, wevt::Template& t, std::uint32_t& size) {
    if (!Signature(at, "TEMP", "template") || !Need(at, kTemplateHeader, "template")) return false;
    size = U32(at + 4);
    if (size < kTemplateHeader) return Fail(at, "template of " + std::to_string(size) + " bytes is shorter than its header");
    if (std::uint64_t{at} + size > end) return Fail(at, "template of " + std::to_string(size) + " bytes runs past its table");
    const std::uint64_t templateEnd = std::uint64_t{at} + size;
    const std::uint32_t count = U32(at + 8);
    const std::uint32_t items = U32(at + 16);
    std::uint64_t xmlEnd = templateEnd;
    if (count != 0) {
        if (items < at + kTemplateHeader || items > templateEnd)
            return Fail(at + 16, "the items of the template at " + Hex(at) + " lie outside it (" + Hex(items) + ")");
        xmlEnd = items;
    }
    t.guid = GuidAt(at + 24);
    t.xml.assign(data_ + at + kTemplateHeader, data_ + xmlEnd);
    NullSink sink;
    std::string problem;
    if (!WalkTemplate(t, sink, problem)) return Fail(at + kTemplateHeader, "the binary XML of the template at " + Hex(at) + ": " + problem);
    return count == 0 || Items(items, count, templateEnd, t);
}

bool Reader::Templates(std::uint32_t at, wevt::Provider& provider) {
    std::uint64_t end = 0;
    if (!Signature(at, "TTBL", "the template table") || !ElementEnd(at, kTableHeader, "the template table", end))
        return false;
    const std::uint32_t count = U32(at + 8);
    if (count > kMostItems) return Fail(at + 8, std::to_string(count) + " templates are more than any manifest holds");
    provider.templates.resize(count);
    std::uint32_t t = at + kTableHeader;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        if (!OneTemplate(t, end, provider.templates[i], size)) return false;
        templates_[t] = static_cast<int>(i);
        t += size;
    }
    return true;
}

bool Reader::Events(std::uint32_t at, wevt::Provider& provider) {
    std::uint64_t end = 0;
    if (!Signature(at, "EVNT", "the event table") || !ElementEnd(at, kEventsHeader, "the event table", end)) return false;
    const std::uint32_t count = U32(at + 8);
    if (!Count(at + kEventsHeader, count, kEventSize, end, "events")) return false;
    provider.events.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t e = at + kEventsHeader + i * kEventSize;
        Event& ev = provider.events[i];
        ev.id = LoadU16(data_ + e);
        ev.version = data_[e + 2], ev.channel = data_[e + 3], ev.level = data_[e + 4], ev.opcode = data_[e + 5];
        ev.task = LoadU16(data_ + e + 6);
        ev.keywords = LoadU64(data_ + e + 8);
        ev.messageId = U32(e + 16);
        ev.flags = U32(e + 44);
        const std::uint32_t t = U32(e + 20);
        if (t == 0) continue;
        const auto found = templates_.find(t);
        if (found == templates_.end())
            return Fail(e + 20, "event " + std::to_string(ev.id) + " version " + std::to_string(ev.version) +
                                    " names no template of its provider (" + Hex(t) + ")");
        ev.templateIndex = found->second;
    }
    return true;
}

// "WEVT", size, message number, the number of element descriptors and of
// words after them, then the descriptors: each element's offset and a word.
// The maps are read first and the templates next, as items name maps and
// events templates; an element of a kind not known here is passed over.
bool Reader::Provider(std::uint32_t at, wevt::Provider& provider) {
    static const char* const kSignatures[kElementCount] = {"CHAN", "LEVL", "OPCO", "TASK", "KEYW", "MAPS", "EVNT", "TTBL"};
    if (!Signature(at, "WEVT", "provider") || !Need(at, kProviderHeader, "provider")) return false;
    const std::uint32_t size = U32(at + 4);
    if (size < kProviderHeader) return Fail(at, "provider of " + std::to_string(size) + " bytes is shorter than its header");
    if (!Need(at, size, "provider")) return false;
    provider.messageId = U32(at + 8);
    const std::uint32_t count = U32(at + 12);
    if (!Count(at + kProviderHeader, count, 8, size_, "element descriptors")) return false;
    std::uint32_t offsets[kElementCount] = {};
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t element = U32(at + kProviderHeader + 8 * i);
        if (!Need(element, 4, "element " + std::to_string(i) + " of the provider at " + Hex(at))) return false;
        for (std::size_t k = 0; k < kElementCount; ++k) {
            if (LoadU32(data_ + element) != LoadU32(reinterpret_cast<const std::uint8_t*>(kSignatures[k]))) continue;
            if (provider.Has(static_cast<Element>(k))) return Fail(element, std::string("a second ") + kSignatures[k] + " element");
            provider.Set(static_cast<Element>(k));
            offsets[k] = element;
        }
    }
    maps_.clear();
    templates_.clear();
    if (provider.Has(Element::kMaps) && !Maps(offsets[5], provider)) return false;
    if (provider.Has(Element::kTemplates) && !Templates(offsets[7], provider)) return false;
    std::vector<wevt::Named>* named[] = {&provider.channels, &provider.levels, &provider.opcodes, &provider.tasks,
                                         &provider.keywords};
    for (std::size_t k = 0; k < 5; ++k)
        if (provider.Has(static_cast<Element>(k)) && !Named(offsets[k], static_cast<Element>(k), *named[k])) return false;
    return !provider.Has(Element::kEvents) || Events(offsets[6], provider);
}

// "CRIM", size, major and minor version, the number of providers, then
// each provider's GUID and offset.
bool Reader::Read(Manifest& manifest) {
    if (size_ > kLargestManifest) return Fail(0, "a manifest of " + std::to_string(size_) + " bytes is larger than any real one");
    if (!Signature(0, "CRIM", "the manifest") || !Need(0, 16, "the manifest header")) return false;
    const std::uint32_t size = U32(4);
    if (size < 16 || size > size_)
        return Fail(4, "the manifest says it holds " + std::to_string(size) + " bytes, of " + std::to_string(size_));
    size_ = size;  // what follows is the resource's padding
    const std::uint32_t count = U32(12);
    if (!Count(16, count, 20, size_, "providers")) return false;
    manifest.providers.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        wevt::Provider& p = manifest.providers[i];
        p.guid = GuidAt(16 + 20 * i);
        if (!Provider(U32(32 + 20 * i), p)) {
            problem_ = "provider " + std::to_string(i) + ": " + problem_;
            return false;
        }
    }
    return true;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

const Provider* Manifest::Find(const Guid& guid) const {
    for (const Provider& p : providers)
        if (p.guid == guid) return &p;
    return nullptr;
}

bool ReadManifest(const std::uint8_t* data, std::size_t size, Manifest& manifest, std::string& problem) {
    manifest = Manifest{};
    problem.clear();
    if (data == nullptr) size = 0;
    if (Reader(data, size, problem).Read(manifest)) return true;
    manifest = Manifest{};
    return false;
}

bool WalkTemplate(const Template& t, evtx::XmlSink& sink, std::string& problem) {
    problem.clear();
    if (t.xml.size() > kLargestManifest) {
        problem = "binary XML larger than any manifest";
        return false;
    }
    evtx::BinXml walker;
    const auto size = static_cast<std::uint32_t>(t.xml.size());
    walker.Reset(t.xml.data(), size, evtx::NameStyle::kInline);
    return walker.Walk(0, size, sink, problem);
}

bool ParseGuid(std::u16string_view text, Guid& guid) {
    if (text.size() == 38 && text.front() == u'{' && text.back() == u'}') text = text.substr(1, 36);
    if (text.size() != 36) return false;
    // Data1, Data2 and Data3 are stored little-endian; the eight bytes of Data4 as they come.
    static const int kByteAt[16] = {6, 4, 2, 0, 11, 9, 16, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    for (std::size_t i : {8u, 13u, 18u, 23u})
        if (text[i] != u'-') return false;
    for (int i = 0; i < 16; ++i) {
        const int high = HexDigit(text[kByteAt[i]]), low = HexDigit(text[kByteAt[i] + 1]);
        if (high < 0 || low < 0) return false;
        guid[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

}  // namespace quorvin::wevt
