// The main frame: toolbar and status bar (prompts, tooltips, indicators,
// hiding), the panes' keys and the document keys that change nothing.

#include "common.h"

#include "gui/resources/resource.h"

using namespace quorvin::gui_test;

namespace {

// The client rectangle of toolbar button `index` (0 = the first button).
RECT ButtonRect(App& app, int index) {
    RemoteMemory memory(app.Process().ProcessHandle(), sizeof(RECT));
    RECT rect{};
    if (SendMessageW(app.toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(memory.Address())))
        memory.Read(0, &rect, sizeof rect);
    return rect;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

bool WaitForStatus(App& app, int pane, const std::string& text) {
    for (int i = 0; i < 100; ++i) {
        if (app.StatusText(pane) == text) return true;
        Sleep(20);
    }
    return false;
}

TEST(Frame, ToolbarButtonsCommandPromptAndTip) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    const RECT add = ButtonRect(app, 0);
    const POINT center{(add.left + add.right) / 2, (add.top + add.bottom) / 2};
    // The buttons hold images of 46 x 30 pixels.
    EXPECT_GT(add.right - add.left, 46);
    EXPECT_GT(add.bottom - add.top, 30);

    // Hovering a button shows its prompt in the status bar, leaving it restores the pane.
    app.ClickList({100, 100});
    ASSERT_EQ(app.StatusText(0), "0/0");
    PostMessageW(app.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(center.x, center.y));
    EXPECT_TRUE(WaitForStatus(app, 0, "イベントログを取得するコンピュータをリストに追加"));
    // The tooltip is the second half of the command's string.
    POINT screen = center;
    ClientToScreen(app.toolbar, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(app.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(center.x, center.y));
    bool tipShown = false;
    for (int i = 0; i < 100 && !tipShown; ++i) {
        Sleep(20);
        HWND tip = FindWindowW(L"tooltips_class32", nullptr);
        for (; tip; tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr))
            if (IsWindowVisible(tip) && Narrow(WindowText(tip)) == "コンピュータをリストへ追加") tipShown = true;
    }
    EXPECT_TRUE(tipShown);
    SetCursorPos(2, 700);
    PostMessageW(app.toolbar, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(WaitForStatus(app, 0, "0/0"));

    // A click on the button gives its command: the add dialog.
    PostMessageW(app.toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(center.x, center.y));
    PostMessageW(app.toolbar, WM_LBUTTONUP, 0, MAKELPARAM(center.x, center.y));
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(Frame, MenuItemsShowTheirPromptWhileHighlighted) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    app.ClickList({100, 100});
    // Alt+F opens the file menu with its first item highlighted.
    PostMessageW(app.frame, WM_SYSCOMMAND, SC_KEYMENU, 'f');
    EXPECT_TRUE(WaitForStatus(app, 0, "プログラムの実行方法を説明しながら、クイックスタート"));
    HWND menu = app.WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_TRUE(WaitForStatus(app, 0, "イベントログを取得するコンピュータをリストに追加"));
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_TRUE(WaitForStatus(app, 0, "保存されたイベントログ ファイル(.evtx、.evt)を開いて一覧に表示"));
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_TRUE(WaitForStatus(app, 0, "収集したイベントログﾞをテキストファイルへ保存"));
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 1);
    // The menu closed: the pane shows what it showed before.
    EXPECT_TRUE(WaitForStatus(app, 0, "0/0"));
    EXPECT_EQ(app.Close(), 0);
}

TEST(Frame, IndicatorsFollowTheLockKeys) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    const DWORD thread = GetWindowThreadProcessId(app.frame, nullptr);
    ASSERT_TRUE(AttachThreadInput(GetCurrentThreadId(), thread, TRUE));
    BYTE state[256] = {};
    GetKeyboardState(state);
    BYTE changed[256];
    std::copy(std::begin(state), std::end(state), changed);
    changed[VK_CAPITAL] |= 1;
    changed[VK_NUMLOCK] &= ~1;
    changed[VK_SCROLL] |= 1;
    SetKeyboardState(changed);
    const bool on = WaitForStatus(app, 2, "CAP") && WaitForStatus(app, 3, "") && WaitForStatus(app, 4, "SCRL");
    changed[VK_CAPITAL] &= ~1;
    SetKeyboardState(changed);
    const bool off = WaitForStatus(app, 2, "");
    SetKeyboardState(state);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    EXPECT_TRUE(on);
    EXPECT_TRUE(off);
    EXPECT_EQ(app.Close(), 0);
}

TEST(Frame, ViewMenuHidesAndShowsTheBars) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    RECT treeBefore{};
    GetWindowRect(app.tree, &treeBefore);
    app.Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(IsWindowVisible(app.dockBar));
    RECT treeAfter{};
    GetWindowRect(app.tree, &treeAfter);
    EXPECT_LT(treeAfter.top, treeBefore.top);
    app.Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(IsWindowVisible(app.status));
    GetWindowRect(app.tree, &treeAfter);
    EXPECT_GT(treeAfter.bottom, treeBefore.bottom);
    app.Command(ID_VIEW_TOOLBAR);
    app.Command(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(IsWindowVisible(app.dockBar));
    EXPECT_TRUE(IsWindowVisible(app.status));
    GetWindowRect(app.tree, &treeAfter);
    EXPECT_EQ(treeAfter.top, treeBefore.top);
    EXPECT_EQ(treeAfter.bottom, treeBefore.bottom);
    EXPECT_EQ(app.Close(), 0);
}

TEST(Frame, PaneKeysAndDocumentKeysLeaveTheListsAlone) {
    ASSERT_TRUE(FreshSettings("pc1;pc2;"));
    App app;
    ASSERT_READY(app);
    app.InsertRow({0, {"情報", "2003/01/15 10:00:00  ", "ｼｽﾃﾑ", "pc1", "src", "1", "text"}});
    app.Settle();
    // F6 and Shift+F6 move the focus between the two panes.
    EXPECT_EQ(FocusOf(app.frame), app.tree);
    app.Key(app.tree, VK_F6);
    EXPECT_EQ(FocusOf(app.frame), app.list);
    app.KeyWithModifier(app.list, VK_SHIFT, VK_F6);
    EXPECT_EQ(FocusOf(app.frame), app.tree);
    // Ctrl+N, Ctrl+O and Ctrl+S: no dialog, both lists as they were.
    for (UINT key : {'N', 'O', 'S'}) {
        app.KeyWithModifier(app.tree, VK_CONTROL, key);
        app.KeyWithModifier(app.list, VK_CONTROL, key);
    }
    Sleep(200);
    EXPECT_TRUE(app.Dialogs().empty());
    EXPECT_EQ(app.TreeNames(), (std::vector<std::string>{"pc1", "pc2"}));
    EXPECT_EQ(app.TreeCount(), 3);
    EXPECT_EQ(app.RowCount(), 1);
    EXPECT_EQ(app.ColumnTitle(7), "ﾒｯｾｰｼﾞ");
    EXPECT_EQ(app.ColumnWidth(8), 0);
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
