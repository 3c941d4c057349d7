#pragma once
// The byte helpers of the message module reader: those of platform/bytes.h.

#include "platform/bytes.h"

namespace quorvin::messages {
namespace bytes = quorvin::bytes;
}  // namespace quorvin::messages
