#include "ui/dock_bar.h"

#include <algorithm>
#include <cstdlib>

namespace quorvin::ui {

namespace {
const wchar_t kBarClass[] = L"QuorvinDockBar";
const wchar_t kFloatingClass[] = L"QuorvinFloatingBar";
constexpr WORD kSizeAllCursor = 32646;  // IDC_SIZEALL
constexpr WORD kArrowCursor = 32512;    // IDC_ARROW

POINT PointOf(LPARAM lParam) { return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; }
}  // namespace

bool DockBar::Create(HWND parent, int id) {
    if (!RegisterWindowClass(kBarClass, nullptr, LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursor)),
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    return Window::Create(0, kBarClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

void DockBar::SetContent(HWND content) {
    content_ = content;
    Layout();
}

void DockBar::SetUpright(bool upright) {
    upright_ = upright;
    Layout();
    // Without a repaint the gripper stays drawn where it was until the next WM_PAINT.
    static_cast<void>(InvalidateRect(Handle(), nullptr, TRUE));
}

SIZE DockBar::SizeAround(SIZE content) const {
    if (upright_) return {content.cx + 2 * kBorder, content.cy + kGripper + 2 * kBorder};
    return {content.cx + kGripper + 2 * kBorder, content.cy + 2 * kBorder};
}

RECT DockBar::GripperRect() const {
    RECT client{};
    if (!GetClientRect(Handle(), &client)) return client;
    if (upright_) return {kBorder, kBorder, client.right - kBorder, kBorder + kGripper};
    return {kBorder, kBorder, kBorder + kGripper, client.bottom - kBorder};
}

void DockBar::Layout() const {
    RECT client{};
    if (!content_ || !GetClientRect(Handle(), &client)) return;
    const int x = kBorder + (upright_ ? 0 : kGripper);
    const int y = kBorder + (upright_ ? kGripper : 0);
    Place(content_, x, y, std::max(0, static_cast<int>(client.right) - x - kBorder),
          std::max(0, static_cast<int>(client.bottom) - y - kBorder));
}

void DockBar::Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    if (!dc) return;
    // Two raised ridges along the leading edge; a ridge that cannot be drawn leaves the face plain.
    RECT ridge = GripperRect();
    if (upright_) {
        ridge.left += 1;
        ridge.right -= 1;
        ridge.top += 2;
        ridge.bottom = ridge.top + 3;
    } else {
        ridge.top += 1;
        ridge.bottom -= 1;
        ridge.left += 2;
        ridge.right = ridge.left + 3;
    }
    for (int i = 0; i < 2; ++i) {
        static_cast<void>(DrawEdge(dc, &ridge, BDR_RAISEDINNER, BF_RECT));
        if (upright_)
            static_cast<void>(OffsetRect(&ridge, 0, 3));
        else
            static_cast<void>(OffsetRect(&ridge, 3, 0));
    }
    static_cast<void>(EndPaint(Handle(), &paint));
}

LRESULT DockBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        // The gripper runs the whole length: all of it is drawn again.
        static_cast<void>(InvalidateRect(Handle(), nullptr, TRUE));
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
        // The content's notifications belong to the window that uses it.
        return SendMessageW(GetParent(Handle()), message, wParam, lParam);
    case WM_SETCURSOR: {
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == Handle()) {
            POINT cursor{};
            const RECT gripper = GripperRect();
            if (GetCursorPos(&cursor) && ScreenToClient(Handle(), &cursor) && PtInRect(&gripper, cursor)) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kSizeAllCursor)));
                return TRUE;
            }
        }
        break;
    }
    case WM_LBUTTONDOWN: {
        const POINT at = PointOf(lParam);
        const RECT gripper = GripperRect();
        if (PtInRect(&gripper, at)) {
            dragging_ = true;
            dragStart_ = at;
            SetCapture(Handle());
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        if (!dragging_) return 0;
        dragging_ = false;
        // Releasing a capture we no longer hold is no failure worth telling.
        static_cast<void>(ReleaseCapture());
        POINT at = PointOf(lParam);
        // A click without a drag moves nothing.
        if (std::abs(at.x - dragStart_.x) <= GetSystemMetrics(SM_CXDRAG) &&
            std::abs(at.y - dragStart_.y) <= GetSystemMetrics(SM_CYDRAG))
            return 0;
        if (!ClientToScreen(Handle(), &at)) return 0;
        host_.GripperDropped(at);
        return 0;
    }
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam);
}

bool FloatingWindow::Create(HWND owner, std::string_view title) {
    if (!RegisterWindowClass(kFloatingClass, nullptr, LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursor)),
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    return Window::Create(WS_EX_TOOLWINDOW, kFloatingClass, title,
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, 0, 0, 100, 60, owner,
                          nullptr) != nullptr;
}

SIZE FloatingWindow::WindowSizeFor(SIZE client) const {
    RECT rect{0, 0, client.cx, client.cy};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
    // Should the system not say, the client size stands for the window size.
    if (!AdjustWindowRectEx(&rect, style, FALSE, exStyle)) return client;
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void FloatingWindow::ShowAt(POINT screen, SIZE client) {
    const SIZE size = WindowSizeFor(client);
    if (!SetWindowPos(Handle(), nullptr, screen.x, screen.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE))
        return;
    // A window that keeps its last size gets no WM_SIZE: the child, which
    // comes in another shape, is fitted here too.
    FitChild();
    ShowWindow(Handle(), SW_SHOWNA);
}

void FloatingWindow::FitChild() const {
    RECT client{};
    if (child_ && GetClientRect(Handle(), &client)) Place(child_, 0, 0, client.right, client.bottom);
}

LRESULT FloatingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WINDOWPOSCHANGING: {
        auto& pos = *reinterpret_cast<WINDOWPOS*>(lParam);
        if (pos.flags & SWP_NOSIZE) break;
        // The height follows the rows the width leaves the content.
        const SIZE frame = WindowSizeFor({0, 0});
        const SIZE client = host_.FloatingClientSize(std::max(0, static_cast<int>(pos.cx - frame.cx)));
        pos.cx = client.cx + frame.cx;
        pos.cy = client.cy + frame.cy;
        return 0;
    }
    case WM_SIZE:
        FitChild();
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION) {
            host_.FloatingCaptionDoubleClicked();
            return 0;
        }
        break;
    case WM_MOVING:
        moving_ = true;
        break;
    case WM_EXITSIZEMOVE: {
        POINT cursor{};
        if (moving_ && GetCursorPos(&cursor)) {
            moving_ = false;
            host_.FloatingMoved(cursor);
        }
        moving_ = false;
        return 0;
    }
    case WM_NOTIFY:
    case WM_COMMAND:
        // What the bar passes up belongs to the owner, the window that uses the bar.
        return SendMessageW(GetWindow(Handle(), GW_OWNER), message, wParam, lParam);
    case WM_CLOSE:
        host_.FloatingClosed();
        return 0;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam);
}

}  // namespace quorvin::ui
