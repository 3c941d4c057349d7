#include "ui/tooltip.h"

namespace quorvin::ui {

namespace {
TOOLINFOW WindowTool(HWND window) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    return tool;
}
}  // namespace

HWND ToolTip::Create(HWND owner) {
    return CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, Instance(),
                           nullptr);
}

void ToolTip::Activate(bool on) const { SendMessageW(handle_, TTM_ACTIVATE, on ? TRUE : FALSE, 0); }

void ToolTip::SetAutomaticDelay(int baseMs) const { SendMessageW(handle_, TTM_SETDELAYTIME, TTDT_AUTOMATIC, baseMs); }

bool ToolTip::AddWindowTool(HWND window, std::string_view text) const {
    std::wstring wide = win32::Wide(text);
    TOOLINFOW tool = WindowTool(window);
    tool.lpszText = wide.data();
    return SendMessageW(handle_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void ToolTip::SetToolText(HWND window, std::string_view text) const {
    std::wstring wide = win32::Wide(text);
    TOOLINFOW tool = WindowTool(window);
    tool.lpszText = wide.data();
    SendMessageW(handle_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string ToolTip::ToolText(HWND window) const {
    // TTM_GETTEXT takes the room in characters; our texts are at most 255 bytes.
    std::wstring buffer(1024, L'\0');
    TOOLINFOW tool = WindowTool(window);
    tool.lpszText = buffer.data();
    SendMessageW(handle_, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&tool));
    const std::wstring_view got(buffer.c_str());
    return win32::Narrow(got.data(), got.size());
}

void ToolTip::Relay(const MSG& message) const {
    MSG copy = message;
    SendMessageW(handle_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

}  // namespace quorvin::ui
