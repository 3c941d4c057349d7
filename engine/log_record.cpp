#include "engine/log_record.h"

#include <cstring>

#include "platform/bytes.h"

namespace quorvin::engine {

namespace {

constexpr std::size_t kFixedPart = 56;  // EVENTLOGRECORD up to and excluding the source name

using bytes::LoadU16;
using bytes::LoadU32;

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
    const std::uint32_t length = LoadU32(data);
    if (length < kFixedPart || length % 4 != 0 || length > size) return false;

    record.length = length;
    record.timeGenerated = LoadU32(data + 12);
    record.eventId = LoadU32(data + 20);
    record.eventType = LoadU16(data + 24);
    const std::uint16_t stringCount = LoadU16(data + 26);
    record.eventCategory = LoadU16(data + 28);
    const std::uint32_t stringOffset = LoadU32(data + 36);

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
