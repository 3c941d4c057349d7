// The program as shipped: the test command runs this test with the 32-bit
// release executable (QUORVIN_PROGRAM) under Wine set to Windows XP; in the
// windows test build it drives the build's own executable.

#include "run_support.h"

#include <cstdlib>

using namespace quorvin::gui_test;

namespace {

// The demo network the build made, or the one QUORVIN_DEMO_NETWORK names.
std::wstring DemoNetwork() {
    const wchar_t* named = _wgetenv(L"QUORVIN_DEMO_NETWORK");
    return named && *named ? std::wstring(named) : ExecutableFolder() + L"..\\demo-network";
}

TEST(ReleaseSmoke, StartsCollectsFromTheDemoNetworkAndExits) {
    ASSERT_TRUE(FreshSettings("DC01;FS01;PC01;NT4SV;"));
    App app(L"/network \"" + DemoNetwork() + L"\"");
    ASSERT_READY(app);
    EXPECT_TRUE(WaitForWindowText(app.frame, Wide("クォーヴィン for Windows NT Ver 1.2")));

    const std::string report = CompleteRun(app);
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n", 0), 0u) << report;
    EXPECT_TRUE(Contains(report, "ﾄｰﾀﾙ：")) << report;
    EXPECT_GT(app.RowCount(), 10);

    PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

}  // namespace
