// The add-computer dialog on simulated networks: the domain box from the
// Winlogon values, the browse list with its columns, order and filters,
// every browse failure, a browse that reads a part of the list, picking a
// row by click and double-click.

#include "run_support.h"

using namespace quorvin::gui_test;

namespace {

const std::string kAddTitle = "コンピュータの追加";

// An office domain with NT, non-NT and server machines, and a domain for each failure.
const char* const kOffice =
    "local ADMIN\n"
    "lan_group OFFICE\n"
    "browse OFFICE\n"
    "  server WS2 5.1 0x00041003 総務部\n"
    "  server DC1 5.0 0x0008102B ドメイン コントローラ\n"
    "  server W98 4.10 0x00400003 Windows 98\n"
    "  server LANMAN 2.1 0x00000003\n"
    "  server NT4 4.0 0x00009003\n"
    "  server AB 5.1 0x00001003\n"
    "  server BDC2 5.0 0x00029013\n"
    "browse DENIED result=5\n"
    "browse TOOMANY result=234\n"
    "browse NOBROWSER result=6118\n"
    "browse BADNAME result=2351\n"
    "browse ODD result=53\n"
    "browse PARTIAL result=234\n"
    "  server P2 5.0 0x00009003\n"
    "  server P1 5.1 0x00001003\n"
    "  server OLD98 4.10 0x00400003\n"
    "browse SMALL\n"
    "  server ONLY1 5.1 0x00001003\n"
    "computer ADMIN\n"
    "  key \"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\"\n"
    "  value DefaultDomainName sz OFFICE\n";

const std::string kWithCache = std::string(kOffice) + "  value DCache multi_sz OFFICE SMALL BRANCH\n";

// The driver's list helpers read `app.list`: for a scope they read the browse list.
class BrowseListScope {
public:
    BrowseListScope(App& app, HWND dialog) : app_(app), saved_(app.list) {
        app.list = GetDlgItem(dialog, IDC_BROWSE_LIST);
    }
    ~BrowseListScope() { app_.list = saved_; }

private:
    App& app_;
    HWND saved_;
};

std::vector<std::string> Column(App& app, HWND dialog, int column) {
    BrowseListScope scope(app, dialog);
    std::vector<std::string> cells;
    for (int row = 0; row < app.RowCount(); ++row) cells.push_back(app.Cell(row, column));
    return cells;
}

std::vector<std::string> Row(App& app, HWND dialog, int row) {
    BrowseListScope scope(app, dialog);
    std::vector<std::string> cells;
    for (int column = 0; column < 5; ++column) cells.push_back(app.Cell(row, column));
    return cells;
}

std::vector<std::string> ComboItems(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_DOMAIN);
    std::vector<std::string> items;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 255) SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(Narrow(text));
    }
    return items;
}

// Browses `domain` with "ｺﾝﾋﾟｭｰﾀ一覧の取得".
void Browse(App& app, HWND dialog, const std::string& domain) {
    SetControlText(dialog, IDC_DOMAIN, domain);
    app.ClickButton(dialog, IDC_GET_COMPUTER_LIST);
    app.Settle();
}

// Clicks (or double-clicks) the middle of the third column of browse row `row`.
void ClickBrowseRow(App& app, HWND dialog, int row, bool doubleClick = false) {
    BrowseListScope scope(app, dialog);
    RECT rect{};
    ASSERT_TRUE(app.RowRect(row, rect));
    app.ClickList({rect.left + app.ColumnWidth(0) + app.ColumnWidth(1) + 10, (rect.top + rect.bottom) / 2},
                  doubleClick);
}

HWND OpenAddDialog(App& app) {
    app.Command(ID_ADD_COMPUTER);
    return app.WaitForDialog(kAddTitle);
}

const std::vector<std::string> kAllNames = {"AB", "BDC2", "DC1", "NT4", "WS2"};

TEST(AddComputer, OpensOnTheDefaultDomainAndListsItsNtMachinesSorted) {
    TestNetwork net(kWithCache);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings(nullptr));
    App app(net.Arguments());
    ASSERT_READY(app);
    HWND dialog = OpenAddDialog(app);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_DOMAIN))), "OFFICE");
    // The default domain and DCache's names, sorted by the box; DCache's OFFICE is not offered twice.
    EXPECT_EQ(ComboItems(dialog), (std::vector<std::string>{"BRANCH", "OFFICE", "SMALL"}));
    // Windows 98 and LAN Manager machines are not listed.
    EXPECT_EQ(Column(app, dialog, 0), kAllNames);
    EXPECT_EQ(Row(app, dialog, 2), (std::vector<std::string>{"DC1", "NT5.0", "PDC", "ﾄﾞﾒｲﾝﾏｽﾀﾌﾞﾗｳｻﾞ", "ドメイン コントローラ"}));
    EXPECT_EQ(Row(app, dialog, 1), (std::vector<std::string>{"BDC2", "NT5.0", "BDC", "ﾊﾞｯｸｱｯﾌﾟﾌﾞﾗｳｻﾞ", ""}));
    EXPECT_EQ(Row(app, dialog, 3), (std::vector<std::string>{"NT4", "NT4.0", "ﾒﾝﾊﾞｻｰﾊﾞ", "", ""}));
    EXPECT_EQ(Row(app, dialog, 4), (std::vector<std::string>{"WS2", "NT5.1", "", "ﾏｽﾀﾌﾞﾗｳｻﾞ", "総務部"}));
    {
        BrowseListScope scope(app, dialog);
        const char* titles[] = {"ﾏｼﾝ名", "OS", "PDC/BDC", "ﾌﾞﾗｳｻﾞ", "ｺﾒﾝﾄ"};
        const int margins[] = {80, 40, 60, 60, 100};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(app.ColumnTitle(i), titles[i]);
            EXPECT_EQ(app.ColumnWidth(i), app.StringWidth(titles[i]) + margins[i]) << i;
        }
        const auto extended = SendMessageW(app.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
        EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
    }
    EXPECT_FALSE(SendMessageW(GetDlgItem(dialog, IDC_SHOW_ONLY_SERVER), BM_GETCHECK, 0, 0));
    GUITHREADINFO focus{};
    focus.cbSize = sizeof focus;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus));
    EXPECT_EQ(focus.hwndFocus, GetDlgItem(dialog, IDC_COMPUTER_NAME));

    // A click on a row copies its name; a click beside the rows changes nothing.
    ClickBrowseRow(app, dialog, 3);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "NT4");
    {
        BrowseListScope scope(app, dialog);
        EXPECT_EQ(app.SelectedRow(), 3);
        RECT last{};
        ASSERT_TRUE(app.RowRect(4, last));
        app.ClickList({last.left + 20, last.bottom + 10});
        EXPECT_EQ(app.SelectedRow(), 3);
    }
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "NT4");
    app.ClickButton(dialog, IDOK);
    app.Settle();
    EXPECT_EQ(app.TreeNames(), std::vector<std::string>{"NT4"});
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "");

    // A double-click adds the row at once; the same machine again is a duplicate.
    ClickBrowseRow(app, dialog, 2, true);
    EXPECT_EQ(app.TreeNames(), (std::vector<std::string>{"NT4", "DC1"}));
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "");
    ClickBrowseRow(app, dialog, 2, true);
    EXPECT_EQ(app.TreeNames(), (std::vector<std::string>{"NT4", "DC1"}));
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "DC1");
    // Typed names are added as before.
    SetControlText(dialog, IDC_COMPUTER_NAME, "192.168.1.5");
    app.ClickButton(dialog, IDOK);
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (std::vector<std::string>{"NT4", "DC1", "192.168.1.5"}));
    // Keys that move the selection fill the name box as a click does; Enter adds.
    ClickBrowseRow(app, dialog, 0);
    const HWND browse = GetDlgItem(dialog, IDC_BROWSE_LIST);
    app.Key(browse, VK_DOWN);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "BDC2");
    app.Key(browse, VK_END);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))), "WS2");
    app.Key(browse, VK_RETURN);
    EXPECT_EQ(app.TreeNames(), (std::vector<std::string>{"NT4", "DC1", "192.168.1.5", "WS2"}));

    // Another domain replaces the rows.
    Browse(app, dialog, "SMALL");
    EXPECT_EQ(Column(app, dialog, 0), std::vector<std::string>{"ONLY1"});
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(AddComputer, EveryBrowseFailureIsShownAndKeepsTheRows) {
    TestNetwork net(kWithCache);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings(nullptr));
    App app(net.Arguments());
    ASSERT_READY(app);
    HWND dialog = OpenAddDialog(app);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Column(app, dialog, 0), kAllNames);

    struct Case {
        const char* domain;
        const char* caption;
        const char* start;
    };
    const Case cases[] = {
        {"DENIED", "注意 305", "アクセスが拒否されました。"},
        {"TOOMANY", "注意 302", "データの取得に失敗しました。"},
        {"NOBROWSER", "注意 303", "ブラウザサーバが見つかりませんでした。"},
        {"BADNAME", "注意 304", "コンピュータ名が不正です。"},
        {"ODD", "注意　301", "不明な原因でﾌﾞﾗｳｻﾞ一覧を取得できませんでした。"},
        // A domain the browser does not know.
        {"BRANCH", "注意 303", "ブラウザサーバが見つかりませんでした。"},
    };
    for (const Case& c : cases) {
        Browse(app, dialog, c.domain);
        HWND message = app.WaitForDialog(c.caption);
        ASSERT_NE(message, nullptr) << c.domain;
        EXPECT_EQ(app.DialogText(message).rfind(c.start, 0), 0u) << app.DialogText(message);
        EXPECT_EQ(GetWindow(message, GW_OWNER), dialog);
        app.ClickButton(message, IDOK);
        ASSERT_TRUE(app.WaitForDialog(kAddTitle) == dialog);
        EXPECT_EQ(app.Dialogs().size(), 1u);
        EXPECT_EQ(Column(app, dialog, 0), kAllNames) << c.domain;
    }
    // More data with entries read: no message, the part read is the list.
    Browse(app, dialog, "PARTIAL");
    EXPECT_EQ(app.Dialogs().size(), 1u);
    EXPECT_EQ(Column(app, dialog, 0), (std::vector<std::string>{"P1", "P2"}));
    // No domain: the request for one, and no browse.
    Browse(app, dialog, "");
    HWND message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), "ﾄﾞﾒｲﾝ名/ﾜｰｸｸﾞﾙｰﾌﾟを入力してください。");
    app.ClickButton(message, IDOK);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(AddComputer, ServersOnlyFilterIsKeptAcrossVisitsAndStarts) {
    TestNetwork net(kWithCache);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings(nullptr));
    {
        App app(net.Arguments());
        ASSERT_READY(app);
        HWND dialog = OpenAddDialog(app);
        ASSERT_NE(dialog, nullptr);
        ToggleBox(app, dialog, IDC_SHOW_ONLY_SERVER);
        // The box alone does not browse again.
        EXPECT_EQ(Column(app, dialog, 0), kAllNames);
        app.ClickButton(dialog, IDC_GET_COMPUTER_LIST);
        app.Settle();
        EXPECT_EQ(Column(app, dialog, 0), (std::vector<std::string>{"BDC2", "DC1", "NT4"}));
        app.ClickButton(dialog, IDCANCEL);
        ASSERT_TRUE(app.WaitForNoDialog());
        // The Insert key opens the same dialog, the box as it was left.
        app.Key(app.tree, VK_INSERT);
        dialog = app.WaitForDialog(kAddTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(Checked(dialog, IDC_SHOW_ONLY_SERVER));
        EXPECT_EQ(Column(app, dialog, 0), (std::vector<std::string>{"BDC2", "DC1", "NT4"}));
        app.ClickButton(dialog, IDCANCEL);
        ASSERT_TRUE(app.WaitForNoDialog());
        EXPECT_EQ(app.Close(), 0);
    }
    DWORD stored = 0;
    EXPECT_TRUE(settings::ReadDword("ShowOnlyServer", stored));
    EXPECT_EQ(stored, 1u);

    // DontShowComList: the domain is offered but nothing is browsed until asked.
    ASSERT_TRUE(settings::SetDword("DontShowComList", 1));
    App app(net.Arguments());
    ASSERT_READY(app);
    HWND dialog = OpenAddDialog(app);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_DOMAIN))), "OFFICE");
    EXPECT_TRUE(Column(app, dialog, 0).empty());
    app.ClickButton(dialog, IDC_GET_COMPUTER_LIST);
    app.Settle();
    EXPECT_EQ(Column(app, dialog, 0), (std::vector<std::string>{"BDC2", "DC1", "NT4"}));
    ToggleBox(app, dialog, IDC_SHOW_ONLY_SERVER);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
    EXPECT_TRUE(settings::ReadDword("ShowOnlyServer", stored));
    EXPECT_EQ(stored, 0u);
}

TEST(AddComputer, WithoutDCacheTheWorkstationsGroupIsBrowsed) {
    TestNetwork net(kOffice);
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings(nullptr));
    App app(net.Arguments());
    ASSERT_READY(app);
    HWND dialog = OpenAddDialog(app);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_DOMAIN))), "OFFICE");
    EXPECT_TRUE(ComboItems(dialog).empty());
    EXPECT_EQ(Column(app, dialog, 0), kAllNames);
    // Typing into the domain box stops at 32 bytes, double-byte characters counting two.
    SetControlText(dialog, IDC_DOMAIN, "");
    HWND edit = FindWindowExW(GetDlgItem(dialog, IDC_DOMAIN), nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    for (int i = 0; i < 20; ++i) PostMessageW(edit, WM_CHAR, 0x30C9, 1);
    app.Settle();
    EXPECT_EQ(Narrow(WindowText(GetDlgItem(dialog, IDC_DOMAIN))), "ドドドドドドドドドドドドドドドド");
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
