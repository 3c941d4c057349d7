#include "formats/evtx/event_xml.h"

#include <vector>

#include "formats/evtx/binxml.h"

namespace quorvin::evtx {

namespace {

// The XML text, read unit by unit; every index is checked against `units`.
class XmlText {
public:
    XmlText(const std::uint8_t* bytes, std::size_t units) : bytes_(bytes), units_(units) {}
    std::size_t Size() const { return units_; }
    char16_t At(std::size_t i) const {
        return i < units_ ? static_cast<char16_t>(bytes_[2 * i] | bytes_[2 * i + 1] << 8) : u'\0';
    }
    const std::uint8_t* Bytes(std::size_t i) const { return bytes_ + 2 * i; }
    bool StartsWith(std::size_t i, std::string_view ascii) const {
        if (i > units_ || units_ - i < ascii.size()) return false;
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (At(i + k) != static_cast<unsigned char>(ascii[k])) return false;
        return true;
    }
    // Where `ascii` next starts at or after `from`; npos when nowhere.
    std::size_t Find(std::size_t from, std::string_view ascii) const {
        for (std::size_t i = from; i < units_; ++i)
            if (StartsWith(i, ascii)) return i;
        return std::string_view::npos;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t units_;
};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool EndsName(char16_t c) {
    return IsSpace(c) || c == u'/' || c == u'>' || c == u'=' || c == u'<' || c == u'\'' || c == u'"' || c == u'&' ||
           c == u';';
}

struct Where {
    std::size_t at;
    const char* what;
};

class Walker {
public:
    Walker(const XmlText& xml, XmlSink& sink) : xml_(xml), sink_(sink) {}

    // The whole text; the first fault found, if any.
    bool Walk(std::string& error);

private:
    bool Fail(std::size_t at, const char* what) {
        fault_ = {at, what};
        return false;
    }
    std::size_t SkipSpaces(std::size_t i) const {
        while (i < xml_.Size() && IsSpace(xml_.At(i))) ++i;
        return i;
    }
    bool Name(std::size_t& i, NameView& name);
    bool Markup(std::size_t& i);
    bool StartTag(std::size_t& i);
    bool EndTag(std::size_t& i);
    bool Entity(std::size_t& i);
    bool Text(std::size_t& i, char16_t stop);

    const XmlText& xml_;
    XmlSink& sink_;
    std::vector<NameView> open_;
    Where fault_{0, ""};
};

bool Walker::Name(std::size_t& i, NameView& name) {
    const std::size_t start = i;
    while (i < xml_.Size() && !EndsName(xml_.At(i))) ++i;
    if (i == start) return Fail(start, "a name is missing");
    if (i - start > 0xFFFF) return Fail(start, "a name is too long");
    name = NameView{xml_.Bytes(start), static_cast<std::uint16_t>(i - start)};
    return true;
}

// "&amp;", "&#60;", "&#x3C;": an entity to the sink, a character reference as its character.
bool Walker::Entity(std::size_t& i) {
    const std::size_t start = i + 1;
    std::size_t end = start;
    while (end < xml_.Size() && end - start < 16 && xml_.At(end) != u';') ++end;
    if (end >= xml_.Size() || xml_.At(end) != u';' || end == start) return Fail(i, "an entity does not end");
    if (xml_.At(start) != u'#') {
        sink_.Entity(NameView{xml_.Bytes(start), static_cast<std::uint16_t>(end - start)});
        i = end + 1;
        return true;
    }
    const bool hex = xml_.At(start + 1) == u'x';
    std::uint32_t code = 0;
    std::size_t k = start + (hex ? 2 : 1);
    if (k == end) return Fail(i, "a character reference has no number");
    for (; k < end; ++k) {
        const char16_t c = xml_.At(k);
        const int digit = c >= u'0' && c <= u'9'                  ? c - u'0'
                          : hex && c >= u'a' && c <= u'f'          ? c - u'a' + 10
                          : hex && c >= u'A' && c <= u'F'          ? c - u'A' + 10
                                                                   : -1;
        if (digit < 0) return Fail(i, "a character reference is no number");
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (code > 0x10FFFF) return Fail(i, "a character reference is out of range");
    }
    if (code >= 0x10000) {
        sink_.Character(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
        sink_.Character(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
        sink_.Character(static_cast<char16_t>(code));
    }
    i = end + 1;
    return true;
}

// Text up to `stop` (a quote ending an attribute's value) or to the next
// tag; `stop` 0 for content.
bool Walker::Text(std::size_t& i, char16_t stop) {
    while (i < xml_.Size()) {
        const char16_t c = xml_.At(i);
        if (c == u'<' || (stop != 0 && c == stop)) return true;
        if (c == u'&') {
            if (!Entity(i)) return false;
            continue;
        }
        const std::size_t start = i;
        while (i < xml_.Size() && xml_.At(i) != u'<' && xml_.At(i) != u'&' && (stop == 0 || xml_.At(i) != stop)) ++i;
        if (!open_.empty()) sink_.Literal(xml_.Bytes(start), static_cast<std::uint32_t>(i - start));
    }
    return stop == 0 ? true : Fail(i, "a quoted value does not end");
}

bool Walker::StartTag(std::size_t& i) {
    NameView name;
    ++i;
    if (!Name(i, name)) return false;
    if (open_.size() >= kMostXmlDepth) return Fail(i, "elements are nested too deep");
    sink_.Open(name);
    for (;;) {
        i = SkipSpaces(i);
        if (i >= xml_.Size()) return Fail(i, "a start tag does not end");
        if (xml_.StartsWith(i, "/>") || xml_.At(i) == u'>') {
            // Content comes always, so that an empty element's value
            // starts after its attributes.
            sink_.Content();
            if (xml_.At(i) == u'>') {
                open_.push_back(name);
                ++i;
            } else {
                sink_.End();
                i += 2;
            }
            return true;
        }
        NameView attribute;
        if (!Name(i, attribute)) return false;
        i = SkipSpaces(i);
        if (xml_.At(i) != u'=') return Fail(i, "an attribute has no value");
        i = SkipSpaces(i + 1);
        const char16_t quote = xml_.At(i);
        if (quote != u'\'' && quote != u'"') return Fail(i, "an attribute's value is not quoted");
        sink_.Attribute(attribute);
        ++i;
        if (!Text(i, quote)) return false;
        if (xml_.At(i) != quote) return Fail(i, "a quoted value holds a '<'");
        ++i;
    }
}

bool Walker::EndTag(std::size_t& i) {
    const std::size_t start = i;
    i += 2;
    NameView name;
    if (!Name(i, name)) return false;
    i = SkipSpaces(i);
    if (xml_.At(i) != u'>') return Fail(i, "an end tag does not end");
    ++i;
    const bool same = !open_.empty() && open_.back().units == name.units &&
                      std::equal(name.chars, name.chars + 2 * name.units, open_.back().chars);
    if (!same) return Fail(start, "an end tag closes another element");
    open_.pop_back();
    sink_.End();
    return true;
}

// A comment, CDATA, a declaration or a processing instruction, an end tag or a start tag.
bool Walker::Markup(std::size_t& i) {
    static const struct {
        const char* begin;
        const char* end;
    } kSkipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}};
    for (const auto& kind : kSkipped) {
        if (!xml_.StartsWith(i, kind.begin)) continue;
        const std::size_t from = i + std::string_view(kind.begin).size();
        const std::size_t end = xml_.Find(from, kind.end);
        if (end == std::string_view::npos) return Fail(i, "a comment, CDATA or declaration does not end");
        if (std::string_view(kind.begin) == "<![CDATA[" && !open_.empty())
            sink_.Literal(xml_.Bytes(from), static_cast<std::uint32_t>(end - from));
        i = end + std::string_view(kind.end).size();
        return true;
    }
    return xml_.At(i + 1) == u'/' ? EndTag(i) : StartTag(i);
}

bool Walker::Walk(std::string& error) {
    std::size_t i = 0;
    bool ok = true;
    while (ok && i < xml_.Size()) ok = xml_.At(i) == u'<' ? Markup(i) : Text(i, 0);
    if (ok && !open_.empty()) ok = Fail(xml_.Size(), "an element does not end");
    if (!ok) error = std::string("event XML at unit ") + std::to_string(fault_.at) + ": " + fault_.what;
    return ok;
}

// A decimal number of up to 20 digits; 0 for anything else.
std::uint64_t DecimalOf(std::u16string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || text.size() > 20) return 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return 0;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - u'0');
        if (value > (UINT64_MAX - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

bool ReadEventXml(const std::uint8_t* utf16le, std::size_t units, Record& record, std::string& error) {
    record.id = record.written = record.offset = 0;
    const XmlText xml(utf16le, units);
    RecordSink sink(record);
    Walker walker(xml, sink);
    if (!walker.Walk(error)) return false;
    record.id = DecimalOf(record.System(Field::kEventRecordId));
    return true;
}

}  // namespace quorvin::evtx
