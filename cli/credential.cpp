#include "cli/credential.h"

#include <cstring>

#include "cli/password.h"

#ifdef _WIN32
#include <windows.h>
#include <wincred.h>
#endif

namespace quorvin::cli {

bool AccountOfCredential(const std::string& name, const char16_t* user, const unsigned char* blob, std::size_t size,
                         std::string& userCp932, std::string& passwordCp932, std::string& error) {
    const std::string credential = "the credential '" + name + "'";
    if (!user || !*user) {
        error = credential + " has no user name";
        return false;
    }
    if (size % 2 != 0) {
        error = "the password of " + credential + " is no text (an odd number of bytes)";
        return false;
    }
    std::u16string password(size / 2, u'\0');
    if (size != 0) std::memcpy(password.data(), blob, size);
    // Some programs store the text with its NUL.
    while (!password.empty() && password.back() == u'\0') password.pop_back();
    const std::string userWhat = "the user name of " + credential;
    const std::string passwordWhat = "the password of " + credential;
    const bool good = AccountTextFromUtf16(user, userWhat.c_str(), userCp932, error) &&
                      AccountTextFromUtf16(password, passwordWhat.c_str(), passwordCp932, error);
    Wipe(password);
    if (!good) Wipe(passwordCp932);
    return good;
}

#ifdef _WIN32

bool ReadStoredAccount(const std::string& name, std::string& userCp932, std::string& passwordCp932,
                       std::string& error) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<std::size_t>(n) : 0, L'\0');
    if (n <= 0 || MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), wide.data(), n) != n) {
        error = "--credential: '" + name + "' is no name";
        return false;
    }
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(wide.c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        const DWORD code = GetLastError();
        if (code == ERROR_NOT_FOUND)
            error = "no generic credential '" + name + "' in the Credential Manager of this user; store one with: "
                    "cmdkey /generic:" + name + " /user:USER /pass";
        else if (code == ERROR_NO_SUCH_LOGON_SESSION)
            error = "--credential: this logon session has no Credential Manager (a scheduled task needs "
                    "\"run whether the user is logged on or not\" with a stored password, not S4U)";
        else
            error = "--credential: the credential '" + name + "' cannot be read (error " + std::to_string(code) + ")";
        return false;
    }
    const bool good = AccountOfCredential(name, reinterpret_cast<const char16_t*>(credential->UserName),
                                          credential->CredentialBlob, credential->CredentialBlobSize, userCp932,
                                          passwordCp932, error);
    if (credential->CredentialBlob) SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    return good;
}

#else

bool ReadStoredAccount(const std::string&, std::string&, std::string&, std::string& error) {
    error = "--credential reads the Windows Credential Manager, which this system does not have";
    return false;
}

#endif

}  // namespace quorvin::cli
