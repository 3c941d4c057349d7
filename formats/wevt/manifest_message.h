#pragma once
// The texts of an event of a manifest-based provider (Windows Vista and
// later), as EvtFormatMessage gives them: the event's message from the
// provider's message table with %1..%n taken from the event's data in
// template order, value and bit maps applied to the items that name one,
// "%%n" values replaced by parameter texts as the classic formatter
// replaces them; and the names of the event's level, task, opcode, channel
// and keywords, from the provider's tables and, behind them, the standard
// ones every provider shares.

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/messages/message_table.h"
#include "formats/wevt/wevt.h"

namespace quorvin::wevt {

namespace manifest_error {
constexpr platform::Error kMessageNotFound = 15027;  // ERROR_EVT_MESSAGE_NOT_FOUND: no such event or message
constexpr platform::Error kLocaleNotFound = 15033;   // ERROR_EVT_MESSAGE_LOCALE_NOT_FOUND: no table to read
}  // namespace manifest_error

// Where texts come from. The tables are tried in order for a number.
struct ManifestTexts {
    // The provider's MessageFileName: its language (.mui) files' tables,
    // then the file's own.
    std::vector<const messages::MessageTable*> messages;
    // ParameterFileName's tables, for "%%n" values; the system's table
    // after them (null: none).
    std::vector<const messages::MessageTable*> parameters;
    const messages::MessageTable* system = nullptr;
    messages::Locale locale;
};

// The event's definition for a record: with a version, the definition of
// that version (null when there is none); without one (a classic record),
// the newest version whose template has `valueCount` data items, else the
// newest version. Null when the provider defines no such event.
const wevt::Event* ChooseEvent(const wevt::Provider& provider, std::uint16_t id, int version, std::size_t valueCount);

struct ManifestMessage {
    platform::Error error = platform::error::kSuccess;  // of the message; the names are given whatever it is
    std::u16string message;
    std::u16string level, task, opcode, channel;
    std::vector<std::u16string> keywords;  // one for each keyword bit that has a name, low bits first
};

// The texts of event `id` (`version`, -1 for none) with the data `values`
// (the texts the .evtx reader gives, in template order). The names come
// from the chosen definition's level, task, opcode, channel and keywords.
ManifestMessage FormatManifestEvent(const wevt::Provider& provider, const ManifestTexts& texts, std::uint16_t id,
                                    int version, const std::vector<std::u16string>& values);

// The value of a data item with a map: the entry's text for a value map,
// the texts of the entries whose bits are set joined with a blank for a
// bit map; the value itself when no entry matches or it is no number.
std::u16string MapValue(const wevt::Map& map, const ManifestTexts& texts, const std::u16string& value);

// The standard names (Japanese, as Windows shows them) of a level (1 to 5),
// an opcode (0 to 9, 240) and a keyword bit (48 to 55, as a mask); empty for
// any other.
std::u16string StandardLevel(std::uint64_t level);
std::u16string StandardOpcode(std::uint64_t opcode);
std::u16string StandardKeyword(std::uint64_t mask);

}  // namespace quorvin::wevt
