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

}  // namespace
}  // namespace quorvin::run
