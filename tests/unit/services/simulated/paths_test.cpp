#include "services/simulated/environment.h"
#include "services/simulated/paths.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace quorvin::network;
using quorvin::network::test::TempFolder;

TEST(Paths, SplitKeepsDoubleByteCharactersWhole) {
    // "ソ" is 83 5C: its trail byte is no separator.
    EXPECT_EQ(SplitPath("C:\\ソフト/x.dll"), (std::vector<std::string>{"C:", "ソフト", "x.dll"}));
    EXPECT_EQ(SplitPath("\\\\a\\"), (std::vector<std::string>{"", "", "a", ""}));
    EXPECT_EQ(SplitPath(""), (std::vector<std::string>{""}));
}

TEST(Paths, ServerNamesAndCStrings) {
    EXPECT_EQ(ServerName("\\\\SV1"), "SV1");
    EXPECT_EQ(ServerName("SV1"), "SV1");
    EXPECT_EQ(ServerName(""), "");
    EXPECT_EQ(ServerName(std::string("\\\\SV1\0..\\x", 10)), "SV1");
    EXPECT_EQ(CString(std::string("ab\0cd", 5)), "ab");
}

TEST(Paths, ParseWindowsPathKinds) {
    WindowsPath unc = ParseWindowsPath("\\\\SV1\\C$\\WINNT\\System32\\netmsg.dll");
    EXPECT_EQ(unc.kind, WindowsPath::Kind::kUnc);
    EXPECT_EQ(unc.server, "SV1");
    EXPECT_EQ(unc.share, "C$");
    EXPECT_EQ(unc.components, (std::vector<std::string>{"WINNT", "System32", "netmsg.dll"}));

    WindowsPath local = ParseWindowsPath("d:/Program Files\\x.dll");
    EXPECT_EQ(local.kind, WindowsPath::Kind::kDrive);
    EXPECT_EQ(local.drive, 'D');
    EXPECT_EQ(local.components, (std::vector<std::string>{"Program Files", "x.dll"}));

    for (const char* other : {"netevent.dll", "WINNT\\x.dll", "C:x.dll", "/etc/passwd", "1:\\x", ""})
        EXPECT_EQ(ParseWindowsPath(other).kind, WindowsPath::Kind::kOther) << other;
    // A C string ends at its NUL: what follows is never seen.
    EXPECT_EQ(ParseWindowsPath(std::string("netevent.dll\0C:\\x.dll", 22)).kind, WindowsPath::Kind::kOther);
    EXPECT_EQ(ParseWindowsPath(std::string("C:\\a\0\\..\\..\\b", 13)).components, (std::vector<std::string>{"a"}));
}

TEST(Paths, NormalizeStaysBelowTheRoot) {
    std::vector<std::string> out;
    EXPECT_EQ(NormalizeComponents({"a", ".", "", "b", "..", "c"}, out), 0u);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(NormalizeComponents({"..", "..", "etc", "passwd"}, out), 0u);
    EXPECT_EQ(out, (std::vector<std::string>{"etc", "passwd"}));
    EXPECT_EQ(NormalizeComponents({"x.dll. ", "...", "ソ."}, out), 0u);
    EXPECT_EQ(out, (std::vector<std::string>{"x.dll", "ソ"}));
    for (const char* bad : {"a:b", "a|b", "a?", "*", "<", "\x01", "\""})
        EXPECT_EQ(NormalizeComponents({bad}, out), 123u) << bad;
    // "\x83\x7C" is a character whose trail byte is "|".
    EXPECT_EQ(NormalizeComponents({"\x83\x7C"}, out), 0u);
}

TEST(Paths, DriveShares) {
    EXPECT_EQ(DriveShareLetter("C$"), 'C');
    EXPECT_EQ(DriveShareLetter("d$"), 'D');
    EXPECT_EQ(DriveShareLetter("admin$"), 0);
    EXPECT_EQ(DriveShareLetter("C"), 0);
    EXPECT_EQ(DriveShareLetter("1$"), 0);
}

TEST(Paths, ResolveFileIgnoresCaseAndGivesWindowsErrors) {
    TempFolder temp;
    temp.Write("root/WINNT/System32/NetMsg.dll", "x");
    temp.Write("root/WINNT/System32/ソフト.dll", "y");
    temp.MakeFolder("root/WINNT/System32/folder.dll");
    const fs::path root = temp.Path() / "root";
    fs::path file;
    EXPECT_EQ(ResolveFile(root, {"winnt", "SYSTEM32", "netmsg.DLL"}, file), 0u);
    EXPECT_EQ(file.filename().u8string(), "NetMsg.dll");
    EXPECT_EQ(ResolveFile(root, {"WINNT", "System32", "ソフト.dll"}, file), 0u);
    EXPECT_EQ(ResolveFile(root, {"WINNT", "System32", "missing.dll"}, file), 2u);
    EXPECT_EQ(ResolveFile(root, {"WINNT", "Missing", "netmsg.dll"}, file), 3u);
    EXPECT_EQ(ResolveFile(root, {"WINNT", "System32", "netmsg.dll", "x"}, file), 3u);
    EXPECT_EQ(ResolveFile(root, {"WINNT", "System32", "folder.dll"}, file), 5u);
    EXPECT_EQ(ResolveFile(root, {}, file), 5u);
    // Names are looked up among the entries, never joined to a host path.
    EXPECT_EQ(ResolveFile(root / "WINNT", {"..", "WINNT", "System32", "netmsg.dll"}, file), 3u);
}

TEST(Paths, ExactNameWinsOverOtherCase) {
    TempFolder temp;
    temp.Write("a.txt", "lower");
    temp.Write("A.txt", "upper");  // the same file where the file system ignores case
    fs::path found;
    if (ListEntries(temp.Path(), EntryKind::kFile).size() == 2) {
        ASSERT_TRUE(FindEntry(temp.Path(), "a.txt", EntryKind::kFile, found));
        EXPECT_EQ(found.filename().u8string(), "a.txt");
        ASSERT_TRUE(FindEntry(temp.Path(), "A.TXT", EntryKind::kFile, found));
        EXPECT_EQ(found.filename().u8string(), "A.txt");  // first in byte order
    }
    EXPECT_TRUE(FindEntry(temp.Path(), "A.txt", EntryKind::kFile, found));
    EXPECT_FALSE(FindEntry(temp.Path(), "a.txt", EntryKind::kDirectory, found));
    EXPECT_FALSE(FindEntry(temp.Path(), "", EntryKind::kFile, found));
}

#ifndef _WIN32
TEST(Paths, SymbolicLinksAreNoEntries) {
    TempFolder temp;
    temp.Write("outside/secret.dll", "x");
    temp.MakeFolder("root");
    fs::create_directory_symlink(temp.Path() / "outside", temp.Path() / "root" / "linked");
    fs::create_symlink(temp.Path() / "outside" / "secret.dll", temp.Path() / "root" / "file.dll");
    fs::path file;
    EXPECT_EQ(ResolveFile(temp.Path() / "root", {"linked", "secret.dll"}, file), 3u);
    EXPECT_EQ(ResolveFile(temp.Path() / "root", {"file.dll"}, file), 2u);
}
#endif

TEST(Paths, ReadWholeFileAndReplaceFile) {
    TempFolder temp;
    const fs::path file = temp.Write("f.bin", "12345");
    std::vector<std::uint8_t> data;
    EXPECT_EQ(ReadWholeFile(file, 5, data), 0u);
    EXPECT_EQ(data.size(), 5u);
    EXPECT_EQ(ReadWholeFile(file, 4, data), 8u);
    EXPECT_EQ(ReadWholeFile(temp.Path() / "missing", 4, data), 2u);

    EXPECT_EQ(WriteFileAtomically(file, {'a', 'b'}), "");
    EXPECT_EQ(temp.Read("f.bin"), "ab");
    EXPECT_FALSE(fs::exists(temp.Path() / "f.bin.new"));
    // A failing save leaves the old file alone.
    temp.MakeFolder("f.bin.new");
    temp.Write("f.bin.new/blocker", "");
    EXPECT_NE(WriteFileAtomically(file, {'c'}), "");
    EXPECT_EQ(temp.Read("f.bin"), "ab");
}

// A network folder whose files lie deeper than MAX_PATH characters: on
// Windows the C runtime's folder reader would list the current folder
// instead, and a computer's logs would silently have no records. (Reading
// and replacing such files works under Wine; Windows stops its C runtime
// at MAX_PATH, and the read fails with a cause.)
TEST(Paths, FoldersDeeperThanMaxPathAreListedAsThemselves) {
    TempFolder temp;
    const std::string deep = std::string(120, 'A') + "/" + std::string(120, 'B') + "/logs";
    temp.Write(deep + "/System.evt", "12345");
    temp.MakeFolder("sub");
    fs::path file;
    ASSERT_EQ(ResolveFile(temp.Path(), {std::string(120, 'a'), std::string(120, 'b'), "LOGS", "system.evt"}, file), 0u);
    EXPECT_GT(file.native().size(), 260u);
    std::vector<std::uint8_t> data;
    EXPECT_EQ(ReadWholeFile(file, 5, data), 0u);
    EXPECT_EQ(WriteFileAtomically(file, {'a', 'b'}), "");
    EXPECT_EQ(temp.Read(deep + "/System.evt"), "ab");
    // The same folder reached through "." and "..".
    EXPECT_EQ(ListEntries(temp.Path() / "sub" / ".." / "." / deep, EntryKind::kFile),
              std::vector<std::string>{"System.evt"});
}

TEST(Environment, ExpandsAsExpandEnvironmentStrings) {
    const Environment environment = {{"SystemRoot", "C:\\WINNT"}, {"A", "1"}, {"a", "shadowed"}, {"ソ", "so"}};
    EXPECT_EQ(ExpandEnvironment("%SystemRoot%\\System32", environment), "C:\\WINNT\\System32");
    EXPECT_EQ(ExpandEnvironment("%systemroot%", environment), "C:\\WINNT");
    EXPECT_EQ(ExpandEnvironment("%a%%A%", environment), "11");
    EXPECT_EQ(ExpandEnvironment("%ソ%", environment), "so");
    EXPECT_EQ(ExpandEnvironment("%Unknown%\\x", environment), "%Unknown%\\x");
    EXPECT_EQ(ExpandEnvironment("%Unknown%A%", environment), "%Unknown%A%");
    EXPECT_EQ(ExpandEnvironment("100%", environment), "100%");
    EXPECT_EQ(ExpandEnvironment("%%A%", environment), "%%A%");
    EXPECT_EQ(ExpandEnvironment("", environment), "");
}
