#include "ui/toolbar.h"

namespace quorvin::ui {

HWND Toolbar::Create(HWND parent, int id) {
    return CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                               CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(),
                           nullptr);
}

bool Toolbar::SetButtons(HIMAGELIST images, const std::vector<int>& commands, HWND notify) const {
    SendMessageW(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(handle_, TB_SETPARENT, reinterpret_cast<WPARAM>(notify), 0);
    SendMessageW(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (int command : commands) {
        TBBUTTON button{};
        if (command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        button.iString = -1;
        buttons.push_back(button);
    }
    return SendMessageW(handle_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())) != FALSE;
}

SIZE Toolbar::Size() const {
    SIZE size{};
    SendMessageW(handle_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    return size;
}

int Toolbar::ButtonCount() const { return static_cast<int>(SendMessageW(handle_, TB_BUTTONCOUNT, 0, 0)); }

HWND Rebar::Create(HWND parent, int id) {
    return CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                               RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(),
                           nullptr);
}

bool Rebar::AddBand(HWND child, SIZE size) const {
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE;
    band.fStyle = RBBS_GRIPPERALWAYS | RBBS_CHILDEDGE;
    band.hwndChild = child;
    band.cxMinChild = 0;
    band.cyMinChild = size.cy;
    band.cx = size.cx + 16;
    return SendMessageW(handle_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)) != FALSE;
}

int Rebar::Height() const {
    if (!IsWindowVisible(handle_)) return 0;
    RECT rect{};
    if (!GetWindowRect(handle_, &rect)) return 0;
    return rect.bottom - rect.top;
}

}  // namespace quorvin::ui
