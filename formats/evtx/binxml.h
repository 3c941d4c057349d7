#pragma once
// Binary XML inside a chunk: parsed into a flat list of steps, then walked
// with a template instance's values. Template definitions are parsed once
// per chunk, the first time a record uses them, and kept for the records
// after it. Every offset is relative to the chunk and checked against it.
//
// The templates of a provider's manifest (formats/wevt) hold the same
// binary XML with its names written in place: the walk takes the manifest
// as its bytes and reads names that way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/evtx/evtx.h"

namespace quorvin::evtx {

// A value as a template instance holds it: `size` bytes at `data`.
struct ValueView {
    std::uint8_t type = type::kNull;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
};

// Appends the value's text as Windows' XML rendering shows it. The items
// of an array are joined with ", "; a BinXml value shows nothing.
void AppendValueText(ValueView value, std::u16string& out);
// The item of an array value at `pos`, which moves past it; false after
// the last item.
bool NextItem(ValueView array, std::uint32_t& pos, ValueView& item);

// A name in the chunk: `units` UTF-16 units at `chars`.
struct NameView {
    const std::uint8_t* chars = nullptr;
    std::uint16_t units = 0;
    bool Is(std::string_view ascii) const;
};

// Appends `units` little-endian UTF-16 units from `at` (any alignment).
void AppendUtf16(const std::uint8_t* at, std::size_t units, std::u16string& out);

// What a walk over binary XML meets, in document order. An attribute's
// value is the text and values between Attribute and the next call of
// another kind; Content ends a start tag that has content, End an element.
class XmlSink {
public:
    virtual ~XmlSink() = default;
    virtual void Open(NameView name) = 0;
    virtual void Attribute(NameView name) = 0;
    virtual void Content() = 0;
    virtual void End() = 0;
    virtual void Literal(const std::uint8_t* utf16, std::uint32_t units) = 0;
    virtual void Character(char16_t c) = 0;
    virtual void Entity(NameView name) = 0;
    // `optional`: the value came through an optional substitution.
    virtual void Value(ValueView value, bool optional) = 0;
};

// How names are stored: in a chunk, as an offset to a name kept once per
// chunk (next name, hash, length, units, NUL); in a manifest's template,
// in place (hash, length, units, NUL).
enum class NameStyle : std::uint8_t { kChunk, kInline };

class BinXml {
public:
    // `chunk`: the chunk's kChunkSize bytes.
    void Reset(const std::uint8_t* chunk) { Reset(chunk, static_cast<std::uint32_t>(kChunkSize), NameStyle::kChunk); }
    // `size` bytes at `base`, to which every offset is relative.
    void Reset(const std::uint8_t* base, std::uint32_t size, NameStyle names);
    // Walks the binary XML from `begin` to `end` (chunk offsets). False,
    // with `error`, when it is malformed; the sink has then had what came
    // before the fault.
    bool Walk(std::uint32_t begin, std::uint32_t end, XmlSink& sink, std::string& error);

    // Bounds of one walk: nested template instances and binary XML values,
    // elements within one another, and steps taken.
    static constexpr int kMostNesting = 12;
    static constexpr int kMostElementDepth = 64;
    static constexpr std::size_t kMostSteps = 1 << 20;

    struct Step {
        std::uint8_t code = 0;
        std::uint8_t type = 0;
        std::uint16_t index = 0;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
    };

private:
    struct Values {
        const ValueView* items = nullptr;
        std::size_t count = 0;
    };
    struct Parsed {
        std::size_t begin = 0, end = 0;
        bool ok = false;
    };

    bool Parse(std::uint32_t pos, std::uint32_t end, std::vector<Step>& steps);
    bool ParseTemplateInstance(std::uint32_t& pos, std::uint32_t end, std::vector<Step>& steps);
    bool ParseName(std::uint32_t& pos, std::uint32_t end, std::uint32_t& name);
    bool ParseText(std::uint32_t& pos, std::uint32_t end, Step& step);
    const Parsed* Definition(std::uint32_t offset);
    bool Run(const std::vector<Step>& steps, std::size_t begin, std::size_t end, Values values, int nesting);
    bool RunTemplate(const Step& step, int nesting);
    bool RunValue(ValueView value, bool optional, int nesting);
    NameView Name(std::uint32_t offset) const;
    bool Fail(const std::string& what);

    const std::uint8_t* chunk_ = nullptr;
    std::uint32_t size_ = 0;
    NameStyle names_ = NameStyle::kChunk;
    std::unordered_map<std::uint32_t, Parsed> definitions_;
    std::vector<Step> definitionSteps_;          // of every definition parsed in this chunk
    std::vector<std::vector<Step>> scratch_;     // one list for each nesting level
    std::vector<std::vector<ValueView>> values_;  // one array for each nesting level
    XmlSink* sink_ = nullptr;
    std::string* error_ = nullptr;
    std::size_t steps_ = 0;
};

// Fills `record` (but for its id, time and offset) from the events of a
// walk over its binary XML.
class RecordSink final : public XmlSink {
public:
    explicit RecordSink(Record& record);
    void Open(NameView name) override;
    void Attribute(NameView name) override;
    void Content() override;
    void End() override;
    void Literal(const std::uint8_t* utf16, std::uint32_t units) override;
    void Character(char16_t c) override;
    void Entity(NameView name) override;
    void Value(ValueView value, bool optional) override;
    // The record's texts grew too long and the rest was left out.
    bool Cut() const { return cut_; }

private:
    // kItem: an element inside EventData or UserData. kSystemChild: an
    // element of System, or of RenderingInfo (kRendering) with `rendered`.
    enum class Area : std::uint8_t { kOther, kEvent, kSystem, kSystemChild, kEventData, kUserData, kItem, kRendering };
    struct Frame {
        Area area = Area::kOther;
        std::int8_t field = -1;      // the System field its content fills
        bool rendered = false;       // a child of RenderingInfo
        bool leaf = true;            // no child element so far
        bool array = false;          // its content was an array: items_ has its items
        bool hasName = false;        // a Data element with a Name attribute
        std::uint32_t dataIndex = 0;  // a Data element of EventData: its place, from 1
        TextRef name;
        NameView element;
        std::uint32_t mark = 0;  // where its content starts in the text
        std::size_t items = 0;   // where its array items start in items_
    };

    std::uint32_t Size() const;
    bool Room();
    Frame* Top() { return depth_ > 0 && depth_ <= kFrames ? &frames_[depth_ - 1] : nullptr; }
    void EndAttribute();
    void SetField(int field, TextRef text);
    void AddPair(const Frame& f);

    static constexpr int kFrames = BinXml::kMostElementDepth;
    Record& record_;
    Frame frames_[kFrames];
    int depth_ = 0;
    bool capturing_ = false;  // texts and values go into the record's text
    bool inAttribute_ = false;
    bool hasValue_ = false;   // the attribute has had a value
    bool dataName_ = false;   // the attribute is a Data element's Name
    int attributeField_ = -1;
    std::uint32_t attributeMark_ = 0;
    std::uint32_t dataCount_ = 0;
    bool cut_ = false;
    std::vector<TextRef> items_;
};

}  // namespace quorvin::evtx
