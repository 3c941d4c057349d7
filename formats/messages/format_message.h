#pragma once
// FormatMessage over message tables read by our own code: the message of a
// number looked up in a module and, failing that, in the system's table,
// then formatted with the insert rules of format.h.
//
// Our system table holds the Japanese texts a Japanese Windows gives for the
// error codes the collector and the simulated network meet.

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "formats/messages/format.h"
#include "formats/messages/message_table.h"

namespace quorvin::messages {

// More error codes of FormatMessage.
namespace error {
constexpr platform::Error kNoWorkDone = 235;  // ERROR_NO_WORK_DONE: the text came out empty
}

// The built-in system message table (Japanese, language 0x0411).
const MessageTable& SystemMessageTable();

// FormatMessage with FROM_HMODULE (`module` non-null), FROM_SYSTEM (`system`
// non-null) and ARGUMENT_ARRAY (`arguments`, null for none): the message
// `id` in `language` from the module; when the module has no such message
// (for whatever reason), from the system table, where an HRESULT of severity
// error and facility Win32 (0x8007xxxx) is taken as its Win32 code. ANSI
// entries are decoded with options.decodeNarrow. 0 and the text; the
// lookup's error (the system's when both lookups failed); 87 or 122 from the
// formatting; 235 (ERROR_NO_WORK_DONE) when the text comes out empty; 87
// when neither table is given.
platform::Error FormatTableMessage(const MessageTable* module, const MessageTable* system, std::uint32_t id,
                                   std::uint16_t language, const Locale& locale,
                                   const std::vector<Argument>* arguments, const FormatOptions& options,
                                   std::u16string& text);

// The collector's FormatMessageA(ALLOCATE_BUFFER | FROM_HMODULE | FROM_SYSTEM
// | ARGUMENT_ARRAY, module, id, 1024, ..., arguments) on a Japanese Windows
// (32-bit process, ANSI code page 932), with an array of CP932 strings as
// arguments (null: no array) and our system table. 0 and the CP932 text (up
// to its first NUL, as the caller's C string); or the error code.
//
// The call's minimum buffer size is not applied: FormatMessageA refuses any
// size of 32,768 or more with 87, also for an allocated buffer, so the
// 320,000 the collector passes would fail every lookup. The text itself is
// limited as FormatMessageA limits it (kAnsiMaxLength, else 122).
//
// A numeric conversion of an argument shows its address on Windows; here
// entry i (from 0) has the made-up address kArgumentAddress + 16 * i.
constexpr std::uint32_t kArgumentAddress = 0x00150000;
platform::Error FormatMessageA(const MessageTable* module, std::uint32_t id, const std::vector<std::string>* arguments,
                               std::string& text);
// The same over several module tables, each tried in turn for the number
// (a neutral file's language files, then the file's own table), then
// `system` (null: none; the caller then asks the system itself). `found`,
// when given, tells whether a table held the number: a failure is then the
// formatting's. `locale`: the languages of the machine the lookup runs on.
platform::Error FormatMessageA(const std::vector<const MessageTable*>& modules, const MessageTable* system,
                               std::uint32_t id, const std::vector<std::string>* arguments, std::string& text,
                               bool* found = nullptr, const Locale& locale = Locale{});

// The message number of a parameter string "%%1234": the text after the two
// percent signs read as the Windows C library's strtol reads it (leading
// white space, a sign, decimal digits; a 32-bit long that saturates at
// its limits; 0 when no digit follows), taken as an unsigned 32-bit
// number. False when the string does not start with "%%".
bool ParameterNumber(const std::string& text, std::uint32_t& number);

// FormatMessageA(ALLOCATE_BUFFER | FROM_SYSTEM | IGNORE_INSERTS, code, 1024):
// the system text of an error code in CP932 as it comes (normally ending in
// "\r\n", inserts left as "%1"); empty when the table has no text for it.
std::string SystemErrorText(std::uint32_t code);

}  // namespace quorvin::messages
