// The simulated network's answers against Wine's own LoadLibraryEx and
// ExpandEnvironmentStrings on the same files and texts.

#include <windows.h>

#include <gtest/gtest.h>

#include "services/simulated/environment.h"
#include "services/simulated/simulated_network.h"
#include "support/pe_image.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using quorvin::network::Environment;
using quorvin::network::ExpandEnvironment;
using quorvin::network::SimulatedNetwork;
using quorvin::network::test::MessageDll;
using quorvin::network::test::TempFolder;

TEST(NetworkAgainstWine, EnvironmentExpansion) {
    const Environment environment = {{"QV_A", "1"}, {"QV_ROOT", "C:\\WINNT"}, {"QV_EMPTY", ""}};
    for (const auto& [name, value] : environment)
        ASSERT_TRUE(SetEnvironmentVariableA(name.c_str(), value.c_str()));
    for (const char* text : {"%QV_A%", "%qv_a%%QV_A%", "%QV_ROOT%\\System32\\x.dll", "%QV_UNSET%\\x", "%QV_UNSET%QV_A%",
                             "%%QV_A%", "100%", "%QV_A", "%", "%%", "a%QV_EMPTY%b", "%QV_A%%", "x%QV_UNSET%%QV_A%y"}) {
        char out[1024];
        const DWORD n = ExpandEnvironmentStringsA(text, out, sizeof out);
        ASSERT_GT(n, 0u) << text;
        EXPECT_EQ(ExpandEnvironment(text, environment), std::string(out)) << text;
    }
}

TEST(NetworkAgainstWine, LoadDataFileErrors) {
    // This machine's drive C is a real folder: Wine loads its files by their
    // host path, the network by "C:\...".
    TempFolder temp;
    temp.Write("network.ini", "[local]\ncomputer=ME\n");
    temp.Write("ME/drives/C/probe/good.dll", MessageDll({{1, u"text\r\n"}}));
    temp.Write("ME/drives/C/probe/notpe.dll", "MZ and nothing else");
    temp.Write("ME/drives/C/probe/empty.dll", "");
    temp.MakeFolder("ME/drives/C/probe/folder.dll");
    std::string error;
    auto network = SimulatedNetwork::Open(temp.Path(), error);
    ASSERT_TRUE(network) << error;

    // Wine answers 2 also when a folder on the way is missing, where the
    // network follows Windows' 3; that case is left out here.
    for (const char* name : {"good.dll", "notpe.dll", "empty.dll", "folder.dll", "missing.dll"}) {
        const fs::path real = temp.Path() / "ME" / "drives" / "C" / "probe" / name;
        SetLastError(0);
        HMODULE module = LoadLibraryExW(real.wstring().c_str(), nullptr,
                                        DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE);
        const DWORD wineError = module ? 0 : GetLastError();
        if (module) {
            EXPECT_TRUE(FreeLibrary(module));
        }

        std::unique_ptr<quorvin::platform::MessageModule> ours;
        const auto ourError = network->Services().messages.LoadDataFile(std::string("C:\\probe\\") + name, ours);
        EXPECT_EQ(ourError, wineError) << name;
    }
}
