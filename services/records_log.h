#pragma once
// A log whose records are already at hand (a parsed .evt file, a log of
// the simulated network): served as ReadEventLogA serves a log backwards.

#include <memory>

#include "formats/evt/evt.h"
#include "services/services.h"

namespace quorvin::platform {

// Reads as `reader` does, and refuses as the service does a read larger
// than the protocol allows (87).
std::unique_ptr<EventLog> LogOfRecords(evt::BackwardReader reader);

}  // namespace quorvin::platform
