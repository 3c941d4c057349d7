#pragma once
// A provider manifest written as text, made into the resource WEVT_TEMPLATE
// of a message DLL at build time (quorvin-manifest). The texts stay in the
// DLL's .mc source; the manifest names them by message number.
//
//   # a comment
//   provider {GUID} NAME [message=N]
//     channel VALUE NAME [message=N]
//     level VALUE NAME [message=N]
//     task VALUE NAME [message=N]
//     opcode VALUE NAME [task=N] [message=N]
//     keyword 0xMASK NAME [message=N]
//     map NAME [bitmap]          followed by its entries:
//       entry VALUE message=N
//     template NAME              followed by its data items, %1 first:
//       data NAME TYPE [map=NAME]
//     event ID version=N [channel=N] [level=N] [task=N] [opcode=N] [keywords=0xMASK] [message=N] [template=NAME]
//
// Numbers are decimal or hexadecimal after "0x". TYPE is one of string,
// ansistring, int8, uint8, int16, uint16, int32, uint32, int64, uint64,
// float, double, boolean, binary, guid, sizet, filetime, systemtime, sid,
// hexint32, hexint64. An event names a template and an item a map given
// above it in the same provider.

#include "formats/wevt/wevt.h"

#include <string>
#include <string_view>

namespace quorvin::network {

// Parses the UTF-8 text; false with `error` = "line N: what" at the first fault.
bool ParseManifestText(std::string_view utf8, wevt::Manifest& manifest, std::string& error);

}  // namespace quorvin::network
