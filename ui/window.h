#pragma once
// The base of every window of the program: a window of a class of our own
// (Window), a modal dialog from a template (Dialog, dialog.h) or a common
// control whose messages we see first (Subclass, subclass.h). Each holds an
// HWND it does not own: the window is destroyed by its parent or by the
// user, and the object only stops receiving messages then.

#include "core/wide.h"

#include <commctrl.h>

#include <string>
#include <string_view>

namespace quorvin::ui {

// The module the resources come from (the executable).
HINSTANCE Instance();

// A window's text (WM_GETTEXT) as CP932; SetText returns false when the window refused it.
std::string Text(HWND window);
bool SetText(HWND window, std::string_view cp932);
// The same text, unless a character of it has no CP932 form (Text gives
// '?' for it): then false, with `character` its place, from 1. Characters
// with a close CP932 form (U+301C WAVE DASH as 0x8160) take it.
bool ExactText(HWND window, std::string& cp932, std::size_t& character);

// Destroys a window we made but cannot use; one that will not go is left
// to its parent, which destroys it with itself.
void Discard(HWND window);

// Moves and sizes a child window. One that cannot be moved keeps its place
// until the next layout: there is nothing else to do about it.
void Place(HWND window, int x, int y, int width, int height);

// Paints the invalid parts of `window` now rather than when the queue is empty.
void RepaintNow(HWND window);

// String resource `id` as CP932; empty when the table has none.
std::string LoadText(UINT id);

// Messages reach a window's handlers through one static procedure per kind
// of window. An exception must not unwind through the system's code: the
// procedures stop every exception here, ask for the process to end (a
// handler that failed half way leaves no state to trust).
void StopException() noexcept;

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    HWND Handle() const { return handle_; }

protected:
    // Registers a class whose messages go to the Window created with it.
    static bool RegisterWindowClass(const wchar_t* className, HICON icon, HCURSOR cursor, HBRUSH background);

    // Creates a window of a class registered above; `this` receives its
    // messages from WM_NCCREATE to WM_NCDESTROY. Null on failure.
    HWND Create(DWORD exStyle, const wchar_t* className, std::string_view title, DWORD style, int x, int y,
                int width, int height, HWND parent, HMENU menuOrId);

    // Every message: the default hands WM_COMMAND to OnCommand and WM_NOTIFY
    // to OnNotify, and the rest (and what they leave) to DefWindowProc.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A command from a menu, an accelerator or a control; false: not handled.
    virtual bool OnCommand(int id, int code, HWND control);
    // A notification from a child control; false: not handled (result 0).
    virtual bool OnNotify(int id, NMHDR& header, LRESULT& result);

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND handle_ = nullptr;
};

}  // namespace quorvin::ui
