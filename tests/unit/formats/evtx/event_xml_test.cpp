// Events as the event log API renders them as XML: the same record a
// file's binary XML gives, and a clean refusal of every broken text.

#include "formats/evtx/event_xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvin::evtx {
namespace {

std::vector<std::uint8_t> Le(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

bool Read(const std::u16string& xml, Record& record, std::string& error) {
    const std::vector<std::uint8_t> bytes = Le(xml);
    return ReadEventXml(bytes.data(), xml.size(), record, error);
}

std::vector<std::pair<std::string, std::string>> Pairs(const Record& r) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const DataPair& p : r.data) pairs.emplace_back(Utf8(r.Text(p.name)), Utf8(r.Text(p.value)));
    return pairs;
}

const std::u16string kEvent =
    u"<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System>"
    u"<Provider Name='Service Control Manager' Guid='{555908d1-a6d7-4695-8e1e-26931d2012f4}' "
    u"EventSourceName='Service Control Manager'/><EventID Qualifiers='16384'>7036</EventID><Version>0</Version>"
    u"<Level>4</Level><Task>0</Task><Opcode>0</Opcode><Keywords>0x8080000000000000</Keywords>"
    u"<TimeCreated SystemTime='2024-05-01T10:00:00.1234567Z'/><EventRecordID>18446744073709551615</EventRecordID>"
    u"<Correlation/><Execution ProcessID='640' ThreadID='7000'/><Channel>System</Channel>"
    u"<Computer>PC01.example.local</Computer><Security/></System><EventData>"
    u"<Data Name='param1'>Windows Update &amp; &lt;more&gt; &#x3042;&#128512;</Data><Data Name='empty'/>"
    u"<Data></Data><Data>third</Data><Binary>0A0B</Binary></EventData></Event>";

TEST(EventXml, RenderedEventsGiveTheRecordAFileGives) {
    Record r;
    std::string error;
    ASSERT_TRUE(Read(kEvent, r, error)) << error;
    EXPECT_EQ(r.id, 18446744073709551615u);
    EXPECT_EQ(Utf8(r.System(Field::kProviderName)), "Service Control Manager");
    EXPECT_EQ(Utf8(r.System(Field::kEventSourceName)), "Service Control Manager");
    EXPECT_EQ(Utf8(r.System(Field::kEventId)), "7036");
    EXPECT_EQ(Utf8(r.System(Field::kQualifiers)), "16384");
    EXPECT_EQ(Utf8(r.System(Field::kKeywords)), "0x8080000000000000");
    EXPECT_EQ(Utf8(r.System(Field::kTimeCreated)), "2024-05-01T10:00:00.1234567Z");
    EXPECT_EQ(Utf8(r.System(Field::kThreadId)), "7000");
    EXPECT_EQ(Utf8(r.System(Field::kComputer)), "PC01.example.local");
    EXPECT_FALSE(r.Has(Field::kUserId));
    EXPECT_EQ(Pairs(r), (std::vector<std::pair<std::string, std::string>>{
                            {"param1", "Windows Update & <more> \xE3\x81\x82\xF0\x9F\x98\x80"},
                            {"empty", ""},
                            {"param3", ""},
                            {"param4", "third"},
                            {"Binary", "0A0B"}}));

    // UserData: the leaves by their names, in double quotes, with a comment and CDATA.
    ASSERT_TRUE(Read(u"<?xml version=\"1.0\"?><Event><System><EventRecordID>12</EventRecordID>"
                     u"<Security UserID=\"S-1-5-18\"/></System><!-- x --><UserData><Op xmlns=\"u\">"
                     u"<User>a</User><Path><![CDATA[C:\\<x>]]></Path></Op></UserData></Event>",
                     r, error))
        << error;
    EXPECT_EQ(r.id, 12u);
    EXPECT_EQ(Utf8(r.System(Field::kUserId)), "S-1-5-18");
    EXPECT_EQ(Pairs(r), (std::vector<std::pair<std::string, std::string>>{{"User", "a"}, {"Path", "C:\\<x>"}}));
}

TEST(EventXml, BrokenTextIsRefusedNamingWhereNeverReadPast) {
    const std::u16string deep = [] {
        std::u16string t;
        for (std::size_t i = 0; i <= kMostXmlDepth; ++i) t += u"<a>";
        return t;
    }();
    const struct {
        std::u16string xml;
        const char* what;
    } cases[] = {
        {u"<Event><System>", "an element does not end"},
        {u"<Event></System>", "an end tag closes another element"},
        {u"<Event><Data Name='x>", "a quoted value does not end"},
        {u"<Event><Data Name=x/></Event>", "not quoted"},
        {u"<Event><Data Name></Event>", "an attribute has no value"},
        {u"<Event>&amp</Event>", "an entity does not end"},
        {u"<Event>&#xZZ;</Event>", "no number"},
        {u"<Event>&#1114112;</Event>", "out of range"},
        {u"<Event><!-- </Event>", "does not end"},
        {u"<Event", "a start tag does not end"},
        {u"<>", "a name is missing"},
        {u"<Event></Event", "an end tag does not end"},
        {deep, "nested too deep"},
    };
    for (const auto& c : cases) {
        Record r;
        std::string error;
        // Each text sits at the end of its own allocation, so a read past it is caught by the sanitizers.
        EXPECT_FALSE(Read(c.xml, r, error)) << Utf8(c.xml);
        EXPECT_NE(error.find(c.what), std::string::npos) << error;
    }
    Record r;
    std::string error;
    EXPECT_TRUE(ReadEventXml(nullptr, 0, r, error));
    EXPECT_EQ(r.id, 0u);
}

}  // namespace
}  // namespace quorvin::evtx
