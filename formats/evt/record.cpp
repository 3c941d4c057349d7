// EVENTLOGRECORD in its two layouts: UTF-16LE strings (on disk and from
// ReadEventLogW) and CP932 strings (from ReadEventLogA). Both share every
// offset rule; only the width of a character differs.

#include <algorithm>
#include <string_view>

#include "core/cp932.h"
#include "formats/evt/bytes.h"
#include "formats/evt/evt.h"

namespace quorvin::evt {

namespace {

using bytes::Fits;
using bytes::LoadU16;
using bytes::LoadU32;
using bytes::StoreU16;
using bytes::StoreU32;

// Field offsets of the fixed part.
constexpr std::size_t kLength = 0, kReserved = 4, kRecordNumber = 8, kTimeGenerated = 12, kTimeWritten = 16,
                      kEventId = 20, kEventType = 24, kNumStrings = 26, kEventCategory = 28,
                      kReservedFlags = 30, kClosingRecordNumber = 32, kStringOffset = 36, kUserSidLength = 40,
                      kUserSidOffset = 44, kDataLength = 48, kDataOffset = 52;

constexpr std::size_t kMostStrings = 0xFFFF;

enum class Width { kAnsi = 1, kWide = 2 };

std::string_view UpToNul(const std::string& s) { return std::string_view(s.data(), std::min(s.size(), s.find('\0'))); }

void AppendText(std::vector<std::uint8_t>& out, const std::string& cp932, Width width) {
    const std::string_view text = UpToNul(cp932);
    if (width == Width::kAnsi) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
        return;
    }
    // ASCII is the same in both, and most of a log's text is ASCII.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (char c : text) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(0);
        }
        out.push_back(0);
        out.push_back(0);
        return;
    }
    for (char16_t c : text::ToUtf16(text)) {
        // A NUL can only come from a conversion fault; it would end the text early.
        if (c == 0) continue;
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

void PadTo4(std::vector<std::uint8_t>& out) { out.resize(static_cast<std::size_t>(bytes::RoundUp(out.size(), 4)), 0); }

std::vector<std::uint8_t> BuildRecord(const Event& e, Width width) {
    std::vector<std::uint8_t> out(kFixedRecordSize, 0);
    AppendText(out, e.sourceName, width);
    AppendText(out, e.computerName, width);
    PadTo4(out);
    const std::size_t sidOffset = out.size();
    out.insert(out.end(), e.userSid.begin(), e.userSid.end());
    const std::size_t stringOffset = out.size();
    const std::size_t numStrings = std::min(e.strings.size(), kMostStrings);
    for (std::size_t i = 0; i < numStrings; ++i) AppendText(out, e.strings[i], width);
    const std::size_t dataOffset = out.size();
    out.insert(out.end(), e.data.begin(), e.data.end());
    PadTo4(out);
    const auto length = static_cast<std::uint32_t>(out.size() + 4);
    bytes::AppendU32(out, length);

    std::uint8_t* p = out.data();
    StoreU32(p + kLength, length);
    StoreU32(p + kReserved, kSignature);
    StoreU32(p + kRecordNumber, e.recordNumber);
    StoreU32(p + kTimeGenerated, e.timeGenerated);
    StoreU32(p + kTimeWritten, e.timeWritten);
    StoreU32(p + kEventId, e.eventId);
    StoreU16(p + kEventType, e.eventType);
    StoreU16(p + kNumStrings, static_cast<std::uint16_t>(numStrings));
    StoreU16(p + kEventCategory, e.eventCategory);
    StoreU32(p + kStringOffset, static_cast<std::uint32_t>(stringOffset));
    StoreU32(p + kUserSidLength, static_cast<std::uint32_t>(e.userSid.size()));
    StoreU32(p + kUserSidOffset, static_cast<std::uint32_t>(sidOffset));
    StoreU32(p + kDataLength, static_cast<std::uint32_t>(e.data.size()));
    StoreU32(p + kDataOffset, static_cast<std::uint32_t>(dataOffset));
    return out;
}

// Reads a terminated text at `pos`, which moves past the terminator; a text
// without one ends at `end`.
std::string ReadText(const std::uint8_t* data, std::size_t end, std::size_t& pos, Width width) {
    if (width == Width::kAnsi) {
        const std::size_t start = pos;
        while (pos < end && data[pos] != 0) ++pos;
        std::string text(reinterpret_cast<const char*>(data + start), pos - start);
        if (pos < end) ++pos;
        return text;
    }
    // The units up to the terminator are counted first, then taken at once.
    const std::size_t start = pos;
    bool ascii = true;
    bool terminated = false;
    while (Fits(pos, 2, end)) {
        const char16_t c = LoadU16(data + pos);
        pos += 2;
        if (c == 0) {
            terminated = true;
            break;
        }
        ascii = ascii && c < 0x80;
    }
    const std::size_t units = (pos - start) / 2 - (terminated ? 1 : 0);
    if (!terminated) pos = std::max(pos, end);
    if (ascii) {
        std::string text(units, '\0');
        for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<char>(data[start + 2 * i]);
        return text;
    }
    std::u16string text(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(LoadU16(data + start + 2 * i));
    return text::FromUtf16(text);
}

std::optional<Event> ParseRecord(const std::uint8_t* data, std::size_t size, Width width) {
    if (data == nullptr || !Fits(0, kFixedRecordSize, size)) return std::nullopt;
    const std::uint32_t length = LoadU32(data + kLength);
    if (length < kShortestRecord || length % 4 != 0 || length > size) return std::nullopt;
    if (LoadU32(data + kReserved) != kSignature) return std::nullopt;
    if (LoadU32(data + length - 4) != length) return std::nullopt;
    const std::size_t body = length - 4;  // the parts end before the trailing length

    Event e;
    e.recordNumber = LoadU32(data + kRecordNumber);
    e.timeGenerated = LoadU32(data + kTimeGenerated);
    e.timeWritten = LoadU32(data + kTimeWritten);
    e.eventId = LoadU32(data + kEventId);
    e.eventType = LoadU16(data + kEventType);
    e.eventCategory = LoadU16(data + kEventCategory);

    std::size_t pos = kFixedRecordSize;
    e.sourceName = ReadText(data, body, pos, width);
    e.computerName = ReadText(data, body, pos, width);

    const std::uint32_t sidLength = LoadU32(data + kUserSidLength);
    const std::uint32_t sidOffset = LoadU32(data + kUserSidOffset);
    if (sidLength != 0 && Fits(sidOffset, sidLength, body))
        e.userSid.assign(data + sidOffset, data + sidOffset + sidLength);

    const std::uint32_t dataLength = LoadU32(data + kDataLength);
    const std::uint32_t dataOffset = LoadU32(data + kDataOffset);
    const bool hasData = dataLength != 0 && Fits(dataOffset, dataLength, body);
    if (hasData) e.data.assign(data + dataOffset, data + dataOffset + dataLength);

    // The strings run up to the data that follows them, or to the end.
    const std::uint32_t stringOffset = LoadU32(data + kStringOffset);
    const std::uint16_t numStrings = LoadU16(data + kNumStrings);
    if (stringOffset >= kFixedRecordSize && stringOffset <= body) {
        const std::size_t end = hasData && dataOffset >= stringOffset ? dataOffset : body;
        pos = stringOffset;
        // Each string takes at least its terminator: no more fit than that.
        const std::size_t unit = width == Width::kAnsi ? 1 : 2;
        e.strings.reserve(std::min<std::size_t>(numStrings, (end - pos + unit - 1) / unit));
        for (std::uint16_t i = 0; i < numStrings && pos < end; ++i) e.strings.push_back(ReadText(data, end, pos, width));
    }
    return e;
}

}  // namespace

bool operator==(const Event& a, const Event& b) {
    return a.recordNumber == b.recordNumber && a.timeGenerated == b.timeGenerated &&
           a.timeWritten == b.timeWritten && a.eventId == b.eventId && a.eventType == b.eventType &&
           a.eventCategory == b.eventCategory && a.sourceName == b.sourceName &&
           a.computerName == b.computerName && a.strings == b.strings && a.userSid == b.userSid &&
           a.data == b.data;
}

std::vector<std::uint8_t> ToWideRecord(const Event& event) { return BuildRecord(event, Width::kWide); }
std::vector<std::uint8_t> ToAnsiRecord(const Event& event) { return BuildRecord(event, Width::kAnsi); }

std::optional<Event> ParseWideRecord(const std::uint8_t* data, std::size_t size) {
    return ParseRecord(data, size, Width::kWide);
}

std::optional<Event> ParseAnsiRecord(const std::uint8_t* data, std::size_t size) {
    return ParseRecord(data, size, Width::kAnsi);
}

std::optional<std::vector<std::uint8_t>> ConvertWideRecord(const std::uint8_t* data, std::size_t size) {
    const std::optional<Event> event = ParseWideRecord(data, size);
    if (!event) return std::nullopt;
    return ConvertParsedRecord(*event, data, size);
}

std::vector<std::uint8_t> ConvertParsedRecord(const Event& event, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> ansi = ToAnsiRecord(event);
    if (data == nullptr || !Fits(0, kFixedRecordSize, size)) return ansi;
    StoreU16(ansi.data() + kReservedFlags, LoadU16(data + kReservedFlags));
    StoreU32(ansi.data() + kClosingRecordNumber, LoadU32(data + kClosingRecordNumber));
    return ansi;
}

bool ReadServiceRecord(const std::uint8_t* data, std::size_t size, ServiceRecord& record, bool origin) {
    if (data == nullptr || !Fits(0, kFixedRecordSize, size)) return false;
    const std::uint32_t length = LoadU32(data + kLength);
    if (length < kFixedRecordSize || length % 4 != 0 || length > size) return false;

    record.length = length;
    record.recordNumber = LoadU32(data + kRecordNumber);
    record.timeGenerated = LoadU32(data + kTimeGenerated);
    record.timeWritten = LoadU32(data + kTimeWritten);
    record.eventId = LoadU32(data + kEventId);
    record.eventType = LoadU16(data + kEventType);
    record.eventCategory = LoadU16(data + kEventCategory);
    const std::uint16_t numStrings = LoadU16(data + kNumStrings);
    const std::uint32_t stringOffset = LoadU32(data + kStringOffset);

    std::size_t pos = kFixedRecordSize;
    record.source = ReadText(data, length, pos, Width::kAnsi);
    record.computerName.clear();
    record.userSid.clear();
    if (origin) {
        record.computerName = ReadText(data, length, pos, Width::kAnsi);
        const std::uint32_t sidLength = LoadU32(data + kUserSidLength);
        const std::uint32_t sidOffset = LoadU32(data + kUserSidOffset);
        if (sidLength != 0 && Fits(sidOffset, sidLength, length))
            record.userSid.assign(data + sidOffset, data + sidOffset + sidLength);
    }

    record.strings.clear();
    const std::size_t count = std::min<std::size_t>(numStrings, kMostServiceStrings);
    pos = stringOffset;
    for (std::size_t i = 0; i < count; ++i) {
        if (pos >= length) {
            record.strings.emplace_back();
            continue;
        }
        record.strings.push_back(ReadText(data, length, pos, Width::kAnsi));
    }
    return true;
}

std::string SidText(const std::vector<std::uint8_t>& sid) {
    if (sid.size() < 8 || sid[0] != 1 || sid.size() != 8 + 4 * static_cast<std::size_t>(sid[1])) return {};
    std::uint64_t authority = 0;
    for (std::size_t i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
    std::string text = "S-1-" + std::to_string(authority);
    for (std::size_t i = 8; i < sid.size(); i += 4) text += "-" + std::to_string(LoadU32(sid.data() + i));
    return text;
}

}  // namespace quorvin::evt
