// Writes .evtx file images for tests and the simulated network: records
// packed into 64 KiB chunks, each chunk storing a name or a template
// definition where it is first used and referring back to it after that,
// as the event log service writes them.

#include <cstring>
#include <map>

#include "formats/evtx/bytes.h"
#include "formats/evtx/evtx.h"

namespace quorvin::evtx {

namespace {

using bytes::StoreU16;
using bytes::StoreU32;

constexpr std::uint8_t kMore = 0x40;

// The hash a name carries: each unit added to the hash times 65599, cut to 16 bits.
std::uint16_t NameHash(const std::u16string& name) {
    std::uint32_t hash = 0;
    for (char16_t c : name) hash = hash * 65599 + c;
    return static_cast<std::uint16_t>(hash);
}

bool IsText(const Node& n) {
    return n.kind == Node::Kind::kText || n.kind == Node::Kind::kCData || n.kind == Node::Kind::kCharRef ||
           n.kind == Node::Kind::kEntityRef || n.kind == Node::Kind::kSubstitution;
}

// Only text values carry the flag that more of the same content follows:
// readers that know the flag on references too are not all of them.
bool Flagged(const Node& n) { return n.kind == Node::Kind::kText; }

class ChunkWriter {
public:
    explicit ChunkWriter(const std::vector<Template>& templates) : templates_(templates) { Clear(); }

    // A fragment of `root` alone with its names in place, as a manifest's
    // template stores it.
    std::vector<std::uint8_t> InlineFragment(const Node& root) {
        inlineNames_ = true;
        out_.clear();
        U32(0x0001010F);
        Element(root);
        U8(0x00);
        return std::move(out_);
    }

    // False, and the chunk as it was, when the record does not fit.
    bool Add(const WrittenRecord& record) {
        const State before = state_;
        const std::size_t at = out_.size();
        U32(kRecordSignature);
        U32(0);
        U64(record.id);
        U64(record.written);
        Fragment(record.instance);
        const auto length = static_cast<std::uint32_t>(out_.size() - at + 4);
        U32(length);
        if (out_.size() > kChunkSize) {
            out_.resize(at);
            state_ = before;
            return false;
        }
        StoreU32(out_.data() + at + 4, length);
        if (state_.records == 0) state_.firstId = record.id;
        state_.lastId = record.id;
        state_.last = static_cast<std::uint32_t>(at);
        ++state_.records;
        return true;
    }

    bool Empty() const { return state_.records == 0; }

    // The chunk's bytes, sealed; the writer then starts a new chunk.
    std::vector<std::uint8_t> Finish() {
        std::vector<std::uint8_t> chunk = std::move(out_);
        const auto free = static_cast<std::uint32_t>(chunk.size());
        chunk.resize(kChunkSize, 0);
        std::uint8_t* p = chunk.data();
        std::memcpy(p, "ElfChnk", 8);
        const std::uint64_t ids[4] = {state_.firstId, state_.lastId, state_.firstId, state_.lastId};
        for (int i = 0; i < 4; ++i) StoreU64(p + 8 + 8 * i, ids[i]);
        StoreU32(p + 40, 128);
        StoreU32(p + 44, state_.last);
        StoreU32(p + 48, free);
        for (int i = 0; i < 64; ++i) StoreU32(p + 128 + 4 * i, state_.strings[i]);
        for (int i = 0; i < 32; ++i) StoreU32(p + 384 + 4 * i, state_.templates[i]);
        SealChunk(p);
        Clear();
        return chunk;
    }

private:
    // What a record adds to the chunk besides its bytes; kept to undo a record that does not fit.
    struct State {
        std::map<std::u16string, std::uint32_t> names;
        std::map<std::size_t, std::uint32_t> definitions;  // template index to definition offset
        std::uint32_t strings[64] = {};
        std::uint32_t templates[32] = {};
        std::uint64_t firstId = 0, lastId = 0;
        std::uint32_t last = 0;
        std::size_t records = 0;
    };

    void Clear() {
        out_.assign(kChunkHeaderSize, 0);
        state_ = State{};
    }
    std::uint32_t Pos() const { return static_cast<std::uint32_t>(out_.size()); }
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) { bytes::AppendU32(out_, v); }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void Units(const std::u16string& s) {
        for (char16_t c : s) U16(c);
    }
    void Text(const std::u16string& s) {
        U16(static_cast<std::uint16_t>(s.size()));
        Units(s);
    }

    // A name's offset, and the name itself the first time the chunk uses it.
    void Name(const std::u16string& name) {
        if (inlineNames_) {
            U16(NameHash(name));
            U16(static_cast<std::uint16_t>(name.size()));
            Units(name);
            return U16(0);
        }
        const auto found = state_.names.find(name);
        if (found != state_.names.end()) return U32(found->second);
        const std::uint32_t at = Pos() + 4;
        const std::uint16_t hash = NameHash(name);
        U32(at);
        U32(state_.strings[hash % 64]);  // the next name of the same hash bucket
        U16(hash);
        U16(static_cast<std::uint16_t>(name.size()));
        Units(name);
        U16(0);
        state_.strings[hash % 64] = at;
        state_.names[name] = at;
    }

    void Part(const Node& n, bool more) {
        const std::uint8_t flag = more ? kMore : 0;
        switch (n.kind) {
        case Node::Kind::kText: U8(0x05 | flag); U8(type::kString); Text(n.text); break;
        case Node::Kind::kCData: U8(0x07 | flag); Text(n.text); break;
        case Node::Kind::kCharRef: U8(0x08 | flag); U16(n.character); break;
        case Node::Kind::kEntityRef: U8(0x09 | flag); Name(n.name); break;
        case Node::Kind::kSubstitution: U8(n.optional ? 0x0E : 0x0D); U16(n.index); U8(n.valueType); break;
        case Node::Kind::kPi: U8(0x0A); Name(n.name); U8(0x0B); Text(n.text); break;
        case Node::Kind::kElement: Element(n); break;
        }
    }

    void Parts(const std::vector<Node>& parts) {
        for (std::size_t i = 0; i < parts.size(); ++i)
            Part(parts[i], Flagged(parts[i]) && i + 1 < parts.size() && IsText(parts[i + 1]));
    }

    // Token, dependency id, size of what follows the size, name, attributes, content.
    void Element(const Node& e) {
        const std::uint32_t start = Pos();
        U8(e.attributes.empty() ? 0x01 : 0x41);
        U16(0xFFFF);
        U32(0);
        Name(e.name);
        if (!e.attributes.empty()) {
            const std::uint32_t list = Pos();
            U32(0);
            for (std::size_t i = 0; i < e.attributes.size(); ++i) {
                U8(i + 1 < e.attributes.size() ? 0x46 : 0x06);
                Name(e.attributes[i].first);
                Parts(e.attributes[i].second);
            }
            StoreU32(out_.data() + list, Pos() - list - 4);
        }
        if (e.children.empty()) {
            U8(0x03);
        } else {
            U8(0x02);
            Parts(e.children);
            U8(0x04);
        }
        StoreU32(out_.data() + start + 3, Pos() - start - 7);
    }

    void Fragment(const Instance& instance) {
        U32(0x0001010F);  // fragment header: token, version 1.1, flags 0
        TemplateInstance(instance);
        U8(0x00);
    }

    void Definition(const Template& t, std::size_t index) {
        const std::uint32_t at = Pos();
        const std::uint32_t bucket = bytes::LoadU32(t.guid.data()) % 32;
        U32(state_.templates[bucket]);
        out_.insert(out_.end(), t.guid.begin(), t.guid.end());
        U32(0);
        U32(0x0001010F);
        Element(t.root);
        U8(0x00);
        StoreU32(out_.data() + at + 20, Pos() - at - 24);
        state_.templates[bucket] = at;
        state_.definitions[index] = at;
    }

    void TemplateInstance(const Instance& instance) {
        const Template& t = templates_.at(instance.templateIndex);
        U8(0x0C);
        U8(0x01);
        out_.insert(out_.end(), t.guid.begin(), t.guid.begin() + 4);
        const auto found = state_.definitions.find(instance.templateIndex);
        if (found != state_.definitions.end()) {
            U32(found->second);
        } else {
            U32(Pos() + 4);
            Definition(t, instance.templateIndex);
        }
        U32(static_cast<std::uint32_t>(instance.values.size()));
        const std::uint32_t descriptors = Pos();
        out_.resize(out_.size() + 4 * instance.values.size(), 0);
        for (std::size_t i = 0; i < instance.values.size(); ++i) {
            const Value& v = instance.values[i];
            const std::uint32_t start = Pos();
            if (v.type == type::kBinXml && v.xml) {
                Fragment(*v.xml);
            } else {
                out_.insert(out_.end(), v.bytes.begin(), v.bytes.end());
            }
            std::uint8_t* d = out_.data() + descriptors + 4 * i;
            StoreU16(d, static_cast<std::uint16_t>(Pos() - start));
            d[2] = v.type;
        }
    }

    const std::vector<Template>& templates_;
    std::vector<std::uint8_t> out_;
    State state_;
    bool inlineNames_ = false;
};

}  // namespace

void SealChunk(std::uint8_t* chunk) {
    const std::uint32_t free = bytes::LoadU32(chunk + 48);
    if (free >= kChunkHeaderSize && free <= kChunkSize)
        StoreU32(chunk + 52, Crc32(chunk + kChunkHeaderSize, free - kChunkHeaderSize));
    StoreU32(chunk + 124, Crc32(chunk + 128, kChunkHeaderSize - 128, Crc32(chunk, 120)));
}

void SealFileHeader(std::uint8_t* header) { StoreU32(header + 124, Crc32(header, 120)); }

std::vector<std::uint8_t> WriteInlineXml(const Node& root) {
    const std::vector<Template> none;
    return ChunkWriter(none).InlineFragment(root);
}

std::vector<std::uint8_t> WriteFile(const std::vector<Template>& templates, const std::vector<WrittenRecord>& records,
                                    const WriteOptions& options) {
    std::vector<std::uint8_t> file(kHeaderBlockSize, 0);
    ChunkWriter chunk(templates);
    std::size_t chunks = 0;
    auto flush = [&] {
        const std::vector<std::uint8_t> bytes = chunk.Finish();
        file.insert(file.end(), bytes.begin(), bytes.end());
        ++chunks;
    };
    for (const WrittenRecord& r : records) {
        if (chunk.Add(r)) continue;
        if (!chunk.Empty()) flush();
        chunk.Add(r);  // a record too large for an empty chunk is left out
    }
    if (!chunk.Empty()) flush();

    std::uint8_t* p = file.data();
    std::memcpy(p, "ElfFile", 8);
    StoreU64(p + 8, 0);
    StoreU64(p + 16, chunks == 0 ? 0 : chunks - 1);
    StoreU64(p + 24, records.empty() ? 1 : records.back().id + 1);
    StoreU32(p + 32, static_cast<std::uint32_t>(kFileHeaderSize));
    StoreU16(p + 36, options.minorVersion);
    StoreU16(p + 38, 3);
    StoreU16(p + 40, static_cast<std::uint16_t>(kHeaderBlockSize));
    StoreU16(p + 42, static_cast<std::uint16_t>(options.headerChunks < 0 ? chunks : options.headerChunks));
    StoreU32(p + 120, options.flags);
    SealFileHeader(p);
    return file;
}

}  // namespace quorvin::evtx
