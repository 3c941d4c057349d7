#pragma once
// An event as the event log API renders it as XML text (EvtRenderEventXml):
// read into the Record a file's binary XML gives, with the same texts, so
// that a channel read over the network and a saved .evtx file give the
// same rows.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/evtx/evtx.h"

namespace quorvin::evtx {

// Elements within one another that an event's XML may have.
constexpr std::size_t kMostXmlDepth = 64;

// Fills `record` from `units` UTF-16 units of XML at `utf16le` (little
// endian, any alignment): the System fields and the event data as
// RecordSink takes them from binary XML, `id` from EventRecordID (0 when
// it holds no decimal number), `written` and `offset` 0.
// A tag that does not end, an end tag that closes another element, a
// quote or an entity that does not end, or more than kMostXmlDepth
// elements within one another: false, with `error` naming it and where.
bool ReadEventXml(const std::uint8_t* utf16le, std::size_t units, Record& record, std::string& error);

}  // namespace quorvin::evtx
