// The reader against two independent readers: files made by the writer
// are read by ours, by evtxexport (libevtx-utils) and by evtx_dump.py
// (python3-evtx), and every record's System fields and data must agree.
//
// What the other readers print differently, and how it is compared:
// - hexadecimal integers: both pad to 8 or 16 digits (0x000003ea); we
//   show 0x3ea as Windows does. Size_t: both print decimal. Compared as numbers.
// - FILETIME: evtxexport gives 9 digits of fraction, evtx_dump.py 6 and a
//   space for the T; we keep the 7 of a FILETIME.
// - floats: evtxexport prints 4.500000e+000; compared as numbers.
// - evtx_dump.py: GUIDs in lower case, booleans True/False, binary data in
//   base64, an absent optional attribute as "", an array of strings as one
//   <string>...</string> text.
// Faults of theirs that are not copied, only left out of the comparison:
// - evtxexport reads negative signed integers wrongly (-4 as Int8 gives -124)
//   and fails on an empty array, which must still give its element once.
// - evtx_dump.py shows a SYSTEMTIME's milliseconds as microseconds, escapes
//   an entity reference twice (&amp;amp;), cannot read arrays of types other
//   than strings (that file is left to evtxexport), drops character
//   references and fails on CDATA.
// - Neither reads character references and CDATA with text around them
//   (evtxexport stops at the first character reference): those are checked
//   against the texts they must give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "sample_log.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quorvin::evtx {
namespace {

using namespace test;

#ifndef _WIN32

// A record as a reader shows it, in UTF-8.
struct Seen {
    std::map<int, std::string> system;
    std::vector<std::pair<std::string, std::string>> data;
};

Seen FromRecord(const Record& r) {
    Seen s;
    for (std::size_t f = 0; f < kFieldCount; ++f)
        if (r.Has(static_cast<Field>(f))) s.system[static_cast<int>(f)] = Utf8(r.System(static_cast<Field>(f)));
    for (const DataPair& p : r.data) s.data.emplace_back(Utf8(r.Text(p.name)), Utf8(r.Text(p.value)));
    return s;
}

std::vector<Seen> ReadOurs(const std::vector<std::uint8_t>& file, std::vector<Problem>* problems = nullptr) {
    FileReader reader(file.data(), file.size());
    std::vector<Seen> seen;
    Record r;
    while (reader.Next(r)) seen.push_back(FromRecord(r));
    if (problems) *problems = reader.Problems();
    return seen;
}

// ---- The other readers' XML ---------------------------------------------------

struct Xml {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<Xml> children;
    std::string text;
};

void AppendUtf8(std::uint32_t c, std::string& out) { out += Utf8(std::u16string(1, static_cast<char16_t>(c))); }

std::string Unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::size_t semi = s[i] == '&' ? s.find(';', i) : std::string_view::npos;
        if (semi == std::string_view::npos) {
            out += s[i];
            continue;
        }
        const std::string_view name = s.substr(i + 1, semi - i - 1);
        static const std::map<std::string_view, char> kNamed = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        if (kNamed.count(name)) out += kNamed.at(name);
        else if (name.size() > 1 && name[0] == '#')
            AppendUtf8(static_cast<std::uint32_t>(std::strtoul(std::string(name.substr(name[1] == 'x' ? 2 : 1)).c_str(), nullptr, name[1] == 'x' ? 16 : 10)), out);
        i = semi;
    }
    return out;
}

// The element at `at` (a '<'); `at` moves past its end.
Xml ParseElement(const std::string& s, std::size_t& at) {
    Xml e;
    std::size_t i = at + 1;
    const std::size_t nameEnd = s.find_first_of(" />\n", i);
    e.name = s.substr(i, nameEnd - i);
    i = nameEnd;
    for (;;) {
        i = s.find_first_not_of(" \n\t", i);
        if (s.compare(i, 2, "/>") == 0) {
            at = i + 2;
            return e;
        }
        if (s[i] == '>') break;
        const std::size_t eq = s.find('=', i);
        const char quote = s[eq + 1];
        const std::size_t close = s.find(quote, eq + 2);
        e.attributes[s.substr(i, eq - i)] = Unescape(std::string_view(s).substr(eq + 2, close - eq - 2));
        i = close + 1;
    }
    ++i;
    while (i < s.size()) {
        if (s.compare(i, 2, "</") == 0) {
            at = s.find('>', i) + 1;
            return e;
        }
        if (s.compare(i, 9, "<![CDATA[") == 0) {
            const std::size_t end = s.find("]]>", i);
            e.text += s.substr(i + 9, end - i - 9);
            i = end + 3;
        } else if (s[i] == '<') {
            e.children.push_back(ParseElement(s, i));
        } else {
            const std::size_t lt = s.find('<', i);
            e.text += Unescape(std::string_view(s).substr(i, lt - i));
            i = lt;
        }
    }
    at = i;
    return e;
}

struct Where {
    const char* element;
    const char* attribute;
    Field field;
};
const Where kSystemPlaces[] = {
    {"Provider", "Name", Field::kProviderName},         {"Provider", "Guid", Field::kProviderGuid},
    {"Provider", "EventSourceName", Field::kEventSourceName}, {"EventID", nullptr, Field::kEventId},
    {"EventID", "Qualifiers", Field::kQualifiers},      {"Version", nullptr, Field::kVersion},
    {"Level", nullptr, Field::kLevel},                  {"Task", nullptr, Field::kTask},
    {"Opcode", nullptr, Field::kOpcode},                {"Keywords", nullptr, Field::kKeywords},
    {"TimeCreated", "SystemTime", Field::kTimeCreated}, {"EventRecordID", nullptr, Field::kEventRecordId},
    {"Correlation", "ActivityID", Field::kActivityId},  {"Correlation", "RelatedActivityID", Field::kRelatedActivityId},
    {"Execution", "ProcessID", Field::kProcessId},      {"Execution", "ThreadID", Field::kThreadId},
    {"Channel", nullptr, Field::kChannel},              {"Computer", nullptr, Field::kComputer},
    {"Security", "UserID", Field::kUserId},
};

void Leaves(const Xml& e, Seen& s) {
    if (e.children.empty()) s.data.emplace_back(e.name, e.text);
    for (const Xml& c : e.children) Leaves(c, s);
}

// The same rules as our reader's, over the other reader's tree.
Seen FromXml(const Xml& event) {
    Seen s;
    for (const Xml& part : event.children) {
        if (part.name == "System") {
            for (const Xml& field : part.children)
                for (const Where& w : kSystemPlaces) {
                    if (field.name != w.element) continue;
                    if (w.attribute == nullptr) s.system[static_cast<int>(w.field)] = field.text;
                    else if (field.attributes.count(w.attribute)) s.system[static_cast<int>(w.field)] = field.attributes.at(w.attribute);
                }
        } else if (part.name == "RenderingInfo") {
            const std::pair<const char*, Field> rendered[] = {{"Message", Field::kRenderedMessage},
                                                              {"Level", Field::kRenderedLevel},
                                                              {"Task", Field::kRenderedTask},
                                                              {"Opcode", Field::kRenderedOpcode}};
            for (const Xml& field : part.children)
                for (const auto& [name, f] : rendered)
                    if (field.name == name) s.system[static_cast<int>(f)] = field.text;
        } else if (part.name == "EventData") {
            // An array's items repeat its element: they count as one place.
            int index = 0;
            const Xml* previous = nullptr;
            for (const Xml& d : part.children) {
                const bool data = d.name == "Data";
                index += data && !(previous && d.attributes.count("Name") && previous->attributes == d.attributes);
                previous = data ? &d : nullptr;
                const std::string name = !data ? d.name : d.attributes.count("Name") ? d.attributes.at("Name") : "param" + std::to_string(index);
                s.data.emplace_back(name, d.text);
            }
        } else if (part.name == "UserData") {
            for (const Xml& c : part.children) Leaves(c, s);
        }
    }
    return s;
}

std::vector<Seen> ReadWith(const std::string& command, const std::filesystem::path& file) {
    std::FILE* pipe = popen((command + " '" + file.string() + "' 2>&1").c_str(), "r");
    std::string out;
    char chunk[65536];
    for (std::size_t n; pipe && (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    if (pipe) pclose(pipe);
    std::vector<Seen> seen;
    for (std::size_t at = out.find("<Event "); at != std::string::npos; at = out.find("<Event ", at))
        seen.push_back(FromXml(ParseElement(out, at)));
    return seen;
}

// ---- Comparing ----------------------------------------------------------------

enum class Tool { kEvtxexport, kEvtxDump };

// The value type of a pair or System field, for how the readers print it.
std::uint8_t TypeOf(const std::string& name) {
    static const std::map<std::string, std::uint8_t> types = [] {
        std::map<std::string, std::uint8_t> m = {{"SubjectUserSid", type::kSid}, {"SubjectLogonId", type::kHexInt64},
                                                 {"Binary", type::kBinary}, {"Keywords", type::kHexInt64},
                                                 {"TimeCreated", type::kFileTime}, {"Guid", type::kGuid}};
        for (const auto* list : {&EveryType(), &ArrayTypes()})
            for (const Typed& t : *list) m[Utf8(t.name)] = t.valueType & ~type::kArray;
        return m;
    }();
    const auto found = types.find(name);
    return found == types.end() ? type::kString : found->second;
}

std::string UpperHexOfBase64(const std::string& b64) {
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string hex;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : b64) {
        const std::size_t v = kAlphabet.find(c);
        if (v == std::string::npos) break;
        bits = bits << 6 | static_cast<std::uint32_t>(v);
        if ((count += 6) >= 8) {
            char byte[3];
            std::snprintf(byte, sizeof byte, "%02X", (bits >> (count -= 8)) & 0xFF);
            hex += byte;
        }
    }
    return hex;
}

// What both texts must equal after: the forms of a value each reader may print.
std::string Canonical(const std::string& text, std::uint8_t t, Tool tool) {
    char out[64];
    switch (t) {
    case type::kHexInt32: case type::kHexInt64: case type::kSizeT:
        std::snprintf(out, sizeof out, "%llu", std::strtoull(text.c_str(), nullptr, 0));
        return out;
    case type::kFloat: case type::kDouble:
        std::snprintf(out, sizeof out, "%.6g", std::strtod(text.c_str(), nullptr));
        return out;
    case type::kFileTime: {
        // Date, time, and the fraction to the digits the other reader shows.
        if (text.size() < 20) return text;
        const std::size_t dot = text.find('.');
        std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
        while (!fraction.empty() && !std::isdigit(static_cast<unsigned char>(fraction.back()))) fraction.pop_back();
        fraction.resize(tool == Tool::kEvtxDump ? 6 : 7, '0');
        return text.substr(0, 10) + " " + text.substr(11, 8) + "." + fraction;
    }
    case type::kGuid: case type::kBool: {
        std::string upper = text;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }
    default: return text;
    }
}

// The other reader's own faults: values not compared.
bool Skipped(const std::string& name, std::uint8_t t, Tool tool) {
    if (tool == Tool::kEvtxexport)
        return t == type::kInt8 || t == type::kInt16 || t == type::kInt32 || t == type::kInt64;
    return t == type::kSysTime || name == "param" + std::to_string(EveryType().size() + 1);
}

// evtx_dump.py's forms: absent attributes as "", string arrays as one text, binary in base64.
void AsEvtxDumpShows(Seen& ours, Seen& theirs) {
    for (auto it = theirs.system.begin(); it != theirs.system.end();)
        it = it->second.empty() ? theirs.system.erase(it) : std::next(it);
    std::vector<std::pair<std::string, std::string>> merged;
    for (const auto& p : ours.data) {
        if (p.first == "Strings" && !merged.empty() && merged.back().first == "Strings")
            merged.back().second += "<string>" + p.second + "</string>";
        else merged.emplace_back(p.first, p.first == "Strings" ? "<string>" + p.second + "</string>" : p.second);
    }
    ours.data = merged;
    for (auto& p : theirs.data) {
        if (TypeOf(p.first) == type::kBinary) p.second = UpperHexOfBase64(p.second);
        if (p.first == "Strings") p.second.erase(std::remove(p.second.begin(), p.second.end(), '\n'), p.second.end());
    }
}

// evtx_dump.py computes a time in floating point: its microseconds are a few off at times.
bool SameTime(const std::string& theirs, const std::string& ours) {
    const std::string a = Canonical(theirs, type::kFileTime, Tool::kEvtxDump);
    const std::string b = Canonical(ours, type::kFileTime, Tool::kEvtxDump);
    return a.size() == b.size() && a.size() > 6 && a.compare(0, a.size() - 6, b, 0, b.size() - 6) == 0 &&
           std::abs(std::stol(a.substr(a.size() - 6)) - std::stol(b.substr(b.size() - 6))) <= 4;
}

void ExpectSame(const std::vector<Seen>& oursAll, std::vector<Seen> theirsAll, Tool tool, const std::string& what) {
    ASSERT_EQ(theirsAll.size(), oursAll.size()) << what;
    static const char* const kFieldNames[] = {"ProviderName", "ProviderGuid", "EventSourceName", "EventID", "Qualifiers",
                                              "Version", "Level", "Task", "Opcode", "Keywords", "TimeCreated",
                                              "EventRecordID", "ActivityID", "RelatedActivityID", "ProcessID",
                                              "ThreadID", "Channel", "Computer", "UserID", "RenderedMessage",
                                              "RenderedLevel", "RenderedTask", "RenderedOpcode"};
    static_assert(sizeof kFieldNames / sizeof kFieldNames[0] == kFieldCount, "a name for every field");
    for (std::size_t i = 0; i < oursAll.size(); ++i) {
        Seen ours = oursAll[i];
        Seen& theirs = theirsAll[i];
        if (tool == Tool::kEvtxDump) AsEvtxDumpShows(ours, theirs);
        SCOPED_TRACE(what + " record " + std::to_string(i));
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            const std::string name = kFieldNames[f];
            const std::uint8_t t = name.find("Guid") != std::string::npos || name.find("ActivityID") != std::string::npos
                                       ? type::kGuid : TypeOf(name);
            ASSERT_EQ(theirs.system.count(static_cast<int>(f)), ours.system.count(static_cast<int>(f))) << name;
            if (ours.system.count(static_cast<int>(f)) && t == type::kFileTime && tool == Tool::kEvtxDump) {
                EXPECT_TRUE(SameTime(theirs.system[static_cast<int>(f)], ours.system[static_cast<int>(f)])) << name << ": " << theirs.system[static_cast<int>(f)] << ", ours " << ours.system[static_cast<int>(f)];
            } else if (ours.system.count(static_cast<int>(f))) {
                EXPECT_EQ(Canonical(theirs.system[static_cast<int>(f)], t, tool), Canonical(ours.system[static_cast<int>(f)], t, tool)) << name;
            }
        }
        ASSERT_EQ(theirs.data.size(), ours.data.size());
        for (std::size_t d = 0; d < ours.data.size(); ++d) {
            const std::string& name = ours.data[d].first;
            EXPECT_EQ(theirs.data[d].first, name);
            const std::uint8_t t = TypeOf(name);
            if (t == type::kFileTime && tool == Tool::kEvtxDump) {
                EXPECT_TRUE(SameTime(theirs.data[d].second, ours.data[d].second)) << name;
            } else if (!Skipped(name, t, tool)) {
                EXPECT_EQ(Canonical(theirs.data[d].second, t, tool), Canonical(ours.data[d].second, t, tool)) << name;
            }
        }
    }
}

#endif

TEST(EvtxReaders, IndependentReadersAgree) {
#ifdef _WIN32
    GTEST_SKIP() << "evtxexport and evtx_dump.py run on Linux only";
#else
    if (std::system("command -v evtxexport >/dev/null && command -v evtx_dump.py >/dev/null") != 0)
        GTEST_SKIP() << "evtxexport (libevtx-utils) or evtx_dump.py (python3-evtx) is not installed";
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("quorvin-evtx-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return dir / name;
    };

    // Every type, UserData and classic events: 900 records in several
    // chunks, each chunk defining the templates again.
    const auto common = WriteFile(SampleTemplates(), SampleRecords(1, 900));
    ASSERT_GE(common.size(), kHeaderBlockSize + 5 * kChunkSize);
    const std::vector<Seen> ours = ReadOurs(common);
    ASSERT_EQ(ours.size(), 900u);
    const auto commonFile = write("common.evtx", common);
    ExpectSame(ours, ReadWith("evtxexport -f xml", commonFile), Tool::kEvtxexport, "common");
    ExpectSame(ours, ReadWith("evtx_dump.py", commonFile), Tool::kEvtxDump, "common");

    WriteOptions v32;
    v32.minorVersion = 2;
    const auto arrays = WriteFile(SampleTemplates(), SampleRecords(1, 40, Variant::kArrays), v32);
    ExpectSame(ReadOurs(arrays), ReadWith("evtxexport -f xml", write("arrays.evtx", arrays)), Tool::kEvtxexport, "arrays");
    std::filesystem::remove_all(dir);

    // The texts Windows shows, where the other readers differ or fail.
    const Seen& typed = ours[2];  // record 3
    const std::map<std::string, std::string> expected = {
        {"HexInt32", "0x3ea"}, {"HexInt64", "0x200000002"}, {"SizeT", "0x7ff6a003"}, {"Bool", "true"},
        {"FileTime", "2016-07-08T18:12:54.6816411Z"}, {"SysTime", "2016-07-11T18:12:51.681Z"}, {"Int8", "-4"},
        {"Guid", "{CEC3B8AD-E4D9-FAEF-0510-1B26313C4752}"}, {"Binary", "DEADBEEF03"}, {"Float", "4.5"},
        {"Sid", "S-1-5-21-3623811015-3361044348-30300820-503"}, {"param23", "a & b"}};
    for (const auto& item : expected) {
        const std::string& name = item.first;
        const auto found = std::find_if(typed.data.begin(), typed.data.end(), [&](const auto& p) { return p.first == name; });
        ASSERT_NE(found, typed.data.end()) << name;
        EXPECT_EQ(found->second, item.second) << name;
    }
    EXPECT_EQ(typed.system.at(static_cast<int>(Field::kKeywords)), "0x8080000000000000");
    EXPECT_EQ(typed.system.at(static_cast<int>(Field::kUserId)), "S-1-5-18");
    EXPECT_EQ(typed.system.count(static_cast<int>(Field::kQualifiers)), 0u);  // an optional value left empty

    const auto references = WriteFile(SampleTemplates(), SampleRecords(1, 2, Variant::kReferences));
    const std::vector<Seen> read = ReadOurs(references);
    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(read[0].data.size(), 3u);
    EXPECT_EQ(read[0].data[0], std::make_pair(std::string("Empty"), std::string()));
    EXPECT_EQ(read[0].data[1], std::make_pair(std::string("param2"), std::string(u8"a \u263Ax<y<&nbsp;")));
#endif
}

}  // namespace
}  // namespace quorvin::evtx
