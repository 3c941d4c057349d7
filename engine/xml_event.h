#pragma once
// Events of the XML event log (.evtx files) as rows of the list: the
// columns the classic logs fill, and the facts of the record for the
// outputs that name every field.

#include <cstdint>
#include <string_view>

#include "engine/collection_view.h"
#include "formats/evtx/evtx.h"

namespace quorvin::engine {

// The classic event type the list shows for an event: the audit keywords
// first (audit success, audit failure), then the level: 1 and 2 error, 3
// warning, anything else (0, 4, 5, none) information.
std::uint16_t XmlEventType(std::u16string_view level, std::u16string_view keywords);

// Seconds since 1970-01-01 00:00 UTC of "YYYY-MM-DDTHH:MM:SS[.fffffff]Z";
// false when the text is no such time.
bool ParseXmlTime(std::u16string_view text, std::int64_t& seconds);

// The seconds of the event's creation (TimeCreated, else the time the
// record was written).
std::int64_t XmlEventTime(const evtx::Record& record);

// The row of one record, its time shown as `timeText`. Texts are converted
// to CP932 for the list; the message is `message` when it is given (the
// text the event's computer formats), else the text rendered into the
// record (RenderingInfo, as forwarded events carry it), else the text the
// list gives an event whose description is not found, with the data values
// in order. With `withFacts` the row carries the record's fields in UTF-8.
EventRow XmlEventRow(const evtx::Record& record, const std::string& timeText, bool withFacts,
                     std::u16string_view message = {});

}  // namespace quorvin::engine
