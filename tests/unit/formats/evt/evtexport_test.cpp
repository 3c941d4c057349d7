// The writer against an independent reader: evtexport (libevt-utils) must
// read back what the writer wrote and what our reader reads.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/evt_test_util.h"
#include "formats/evt/evt.h"
#include "core/cp932.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace quorvin::evt {
namespace {

using namespace testing;

#ifndef _WIN32

// One event as evtexport prints it: "Name\t\t: value" lines, a blank line after each.
using Printed = std::map<std::string, std::string>;

std::vector<Printed> RunEvtexport(const std::filesystem::path& file) {
    const std::string command = "evtexport -c windows-932 '" + file.string() + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    pclose(pipe);

    std::vector<Printed> events;
    Printed current;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t stop = output.find('\n', start);
        if (stop == std::string::npos) stop = output.size();
        const std::string line = output.substr(start, stop - start);
        start = stop + 1;
        const std::size_t colon = line.find("\t: ");
        if (colon == std::string::npos) {
            if (!current.empty()) events.push_back(std::move(current));
            current.clear();
            continue;
        }
        std::string name = line.substr(0, colon);
        while (!name.empty() && name.back() == '\t') name.pop_back();
        current[name] = line.substr(colon + 3);
    }
    if (!current.empty()) events.push_back(std::move(current));
    return events;
}

std::string PrintedTime(std::uint32_t t) {
    if (t == 0) return "Not set (0)";
    const std::time_t time = t;
    std::tm tm{};
    gmtime_r(&time, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%b %d, %Y %H:%M:%S UTC", &tm);
    return text;
}

// The number in the last parentheses: "Error event (1)" gives "1".
std::string InParentheses(const std::string& text) {
    const std::size_t open = text.rfind('(');
    const std::size_t close = text.rfind(')');
    return open != std::string::npos && close > open ? text.substr(open + 1, close - open - 1) : text;
}

// How many of the log's records evtexport shows. It goes on at 0x30 only
// from inside a record split across the end of the buffer: it stops where
// a record ends exactly at the end, and at the padding the service leaves
// before the end when a record's fixed part does not fit there.
std::size_t Shown(const ParsedLog& log, std::size_t fileSize) {
    for (std::size_t i = 1; i < log.records.size(); ++i) {
        const LogRecord& before = log.records[i - 1];
        if (log.records[i].offset == kHeaderSize && before.offset + before.raw.size() <= fileSize) return i;
    }
    return log.records.size();
}

struct Compared {
    bool padded = false;
    bool split = false;
};

Compared ExpectSameAsEvtexport(const std::vector<std::uint8_t>& image, const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quorvin-evt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / (name + ".evt");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    const std::vector<Printed> printed = RunEvtexport(file);
    std::filesystem::remove_all(dir);

    const ParsedLog log = Parse(image);
    EXPECT_EQ(log.error, 0u) << log.message;
    Compared compared;
    const std::size_t shown = Shown(log, image.size());
    compared.padded = shown < log.records.size();
    EXPECT_EQ(printed.size(), shown) << name;
    for (std::size_t i = 0; i < printed.size() && i < shown; ++i) {
        const Event& e = log.records[i].event;
        if (log.records[i].offset + log.records[i].raw.size() > image.size()) compared.split = true;
        Printed p = printed[i];
        SCOPED_TRACE(name + " record " + std::to_string(e.recordNumber));
        EXPECT_EQ(p["Event number"], std::to_string(e.recordNumber));
        EXPECT_EQ(InParentheses(p["Event identifier"]), std::to_string(e.eventId));
        EXPECT_EQ(InParentheses(p["Event type"]), std::to_string(e.eventType));
        EXPECT_EQ(p["Event category"], std::to_string(e.eventCategory));
        EXPECT_EQ(p["Creation time"], PrintedTime(e.timeGenerated));
        EXPECT_EQ(p["Written time"], PrintedTime(e.timeWritten));
        EXPECT_EQ(p["Source name"], text::Cp932ToUtf8(e.sourceName));
        EXPECT_EQ(p["Computer name"], text::Cp932ToUtf8(e.computerName));
        EXPECT_EQ(p["Number of strings"], std::to_string(e.strings.size()));
        for (std::size_t s = 0; s < e.strings.size(); ++s)
            EXPECT_EQ(p["String: " + std::to_string(s + 1)], text::Cp932ToUtf8(e.strings[s]));
    }
    return compared;
}

#endif

TEST(EvtExport, IndependentReaderAgrees) {
#ifdef _WIN32
    GTEST_SKIP() << "evtexport runs on Linux only";
#else
    if (std::system("evtexport -h >/dev/null 2>&1") != 0) GTEST_SKIP() << "evtexport is not installed";

    std::vector<Event> events = MakeEvents(1200);
    events[3].sourceName = "ｲﾍﾞﾝﾄ ﾛｸﾞ";
    events[4].strings = {"ドライバ \\Device\\Harddisk0 で不良ブロックが検出されました。", "ソ表能"};
    events[5].computerName = "サーバー０１";

    Compared plain = ExpectSameAsEvtexport(WriteLogFile(std::vector<Event>(events.begin(), events.begin() + 50)), "plain");
    EXPECT_FALSE(plain.padded);

    // Every size from here on ends the buffer somewhere else in a record:
    // split records, padding, and EOF records split across the end.
    int splitWhole = 0, padded = 0;
    WriteOptions options;
    for (std::uint32_t size = 0x1000; size < 0x1100; size += 4) {
        options.maxSize = size;
        const auto image = WriteLogFile(std::vector<Event>(events.begin(), events.begin() + 60), options);
        ASSERT_NE(U32(image, kFlags) & flag::kWrap, 0u);
        const Compared c = ExpectSameAsEvtexport(image, "size" + std::to_string(size));
        if (c.split && !c.padded) ++splitWhole;
        if (c.padded) ++padded;
    }
    EXPECT_GT(splitWhole, 5);
    EXPECT_GT(padded, 5);

    options.maxSize = 0x10000;
    ExpectSameAsEvtexport(WriteLogFile(events, options), "wrapped");
    // A service that stopped after the log had wrapped.
    options.dirty = true;
    options.dirtyHeaderEvents = 900;
    ExpectSameAsEvtexport(WriteLogFile(events, options), "dirty");
#endif
}

}  // namespace
}  // namespace quorvin::evt
