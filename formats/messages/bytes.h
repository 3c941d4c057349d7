#pragma once
// The byte helpers of the message module reader: those of platform/bytes.h.

#include "core/bytes.h"

namespace quorvin::messages {
namespace bytes = quorvin::bytes;
}  // namespace quorvin::messages
