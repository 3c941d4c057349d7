#include "core/wide.h"

#include <vector>

#include "services/win32/path_rules.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

// Both functions tell the size they need when the buffer is short; the
// environment may change in between, so a few attempts are made.
constexpr int kMostAttempts = 4;

}  // namespace

namespace {

// Under WOW64 with the native folders in the environment (Windows 7 and
// later set ProgramW6432 and CommonProgramW6432 for 32-bit programs).
bool ExpandsNativeFolders() {
    static const bool native = RunsUnderWow64() && GetEnvironmentVariableW(L"ProgramW6432", nullptr, 0) != 0 &&
                               GetEnvironmentVariableW(L"CommonProgramW6432", nullptr, 0) != 0;
    return native;
}

}  // namespace

void FailCriticalErrorsQuietly() {
    // SetErrorMode answers the mode it replaces (GetErrorMode is Vista and later).
    const UINT inherited = SetErrorMode(0);
    static_cast<void>(SetErrorMode(inherited | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
}

std::string SystemService::ExpandEnvironmentStrings(const std::string& text) {
    const std::wstring source = Wide(ExpandsNativeFolders() ? NativeEnvironmentReferences(text) : text);
    std::vector<wchar_t> buffer(source.size() + 256);
    for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
        // The count includes the terminator.
        const DWORD n = ExpandEnvironmentStringsW(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n <= buffer.size()) return Narrow(buffer.data(), n - 1);
        buffer.resize(n);
    }
    return {};
}

std::string SystemService::SystemDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
        // Without the terminator when it fits, with it when it does not.
        const UINT n = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return Narrow(buffer.data(), n);
        buffer.resize(n);
    }
    return {};
}

}  // namespace quorvin::win32
