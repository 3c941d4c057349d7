#include "ui/splitter.h"

#include <algorithm>

namespace quorvin::ui {

namespace {
const wchar_t kClassName[] = L"QuorvinSplitter";
constexpr WORD kSizeWestEastCursor = 32644;  // IDC_SIZEWE
}  // namespace

bool Splitter::Create(HWND parent, int id) {
    if (!RegisterWindowClass(kClassName, nullptr, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;
    return Window::Create(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

void Splitter::SetPanes(HWND left, HWND right, int leftWidth) {
    left_ = left;
    right_ = right;
    leftWidth_ = leftWidth;
    Layout();
}

void Splitter::Layout() const {
    RECT client{};
    if (!GetClientRect(Handle(), &client)) return;
    const int height = client.bottom;
    const int rightX = leftWidth_ + kBarWidth;
    if (left_) Place(left_, 0, 0, leftWidth_, height);
    if (right_) Place(right_, rightX, 0, std::max(0, static_cast<int>(client.right) - rightX), height);
}

LRESULT Splitter::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CONTEXTMENU:
        return SendMessageW(GetParent(Handle()), message, wParam, lParam);
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == Handle()) {
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kSizeWestEastCursor)));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN: {
        const int x = static_cast<short>(LOWORD(lParam));
        if (OnBar(x)) {
            dragOffset_ = x - leftWidth_;
            SetCapture(Handle());
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragOffset_ >= 0) {
            RECT client{};
            if (GetClientRect(Handle(), &client)) {
                const int x = static_cast<short>(LOWORD(lParam));
                leftWidth_ = std::clamp(x - dragOffset_, 0, std::max(0, static_cast<int>(client.right) - kBarWidth));
                Layout();
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragOffset_ >= 0) {
            dragOffset_ = -1;
            // Releasing a capture we no longer hold is no failure worth telling.
            static_cast<void>(ReleaseCapture());
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragOffset_ = -1;
        return 0;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam);
}

}  // namespace quorvin::ui
