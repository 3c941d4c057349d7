#pragma once
// A minimal resource-only PE32 DLL holding one message table, for tests that
// need a message module file without the resource compiler.

#include "formats/messages/message_table.h"
#include "formats/messages/resource_image.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::network::test {

inline std::vector<std::uint8_t> MessageDll(const std::vector<std::pair<std::uint32_t, std::u16string>>& texts,
                                            std::uint16_t language = 0x0409) {
    messages::ResourceImageSpec spec;
    spec.tables = {{language, messages::EncodeMessageData(texts)}};
    return messages::WriteResourceImage(spec);
}

}  // namespace quorvin::network::test
