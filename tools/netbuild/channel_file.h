#pragma once
// Writes the events of a "channel" block as an .evtx file, as the event log
// service of Windows Vista and later keeps a channel.

#include "tools/netbuild/description.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvin::network {

// The file of `channel`: its events oldest first (equal times in
// description order), record ids from 1, each with the System fields of
// its event and its data as named strings. One template serves every
// event with the same data names. Texts are CP932 and written as UTF-16.
std::vector<std::uint8_t> WriteChannelFile(const DescribedChannel& channel);

// The file name of a channel: "/" written %4, ".evtx" added.
std::string ChannelFileName(const std::string& channel);

}  // namespace quorvin::network
