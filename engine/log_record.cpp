#include "engine/log_record.h"

#include <cstring>

namespace quorvin::engine {

namespace {

constexpr std::size_t kFixedPart = 56;  // EVENTLOGRECORD up to and excluding the source name

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The NUL-terminated text at `offset`, cut at `end`; `next` gets the offset after its terminator.
std::string TextAt(const std::uint8_t* data, std::size_t offset, std::size_t end, std::size_t& next) {
    const auto* start = data + offset;
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(start, 0, end - offset));
    const std::size_t length = nul ? static_cast<std::size_t>(nul - start) : end - offset;
    next = nul ? offset + length + 1 : end;
    return std::string(reinterpret_cast<const char*>(start), length);
}

}  // namespace

bool ParseLogRecord(const std::uint8_t* data, std::size_t size, LogRecord& record) {
    if (size < kFixedPart) return false;
    const std::uint32_t length = U32(data);
    if (length < kFixedPart || length % 4 != 0 || length > size) return false;

    record.length = length;
    record.timeGenerated = U32(data + 12);
    record.eventId = U32(data + 20);
    record.eventType = U16(data + 24);
    const std::uint16_t stringCount = U16(data + 26);
    record.eventCategory = U16(data + 28);
    const std::uint32_t stringOffset = U32(data + 36);

    std::size_t next = 0;
    record.source = TextAt(data, kFixedPart, length, next);

    record.strings.clear();
    const std::size_t count = stringCount < kMaxInsertionStrings ? stringCount : kMaxInsertionStrings;
    std::size_t offset = stringOffset;
    for (std::size_t i = 0; i < count; ++i) {
        if (offset >= length) {
            record.strings.emplace_back();
            continue;
        }
        record.strings.push_back(TextAt(data, offset, length, next));
        offset = next;
    }
    return true;
}

}  // namespace quorvin::engine
