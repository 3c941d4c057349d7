// The about box with its link, and the help command's command line.

#include "run_support.h"

#include <fstream>
#include <sstream>

using namespace quorvin::gui_test;

namespace {

TEST(About, BoxShowsTheNoticeAndALinkThatTakesTheMouse) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, 0), 0);
    HWND about = app.WaitForDialog("クォーヴィンのバージョン情報");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(app.DialogText(about).find("クォーヴィン Version 1.2") != std::string::npos);
    const std::string notice = ControlText(about, IDC_NOTICE);
    EXPECT_GT(notice.size(), std::string("詳細はﾍﾙﾌﾟﾌｧｲﾙをご覧ください。").size());
    EXPECT_EQ(notice.substr(notice.size() - std::string("詳細はﾍﾙﾌﾟﾌｧｲﾙをご覧ください。").size()),
              "詳細はﾍﾙﾌﾟﾌｧｲﾙをご覧ください。");
    HWND link = GetDlgItem(about, IDC_HOME_LINK);
    EXPECT_EQ(ControlText(about, IDC_HOME_LINK), "最新ﾊﾞｰｼﾞｮﾝをﾎｰﾑﾍﾟｰｼﾞで確認");
    // A plain label is transparent to the mouse; the link answers in its client area.
    EXPECT_EQ(SendMessageW(link, WM_NCHITTEST, 0, 0), HTCLIENT);
    // The hand cursor is found (the help viewer's, or the system's).
    EXPECT_EQ(SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    app.ClickButton(about, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
