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

std::vector<int> Toolbar::ItemWidths() const {
    std::vector<int> widths;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        RECT rect{};
        widths.push_back(SendMessageW(handle_, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect))
                             ? static_cast<int>(rect.right - rect.left)
                             : 0);
    }
    return widths;
}

bool Toolbar::SetRowBreaks(const std::vector<bool>& breaks) const {
    bool all = true;
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        TBBUTTON button{};
        if (!SendMessageW(handle_, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button))) {
            all = false;
            continue;
        }
        const BYTE state = breaks[i] ? (button.fsState | TBSTATE_WRAP) : (button.fsState & ~TBSTATE_WRAP);
        if (state == button.fsState) continue;
        // By index: the separators all have command 0.
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_BYINDEX | TBIF_STATE;
        info.fsState = state;
        if (!SendMessageW(handle_, TB_SETBUTTONINFOW, i, reinterpret_cast<LPARAM>(&info))) all = false;
    }
    // The control lays its items out again for the new rows.
    SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
    return all;
}

std::vector<bool> Toolbar::Separators() const {
    std::vector<bool> separators;
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        separators.push_back(SendMessageW(handle_, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)) &&
                             (button.fsStyle & BTNS_SEP) != 0);
    }
    return separators;
}

SIZE Toolbar::Extent() const {
    RECT all{};
    const int count = ButtonCount();
    for (int i = 0; i < count; ++i) {
        RECT rect{};
        if (!SendMessageW(handle_, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect))) continue;
        if (!UnionRect(&all, &all, &rect)) all = rect;
    }
    return {all.right, all.bottom};
}

}  // namespace quorvin::ui
