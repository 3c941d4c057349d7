#include "rules/command_line.h"

#include <cwctype>

namespace quorvin::app {

namespace {
bool IsNetworkSwitch(const std::wstring& argument) {
    if (argument.size() != 8 || (argument[0] != L'/' && argument[0] != L'-')) return false;
    const wchar_t name[] = L"network";
    for (std::size_t i = 0; i < 7; ++i)
        if (std::towlower(static_cast<wint_t>(argument[i + 1])) != static_cast<wint_t>(name[i])) return false;
    return true;
}
}  // namespace

GuiCommandLine ParseGuiCommandLine(const std::vector<std::wstring>& arguments) {
    GuiCommandLine result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (!IsNetworkSwitch(arguments[i])) continue;
        if (i + 1 == arguments.size()) {
            result.valid = false;
            break;
        }
        // The last /network wins, as a later option overrides an earlier one.
        result.networkFolder = arguments[++i];
    }
    return result;
}

}  // namespace quorvin::app
