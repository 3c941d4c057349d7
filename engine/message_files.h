#pragma once
// Finding an event source's message files: the registry values that name
// them, the remote system root put into their paths, and the paths mapped
// onto the computer's administrative drive shares.

#include <cstdint>
#include <string>
#include <vector>

#include "formats/messages/format_message.h"
#include "services/publishers.h"
#include "services/services.h"

namespace quorvin::engine {

// "SYSTEM\CurrentControlSet\Services\EventLog\<log>\<source>".
std::string SourceKeyPath(const std::string& logName, const std::string& source);

// Where Windows Vista and later register a manifest-based provider by the
// ProviderGuid its event source key names (services/publishers.h).
using platform::PublisherKeyPath;

// Reads a value as text, whatever its registry type, through a 1040-byte
// buffer: a longer value fails with 234. The text ends at its first NUL.
platform::Error ReadValueText(platform::RegistryKey& key, const std::string& name, std::string& text);

// Turns a registry value into the list of message files: a value without a
// backslash gets "%SystemRoot%\System32\" in front; every exact
// "%SystemRoot%" takes the remote system root when it is known; the other
// variables take this machine's environment. The result holds at most
// 1043 bytes; a longer expansion leaves the unexpanded text when that fits,
// else nothing.
std::string ExpandSystemRoot(const std::string& value, const std::string& systemRoot,
                             platform::SystemService& system);

// The names of a list separated by ";", empty names left out.
std::vector<std::string> SplitFileList(const std::string& list);

// The name after the last ";" of a list; empty when the list has no ";".
std::string LastFileOfList(const std::string& list);

// "C:\WINNT\x.dll" on "\\SV1" becomes "\\SV1\C$\WINNT\x.dll": the name's
// first character is taken as its drive letter, the colon is dropped. On
// this machine (an empty computer) the name stays as it is.
std::string MapToShare(const std::string& computer, const std::string& name);

// The message number of a parameter string "%%1234" (formats/messages).
using messages::ParameterNumber;

// Replaces every exact occurrence of `from` by `to`.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to);

}  // namespace quorvin::engine
