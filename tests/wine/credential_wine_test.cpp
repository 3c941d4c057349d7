// quorvin-cli --credential under Wine: a generic credential written with
// CredWriteW is the alternate account of a run on the demo network.

#include <windows.h>
#include <wincred.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_folder.h"

namespace {

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A generic credential of this user, deleted when the test ends.
class StoredCredential {
public:
    StoredCredential(const std::wstring& name, const std::wstring& user, const std::u16string& password) : name_(name) {
        CREDENTIALW credential{};
        credential.Type = CRED_TYPE_GENERIC;
        credential.TargetName = const_cast<wchar_t*>(name_.c_str());
        credential.UserName = const_cast<wchar_t*>(user.c_str());
        credential.CredentialBlob = reinterpret_cast<BYTE*>(const_cast<char16_t*>(password.data()));
        credential.CredentialBlobSize = static_cast<DWORD>(password.size() * sizeof(char16_t));  // no NUL, as cmdkey
        credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
        written_ = CredWriteW(&credential, 0) != FALSE;
    }
    ~StoredCredential() {
        if (written_) static_cast<void>(CredDeleteW(name_.c_str(), CRED_TYPE_GENERIC, 0));
    }
    bool Written() const { return written_; }

private:
    std::wstring name_;
    bool written_ = false;
};

// Runs quorvin-cli.exe on the demo network with `arguments`, its standard
// error into `err`; its exit code, or -1.
int RunCollector(const std::wstring& arguments, const std::filesystem::path& err) {
    const std::wstring folder = ExecutableFolder();
    const std::wstring exe = folder + L"quorvin-cli.exe";
    std::wstring commandLine = L"\"" + exe + L"\" --network \"" + folder + L"..\\demo-network\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errFile = CreateFileW(err.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    if (errFile == INVALID_HANDLE_VALUE || input == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = errFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(errFile);
    CloseHandle(input);
    if (!started) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code))
        code = static_cast<DWORD>(-1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace

TEST(CredentialRun, TheStoredAccountReachesTheDomainControllerAndAMissingOneIsRefused) {
    const quorvin::network::test::TempFolder folder;
    const std::filesystem::path report = folder.Path() / "r.txt", err = folder.Path() / "err.txt";
    const std::wstring run = L"--computers DC01 --logs security --csv \"" + (folder.Path() / "e.csv").wstring() +
                             L"\" --report \"" + report.wstring() + L"\" --credential ";
    const std::string refused = "注意 803:[DC01][Administrator]";
    {
        const StoredCredential good(L"quorvin-test-good", L"Administrator", u"P@ssw0rd");
        const StoredCredential bad(L"quorvin-test-bad", L"Administrator", u"wrong");
        ASSERT_TRUE(good.Written() && bad.Written()) << GetLastError();
        ASSERT_EQ(RunCollector(run + L"quorvin-test-good", err), 0) << ReadFile(err);
        EXPECT_EQ(ReadFile(report).find(refused), std::string::npos) << ReadFile(report);
        // The account is the credential's: its user name, and a wrong password refused by DC01.
        ASSERT_EQ(RunCollector(run + L"quorvin-test-bad", err), 0) << ReadFile(err);
        EXPECT_NE(ReadFile(report).find(refused), std::string::npos);
        EXPECT_EQ(ReadFile(report).find("wrong"), std::string::npos);
    }
    std::filesystem::remove(report);
    ASSERT_EQ(RunCollector(run + L"quorvin-test-missing", err), 2);
    EXPECT_NE(ReadFile(err).find("cmdkey /generic:quorvin-test-missing /user:USER /pass"), std::string::npos)
        << ReadFile(err);
    EXPECT_FALSE(std::filesystem::exists(report));
}
