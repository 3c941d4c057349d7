// What a record gives: the System fields and the event's data, taken from
// the walk over its binary XML as it goes, without building a tree.
//
// Texts go to the end of the record's text as they come; an element's
// content starts at its mark. An attribute made only of optional
// substitutions without a value is left out, as Windows leaves it out.

#include "formats/evtx/binxml.h"

namespace quorvin::evtx {

namespace {

// Where a record's texts stop growing: past this many UTF-16 units the
// rest of the record is left out.
constexpr std::size_t kMostText = 8u << 20;

struct Named {
    std::string_view element;
    std::string_view attribute;  // empty: the element's content
    Field field;
};

constexpr Named kSystemFields[] = {
    {"Provider", "Name", Field::kProviderName},
    {"Provider", "Guid", Field::kProviderGuid},
    {"Provider", "EventSourceName", Field::kEventSourceName},
    {"EventID", {}, Field::kEventId},
    {"EventID", "Qualifiers", Field::kQualifiers},
    {"Version", {}, Field::kVersion},
    {"Level", {}, Field::kLevel},
    {"Task", {}, Field::kTask},
    {"Opcode", {}, Field::kOpcode},
    {"Keywords", {}, Field::kKeywords},
    {"TimeCreated", "SystemTime", Field::kTimeCreated},
    {"EventRecordID", {}, Field::kEventRecordId},
    {"Correlation", "ActivityID", Field::kActivityId},
    {"Correlation", "RelatedActivityID", Field::kRelatedActivityId},
    {"Execution", "ProcessID", Field::kProcessId},
    {"Execution", "ThreadID", Field::kThreadId},
    {"Channel", {}, Field::kChannel},
    {"Computer", {}, Field::kComputer},
    {"Security", "UserID", Field::kUserId},
};

constexpr Named kRenderedFields[] = {
    {"Message", {}, Field::kRenderedMessage},
    {"Level", {}, Field::kRenderedLevel},
    {"Task", {}, Field::kRenderedTask},
    {"Opcode", {}, Field::kRenderedOpcode},
};

int RenderedField(NameView element) {
    for (const Named& n : kRenderedFields)
        if (element.Is(n.element)) return static_cast<int>(n.field);
    return -1;
}

int SystemField(NameView element, const NameView* attribute) {
    for (const Named& n : kSystemFields) {
        if (!element.Is(n.element)) continue;
        if (attribute == nullptr ? n.attribute.empty() : !n.attribute.empty() && attribute->Is(n.attribute))
            return static_cast<int>(n.field);
    }
    return -1;
}

void AppendAscii(const char* text, std::u16string& out) {
    while (*text) out.push_back(static_cast<char16_t>(*text++));
}

}  // namespace

RecordSink::RecordSink(Record& record) : record_(record) {
    record_.system = {};
    record_.present = 0;
    record_.data.clear();
    record_.text.clear();
}

std::uint32_t RecordSink::Size() const { return static_cast<std::uint32_t>(record_.text.size()); }

bool RecordSink::Room() {
    if (record_.text.size() < kMostText) return true;
    cut_ = true;
    return false;
}

void RecordSink::Open(NameView name) {
    EndAttribute();
    capturing_ = false;
    Frame* parent = Top();
    ++depth_;
    if (depth_ > kFrames) return;
    Frame& f = frames_[depth_ - 1];
    f = Frame{};
    f.element = name;
    f.mark = Size();
    f.items = items_.size();
    if (parent == nullptr) {
        f.area = depth_ == 1 ? Area::kEvent : Area::kOther;
        return;
    }
    // The parent's content so far is no value of its own any more.
    if (parent->leaf && parent->area == Area::kItem) {
        record_.text.resize(parent->mark);
        items_.resize(parent->items);
        f.mark = Size();
        f.items = items_.size();
    }
    parent->leaf = false;
    switch (parent->area) {
    case Area::kEvent:
        f.area = name.Is("System")          ? Area::kSystem
                 : name.Is("EventData")     ? Area::kEventData
                 : name.Is("UserData")      ? Area::kUserData
                 : name.Is("RenderingInfo") ? Area::kRendering
                                            : Area::kOther;
        break;
    case Area::kRendering:
        // A rendered text has the field's own element: System's Level is a number, this one a name.
        f.area = Area::kSystemChild;
        f.field = static_cast<std::int8_t>(RenderedField(name));
        f.rendered = true;
        break;
    case Area::kSystem:
        f.area = Area::kSystemChild;
        f.field = static_cast<std::int8_t>(SystemField(name, nullptr));
        break;
    case Area::kEventData:
        f.area = Area::kItem;
        if (name.Is("Data")) f.dataIndex = ++dataCount_;
        break;
    case Area::kUserData:
    case Area::kItem: f.area = Area::kItem; break;
    default: f.area = Area::kOther; break;
    }
}

void RecordSink::Attribute(NameView name) {
    EndAttribute();
    Frame* f = Top();
    if (f == nullptr) return;
    inAttribute_ = true;
    hasValue_ = false;
    attributeMark_ = Size();
    attributeField_ = f->area == Area::kSystemChild && !f->rendered ? SystemField(f->element, &name) : -1;
    dataName_ = f->dataIndex != 0 && name.Is("Name");
    capturing_ = attributeField_ >= 0 || dataName_;
}

void RecordSink::EndAttribute() {
    if (!inAttribute_) return;
    inAttribute_ = false;
    if (capturing_ && !hasValue_) record_.text.resize(attributeMark_);
    if (capturing_ && hasValue_) {
        const TextRef text{attributeMark_, Size() - attributeMark_};
        if (attributeField_ >= 0) SetField(attributeField_, text);
        if (dataName_) {
            Top()->hasName = true;
            Top()->name = text;
        }
    }
    capturing_ = false;
}

void RecordSink::Content() {
    EndAttribute();
    Frame* f = Top();
    if (f == nullptr) return;
    f->mark = Size();
    f->items = items_.size();
    capturing_ = f->area == Area::kItem || (f->area == Area::kSystemChild && f->field >= 0);
}

void RecordSink::End() {
    EndAttribute();
    capturing_ = false;
    Frame* f = Top();
    if (f != nullptr) {
        if (f->area == Area::kSystemChild && f->field >= 0) SetField(f->field, {f->mark, Size() - f->mark});
        if (f->area == Area::kItem && f->leaf) AddPair(*f);
    }
    if (depth_ > 0) --depth_;
}

void RecordSink::SetField(int field, TextRef text) {
    record_.system[static_cast<std::size_t>(field)] = text;
    record_.present |= 1u << field;
}

void RecordSink::AddPair(const Frame& f) {
    DataPair pair;
    const std::uint32_t start = Size();
    if (f.hasName) {
        pair.name = f.name;
    } else if (f.dataIndex != 0) {
        AppendAscii("param", record_.text);
        AppendAscii(std::to_string(f.dataIndex).c_str(), record_.text);
        pair.name = {start, Size() - start};
    } else {
        AppendUtf16(f.element.chars, f.element.units, record_.text);
        pair.name = {start, Size() - start};
    }
    if (!f.array) {
        pair.value = {f.mark, start - f.mark};
        record_.data.push_back(pair);
        return;
    }
    // An array repeats its element for each item; an empty one gives one empty element.
    if (f.items == items_.size()) record_.data.push_back(pair);
    for (std::size_t i = f.items; i < items_.size(); ++i) {
        pair.value = items_[i];
        record_.data.push_back(pair);
    }
    items_.resize(f.items);
}

void RecordSink::Literal(const std::uint8_t* utf16, std::uint32_t units) {
    if (!capturing_ || !Room()) return;
    hasValue_ = true;
    AppendUtf16(utf16, units, record_.text);
}

void RecordSink::Character(char16_t c) {
    if (!capturing_ || !Room()) return;
    hasValue_ = true;
    record_.text.push_back(c);
}

void RecordSink::Entity(NameView name) {
    if (!capturing_ || !Room()) return;
    hasValue_ = true;
    static const struct {
        const char* name;
        char16_t c;
    } kEntities[] = {{"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}};
    for (const auto& e : kEntities) {
        if (name.Is(e.name)) {
            record_.text.push_back(e.c);
            return;
        }
    }
    record_.text.push_back(u'&');
    AppendUtf16(name.chars, name.units, record_.text);
    record_.text.push_back(u';');
}

void RecordSink::Value(ValueView value, bool optional) {
    if (!capturing_ || !Room()) return;
    if (!optional || value.type != type::kNull) hasValue_ = true;
    Frame* f = Top();
    if (inAttribute_ || (value.type & type::kArray) == 0 || f->area != Area::kItem) {
        AppendValueText(value, record_.text);
        return;
    }
    f->array = true;
    std::uint32_t pos = 0;
    ValueView item;
    while (NextItem(value, pos, item) && Room()) {
        const std::uint32_t start = Size();
        AppendValueText(item, record_.text);
        items_.push_back({start, Size() - start});
    }
}

}  // namespace quorvin::evtx
