// The JSON Lines mapping of an event and the state file of scheduled runs.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/cp932.h"
#include "rules/collection_state.h"
#include "rules/event_json.h"

namespace quorvin::run {
namespace {

TEST(EventJson, AnAuditFailureCarriesEveryFieldInUtf8) {
    engine::EventRow row;
    row.columns[4] = "SV1";
    row.columns[5] = "Security";
    row.columns[7] = "ﾛｸﾞｵﾝ失敗 \"x\"\\";
    auto facts = std::make_shared<engine::EventFacts>();
    facts->recordNumber = 4000000000u;
    facts->timeWritten = 1055840461;  // 2003-06-17 09:01:01 UTC
    facts->timeGenerated = 951782400;  // 2000-02-29 00:00:00 UTC
    facts->eventId = 0xC0000211;
    facts->eventType = 16;
    facts->log = "security";
    facts->computerName = "sv1";
    facts->categoryText = "ﾛｸﾞｵﾝ/ﾛｸﾞｵﾌ\r\n";
    facts->userSid = "S-1-5-18";
    // A byte that forms no character shows as U+FFFD, the rest as it is.
    facts->strings = {"Administrator", std::string("a\x80\xFF" "b\x82", 5)};
    row.facts = facts;

    const std::string line = EventJsonLine(row, "1.2.0.0");
    ASSERT_EQ(line.back(), '\n');
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    const nlohmann::json j = nlohmann::json::parse(line);
    EXPECT_EQ(j["@timestamp"], "2003-06-17T09:01:01Z");
    EXPECT_EQ(j["event.created"], "2000-02-29T00:00:00Z");
    EXPECT_EQ(j["event.code"], "529");
    EXPECT_EQ(j["winlog.event_id"], 529);
    EXPECT_EQ(j["winlog.record_id"], 4000000000u);
    EXPECT_EQ(j["event.outcome"], "failure");
    EXPECT_EQ(j["log.level"], "audit failure");
    EXPECT_EQ(j["winlog.keywords"], nlohmann::json::array({"Audit Failure"}));
    EXPECT_EQ(j["winlog.channel"], "Security");
    EXPECT_EQ(j["winlog.computer_name"], "sv1");
    EXPECT_EQ(j["host.name"], "SV1");
    EXPECT_EQ(j["winlog.user.identifier"], "S-1-5-18");
    EXPECT_EQ(j["message"], text::Cp932ToUtf8(row.columns[7]));
    EXPECT_EQ(j["winlog.task"], text::Cp932ToUtf8("ﾛｸﾞｵﾝ/ﾛｸﾞｵﾌ"));
    EXPECT_EQ(j["winlog.event_data.param1"], "Administrator");
    // The same on every system: Windows maps 0x80 and 0xFF to characters of its own.
    EXPECT_EQ(j["winlog.event_data.param2"], "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(j.size(), 22u);
}

TEST(CollectionState, WrittenStateReadsBackAndEveryDamageIsAMessage) {
    CollectionState state;
    state.Set("SV1", "system", engine::LogBookmark{70, 1796706113});
    state.Set("ｻｰﾊﾞ", "security", engine::LogBookmark{4294967295u, 0});
    state.Set("sv1", "system", engine::LogBookmark{71, 1796706114});  // the same computer
    state.Set("SV2", "application", engine::LogBookmark{1, 1});
    state.Set("sv2", "application", std::nullopt);
    const std::string text = WriteState(state);

    CollectionState read;
    std::string error;
    ASSERT_TRUE(ParseState(text, read, error)) << error;
    ASSERT_EQ(read.Entries().size(), 2u);
    EXPECT_EQ(read.Find("Sv1", "system"), (engine::LogBookmark{71, 1796706114}));
    EXPECT_EQ(read.Find("ｻｰﾊﾞ", "security"), (engine::LogBookmark{4294967295u, 0}));
    EXPECT_FALSE(read.Find("SV2", "application"));
    EXPECT_EQ(WriteState(read), text);

    // Cut anywhere, the file is refused with a message, never taken half.
    for (std::size_t n = 1; n < text.size() - 1; ++n) {
        if (text.find_first_not_of(" \r\n", 0) >= n) continue;
        error.clear();
        EXPECT_FALSE(ParseState(text.substr(0, n), read, error)) << n;
        EXPECT_FALSE(error.empty()) << n;
    }
    const char* const damaged[] = {
        "[]", "{\"kind\":\"x\",\"version\":1,\"logs\":[]}", "{\"kind\":\"quorvin-collection-state\",\"version\":2,\"logs\":[]}",
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[{\"computer\":\"A\",\"log\":\"dns\",\"record\":1,\"written\":1}]}",
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[{\"computer\":\"A\",\"log\":\"system\",\"record\":-1,\"written\":1}]}",
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[{\"computer\":\"A\",\"log\":\"system\",\"record\":4294967296,\"written\":1}]}",
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[{\"computer\":\"A\",\"log\":\"system\",\"record\":1,\"written\":1},"
        "{\"computer\":\"a\",\"log\":\"system\",\"record\":2,\"written\":2}]}",
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[7]}",
    };
    for (const char* bad : damaged) {
        error.clear();
        EXPECT_FALSE(ParseState(bad, read, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_NE((ParseState("{\"kind\":", read, error), error).find("line 1, column"), std::string::npos) << error;
    EXPECT_TRUE(ParseState("", read, error));
    EXPECT_TRUE(read.Entries().empty());
}

TEST(CollectionState, EveryFieldOfTheWrongTypeIsAMessageNeverAnException) {
    // Each value of a good file replaced by a value of every other type.
    const nlohmann::json good = nlohmann::json::parse(
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"events\":{\"file\":\"1:2\",\"length\":10},\"logs\":["
        "{\"computer\":\"A\",\"computer_cp932\":\"41\",\"log\":\"system\",\"record\":1,\"written\":1}]}");
    const nlohmann::json others[] = {1, -1, 1.5, "x", nullptr, true, nlohmann::json::array(), nlohmann::json::object()};
    std::vector<nlohmann::json> bad;
    for (const auto& [key, value] : good.items())
        for (const nlohmann::json& other : others)
            if (other.type() != value.type() && !(value.is_number() && other == 1)) bad.push_back(good), bad.back()[key] = other;
    for (const char* inner : {"/logs/0", "/events"})
        for (const auto& [key, value] : good[nlohmann::json::json_pointer(inner)].items())
            for (const nlohmann::json& other : others)
                if (other.type() != value.type() && !(value.is_number() && other == 1))
                    bad.push_back(good), bad.back()[nlohmann::json::json_pointer(inner)][key] = other;
    for (const nlohmann::json& document : bad) {
        CollectionState read;
        std::string error;
        bool parsed = true;
        EXPECT_NO_THROW(parsed = ParseState(document.dump(), read, error)) << document.dump();
        EXPECT_FALSE(parsed) << document.dump();
        EXPECT_FALSE(error.empty()) << document.dump();
    }
}

TEST(CollectionState, NamesThatDoNotSurviveTheirReadableFormAreFoundAgain) {
    // NEC's row 13 and the IBM extensions spell characters of other rows a
    // second way; 0xFF and a lone lead byte form no character.
    const std::string names[] = {"SV\x87\x90", "\xEE\xE0SV", "SV\xFF", "SV\x81", "\x81\xE0"};
    CollectionState state;
    state.events = CollectionState::EventsMark{"2049:77", 123456789012u};
    for (std::uint32_t i = 0; i < 5; ++i) state.Set(names[i], "system", engine::LogBookmark{i + 1, i});
    const std::string text = WriteState(state);
    CollectionState read;
    std::string error;
    ASSERT_TRUE(ParseState(text, read, error)) << error;
    EXPECT_EQ(read.events, state.events);
    ASSERT_EQ(read.Entries().size(), 5u);
    for (std::uint32_t i = 0; i < 5; ++i) EXPECT_EQ(read.Find(names[i], "system"), (engine::LogBookmark{i + 1, i})) << i;
    EXPECT_EQ(WriteState(read), text);

    // A file of an earlier version kept the readable name only, and a
    // second entry when the next run did not find the first: the later one
    // is the newer, and either spelling finds it.
    const std::string earlier =
        "{\"kind\":\"quorvin-collection-state\",\"version\":1,\"logs\":[\n"
        "{\"computer\":\"SV\xE2\x89\x92\",\"log\":\"system\",\"record\":5,\"written\":5},\n"
        "{\"computer\":\"SV\xE2\x89\x92\",\"log\":\"system\",\"record\":9,\"written\":9}\n]}\n";
    ASSERT_TRUE(ParseState(earlier, read, error)) << error;
    EXPECT_FALSE(read.events);
    EXPECT_EQ(read.Find("SV\x87\x90", "system"), (engine::LogBookmark{9, 9}));
    EXPECT_EQ(read.Find("sv\x81\xE0", "system"), (engine::LogBookmark{9, 9}));
    read.Set("SV\x87\x90", "system", engine::LogBookmark{10, 10});
    ASSERT_EQ(read.Entries().size(), 1u);
    EXPECT_EQ(read.Entries()[0].computer, "SV\x87\x90");
}

}  // namespace
}  // namespace quorvin::run
