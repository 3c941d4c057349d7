// The 32-bit program on 64-bit Windows: the test command runs this test with
// the 32-bit test driver in the 64-bit Wine prefix, after placing a message
// file (QUORVIN_NATIVE_ONLY_DLL) in the native system folder only, where a
// 32-bit program's loads do not look.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/wide.h"
#include "services/win32/win32_platform.h"

namespace {

TEST(Wow64, SystemFolderFilesComeFromTheNativeFolder) {
    if (!quorvin::win32::RunsUnderWow64()) GTEST_SKIP() << "not a 32-bit program on 64-bit Windows";
    const wchar_t* name = _wgetenv(L"QUORVIN_NATIVE_ONLY_DLL");
    if (name == nullptr || *name == 0) GTEST_SKIP() << "QUORVIN_NATIVE_ONLY_DLL is not set";

    quorvin::win32::Win32Platform platform;
    const std::string path =
        platform.Get().system.SystemDirectory() + "\\" + quorvin::win32::Narrow(name, std::wcslen(name));
    // The 32-bit view of the system folder does not hold it...
    HMODULE raw = LoadLibraryExW(quorvin::win32::Wide(path).c_str(), nullptr,
                                 DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_EQ(raw, nullptr) << path;
    if (raw != nullptr) {
        EXPECT_TRUE(FreeLibrary(raw));
    }
    // ...the message service finds it in the native one.
    std::unique_ptr<quorvin::platform::MessageModule> module;
    ASSERT_EQ(platform.Get().messages.LoadDataFile(path, module), 0u) << path;
    const std::vector<std::string> arguments = {"a", "b", "c"};
    std::string text;
    EXPECT_EQ(platform.Get().messages.FormatMessage(module.get(), 2, &arguments, text), 0u);
    EXPECT_NE(text.find("a"), std::string::npos) << text;

    // %ProgramFiles% names the native folder, as on the 64-bit computers whose paths it expands.
    wchar_t native[MAX_PATH + 1] = {};
    const DWORD n = GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH + 1);
    if (n > 0 && n <= MAX_PATH) {
        EXPECT_EQ(platform.Get().system.ExpandEnvironmentStrings("%ProgramFiles%\\x"),
                  quorvin::win32::Narrow(native, n) + "\\x");
    }
}

}  // namespace
