#pragma once
// Events and file surgery shared by the event log tests.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/evt/bytes.h"
#include "formats/evt/evt.h"

namespace quorvin::evt::testing {

// Event `i` of a varied log: every type, SIDs, data, empty and Japanese
// strings, and record sizes that differ from one event to the next.
inline Event MakeEvent(std::uint32_t i) {
    Event e;
    e.timeGenerated = 1000000000 + i * 61;
    e.timeWritten = e.timeGenerated + (i % 3);
    e.eventId = 0xC0000000u + i;
    e.eventType = i % 6 == 5 ? 0 : static_cast<std::uint16_t>(1u << (i % 6));
    e.eventCategory = static_cast<std::uint16_t>(i % 7);
    e.sourceName = i % 2 ? "Service Control Manager" : "サービス";
    e.computerName = i % 3 ? "SV1" : "ｻｰﾊﾞ";
    e.strings.push_back("文字列" + std::to_string(i));
    e.strings.push_back(std::string(i % 41, 'x'));
    if (i % 4 == 0) e.strings.push_back("");
    if (i % 3 == 0) e.userSid = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    if (i % 5 == 0) e.data = {0xDE, 0xAD, static_cast<std::uint8_t>(i), 0x00, 0x4C};
    return e;
}

// Events 0 .. count-1, numbered 1 .. count by the writer.
inline std::vector<Event> MakeEvents(std::uint32_t count) {
    std::vector<Event> events;
    for (std::uint32_t i = 0; i < count; ++i) events.push_back(MakeEvent(i));
    return events;
}

// `event` as the writer numbers it.
inline Event Numbered(Event e, std::uint32_t number) {
    e.recordNumber = number;
    return e;
}

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) { return bytes::U32At(b.data(), b.size(), at); }
inline void SetU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { bytes::StoreU32(b.data() + at, v); }

// Header fields.
constexpr std::size_t kStartOffset = 16, kEndOffset = 20, kCurrentRecord = 24, kOldestRecord = 28, kMaxSize = 32,
                      kFlags = 36;

inline std::vector<std::uint32_t> Numbers(const ParsedLog& log) {
    std::vector<std::uint32_t> numbers;
    for (const LogRecord& r : log.records) numbers.push_back(r.event.recordNumber);
    return numbers;
}

inline std::vector<std::uint32_t> Range(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t n = first; n <= last; ++n) numbers.push_back(n);
    return numbers;
}

inline ParsedLog Parse(const std::vector<std::uint8_t>& file) { return ParseLogFile(file.data(), file.size()); }

}  // namespace quorvin::evt::testing
