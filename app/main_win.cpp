// Entry point of quorvin.exe: one main window and its message loop.

#include <windows.h>

#include "platform/text/cp932.h"

namespace {

const wchar_t kFrameClass[] = L"QuorvinMainFrame";
const char kWindowTitle[] = "クォーヴィン for Windows NT Ver 1.2";

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Wide(const char* cp932) {
    const std::u16string s = quorvin::text::ToUtf16(cp932);
    return std::wstring(s.begin(), s.end());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassExW(&wc)) return 1;

    HWND frame = CreateWindowExW(0, kFrameClass, L"quorvin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 800, 600, nullptr, nullptr, instance, nullptr);
    if (!frame) return 1;
    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    SetWindowTextW(frame, Wide(kWindowTitle).c_str());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
