#include "ui/window.h"

#include <vector>

namespace quorvin::ui {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

namespace {

std::wstring WideText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    if (copied <= 0) return {};
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

// The place (from 1) of the first character of `text` that code page 932
// can only give as its default character; 0 when there is none.
std::size_t FirstCharacterWithoutCp932(std::wstring_view text) {
    std::size_t character = 1;
    for (std::size_t i = 0; i < text.size(); ++character) {
        const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        const int units = pair ? 2 : 1;
        char bytes[8];
        BOOL usedDefault = FALSE;
        const int made = WideCharToMultiByte(932, 0, text.data() + i, units, bytes, sizeof bytes, nullptr, &usedDefault);
        if (made <= 0 || usedDefault) return character;
        i += static_cast<std::size_t>(units);
    }
    return 0;
}

}  // namespace

std::string Text(HWND window) {
    const std::wstring wide = WideText(window);
    return win32::Narrow(wide.data(), wide.size());
}

bool ExactText(HWND window, std::string& cp932, std::size_t& character) {
    const std::wstring wide = WideText(window);
    cp932 = win32::Narrow(wide.data(), wide.size());
    character = FirstCharacterWithoutCp932(wide);
    return character == 0;
}

bool SetText(HWND window, std::string_view cp932) {
    const std::wstring wide = win32::Wide(cp932);
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) != FALSE;
}

void Discard(HWND window) {
    if (window && !DestroyWindow(window)) ShowWindow(window, SW_HIDE);
}

void Place(HWND window, int x, int y, int width, int height) {
    if (!MoveWindow(window, x, y, width, height, TRUE)) InvalidateRect(GetParent(window), nullptr, TRUE);
}

void RepaintNow(HWND window) {
    // Without an immediate paint the window is painted with the next WM_PAINT.
    if (!UpdateWindow(window)) InvalidateRect(window, nullptr, FALSE);
}

std::string LoadText(UINT id) {
    // With a zero length LoadStringW hands out a pointer to the resource's text itself.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(Instance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return win32::Narrow(text, static_cast<std::size_t>(length));
}

void StopException() noexcept {
    // Nothing the program holds can be trusted after a handler broke off:
    // end the process (exit code 1) rather than run on with half-changed state.
    ExitProcess(1);
}

bool Window::RegisterWindowClass(const wchar_t* className, HICON icon, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = Instance();
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Window::Create(DWORD exStyle, const wchar_t* className, std::string_view title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menuOrId) {
    return CreateWindowExW(exStyle, className, win32::Wide(title).c_str(), style, x, y, width, height, parent,
                           menuOrId, Instance(), this);
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
    } else if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && OnNotify(static_cast<int>(header->idFrom), *header, result)) return result;
    }
    return Default(message, wParam, lParam);
}

bool Window::OnCommand(int, int, HWND) { return false; }

bool Window::OnNotify(int, NMHDR&, LRESULT&) { return false; }

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Window*>(create->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        StopException();
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
    }
    return result;
}

}  // namespace quorvin::ui
