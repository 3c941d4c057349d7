// The main window's toolbar docked on each edge and floating: dragged by its
// gripper with mouse messages, the panes and the status bar laid out around
// it, its buttons' commands, the View menu in each position, the floating
// window's resizing, caption double-click and close box.

#include "common.h"

#include "gui/resources/resource.h"

using namespace quorvin::gui_test;

namespace {

enum class Edge { Top, Bottom, Left, Right };

RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientOnScreen(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The client rectangle of toolbar button `index`.
RECT ButtonRect(App& app, int index) {
    RemoteMemory memory(app.Process().ProcessHandle(), sizeof(RECT));
    RECT rect{};
    if (SendMessageW(app.toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(memory.Address())))
        memory.Read(0, &rect, sizeof rect);
    return rect;
}

// Presses the gripper of the bar and lets it go at `screen`, as the mouse would.
void DragGripper(App& app, POINT screen) {
    RECT bar{};
    GetClientRect(app.dockBar, &bar);
    const bool upright = bar.bottom > bar.right;
    const POINT grip = upright ? POINT{bar.right / 2, 5} : POINT{5, bar.bottom / 2};
    POINT to = screen;
    ScreenToClient(app.dockBar, &to);
    PostMessageW(app.dockBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grip.x, grip.y));
    PostMessageW(app.dockBar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((grip.x + to.x) / 2, (grip.y + to.y) / 2));
    PostMessageW(app.dockBar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    PostMessageW(app.dockBar, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    app.Settle();
}

// A point just inside `edge` of the frame's client area, half way along it.
POINT NearEdge(App& app, Edge edge) {
    const RECT c = ClientOnScreen(app.frame);
    const int midX = (c.left + c.right) / 2, midY = (c.top + c.bottom) / 2;
    switch (edge) {
    case Edge::Top: return {midX, c.top + 4};
    case Edge::Bottom: return {midX, c.bottom - 4};
    case Edge::Left: return {c.left + 4, midY};
    case Edge::Right: return {c.right - 4, midY};
    }
    return {midX, midY};
}

void ClickButton(App& app, int index) {
    const RECT r = ButtonRect(app, index);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(app.toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(app.toolbar, WM_LBUTTONUP, 0, at);
    app.Settle();
}

// The mouse leaves the toolbar (which looks where the cursor is when told so).
void LeaveToolbar(App& app) {
    const RECT bar = ScreenRect(app.toolbar);
    SetCursorPos(bar.right + 20 < 1000 ? bar.right + 20 : bar.left - 20, bar.top + 5);
    PostMessageW(app.toolbar, WM_MOUSELEAVE, 0, 0);
    app.Settle();
}

bool WaitForStatus(App& app, const std::string& text) {
    for (int i = 0; i < 100; ++i) {
        if (app.StatusText(0) == text) return true;
        Sleep(20);
    }
    return false;
}

// The add button opens its dialog and the delete button removes the current
// computer; hovering the start button shows its prompt.
void ExpectButtonsCommand(App& app, const char* where) {
    SCOPED_TRACE(where);
    const std::string shown = app.StatusText(0);
    const RECT start = ButtonRect(app, 2);
    PostMessageW(app.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM((start.left + start.right) / 2, (start.top + start.bottom) / 2));
    EXPECT_TRUE(WaitForStatus(app, "イベントログの取得を開始"));
    LeaveToolbar(app);
    EXPECT_TRUE(WaitForStatus(app, shown)) << "[" << app.StatusText(0) << "] instead of [" << shown << "]";
    ClickButton(app, 0);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    const std::size_t before = app.TreeNames().size();
    ASSERT_GT(before, 0u);
    app.ClickTree(app.Entry(0));
    ClickButton(app, 1);
    EXPECT_EQ(app.TreeNames().size(), before - 1);
    LeaveToolbar(app);
}

// The bar on `edge`, the splitter beside it and the status bar along the bottom.
void ExpectDockedOn(App& app, Edge edge) {
    const RECT client = ClientOnScreen(app.frame);
    const RECT bar = ScreenRect(app.dockBar);
    const RECT panes = ScreenRect(GetParent(app.tree));
    const RECT status = ScreenRect(app.status);
    EXPECT_EQ(GetParent(app.dockBar), app.frame);
    EXPECT_TRUE(IsWindowVisible(app.dockBar));
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.left, client.left);
    EXPECT_EQ(status.right, client.right);
    const RECT first = ButtonRect(app, 0), second = ButtonRect(app, 1), last = ButtonRect(app, 11);
    switch (edge) {
    case Edge::Top:
    case Edge::Bottom:
        EXPECT_EQ(bar.left, client.left);
        EXPECT_EQ(bar.right, client.right);
        EXPECT_EQ(panes.left, client.left);
        EXPECT_EQ(panes.right, client.right);
        if (edge == Edge::Top) {
            EXPECT_EQ(bar.top, client.top);
            EXPECT_EQ(panes.top, bar.bottom);
            EXPECT_EQ(panes.bottom, status.top);
        } else {
            EXPECT_EQ(bar.bottom, status.top);
            EXPECT_EQ(panes.bottom, bar.top);
            EXPECT_EQ(panes.top, client.top);
        }
        // One row.
        EXPECT_EQ(first.top, last.top);
        EXPECT_GT(last.left, first.left);
        break;
    case Edge::Left:
    case Edge::Right:
        EXPECT_EQ(bar.top, client.top);
        EXPECT_EQ(bar.bottom, status.top);
        EXPECT_EQ(panes.top, client.top);
        EXPECT_EQ(panes.bottom, status.top);
        if (edge == Edge::Left) {
            EXPECT_EQ(bar.left, client.left);
            EXPECT_EQ(panes.left, bar.right);
            EXPECT_EQ(panes.right, client.right);
        } else {
            EXPECT_EQ(bar.right, client.right);
            EXPECT_EQ(panes.right, bar.left);
            EXPECT_EQ(panes.left, client.left);
        }
        // One column, narrower than it is high.
        EXPECT_LT(bar.right - bar.left, bar.bottom - bar.top);
        EXPECT_EQ(first.left, second.left);
        EXPECT_GE(second.top, first.bottom);
        EXPECT_GT(last.top, second.top);
        EXPECT_LE(bar.right - bar.left, 2 * (first.right - first.left));
        break;
    }
}

// The pixels the screen shows of the frame's client area.
std::vector<COLORREF> ClientPixels(App& app) {
    const RECT c = ClientOnScreen(app.frame);
    const int width = c.right - c.left, height = c.bottom - c.top;
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, c.left, c.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// What the screen shows of the frame once the program has painted all it
// knows to be out of date and the system's news of uncovered parts (a
// hidden floating window's) have come: the same pixels twice in a row.
std::vector<COLORREF> SettledPixels(App& app) {
    std::vector<COLORREF> shown;
    for (int i = 0; i < 40; ++i) {
        RedrawWindow(app.frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        app.Settle();
        std::vector<COLORREF> now = ClientPixels(app);
        if (now == shown) break;
        shown = std::move(now);
        Sleep(50);
    }
    return shown;
}

// The frame shows what its windows paint: painting every window again
// changes no pixel (a pane moved with stale pixels, such as a blank column
// header or half a tree, would change).
void ExpectShownAsPainted(App& app, const char* where) {
    SCOPED_TRACE(where);
    // No button is hot while the pointer is away from the frame.
    const RECT frame = ScreenRect(app.frame);
    SetCursorPos(frame.right + 100, frame.bottom + 100);
    PostMessageW(app.toolbar, WM_MOUSELEAVE, 0, 0);
    const std::vector<COLORREF> shown = SettledPixels(app);
    RedrawWindow(app.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    const std::vector<COLORREF> painted = SettledPixels(app);
    ASSERT_EQ(shown.size(), painted.size());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) differ += shown[i] != painted[i];
    EXPECT_EQ(differ, 0u);
}

HWND FloatingWindowOf(App& app) {
    HWND parent = GetParent(app.dockBar);
    return parent != app.frame ? parent : nullptr;
}

}  // namespace

TEST(Toolbar, DocksOnEveryEdgeWithPanesAroundAndViewMenuHidesItThere) {
    ASSERT_TRUE(FreshSettings(Names(12).c_str()));
    App app;
    ASSERT_READY(app);
    // Each start docks it at the top.
    ExpectDockedOn(app, Edge::Top);

    const struct {
        Edge edge;
        const char* name;
    } edges[] = {{Edge::Left, "left"}, {Edge::Bottom, "bottom"}, {Edge::Right, "right"}, {Edge::Top, "top"}};
    for (const auto& e : edges) {
        SCOPED_TRACE(e.name);
        DragGripper(app, NearEdge(app, e.edge));
        ExpectDockedOn(app, e.edge);
        ExpectShownAsPainted(app, e.name);
        ExpectButtonsCommand(app, e.name);

        // Hidden, the panes take its room; shown, it comes back on the same edge.
        app.Command(ID_VIEW_TOOLBAR);
        EXPECT_FALSE(IsWindowVisible(app.dockBar));
        const RECT client = ClientOnScreen(app.frame);
        const RECT panes = ScreenRect(GetParent(app.tree));
        EXPECT_EQ(panes.left, client.left);
        EXPECT_EQ(panes.top, client.top);
        EXPECT_EQ(panes.right, client.right);
        EXPECT_EQ(panes.bottom, ScreenRect(app.status).top);
        app.Command(ID_VIEW_TOOLBAR);
        ExpectDockedOn(app, e.edge);
    }
    // A click on the gripper without a drag leaves it where it is.
    const RECT before = ScreenRect(app.dockBar);
    PostMessageW(app.dockBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 10));
    PostMessageW(app.dockBar, WM_LBUTTONUP, 0, MAKELPARAM(5, 10));
    app.Settle();
    const RECT after = ScreenRect(app.dockBar);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(app.Close(), 0);
}

TEST(Toolbar, FloatsInAToolWindowThatWrapsAndDocksAgain) {
    ASSERT_TRUE(FreshSettings(Names(12).c_str()));
    App app;
    ASSERT_READY(app);
    const RECT client = ClientOnScreen(app.frame);
    const POINT middle{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    DragGripper(app, middle);

    HWND floating = FloatingWindowOf(app);
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ(ClassName(floating), "QuorvinFloatingBar");
    EXPECT_TRUE(IsWindowVisible(floating));
    EXPECT_EQ(Narrow(WindowText(floating)), "ツールバー");
    EXPECT_EQ(GetWindow(floating, GW_OWNER), app.frame);
    const LONG_PTR style = GetWindowLongPtrW(floating, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongPtrW(floating, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    // Let go where the pointer was; one row; the panes fill the frame down to the status bar.
    const RECT at = ScreenRect(floating);
    EXPECT_EQ(at.left, middle.x);
    EXPECT_EQ(at.top, middle.y);
    EXPECT_EQ(ButtonRect(app, 0).top, ButtonRect(app, 11).top);
    const RECT panes = ScreenRect(GetParent(app.tree));
    EXPECT_EQ(panes.top, client.top);
    EXPECT_EQ(panes.bottom, ScreenRect(app.status).top);
    ExpectButtonsCommand(app, "floating");

    // Narrower, the buttons wrap into rows and the window grows to hold them all.
    const RECT wide = ScreenRect(floating);
    SetWindowPos(floating, nullptr, 0, 0, (wide.right - wide.left) / 2, wide.bottom - wide.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    app.Settle();
    const RECT narrow = ScreenRect(floating);
    EXPECT_LT(narrow.right - narrow.left, wide.right - wide.left);
    EXPECT_GT(narrow.bottom - narrow.top, wide.bottom - wide.top);
    const RECT lastButton = ButtonRect(app, 11);
    EXPECT_GT(lastButton.top, ButtonRect(app, 0).top);
    RECT toolbarClient{};
    GetClientRect(app.toolbar, &toolbarClient);
    EXPECT_LE(lastButton.bottom, toolbarClient.bottom);
    EXPECT_LE(lastButton.right, toolbarClient.right);
    const RECT floatingClient = ClientOnScreen(floating);
    const RECT toolbarOnScreen = ClientOnScreen(app.toolbar);
    EXPECT_LE(toolbarOnScreen.bottom, floatingClient.bottom);
    ExpectButtonsCommand(app, "wrapped");
    // As narrow as it goes: one button a row.
    SetWindowPos(floating, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    app.Settle();
    EXPECT_EQ(ButtonRect(app, 0).left, ButtonRect(app, 1).left);
    EXPECT_GE(ButtonRect(app, 1).top, ButtonRect(app, 0).bottom);

    // The View menu hides and shows the floating window.
    app.Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(IsWindowVisible(floating));
    EXPECT_FALSE(IsWindowVisible(app.dockBar));
    app.Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(IsWindowVisible(floating));
    EXPECT_TRUE(IsWindowVisible(app.dockBar));
    // Its close box hides it too; the View menu brings it back.
    PostMessageW(floating, WM_CLOSE, 0, 0);
    app.Settle();
    EXPECT_FALSE(IsWindowVisible(floating));
    app.Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(IsWindowVisible(floating));

    // A double click on its caption docks it at the top, in one row again.
    const RECT caption = ScreenRect(floating);
    PostMessageW(floating, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.left + 20, caption.top + 5));
    app.Settle();
    EXPECT_FALSE(IsWindowVisible(floating));
    ExpectDockedOn(app, Edge::Top);

    // Floating again, its gripper dragged to the left edge docks it there.
    DragGripper(app, middle);
    ASSERT_EQ(FloatingWindowOf(app), floating);
    EXPECT_TRUE(IsWindowVisible(floating));
    DragGripper(app, NearEdge(app, Edge::Left));
    EXPECT_FALSE(IsWindowVisible(floating));
    ExpectDockedOn(app, Edge::Left);
    ExpectShownAsPainted(app, "left from floating");
    // Floating from the left edge: one row of every button, all inside the window.
    DragGripper(app, middle);
    EXPECT_EQ(ButtonRect(app, 0).top, ButtonRect(app, 11).top);
    RECT shown{};
    GetClientRect(app.toolbar, &shown);
    EXPECT_LE(ButtonRect(app, 11).right, shown.right);
    EXPECT_LE(ClientOnScreen(app.toolbar).right, ClientOnScreen(floating).right);
    ExpectShownAsPainted(app, "floating from the left");
    // Docked at the top from there, the list's headers are drawn.
    PostMessageW(floating, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.left + 20, caption.top + 5));
    app.Settle();
    ExpectDockedOn(app, Edge::Top);
    ExpectShownAsPainted(app, "top from floating");
    // And from the left edge straight to the bottom.
    DragGripper(app, NearEdge(app, Edge::Left));
    DragGripper(app, NearEdge(app, Edge::Bottom));
    ExpectDockedOn(app, Edge::Bottom);
    // The program ends as usual with the toolbar floating.
    DragGripper(app, middle);
    EXPECT_TRUE(IsWindowVisible(floating));
    EXPECT_EQ(app.Close(), 0);
    EXPECT_FALSE(IsWindow(floating));
}

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[2048] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 2048);
    return n > 0 && n < 2048 ? std::wstring(value, n) : std::wstring();
}

// Makes the file `path`, tells the picture taker the window is ready, and holds it.
void HoldForPicture(const std::wstring& path) {
    HANDLE marker = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    const std::wstring hold = Environment(L"QUORVIN_SCREENSHOT_HOLD_MS");
    Sleep(hold.empty() ? 8000 : static_cast<DWORD>(std::stoul(hold)));
}

}  // namespace

// Not a check: the pictures of docs/ui.md. Runs only with
// QUORVIN_SCREENSHOT_TOOLBAR naming a file prefix: PREFIX-left is made
// while the toolbar is docked on the left, PREFIX-floating while it floats
// in three rows; each is held for QUORVIN_SCREENSHOT_HOLD_MS (8000).
TEST(Screenshot, ToolbarDockedLeftAndFloating) {
    const std::wstring prefix = Environment(L"QUORVIN_SCREENSHOT_TOOLBAR");
    if (prefix.empty()) GTEST_SKIP() << "QUORVIN_SCREENSHOT_TOOLBAR not set";
    ASSERT_TRUE(FreshSettings("DC01;FS01;PC01;PC02;NT4SV;"));
    App app;
    ASSERT_READY(app);
    SetWindowPos(app.frame, nullptr, 40, 30, 900, 640, SWP_NOZORDER);
    app.Settle();
    app.ClickTree(app.Entry(0));
    DragGripper(app, NearEdge(app, Edge::Left));
    RedrawWindow(app.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    app.Settle();
    HoldForPicture(prefix + L"-left");

    const RECT client = ClientOnScreen(app.frame);
    DragGripper(app, {(client.left + client.right) / 2 - 60, (client.top + client.bottom) / 2 - 80});
    HWND floating = FloatingWindowOf(app);
    ASSERT_NE(floating, nullptr);
    const RECT wide = ScreenRect(floating);
    SetWindowPos(floating, nullptr, 0, 0, (wide.right - wide.left) * 4 / 10, wide.bottom - wide.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    app.Settle();
    RedrawWindow(floating, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    app.Settle();
    HoldForPicture(prefix + L"-floating");
    EXPECT_EQ(app.Close(), 0);
}
