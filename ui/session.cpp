#include "ui/session.h"

#include "core/wide.h"

namespace quorvin::ui {

namespace {

using CreateReason = BOOL(WINAPI*)(HWND, LPCWSTR);
using DestroyReason = BOOL(WINAPI*)(HWND);

// user32 of Windows Vista and later exports these; XP's does not, so they
// are looked up at run time.
template <class Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

bool SetShutdownReason(HWND window, std::string_view reason) {
    const auto create = User32Function<CreateReason>("ShutdownBlockReasonCreate");
    return create && create(window, win32::Wide(reason).c_str());
}

void ClearShutdownReason(HWND window) {
    if (const auto destroy = User32Function<DestroyReason>("ShutdownBlockReasonDestroy"))
        static_cast<void>(destroy(window));  // false only when no reason was given
}

}  // namespace quorvin::ui
