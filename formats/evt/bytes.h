#pragma once
// The byte helpers of the event log file code: those of platform/bytes.h.

#include "core/bytes.h"

namespace quorvin::evt {
namespace bytes = quorvin::bytes;
}  // namespace quorvin::evt
