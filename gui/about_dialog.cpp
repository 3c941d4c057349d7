#include "gui/about_dialog.h"

#include "gui/resources/resource.h"

namespace quorvin::app {

const char* const kHomePage = "http://www.orvante.example/quorvin/";
const char* const kNoticeText =
    "このプログラムの全部または一部を、作者の許可なく複製・転載・再配布することを禁じます。"
    "詳細はﾍﾙﾌﾟﾌｧｲﾙをご覧ください。";

void AboutDialog::Run(HWND owner) { RunModal(owner, IDD_ABOUTBOX); }

bool AboutDialog::OnInit() {
    SetItemText(IDC_NOTICE, kNoticeText);
    // A label that cannot be subclassed stays a plain label.
    static_cast<void>(link_.Attach(Item(IDC_HOME_LINK)));
    return true;
}

void AboutDialog::OnCommand(int id, int) {
    // OK, Esc and the close box close the box; nothing is stored.
    if (id == IDOK || id == IDCANCEL) End(id);
}

bool AboutDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_DESTROY) ForgetEditText(IDC_NOTICE);
    if (message != WM_CTLCOLORSTATIC || reinterpret_cast<HWND>(lParam) != link_.Handle()) return false;
    HBRUSH brush = link_.OnColour(reinterpret_cast<HDC>(wParam));
    if (!brush) return false;
    result = reinterpret_cast<INT_PTR>(brush);
    return true;
}

void RunHelpViewer() {
    wchar_t commandLine[] = L"winhlp32 quorvin.hlp";
    wchar_t log[MAX_PATH] = {};
    const DWORD logLength = GetEnvironmentVariableW(L"QUORVIN_HELP_LOG", log, MAX_PATH);
    if (logLength > 0 && logLength < MAX_PATH) {
        HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        const char line[] = "winhlp32 quorvin.hlp\r\n";
        DWORD written = 0;
        // The log is the tests' record; one that cannot be written shows as missing.
        static_cast<void>(WriteFile(file, line, sizeof line - 1, &written, nullptr));
        static_cast<void>(CloseHandle(file));
        return;
    }
    // The help viewer is started and left alone; if it cannot start, nothing is shown.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    static_cast<void>(CloseHandle(process.hThread));
    static_cast<void>(CloseHandle(process.hProcess));
}

}  // namespace quorvin::app
