// The quick-start wizard driven through its pages: stop on each page, back
// and forth, the empty list after the add dialog, next on step 2.

#include "run_support.h"

using namespace quorvin::gui_test;

namespace {

const std::string kWelcome = "ようこそ", kStepOne = "ステップ１", kStepTwo = "ステップ２";
const std::string kAddTitle = "コンピュータの追加";

HWND StartWizard(App& app) {
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_QUICK_START, 0), 0);
    return app.WaitForDialog(kWelcome);
}

// Presses `id` on the page `page` and waits for the window titled `next`.
HWND Press(App& app, HWND page, int id, const std::string& next) {
    if (!page) return nullptr;
    app.ClickButton(page, id);
    return app.WaitForDialog(next);
}

TEST(QuickStart, StopOnEachPageAndBackAndForth) {
    ASSERT_TRUE(FreshSettings("pc1;"));
    App app;
    ASSERT_READY(app);
    HWND welcome = StartWizard(app);
    ASSERT_NE(welcome, nullptr);
    EXPECT_TRUE(app.DialogText(welcome).find("クォーヴィンへようこそ！！") != std::string::npos);
    EXPECT_EQ(GetDlgItem(welcome, IDC_BACK), nullptr);
    app.ClickButton(welcome, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    // Back and forth, then stop on the welcome page.
    HWND page = Press(app, StartWizard(app), IDOK, kStepOne);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ControlText(page, IDC_BACK), "<< 戻る");
    page = Press(app, page, IDC_BACK, kWelcome);
    page = Press(app, page, IDOK, kStepOne);
    page = Press(app, page, IDC_BACK, kWelcome);
    ASSERT_NE(page, nullptr);
    app.ClickButton(page, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    // Stop on step 1.
    page = Press(app, StartWizard(app), IDOK, kStepOne);
    ASSERT_NE(page, nullptr);
    app.ClickButton(page, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    // Stop on step 2 (a computer was in the list before).
    page = Press(app, Press(app, StartWizard(app), IDOK, kStepOne), IDOK, kAddTitle);
    page = Press(app, page, IDCANCEL, kStepTwo);
    ASSERT_NE(page, nullptr);
    // Back on step 2 opens the add dialog again, then step 2 once more.
    page = Press(app, page, IDC_BACK, kAddTitle);
    page = Press(app, page, IDCANCEL, kStepTwo);
    ASSERT_NE(page, nullptr);
    app.ClickButton(page, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.TreeNames(), std::vector<std::string>{"pc1"});
    EXPECT_EQ(app.Close(), 0);
}

TEST(QuickStart, EmptyListStopsTheWizardAndNextOnStepTwoOpensTheStartDialog) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    HWND add = Press(app, Press(app, StartWizard(app), IDOK, kStepOne), IDOK, kAddTitle);
    ASSERT_NE(add, nullptr);
    app.ClickButton(add, IDCANCEL);
    HWND message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), "ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。説明/ｸｲｯｸｽﾀｰﾄを中止します。");
    EXPECT_EQ(GetWindow(message, GW_OWNER), app.frame);
    app.ClickButton(message, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // Adding in the wizard's dialog leads on to step 2, whose next opens the start dialog.
    add = Press(app, Press(app, StartWizard(app), IDOK, kStepOne), IDOK, kAddTitle);
    ASSERT_NE(add, nullptr);
    SendMessageW(GetDlgItem(add, IDC_COMPUTER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"pc7"));
    app.ClickButton(add, IDOK);
    HWND start = Press(app, Press(app, add, IDCANCEL, kStepTwo), IDOK, kStartTitle);
    ASSERT_NE(start, nullptr);
    app.ClickButton(start, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    // The wizard has ended: nothing else shows, and the computer stays.
    app.Settle();
    EXPECT_TRUE(app.Dialogs().empty());
    EXPECT_EQ(app.TreeNames(), std::vector<std::string>{"pc7"});
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
