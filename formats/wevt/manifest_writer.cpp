// Writes a provider manifest as the message compiler lays it out: the
// providers' GUIDs and offsets, then each provider with its element
// descriptors and its elements, each element's names right after its
// entries. ReadManifest reads back what is written here.

#include "formats/evtx/bytes.h"
#include "formats/wevt/wevt.h"

namespace quorvin::wevt {

namespace {

class Writer {
public:
    explicit Writer(std::vector<Field>* fields) : fields_(fields) {}

    std::vector<std::uint8_t> Manifest(const wevt::Manifest& manifest);

private:
    std::uint32_t Pos() const { return static_cast<std::uint32_t>(out_.size()); }
    void Note(std::size_t at, std::size_t size, const std::string& what) {
        if (fields_ != nullptr) fields_->push_back({at, size, what});
    }
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v, const std::string& what = {}) {
        if (!what.empty()) Note(Pos(), 2, what);
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v, const std::string& what = {}) {
        if (!what.empty()) Note(Pos(), 4, what);
        quorvin::bytes::AppendU32(out_, v);
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void Bytes(const std::uint8_t* p, std::size_t n) { out_.insert(out_.end(), p, p + n); }
    void Signature(const char* s) { Bytes(reinterpret_cast<const std::uint8_t*>(s), 4); }
    void Set(std::uint32_t at, std::uint32_t v) { quorvin::bytes::StoreU32(out_.data() + at, v); }
    // A field written now whose value is known later: its place.
    std::uint32_t Later(const std::string& what) {
        const std::uint32_t at = Pos();
        U32(0, what);
        return at;
    }
    void Pad8() {
        while (out_.size() % 8 != 0) U8(0);
    }
    // A name where the writer is, for the offset field at `field`: its size
    // (padding included), the units, a NUL, padding to 8 bytes.
    void NameHere(std::uint32_t field, const std::u16string& name, const std::string& what) {
        Set(field, Pos());
        const std::uint32_t at = Later("the size of " + what);
        for (char16_t c : name) U16(c);
        U16(0);
        Pad8();
        Set(at, Pos() - at);
    }

    void Provider(const wevt::Provider& p, std::uint32_t field);
    void Named(Element kind, const std::vector<wevt::Named>& entries);
    void Maps(const std::vector<Map>& maps);
    void Templates(const std::vector<Template>& templates);
    void Events(const std::vector<Event>& events);

    std::vector<std::uint8_t> out_;
    std::vector<Field>* fields_;
    std::vector<std::uint32_t> mapOffsets_, templateOffsets_;
    std::vector<std::pair<std::uint32_t, int>> templateFields_;  // an event's template field, and which
};

void Writer::Named(Element kind, const std::vector<wevt::Named>& entries) {
    static const char* const kSignatures[] = {"CHAN", "LEVL", "OPCO", "TASK", "KEYW"};
    static const char* const kWhat[] = {"channel", "level", "opcode", "task", "keyword"};
    const auto k = static_cast<std::size_t>(kind);
    const std::uint32_t start = Pos();
    Signature(kSignatures[k]);
    const std::uint32_t size = Later(std::string("the size of the ") + kWhat[k] + " table");
    U32(static_cast<std::uint32_t>(entries.size()), std::string("the number of ") + kWhat[k] + "s");
    std::vector<std::uint32_t> names;
    for (const wevt::Named& n : entries) {
        const std::string what = std::string("the name offset of ") + kWhat[k] + " " + std::to_string(n.value);
        switch (kind) {
        case Element::kChannels:
            U32(static_cast<std::uint32_t>(n.value)), names.push_back(Later(what)), U32(n.flags), U32(n.messageId);
            break;
        case Element::kTasks:
            U32(static_cast<std::uint32_t>(n.value)), U32(n.messageId), Bytes(n.guid.data(), 16), names.push_back(Later(what));
            break;
        case Element::kKeywords:
            U64(n.value), U32(n.messageId), names.push_back(Later(what));
            break;
        default:
            U32(static_cast<std::uint32_t>(n.value)), U32(n.messageId), names.push_back(Later(what));
            break;
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].name.empty()) NameHere(names[i], entries[i].name, std::string("a ") + kWhat[k] + " name");
    Set(size, Pos() - start);
}

void Writer::Maps(const std::vector<Map>& maps) {
    const std::uint32_t start = Pos();
    Signature("MAPS");
    const std::uint32_t size = Later("the size of the map table");
    U32(static_cast<std::uint32_t>(maps.size()), "the number of maps");
    std::vector<std::uint32_t> offsets;
    for (std::size_t i = 1; i < maps.size(); ++i) offsets.push_back(Later("the offset of map " + std::to_string(i)));
    std::vector<std::uint32_t> names;
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const Map& m = maps[i];
        const std::uint32_t at = Pos();
        if (i > 0) Set(offsets[i - 1], at);
        mapOffsets_.push_back(at);
        Signature(m.bitmap ? "BMAP" : "VMAP");
        const std::uint32_t mapSize = Later("the size of map " + std::to_string(i));
        names.push_back(Later("the name offset of map " + std::to_string(i)));
        U32(static_cast<std::uint32_t>(m.entries.size()), "the number of entries of map " + std::to_string(i));
        for (const MapEntry& e : m.entries) U32(e.value), U32(e.messageId);
        Set(mapSize, Pos() - at);
    }
    for (std::size_t i = 0; i < maps.size(); ++i)
        if (!maps[i].name.empty()) NameHere(names[i], maps[i].name, "a map name");
    Set(size, Pos() - start);
}

void Writer::Templates(const std::vector<Template>& templates) {
    const std::uint32_t start = Pos();
    Signature("TTBL");
    const std::uint32_t size = Later("the size of the template table");
    U32(static_cast<std::uint32_t>(templates.size()), "the number of templates");
    for (std::size_t i = 0; i < templates.size(); ++i) {
        const Template& t = templates[i];
        const std::string what = "template " + std::to_string(i);
        const std::uint32_t at = Pos();
        templateOffsets_.push_back(at);
        Signature("TEMP");
        const std::uint32_t tempSize = Later("the size of " + what);
        U32(static_cast<std::uint32_t>(t.items.size()), "the item count of " + what);
        U32(static_cast<std::uint32_t>(t.items.size()));
        const std::uint32_t items = t.items.empty() ? Pos() : Later("the items offset of " + what);
        if (t.items.empty()) U32(0);
        U32(1);
        Bytes(t.guid.data(), 16);
        Bytes(t.xml.data(), t.xml.size());
        if (!t.items.empty()) Set(items, Pos());
        std::vector<std::uint32_t> names;
        for (const DataItem& d : t.items) {
            U32(0), U8(d.inType), U8(d.outType), U16(0);
            U32(d.map < 0 ? 0 : mapOffsets_.at(static_cast<std::size_t>(d.map)), d.map < 0 ? "" : "the map offset of an item of " + what);
            U16(d.count), U16(d.length);
            names.push_back(Later("the name offset of an item of " + what));
        }
        for (std::size_t j = 0; j < t.items.size(); ++j)
            if (!t.items[j].name.empty()) NameHere(names[j], t.items[j].name, "an item name of " + what);
        Set(tempSize, Pos() - at);
    }
    Set(size, Pos() - start);
}

void Writer::Events(const std::vector<Event>& events) {
    const std::uint32_t start = Pos();
    Signature("EVNT");
    const std::uint32_t size = Later("the size of the event table");
    U32(static_cast<std::uint32_t>(events.size()), "the number of events");
    U32(0);
    for (const Event& e : events) {
        const std::string what = "event " + std::to_string(e.id) + " version " + std::to_string(e.version);
        U16(e.id), U8(e.version), U8(e.channel), U8(e.level), U8(e.opcode), U16(e.task);
        U64(e.keywords);
        U32(e.messageId);
        if (e.templateIndex >= 0) templateFields_.emplace_back(Later("the template offset of " + what), e.templateIndex);
        else U32(0);
        for (int i = 0; i < 5; ++i) U32(0);  // opcode, level and task definitions, two words
        U32(e.flags);
    }
    Set(size, Pos() - start);
}

void Writer::Provider(const wevt::Provider& p, std::uint32_t field) {
    const std::uint32_t start = Pos();
    Set(field, start);
    mapOffsets_.clear(), templateOffsets_.clear(), templateFields_.clear();
    Signature("WEVT");
    const std::uint32_t size = Later("the size of a provider");
    U32(p.messageId);
    std::uint32_t count = 0;
    for (std::size_t k = 0; k < kElementCount; ++k) count += p.Has(static_cast<Element>(k)) ? 1 : 0;
    U32(count, "the number of elements of a provider");
    U32(0);
    std::uint32_t descriptors[kElementCount] = {};
    for (std::size_t k = 0; k < kElementCount; ++k) {
        if (!p.Has(static_cast<Element>(k))) continue;
        descriptors[k] = Later("the offset of element " + std::to_string(k) + " of a provider");
        U32(0);
    }
    const std::vector<wevt::Named>* named[] = {&p.channels, &p.levels, &p.opcodes, &p.tasks, &p.keywords};
    for (std::size_t k = 0; k < kElementCount; ++k) {
        const auto kind = static_cast<Element>(k);
        if (!p.Has(kind)) continue;
        Set(descriptors[k], Pos());
        if (k < 5) Named(kind, *named[k]);
        else if (kind == Element::kMaps) Maps(p.maps);
        else if (kind == Element::kEvents) Events(p.events);
        else Templates(p.templates);
    }
    for (const auto& f : templateFields_) Set(f.first, templateOffsets_.at(static_cast<std::size_t>(f.second)));
    Set(size, Pos() - start);
}

std::vector<std::uint8_t> Writer::Manifest(const wevt::Manifest& manifest) {
    Signature("CRIM");
    const std::uint32_t size = Later("the size of the manifest");
    U16(3), U16(1);
    U32(static_cast<std::uint32_t>(manifest.providers.size()), "the number of providers");
    std::vector<std::uint32_t> offsets;
    for (const wevt::Provider& p : manifest.providers) {
        Bytes(p.guid.data(), 16);
        offsets.push_back(Later("the offset of a provider"));
    }
    for (std::size_t i = 0; i < manifest.providers.size(); ++i) Provider(manifest.providers[i], offsets[i]);
    Set(size, Pos());
    return std::move(out_);
}

}  // namespace

std::vector<std::uint8_t> WriteManifest(const Manifest& manifest) { return Writer(nullptr).Manifest(manifest); }

std::vector<std::uint8_t> WriteManifest(const Manifest& manifest, std::vector<Field>& fields) {
    fields.clear();
    return Writer(&fields).Manifest(manifest);
}

}  // namespace quorvin::wevt
