#pragma once
// A static text control that looks and acts like a web link: underlined,
// blue (purple once opened), a hand cursor, and a click opens its target
// with the shell. The dialog that owns the label attaches it and hands it
// the label's WM_CTLCOLORSTATIC.

#include "ui/subclass.h"

#include <string>

namespace quorvin::ui {

// Opens `target` (a file or a web address) with the program the user's
// shell associates with it, as a double-click in Explorer would; false when
// the shell could not.
bool ShellOpen(HWND owner, const std::wstring& target);

class StaticLink : public Subclass {
public:
    // `target` (CP932) is opened on a click; empty: the label's own text.
    explicit StaticLink(std::string target = {}) : target_(std::move(target)) {}
    ~StaticLink() override;

    bool Attach(HWND label) { return Subclass::Attach(label); }
    void SetTarget(std::string target) { target_ = std::move(target); }
    COLORREF Colour() const { return colour_; }

    // The parent's WM_CTLCOLORSTATIC for this label: the brush to answer
    // with, or null to let the default drawing apply (icons and frames).
    HBRUSH OnColour(HDC dc);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Open();
    // The hand cursor, looked for once per process; null when none was found.
    static HCURSOR HandCursor();

    std::string target_;
    COLORREF colour_ = RGB(0, 0, 255);
    HFONT underlined_ = nullptr;
};

}  // namespace quorvin::ui
