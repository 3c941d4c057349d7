#pragma once
// Where the 32-bit program finds files on 64-bit Windows, which paths
// reach other computers, and how an account's typed name splits. Portable
// rules over CP932 texts; the win32 services apply them
// (services/win32/messages.cpp, system.cpp, channels.cpp).

#include <string>
#include <string_view>

namespace quorvin::win32 {

// A path that reaches another computer: "\\NAME\SHARE\..." or
// "\\?\UNC\NAME\SHARE\...". Device paths ("\\.\", "\\?\C:\") are local.
bool IsNetworkPath(const std::string& path);

// Under WOW64, Windows redirects a 32-bit program's opening of a file in
// the system folder (GetSystemDirectory: "C:\WINDOWS\system32") to
// SysWOW64, where files of the 64-bit system, drivers among them, are not.
// The alias "Sysnative" beside it reaches the real folder. Gives the path
// with the system folder at its start replaced by that alias, or the path
// unchanged when it does not start with the system folder (case ignored).
std::string NativeSystemPath(const std::string& path, const std::string& systemDirectory);

// Under WOW64 a 32-bit program's environment names the 32-bit folders:
// %ProgramFiles% and %CommonProgramFiles% are the "(x86)" ones. The native
// folders are in %ProgramW6432% and %CommonProgramW6432%. Gives the text
// with each reference to the first two (case ignored) replaced by the
// second two; %ProgramFiles(x86)% and everything else stay as they are.
std::string NativeEnvironmentReferences(const std::string& text);

// A user name as typed, split as EVT_RPC_LOGIN takes it: "DOMAIN\user"
// gives the domain and the user at the first backslash that is a character
// of its own (a trail byte 5C of a double-byte character is none);
// "user@domain" and "user" stay whole, with no domain.
struct AccountName {
    std::string_view domain;
    std::string_view user;
};
AccountName SplitAccountName(std::string_view typed);

}  // namespace quorvin::win32
