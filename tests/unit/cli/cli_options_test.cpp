#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <tuple>

using quorvin::cli::ParseCommandLine;

namespace {

quorvin::cli::ParsedCommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"--network", "net"});
    return ParseCommandLine(args);
}

}  // namespace

TEST(CliOptions, DefaultsCollectEverythingFromBeginningToEnd) {
    const auto parsed = Parse({"--computers", "sv1,\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88"});  // "ソフト" in UTF-8
    ASSERT_EQ(parsed.error, "");
    const auto& o = parsed.options;
    EXPECT_TRUE(o.system && o.security && o.application);
    EXPECT_TRUE(o.error && o.warning && o.information && o.success && o.failure);
    EXPECT_FALSE(o.from || o.to || o.user);
    EXPECT_EQ(o.computers, (std::vector<std::string>{"sv1", "ソフト"}));  // CP932 inside
    EXPECT_EQ(o.network, std::filesystem::path("net"));
}

TEST(CliOptions, ChoicesDatesAccountAndFiles) {
    const auto parsed = Parse({"--computer-list=list.txt", "--logs", "security", "--types=failure,success",
                               "--from", "2003-01-15", "--to", "2004-02-29", "--user", "admin", "--password", "pw",
                               "--csv", "out.csv", "--report", "r.txt", "--trace", "t.log", "--channels",
                               "Microsoft-Windows-PowerShell/Operational,Directory Service", "--channels=ForwardedEvents"});
    ASSERT_EQ(parsed.error, "");
    const auto& o = parsed.options;
    EXPECT_FALSE(o.system || o.application);
    EXPECT_TRUE(o.security && o.success && o.failure);
    EXPECT_FALSE(o.error || o.warning || o.information);
    ASSERT_TRUE(o.from && o.to);
    EXPECT_EQ(o.from->year * 10000 + o.from->month * 100 + o.from->day, 20030115);
    EXPECT_EQ(o.to->day, 29);
    EXPECT_EQ(*o.user, "admin");
    EXPECT_EQ(o.password, "pw");
    EXPECT_EQ(o.computerList, std::filesystem::path("list.txt"));
    EXPECT_EQ(o.trace, std::filesystem::path("t.log"));
    EXPECT_EQ(o.channels, (std::vector<std::string>{"Microsoft-Windows-PowerShell/Operational", "Directory Service",
                                                    "ForwardedEvents"}));
}

TEST(CliOptions, BadCommandLinesSayWhatIsWrong) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                                  // neither computers nor a list
        {"--computers", "a", "--computer-list", "l"},        // both
        {"--computers", "a,,b"},                             // empty name
        {"--computers"},                                     // no value
        {"--computers", "a", "--colour", "red"},             // unknown option
        {"--computers", "a", "--logs", "system,kernel"},     // unknown log
        {"--computers", "a", "--channels", "Setup,"},        // empty channel name
        {"--computers", "a", "--channels", "System"},        // a log, not a channel
        {"--computers", "a", "--channels", "Setup,setup"},   // twice
        {"--file", "a.evtx", "--channels", "Setup"},
        {"--computers", "a", "--types", "info"},             // unknown type
        {"--computers", "a", "--from", "2023-02-29"},        // no such day
        {"--computers", "a", "--from", "2023-13-01"},
        {"--computers", "a", "--to", "23-1-1"},
        {"--computers", "a", "--to", "2023-01-01x"},
        {"--computers", "a", "--password", "x"},             // password without user
        {"--computers", "a", "--user", std::string(31, 'u')},
        {"--computers", "a", "--csv", ""},                   // an empty name is no "standard output"
        {"--computers", "a", "--report="},
        {"--computers", "a", "--trace", ""},
        {"--computer-list", ""},
    };
    for (const auto& args : bad) {
        const auto parsed = Parse(args);
        EXPECT_FALSE(parsed.error.empty()) << ::testing::PrintToString(args);
    }
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
#ifndef _WIN32
    EXPECT_FALSE(ParseCommandLine({"--computers", "a"}).error.empty());  // no real network here
#endif
}

// Every option of the usage text that takes a value, given a value it
// refuses and given none: the message starts with the option and ends with
// the form it takes.
TEST(CliOptions, ValueErrorsNameTheOptionAndTheFormItTakes) {
    const std::string emoji = "\xF0\x9F\x98\x80";  // no CP932 form
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"--network", "", "DIR"},
        {"--computers", "a,,b", "NAME[,NAME...]"},
        {"--computer-list", "", "FILE"},
        {"--file", "", "FILE"},
        {"--logs", "system,kernel", "system,security,application"},
        {"--channels", "Setup,,Microsoft-Windows-PowerShell/Operational", "NAME[,NAME...]"},
        {"--types", "info", "error,warning,information,success,failure"},
        {"--from", "2023-02-29", "YYYY-MM-DD"},
        {"--to", "2027/01/01", "YYYY-MM-DD"},
        {"--user", std::string(31, 'u'), "at most 30 bytes"},
        {"--password", std::string(31, 'p'), "at most 30 bytes"},
        {"--credential", "", "NAME"},
        {"--csv", "", "FILE"},
        {"--report", "", "FILE"},
        {"--trace", "", "FILE"},
        {"--parallel", "65", "N (1 to 64)"},
        {"--event-ids", "7-", "7-11,-9"},
        {"--sources", emoji, "NAME[,NAME...]"},
        {"--text", emoji, "CP932"},
        {"--format", "xml", "csv|jsonl"},
        {"--out", "", "FILE"},
        {"--state", "", "FILE"},
        {"--summary", "", "FILE|-"},
    };
    std::set<std::string> tried;
    for (const auto& [option, value, form] : cases) {
        tried.insert(option);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--computers", "a", option, value}, std::vector<std::string>{"--computers", "a", option}}) {
            const std::string error = Parse(args).error;
            EXPECT_TRUE(error.rfind(option + ":", 0) == 0 || error.rfind(option + " ", 0) == 0) << error;
            EXPECT_NE(error.find("; give " + option + " "), std::string::npos) << error;
            EXPECT_NE(error.find(form), std::string::npos) << error;
        }
    }
    // No option of the usage text is left out.
    const std::string usage = quorvin::cli::UsageText();
    const std::regex withValue(R"((--[a-z-]+) [^|\s\]])");
    std::set<std::string> listed;
    for (auto it = std::sregex_iterator(usage.begin(), usage.end(), withValue); it != std::sregex_iterator(); ++it)
        listed.insert((*it)[1].str());
    EXPECT_EQ(listed, tried);
}
