#pragma once
// The tooltip common control with tools that each cover a whole window;
// the program sets their texts and relays the windows' mouse messages.

#include "ui/window.h"

namespace quorvin::ui {

class ToolTip {
public:
    explicit ToolTip(HWND control = nullptr) : handle_(control) {}
    HWND Handle() const { return handle_; }

    // A tooltip window owned by `owner`; null on failure.
    static HWND Create(HWND owner);

    void Activate(bool on) const;
    // The automatic delays derived from `baseMs` (TTDT_AUTOMATIC).
    void SetAutomaticDelay(int baseMs) const;
    // Registers all of `window` as a tool with `text`.
    bool AddWindowTool(HWND window, std::string_view text) const;
    void SetToolText(HWND window, std::string_view text) const;
    std::string ToolText(HWND window) const;
    // Hands the tooltip a message of a tool's window.
    void Relay(const MSG& message) const;

private:
    HWND handle_;
};

}  // namespace quorvin::ui
