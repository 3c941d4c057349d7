// The options dialog: what it shows, its two refusals, the login boxes and
// what reaches the registry at exit.

#include "run_support.h"

using namespace quorvin::gui_test;

namespace {

const std::string kOptionsTitle = "オプション";

HWND OpenOptions(App& app) {
    app.Command(ID_OPTIONS);
    return app.WaitForDialog(kOptionsTitle);
}

void SetControlText(HWND dialog, int id, const std::string& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

DWORD Stored(const char* name) {
    DWORD value = 0xDEAD;
    settings::ReadDword(name, value);
    return value;
}

// Presses OK with `days` in the day box; the refusal's text, or "" when the dialog closed.
std::string OkWithDays(App& app, HWND dialog, const std::string& days) {
    SetControlText(dialog, IDC_DAY_BEFORE, days);
    app.ClickButton(dialog, IDOK);
    app.Settle();
    if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return "";
    HWND message = app.WaitForDialog("注意", 3000);
    if (!message) return "<no message>";
    const std::string text = app.DialogText(message);
    EXPECT_EQ(GetWindow(message, GW_OWNER), dialog);
    app.ClickButton(message, IDOK);
    app.Settle();
    return text;
}

TEST(Options, DayCountIsReadLenientlyAndNegativeIsRefused) {
    ASSERT_TRUE(FreshSettings(nullptr));
    ASSERT_TRUE(settings::SetDword("DayBefore", 120));
    App app;
    ASSERT_READY(app);
    HWND dialog = OpenOptions(app);
    ASSERT_NE(dialog, nullptr);
    // 120 from the registry is shown whole although typing takes two digits.
    EXPECT_EQ(ControlText(dialog, IDC_DAY_BEFORE), "120");
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_DAY_BEFORE), EM_GETLIMITTEXT, 0, 0), 2);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_USERNAME)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_PASSWORD)));
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(OkWithDays(app, dialog, "-5"), "初期設定の日付は0日前から99日前の間で設定してください。");
    ASSERT_TRUE(IsWindow(dialog));
    // The dialog stays as the user left it.
    EXPECT_EQ(ControlText(dialog, IDC_DAY_BEFORE), "-5");
    EXPECT_EQ(OkWithDays(app, dialog, "120"), "");
    ASSERT_TRUE(app.WaitForNoDialog());

    struct Case {
        const char* typed;
        DWORD stored;
    };
    for (const Case c : {Case{"", 0}, Case{"ab", 0}, Case{"7x", 7}, Case{"99", 99}}) {
        dialog = OpenOptions(app);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(OkWithDays(app, dialog, c.typed), "") << c.typed;
        ASSERT_TRUE(app.WaitForNoDialog());
        dialog = OpenOptions(app);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDC_DAY_BEFORE), std::to_string(c.stored));
        app.ClickButton(dialog, IDCANCEL);
        ASSERT_TRUE(app.WaitForNoDialog());
    }
    // Cancel stores nothing.
    dialog = OpenOptions(app);
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, IDC_DAY_BEFORE, "5");
    ToggleBox(app, dialog, IDC_NO_BROWSE_LIST);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(Stored("DayBefore"), 99u);
    EXPECT_EQ(Stored("DontShowComList"), 0u);
}

TEST(Options, AlternateLoginNeedsAUserNameAndUncheckingEmptiesBothBoxes) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    HWND dialog = OpenOptions(app);
    ASSERT_NE(dialog, nullptr);
    ToggleBox(app, dialog, IDC_ANOTHER_LOGIN);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_USERNAME)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_PASSWORD)));
    app.ClickButton(dialog, IDOK);
    HWND message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), "ユーザ名を指定してください。");
    app.ClickButton(message, IDOK);
    app.Settle();
    // 30 characters fit each box; an empty password is accepted, but here there is one.
    SetControlText(dialog, IDC_USERNAME, std::string(30, 'u'));
    SetControlText(dialog, IDC_PASSWORD, std::string(30, 'p'));
    ToggleBox(app, dialog, IDC_NO_MESSAGE_TIP);
    ToggleBox(app, dialog, IDC_NO_BROWSE_LIST);
    app.ClickButton(dialog, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    dialog = OpenOptions(app);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Checked(dialog, IDC_ANOTHER_LOGIN));
    EXPECT_TRUE(Checked(dialog, IDC_NO_MESSAGE_TIP));
    EXPECT_TRUE(Checked(dialog, IDC_NO_BROWSE_LIST));
    EXPECT_EQ(ControlText(dialog, IDC_USERNAME), std::string(30, 'u'));
    EXPECT_EQ(ControlText(dialog, IDC_PASSWORD), std::string(30, 'p'));
    EXPECT_EQ(ControlText(dialog, IDC_DAY_BEFORE), "3");
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(Stored("AnotherLoginName"), 1u);
    EXPECT_EQ(Stored("DontShowMessageToolTip"), 1u);
    EXPECT_EQ(Stored("DontShowComList"), 1u);
    std::string user;
    EXPECT_TRUE(settings::ReadString("Username", user));
    EXPECT_EQ(user, std::string(30, 'u'));

    // Unchecking empties and disables both boxes; OK stores them empty without the message.
    App again;
    ASSERT_READY(again);
    dialog = OpenOptions(again);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_PASSWORD), std::string(30, 'p'));
    ToggleBox(again, dialog, IDC_ANOTHER_LOGIN);
    EXPECT_EQ(ControlText(dialog, IDC_USERNAME), "");
    EXPECT_EQ(ControlText(dialog, IDC_PASSWORD), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_USERNAME)));
    again.ClickButton(dialog, IDOK);
    ASSERT_TRUE(again.WaitForNoDialog());
    EXPECT_EQ(again.Close(), 0);
    EXPECT_EQ(Stored("AnotherLoginName"), 0u);
    EXPECT_TRUE(settings::ReadString("Username", user));
    EXPECT_EQ(user, "");
}

}  // namespace
