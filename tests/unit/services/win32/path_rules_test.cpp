// Where the 32-bit program finds files on 64-bit Windows, and which paths
// reach another computer.

#include "services/win32/path_rules.h"

#include <gtest/gtest.h>

namespace {

using quorvin::win32::IsNetworkPath;
using quorvin::win32::NativeEnvironmentReferences;
using quorvin::win32::NativeSystemPath;
using quorvin::win32::SplitAccountName;

TEST(PathRules, NetworkPathsAreTheOnesOfOtherComputers) {
    for (const char* path : {"\\\\SV1\\C$\\WINNT\\x.dll", "\\\\SV1\\admin$", "\\\\?\\UNC\\SV1\\C$\\x.dll",
                             "\\\\?\\unc\\SV1\\C$\\x.dll", "\\\\192.168.0.1\\c$\\x.dll"})
        EXPECT_TRUE(IsNetworkPath(path)) << path;
    for (const char* path : {"C:\\WINNT\\x.dll", "\\\\?\\C:\\x.dll", "\\\\.\\PhysicalDrive0", "\\WINNT\\x.dll",
                             "x.dll", "\\\\", "", "\\\\?\\UNC\\"})
        EXPECT_FALSE(IsNetworkPath(path)) << path;
}

TEST(PathRules, FilesOfTheSystemFolderAreReadFromTheNativeOne) {
    const std::string system = "C:\\WINDOWS\\system32";
    EXPECT_EQ(NativeSystemPath("C:\\WINDOWS\\system32\\drivers\\tcpip.sys", system),
              "C:\\WINDOWS\\Sysnative\\drivers\\tcpip.sys");
    EXPECT_EQ(NativeSystemPath("c:\\windows\\SYSTEM32\\netmsg.dll", system), "C:\\WINDOWS\\Sysnative\\netmsg.dll");
    EXPECT_EQ(NativeSystemPath("C:\\WINDOWS\\system32", system), "C:\\WINDOWS\\Sysnative");
    EXPECT_EQ(NativeSystemPath("C:\\WINDOWS\\system32\\x.dll", system + "\\"), "C:\\WINDOWS\\Sysnative\\x.dll");
    // Other folders, and names that only begin like the system folder, stay.
    for (const char* path : {"C:\\WINDOWS\\system32x\\a.dll", "C:\\WINDOWS\\SysWOW64\\a.dll", "D:\\WINDOWS\\system32\\a.dll",
                             "C:\\Program Files\\a.dll", "\\\\SV1\\C$\\WINDOWS\\system32\\a.dll", "C:\\WINDOWS",
                             ""})
        EXPECT_EQ(NativeSystemPath(path, system), path) << path;
    // A system folder below a name with a double-byte character ending in 5C.
    const std::string japanese = "C:\\\x95\\\\system32";  // "C:\表\system32"
    EXPECT_EQ(NativeSystemPath(japanese + "\\a.dll", japanese), "C:\\\x95\\\\Sysnative\\a.dll");
    EXPECT_EQ(NativeSystemPath("C:\\a.dll", ""), "C:\\a.dll");
    EXPECT_EQ(NativeSystemPath("C:\\a.dll", "system32"), "C:\\a.dll");
}

TEST(PathRules, ProgramFoldersAreNamedByTheirNativeVariables) {
    EXPECT_EQ(NativeEnvironmentReferences("%ProgramFiles%\\App\\msg.dll"), "%ProgramW6432%\\App\\msg.dll");
    EXPECT_EQ(NativeEnvironmentReferences("%PROGRAMFILES%\\a;%commonprogramfiles%\\b"),
              "%ProgramW6432%\\a;%CommonProgramW6432%\\b");
    for (const char* same : {"%ProgramFiles(x86)%\\a.dll", "%SystemRoot%\\System32\\a.dll", "C:\\Program Files\\a",
                             "%ProgramFiles", "100%", "%%", ""})
        EXPECT_EQ(NativeEnvironmentReferences(same), same) << same;
    // The closing "%" of another reference does not open one.
    EXPECT_EQ(NativeEnvironmentReferences("%A%ProgramFiles%"), "%A%ProgramFiles%");
    EXPECT_EQ(NativeEnvironmentReferences("%SystemDrive%%ProgramFiles%"), "%SystemDrive%%ProgramW6432%");
    // Double-byte characters pass whole.
    EXPECT_EQ(NativeEnvironmentReferences("\x95\\%ProgramFiles%"), "\x95\\%ProgramW6432%");
}

// The domain ends at the first backslash of its own, never at the trail
// byte 5C of a double-byte character ("\x83\\" is a katakana).
TEST(PathRules, AnAccountNameSplitsAtTheBackslashOfItsDomain) {
    const struct {
        const char* typed;
        const char* domain;
        const char* user;
    } cases[] = {
        {"CORP\\sato", "CORP", "sato"},
        {"sato@corp.example", "", "sato@corp.example"},
        {"sato", "", "sato"},
        {".\\Administrator", ".", "Administrator"},
        {"\x8A\x4A\x94\xAD\x83\\\\\x83\\\x83\x6D", "\x8A\x4A\x94\xAD\x83\\", "\x83\\\x83\x6D"},
        {"\x83\\\x83\x6D", "", "\x83\\\x83\x6D"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const quorvin::win32::AccountName name = SplitAccountName(c.typed);
        EXPECT_EQ(name.domain, c.domain) << c.typed;
        EXPECT_EQ(name.user, c.user) << c.typed;
    }
}

}  // namespace
