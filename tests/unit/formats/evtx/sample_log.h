#pragma once
// Test logs with every value type and every kind of binary XML content:
// templates for events with every type in EventData, UserData through a
// nested template instance, classic strings and binary data, arrays, and
// references, reused by records across several chunks.

#include "support/evtx_test_util.h"

namespace quorvin::evtx::test {

// The types of the "every type" template's named Data, after the System values.
struct Typed {
    const char16_t* name;
    std::uint8_t valueType;
};
inline const std::vector<Typed>& EveryType() {
    static const std::vector<Typed> types = {
        {u"String", type::kString},     {u"AnsiString", type::kAnsiString}, {u"Int8", type::kInt8},
        {u"UInt8", type::kUInt8},       {u"Int16", type::kInt16},           {u"UInt16", type::kUInt16},
        {u"Int32", type::kInt32},       {u"UInt32", type::kUInt32},         {u"Int64", type::kInt64},
        {u"UInt64", type::kUInt64},     {u"Float", type::kFloat},           {u"Double", type::kDouble},
        {u"Bool", type::kBool},         {u"Binary", type::kBinary},         {u"Guid", type::kGuid},
        {u"SizeT", type::kSizeT},       {u"FileTime", type::kFileTime},     {u"SysTime", type::kSysTime},
        {u"Sid", type::kSid},           {u"HexInt32", type::kHexInt32},     {u"HexInt64", type::kHexInt64},
        {u"Strings", type::kString | type::kArray},
    };
    return types;
}

// Arrays of other types than strings, in a template of their own.
inline const std::vector<Typed>& ArrayTypes() {
    static const std::vector<Typed> types = {
        {u"Int16s", type::kInt16 | type::kArray},   {u"UInt32s", type::kUInt32 | type::kArray},
        {u"HexInt64s", type::kHexInt64 | type::kArray}, {u"Guids", type::kGuid | type::kArray},
        {u"FileTimes", type::kFileTime | type::kArray},
    };
    return types;
}

// With the references: an empty array, which still gives its element once.
inline const std::vector<Typed>& EmptyArray() {
    static const std::vector<Typed> types = {{u"Empty", type::kUInt8 | type::kArray}};
    return types;
}

// The value of type `t` for record `n`.
inline Value TypedValue(std::uint8_t t, std::uint64_t n) {
    const std::uint64_t k = n % 9;
    switch (t) {
    case type::kString: return String(n % 3 == 0 ? u"ログ < \"quoted\" & 'x'" : u"plain text " + std::u16string(k, u'x'));
    case type::kAnsiString: return Bytes(t, {'a', 'n', 's', 'i', static_cast<std::uint8_t>('0' + k)});
    case type::kInt8: return Number(t, static_cast<std::uint64_t>(-static_cast<std::int64_t>(k) - 1), 1);
    case type::kUInt8: return Number(t, 200 + k, 1);
    case type::kInt16: return Number(t, static_cast<std::uint64_t>(-30000 + static_cast<std::int64_t>(k)), 2);
    case type::kUInt16: return Number(t, 65000 + k, 2);
    case type::kInt32: return Number(t, static_cast<std::uint64_t>(-2000000000 + static_cast<std::int64_t>(k)), 4);
    case type::kUInt32: return Number(t, 4000000000u + k, 4);
    case type::kInt64: return Number(t, static_cast<std::uint64_t>(-9000000000000000000 + static_cast<std::int64_t>(k)), 8);
    case type::kUInt64: return Number(t, 18000000000000000000ull + k, 8);
    case type::kFloat: {
        const float f = 1.5f + static_cast<float>(k);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return Number(t, bits, 4);
    }
    case type::kDouble: {
        const double d = -2.25 - static_cast<double>(k);
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        return Number(t, bits, 8);
    }
    case type::kBool: return Number(t, n % 2, 4);
    case type::kBinary: return Bytes(t, {0xDE, 0xAD, 0xBE, 0xEF, static_cast<std::uint8_t>(k)});
    case type::kGuid: return GuidValue(static_cast<std::uint8_t>(n));
    case type::kSizeT: return Number(t, 0x7FF6A000 + k, 8);
    case type::kFileTime: return Number(t, 131124751716816408ull + k * 10000001ull, 8);
    case type::kSysTime: return Bytes(t, {0xE0, 0x07, 7, 0, 5, 0, static_cast<std::uint8_t>(8 + k), 0, 18, 0, 12, 0, 51, 0,
                                          0xA9, 0x02});
    case type::kSid: return Sid(static_cast<std::uint32_t>(k == 0 ? 0 : 500 + k));
    case type::kHexInt32: return Number(t, 0x3E7 + k, 4);
    case type::kHexInt64: return Number(t, 0x1FFFFFFFFull + k, 8);
    case type::kString | type::kArray: return Strings({u"first", u"second " + std::u16string(k, u'y'), u"三"}, true);
    case type::kInt16 | type::kArray: return Array(type::kInt16, {Number(type::kInt16, 7, 2), Number(type::kInt16, 0xFFFF, 2)});
    case type::kUInt32 | type::kArray: return Array(type::kUInt32, {Number(type::kUInt32, k, 4), Number(type::kUInt32, 42, 4)});
    case type::kHexInt64 | type::kArray:
        return Array(type::kHexInt64, {Number(type::kHexInt64, 0x10, 8), Number(type::kHexInt64, 0xABC + k, 8)});
    case type::kGuid | type::kArray: return Array(type::kGuid, {GuidValue(1), GuidValue(static_cast<std::uint8_t>(k))});
    case type::kFileTime | type::kArray:
        return Array(type::kFileTime, {Number(type::kFileTime, 131124751716816408ull, 8),
                                       Number(type::kFileTime, 116444736000000000ull + k, 8)});
    case type::kUInt8 | type::kArray: return Array(type::kUInt8, {});
    default: return Null();
    }
}

// Named Data of each type, then unnamed ones: `literal`, then a string.
inline Template TypedTemplate(const std::vector<Typed>& types, std::vector<Node> literal, std::uint8_t guid) {
    std::vector<Node> data;
    std::uint16_t index = kSystemValues;
    for (const Typed& t : types) data.push_back(Element(u"Data", {{u"Name", {Text(t.name)}}}, {Sub(index++, t.valueType)}));
    data.push_back(Element(u"Data", {}, std::move(literal)));
    data.push_back(Element(u"Data", {}, {Sub(index, type::kString)}));
    Template t;
    t.guid = Guid(guid);
    t.root = EventElement({Element(u"EventData", {}, std::move(data))});
    return t;
}

// UserData holds a binary XML value: an instance of LogFileClearedTemplate.
inline Template UserDataTemplate() {
    Template t;
    t.guid = Guid(2);
    t.root = EventElement({Element(u"UserData", {}, {Sub(kSystemValues, type::kBinXml)})});
    return t;
}
inline Template LogFileClearedTemplate() {
    Template t;
    t.guid = Guid(3);
    t.root = Element(u"LogFileCleared", {{u"xmlns", {Text(u"http://manifests.microsoft.com/win/2004/08/windows/eventlog")}}},
                     {Element(u"SubjectUserSid", {}, {Sub(0, type::kSid)}),
                      Element(u"SubjectUserName", {}, {Sub(1, type::kString)}),
                      Element(u"SubjectDomainName", {}, {Sub(2, type::kString)}),
                      Element(u"SubjectLogonId", {}, {Sub(3, type::kHexInt64)})});
    return t;
}

// Events of the classic event log API: unnamed strings and binary data.
inline Template ClassicTemplate() {
    Template t;
    t.guid = Guid(4);
    t.root = EventElement({Element(u"EventData", {},
                                   {Element(u"Data", {}, {Sub(kSystemValues, type::kString)}),
                                    Element(u"Data", {}, {Sub(kSystemValues + 1, type::kString)}),
                                    Element(u"Binary", {}, {Sub(kSystemValues + 2, type::kBinary)})})});
    return t;
}

// The templates of SampleRecord: every type, UserData, the template of
// its value, classic, arrays, references.
inline std::vector<Template> SampleTemplates() {
    return {TypedTemplate(EveryType(), {Text(u"a "), Entity(u"amp"), Text(u" b")}, 1),
            UserDataTemplate(),
            LogFileClearedTemplate(),
            ClassicTemplate(),
            TypedTemplate(ArrayTypes(), {Text(u"-")}, 5),
            TypedTemplate(EmptyArray(), {Text(u"a "), Char(0x263A), Text(u"x<y", Node::Kind::kCData), Entity(u"lt"), Entity(u"nbsp")},
                          6)};
}

// Which records a sample log has: the first three event templates in
// turn, or records of arrays, or records of character references and CDATA.
enum class Variant { kCommon, kArrays, kReferences };

inline WrittenRecord TypedRecord(std::uint64_t n, std::size_t templateIndex, const std::vector<Typed>& types) {
    WrittenRecord r;
    r.instance.templateIndex = templateIndex;
    r.instance.values = SystemValues(n, static_cast<std::uint16_t>(4624 + templateIndex));
    for (const Typed& t : types) r.instance.values.push_back(TypedValue(t.valueType, n));
    r.instance.values.push_back(String(u"unnamed " + std::u16string(n % 5, u'z')));
    return r;
}

inline WrittenRecord UserDataRecord(std::uint64_t n) {
    Instance cleared;
    cleared.templateIndex = 2;
    cleared.values = {Sid(static_cast<std::uint32_t>(1100 + n)), String(u"管理者"), String(u"EXAMPLE"),
                      Number(type::kHexInt64, 0x3E7 + n, 8)};
    WrittenRecord r;
    r.instance.templateIndex = 1;
    r.instance.values = SystemValues(n, 1102);
    r.instance.values.push_back(Xml(std::move(cleared)));
    return r;
}

inline WrittenRecord ClassicRecord(std::uint64_t n) {
    WrittenRecord r;
    r.instance.templateIndex = 3;
    r.instance.values = SystemValues(n, 7036);
    r.instance.values.push_back(String(u"Windows Update"));
    r.instance.values.push_back(String(n % 2 ? u"running" : u""));
    r.instance.values.push_back(Bytes(type::kBinary, {0x57, 0x00, 0x75, 0x00, static_cast<std::uint8_t>(n)}));
    return r;
}

// Record `n` (its id).
inline WrittenRecord SampleRecord(std::uint64_t n, Variant variant = Variant::kCommon) {
    WrittenRecord r = variant == Variant::kArrays     ? TypedRecord(n, 4, ArrayTypes())
                      : variant == Variant::kReferences ? TypedRecord(n, 5, EmptyArray())
                      : n % 3 == 0                      ? TypedRecord(n, 0, EveryType())
                      : n % 3 == 1                      ? UserDataRecord(n)
                                                        : ClassicRecord(n);
    r.id = n;
    r.written = 131124751716816408ull + n * 123456789ull + 5;
    return r;
}

inline std::vector<WrittenRecord> SampleRecords(std::uint64_t first, std::size_t count, Variant variant = Variant::kCommon) {
    std::vector<WrittenRecord> records;
    for (std::size_t i = 0; i < count; ++i) records.push_back(SampleRecord(first + i, variant));
    return records;
}

}  // namespace quorvin::evtx::test
