#pragma once
// The alternate account stored in the Windows Credential Manager as a
// generic credential (cmdkey /generic:NAME /user:USER /pass).

#include <cstddef>
#include <string>

namespace quorvin::cli {

// The account of a credential: its user name (UTF-16, NUL-ended, may be
// null) and its password blob (`size` bytes of UTF-16, not necessarily
// NUL-ended) as CP932. False with a message naming the credential `name`
// (UTF-8), never its secret, when either is no text CP932 holds within
// 30 bytes.
bool AccountOfCredential(const std::string& name, const char16_t* user, const unsigned char* blob, std::size_t size,
                         std::string& userCp932, std::string& passwordCp932, std::string& error);

// Reads the generic credential `name` (UTF-8) of the user running the
// program. False with a message on any failure: no such credential, no
// Credential Manager (Linux), an account AccountOfCredential refuses.
bool ReadStoredAccount(const std::string& name, std::string& userCp932, std::string& passwordCp932,
                       std::string& error);

}  // namespace quorvin::cli
