// Binary XML: tokens parsed into steps, steps walked with values.
//
// A name, an entity or a template definition is stored where the chunk
// first uses it: its offset is then the offset right after the field that
// refers to it, and the bytes are skipped there. Later uses refer back.
// Every offset is checked against the chunk before it is read; nesting
// and the number of steps a record takes are bounded, so a definition
// that refers to itself ends with an error, not a loop.

#include "formats/evtx/binxml.h"
#include "formats/evtx/bytes.h"

namespace quorvin::evtx {

namespace {

using bytes::Fits;
using bytes::LoadU16;
using bytes::LoadU32;

namespace token {
constexpr std::uint8_t kEof = 0x00, kOpen = 0x01, kCloseStart = 0x02, kCloseEmpty = 0x03, kEnd = 0x04,
                       kValue = 0x05, kAttribute = 0x06, kCData = 0x07, kCharRef = 0x08, kEntityRef = 0x09,
                       kPiTarget = 0x0A, kPiData = 0x0B, kTemplateInstance = 0x0C, kSubstitution = 0x0D,
                       kOptionalSubstitution = 0x0E, kFragmentHeader = 0x0F;
constexpr std::uint8_t kMore = 0x40;  // more of the same content follows; also "has attributes"
}  // namespace token

// Steps: the token's meaning with its fields checked and resolved.
namespace step {
constexpr std::uint8_t kOpen = 1, kAttribute = 2, kContent = 3, kEnd = 4, kText = 5, kCharRef = 6, kEntity = 7,
                       kSubstitution = 8, kTemplate = 9;
}

// A template definition: next definition, GUID, data size, then its data.
constexpr std::uint32_t kDefinitionHeader = 24;

}  // namespace

void BinXml::Reset(const std::uint8_t* base, std::uint32_t size, NameStyle names) {
    chunk_ = base;
    size_ = size;
    names_ = names;
    definitions_.clear();
    definitionSteps_.clear();
    if (scratch_.empty()) {
        scratch_.resize(kMostNesting + 1);
        values_.resize(kMostNesting + 1);
    }
}

bool BinXml::Fail(const std::string& what) {
    if (error_->empty()) *error_ = what;
    return false;
}

// `offset`: where the name's fields begin (the next name's offset in a
// chunk, the hash in place).
NameView BinXml::Name(std::uint32_t offset) const {
    if (names_ == NameStyle::kInline) return NameView{chunk_ + offset + 4, LoadU16(chunk_ + offset + 2)};
    return NameView{chunk_ + offset + 8, LoadU16(chunk_ + offset + 6)};
}

// A name in a chunk: its offset; where it is stored: next name (4), hash
// (2), length in units (2), the units and a NUL. In place: hash, length,
// units, NUL.
bool BinXml::ParseName(std::uint32_t& pos, std::uint32_t end, std::uint32_t& name) {
    if (names_ == NameStyle::kInline) {
        if (!Fits(pos, 4, end)) return Fail("name at " + Hex(pos) + " runs past the end");
        const std::uint32_t size = 4 + 2u * LoadU16(chunk_ + pos + 2) + 2;
        if (!Fits(pos, size, end)) return Fail("name at " + Hex(pos) + " runs past the end");
        name = pos;
        pos += size;
        return true;
    }
    if (!Fits(pos, 4, end)) return Fail("name offset at " + Hex(pos) + " runs past the end");
    name = LoadU32(chunk_ + pos);
    pos += 4;
    if (!Fits(name, 8, size_)) return Fail("name at " + Hex(name) + " lies outside the chunk");
    const std::uint32_t size = 8 + 2u * LoadU16(chunk_ + name + 6) + 2;
    if (!Fits(name, size, size_)) return Fail("name at " + Hex(name) + " runs past the chunk");
    if (name == pos) {
        if (!Fits(pos, size, end)) return Fail("name at " + Hex(pos) + " runs past the end");
        pos += size;
    }
    return true;
}

// Length-prefixed UTF-16 text: a count of units, then the units.
bool BinXml::ParseText(std::uint32_t& pos, std::uint32_t end, Step& s) {
    if (!Fits(pos, 2, end)) return Fail("text at " + Hex(pos) + " runs past the end");
    const std::uint32_t units = LoadU16(chunk_ + pos);
    if (!Fits(pos + 2, 2 * units, end)) return Fail("text of " + std::to_string(units) + " units at " + Hex(pos) + " runs past the end");
    s.code = step::kText;
    s.a = pos + 2;
    s.b = units;
    pos += 2 + 2 * units;
    return true;
}

// A template instance: 1 byte, the template's id (4), its definition's
// offset (4), the definition when it is stored here, then the values:
// their count (4), size (2) and type (1, and 1 unused) of each, their bytes.
bool BinXml::ParseTemplateInstance(std::uint32_t& pos, std::uint32_t end, std::vector<Step>& steps) {
    if (!Fits(pos, 9, end)) return Fail("template instance at " + Hex(pos) + " runs past the end");
    const std::uint32_t definition = LoadU32(chunk_ + pos + 5);
    pos += 9;
    if (definition == pos) {
        if (!Fits(pos, kDefinitionHeader, end)) return Fail("template definition at " + Hex(pos) + " runs past the end");
        const std::uint32_t size = LoadU32(chunk_ + pos + 20);
        if (!Fits(pos + kDefinitionHeader, size, end))
            return Fail("template definition at " + Hex(pos) + " of " + Hex(size) + " bytes runs past the end");
        pos += kDefinitionHeader + size;
    }
    if (!Fits(pos, 4, end)) return Fail("template values at " + Hex(pos) + " run past the end");
    const std::uint32_t count = LoadU32(chunk_ + pos);
    if (count > (end - pos - 4) / 4) return Fail(std::to_string(count) + " template values at " + Hex(pos) + " run past the end");
    std::uint32_t size = 0;
    for (std::uint32_t i = 0; i < count; ++i) size += LoadU16(chunk_ + pos + 4 + 4 * i);
    const std::uint32_t values = pos;
    pos += 4 + 4 * count;
    if (!Fits(pos, size, end)) return Fail("template values at " + Hex(values) + " run past the end");
    pos += size;
    Step s;
    s.code = step::kTemplate;
    s.a = definition;
    s.b = values;
    steps.push_back(s);
    return true;
}

bool BinXml::Parse(std::uint32_t pos, std::uint32_t end, std::vector<Step>& steps) {
    int depth = 0;
    while (pos < end) {
        const std::uint32_t at = pos;
        const std::uint8_t t = chunk_[pos++];
        Step s;
        switch (t & ~token::kMore) {
        case token::kEof:
            if (depth != 0) return Fail("binary XML ends at " + Hex(at) + " inside an element");
            return true;
        case token::kOpen:
            // Dependency id (2), size (4), then the name.
            if (!Fits(pos, 6, end)) return Fail("element at " + Hex(at) + " runs past the end");
            pos += 6;
            if (!ParseName(pos, end, s.a)) return false;
            if (t & token::kMore) {
                if (!Fits(pos, 4, end)) return Fail("attribute list at " + Hex(pos) + " runs past the end");
                pos += 4;
            }
            if (++depth > kMostElementDepth) return Fail("elements nested deeper than " + std::to_string(kMostElementDepth) + " at " + Hex(at));
            s.code = step::kOpen;
            break;
        case token::kCloseStart:
            s.code = step::kContent;
            break;
        case token::kCloseEmpty:
        case token::kEnd:
            if (--depth < 0) return Fail("end of an element at " + Hex(at) + " that was not started");
            s.code = step::kEnd;
            break;
        case token::kValue:
            if (!Fits(pos, 1, end)) return Fail("value at " + Hex(at) + " runs past the end");
            if (chunk_[pos] != type::kString) return Fail("value at " + Hex(at) + " of type " + Hex(chunk_[pos]) + ", not text");
            ++pos;
            if (!ParseText(pos, end, s)) return false;
            break;
        case token::kCData:
        case token::kPiData:
            if (!ParseText(pos, end, s)) return false;
            if ((t & ~token::kMore) == token::kPiData) continue;  // processing instructions show nowhere
            break;
        case token::kAttribute:
            if (!ParseName(pos, end, s.a)) return false;
            s.code = step::kAttribute;
            break;
        case token::kCharRef:
            if (!Fits(pos, 2, end)) return Fail("character reference at " + Hex(at) + " runs past the end");
            s.code = step::kCharRef;
            s.index = LoadU16(chunk_ + pos);
            pos += 2;
            break;
        case token::kEntityRef:
            if (!ParseName(pos, end, s.a)) return false;
            s.code = step::kEntity;
            break;
        case token::kPiTarget:
            if (!ParseName(pos, end, s.a)) return false;
            continue;
        case token::kTemplateInstance:
            if (!ParseTemplateInstance(pos, end, steps)) return false;
            continue;
        case token::kSubstitution:
        case token::kOptionalSubstitution:
            if (!Fits(pos, 3, end)) return Fail("substitution at " + Hex(at) + " runs past the end");
            s.code = step::kSubstitution;
            s.index = LoadU16(chunk_ + pos);
            s.type = (t & ~token::kMore) == token::kOptionalSubstitution;
            pos += 3;
            break;
        case token::kFragmentHeader:
            if (!Fits(pos, 3, end)) return Fail("fragment header at " + Hex(at) + " runs past the end");
            pos += 3;
            continue;
        default:
            return Fail("unknown token " + Hex(t) + " at " + Hex(at));
        }
        steps.push_back(s);
    }
    if (depth != 0) return Fail("binary XML ends at " + Hex(end) + " inside an element");
    return true;
}

const BinXml::Parsed* BinXml::Definition(std::uint32_t offset) {
    auto found = definitions_.find(offset);
    if (found != definitions_.end()) return &found->second;
    Parsed& parsed = definitions_[offset];
    if (!Fits(offset, kDefinitionHeader, size_)) {
        Fail("template definition at " + Hex(offset) + " lies outside the chunk");
        return &parsed;
    }
    const std::uint32_t size = LoadU32(chunk_ + offset + 20);
    if (!Fits(offset + kDefinitionHeader, size, size_)) {
        Fail("template definition at " + Hex(offset) + " of " + Hex(size) + " bytes runs past the chunk");
        return &parsed;
    }
    parsed.begin = definitionSteps_.size();
    parsed.ok = Parse(offset + kDefinitionHeader, offset + kDefinitionHeader + size, definitionSteps_);
    if (!parsed.ok) definitionSteps_.resize(parsed.begin);
    parsed.end = definitionSteps_.size();
    if (!parsed.ok) *error_ = "template definition at " + Hex(offset) + ": " + *error_;
    return &parsed;
}

bool BinXml::RunTemplate(const Step& s, int nesting) {
    if (nesting >= kMostNesting) return Fail("templates nested deeper than " + std::to_string(kMostNesting));
    const Parsed* parsed = Definition(s.a);
    if (!parsed->ok) return Fail("template definition at " + Hex(s.a) + " could not be read");
    // The instance's values were checked against the chunk when it was parsed.
    std::vector<ValueView>& values = values_[nesting + 1];
    values.clear();
    const std::uint32_t count = LoadU32(chunk_ + s.b);
    std::uint32_t at = s.b + 4 + 4 * count;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* d = chunk_ + s.b + 4 + 4 * i;
        const std::uint16_t size = LoadU16(d);
        values.push_back({d[2], chunk_ + at, size});
        at += size;
    }
    return Run(definitionSteps_, parsed->begin, parsed->end, {values.data(), values.size()}, nesting + 1);
}

bool BinXml::RunValue(ValueView value, bool optional, int nesting) {
    if (value.type != type::kBinXml) {
        sink_->Value(value, optional);
        return true;
    }
    if (nesting >= kMostNesting) return Fail("binary XML values nested deeper than " + std::to_string(kMostNesting));
    std::vector<Step>& steps = scratch_[nesting + 1];
    steps.clear();
    const auto begin = static_cast<std::uint32_t>(value.data - chunk_);
    if (!Parse(begin, begin + value.size, steps)) return false;
    return Run(steps, 0, steps.size(), {}, nesting + 1);
}

bool BinXml::Run(const std::vector<Step>& steps, std::size_t begin, std::size_t end, Values values, int nesting) {
    // `steps` may grow while a nested definition is parsed: read it by index.
    for (std::size_t i = begin; i < end; ++i) {
        if (++steps_ > kMostSteps) return Fail("the record takes more than " + std::to_string(kMostSteps) + " steps");
        const Step s = steps[i];
        switch (s.code) {
        case step::kOpen: sink_->Open(Name(s.a)); break;
        case step::kAttribute: sink_->Attribute(Name(s.a)); break;
        case step::kContent: sink_->Content(); break;
        case step::kEnd: sink_->End(); break;
        case step::kText: sink_->Literal(chunk_ + s.a, s.b); break;
        case step::kCharRef: sink_->Character(static_cast<char16_t>(s.index)); break;
        case step::kEntity: sink_->Entity(Name(s.a)); break;
        case step::kSubstitution: {
            const ValueView none{type::kNull, nullptr, 0};
            if (!RunValue(s.index < values.count ? values.items[s.index] : none, s.type != 0, nesting)) return false;
            break;
        }
        case step::kTemplate:
            if (!RunTemplate(s, nesting)) return false;
            break;
        default: break;
        }
    }
    return true;
}

bool BinXml::Walk(std::uint32_t begin, std::uint32_t end, XmlSink& sink, std::string& error) {
    sink_ = &sink;
    error_ = &error;
    steps_ = 0;
    std::vector<Step>& steps = scratch_[0];
    steps.clear();
    if (end > size_ || !Parse(begin, end, steps)) return false;
    return Run(steps, 0, steps.size(), {}, 0);
}

}  // namespace quorvin::evtx
