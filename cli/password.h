#pragma once
// The alternate account's password: where it comes from, how a line typed
// without echo is edited, and how its text becomes the CP932 bytes the
// connection takes. Portable; the terminal and the credential store are
// reached through cli/terminal.h and cli/credential.h.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/secret.h"

namespace quorvin::cli {

struct CliOptions;

// Longest user name and password the alternate account takes, in CP932 bytes.
constexpr std::size_t kMostAccountBytes = 30;

enum class PasswordSource {
    kNone,           // no alternate account
    kCommandLine,    // --password TEXT
    kStandardInput,  // --password -: one line of standard input
    kPrompt,         // --user alone on a terminal: asked without echo
    kCredential,     // --credential NAME: user and password from the credential store
    kRefused,        // --user alone without a terminal to ask on
};

// Where the password of a parsed command line comes from, given whether
// standard input is a terminal.
PasswordSource ChoosePasswordSource(const CliOptions& options, bool inputIsTerminal);

// The message of kRefused (UTF-8): how to give the password instead.
std::string NoTerminalForPasswordMessage();

// One key typed at the password prompt, as bytes of UTF-8.
enum class KeyResult { kMore, kDone, kCancelled };
// Enter ends the line; Ctrl+C, or Ctrl+D on an empty line, cancels it;
// Backspace and Delete take back the last character, Ctrl+U the whole
// line; other control keys are ignored. At most `limit` bytes are kept:
// a longer line is kept whole up to the limit and refused by the caller.
KeyResult TypeKey(std::string& line, unsigned char key, std::size_t limit);

// The password (or user name) `what` of a UTF-8 or UTF-16 text as CP932;
// false with a message naming `what`, never the text, when CP932 cannot
// hold a character of it, it holds a NUL, or it is longer than
// kMostAccountBytes.
bool AccountTextFromUtf8(std::string_view utf8, const char* what, std::string& cp932, std::string& error);
bool AccountTextFromUtf16(std::u16string_view utf16, const char* what, std::string& cp932, std::string& error);

// Overwrites the bytes of a text that held a secret, then empties it.
void Wipe(std::string& secret);
void Wipe(std::u16string& secret);
using text::WipeBytes;

}  // namespace quorvin::cli
