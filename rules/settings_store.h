#pragma once
// The settings store: the two registry operations the program uses and the
// load and save of the settings record under
// HKEY_LOCAL_MACHINE\SOFTWARE\ORVANTE\クォーヴィン. `root` is always this
// machine's HKEY_LOCAL_MACHINE as a RegistryKey.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/settings.h"
#include "services/services.h"

namespace quorvin::app {

// The key of every setting (CP932).
extern const char* const kSettingsKey;

// Room the callers of ReadRegistryValue give: texts (kinds 1, 2 and 4) and
// binary blocks (kind 3). A value that does not fit is not read.
constexpr std::uint32_t kTextValueRoom = 17016;
constexpr std::uint32_t kBinaryValueRoom = 128;

// Reads root\subKey\valueName; never shows a message. `kind` is the type the
// caller wants (4 REG_DWORD, 1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY).
// Returns 1 when read and 0 otherwise (`out` then empty). On success `out`
// holds, for kinds 1, 2 and 4, the text the 17,016-byte buffer holds up to
// its first zero byte (a REG_DWORD as its signed decimal text; a value whose
// actual type is a text is delivered as that text, unexpanded), and for
// kind 3 the value's bytes (at most 128).
int ReadRegistryValue(platform::RegistryKey& root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t kind, std::string& out);

// Where WriteRegistryValue reports a failure; `caption` is the code of the
// failed step ("注意 A01", ...), the text is always kRegistryErrorText with
// the error icon and no owner window.
class RegistryMessages {
public:
    virtual ~RegistryMessages() = default;
    virtual void ShowRegistryError(const std::string& caption) = 0;
};

extern const char* const kRegistryErrorText;

// Writes root\subKey\valueName, creating the key when missing. kind 4
// writes `number` as a 4-byte REG_DWORD; kind 1 writes `bytes` up to its
// first zero byte, with a terminator, as REG_SZ; kind 3 writes `bytes`
// whole as REG_BINARY; any other kind writes nothing. Error codes 2 and 6
// count as success. Returns 1 on success, 0 after one message.
int WriteRegistryValue(platform::RegistryKey& root, const std::string& subKey, const std::string& valueName,
                       std::uint32_t kind, std::uint32_t number, std::string_view bytes,
                       RegistryMessages& messages);

// The stored form of the password: 98 bytes, rows A (0-31), B (32-63) and
// C (64-95) of 32 bytes, a pad byte and a zero. A, C and the pad are bytes
// 20 to 35 from a generator seeded with `seed`; B[i] = password[i] + C[i] +
// A[i] modulo 256, the password zero-padded to 32 bytes.
constexpr std::size_t kPasswordBlockSize = 98;
std::string ScramblePassword(const char (&password)[32], std::uint32_t seed);
// The password of a block read from the registry (up to 128 bytes; missing
// bytes count as zero): byte i = B[i] - C[i] - A[i] for i 0 to 30, byte 31 zero.
void UnscramblePassword(std::string_view block, char (&password)[32]);

// Fills `settings` from the registry, reading the values in the order of
// the store; `now` is the start-up time (seconds since 1970). Missing or
// unreadable values take their defaults. ComputerListToSave is not read here.
// `key` is where they are kept: the program's own key, or a demo network's.
void LoadSettings(platform::RegistryKey& root, AppSettings& settings, std::int64_t now,
                  const std::string& key = kSettingsKey);

// Writes the 27 values of the record, one WriteRegistryValue each, in the
// order of the store (ParallelComputers is only read, never written); a
// failing value shows its message and the save goes on. `now` seeds the password scramble.
void SaveSettings(platform::RegistryKey& root, const AppSettings& settings, RegistryMessages& messages,
                  std::int64_t now, const std::string& key = kSettingsKey);

// LoadSettings and SaveSettings at the current time.
void LoadSettings(platform::RegistryKey& root, AppSettings& settings);
void SaveSettings(platform::RegistryKey& root, const AppSettings& settings, RegistryMessages& messages);

}  // namespace quorvin::app
