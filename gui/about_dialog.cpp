#include "gui/about_dialog.h"

#include "gui/resources/resource.h"

#include <vector>

#include "core/wide.h"
#include "ui/message_box.h"

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

namespace {

// The folder of the running program with its final backslash; empty when
// it cannot be told. GetModuleFileNameW cuts a path that does not fit (on
// XP without a terminator), so the room grows until the whole path fits.
std::wstring ProgramFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            const std::wstring full(path.data(), length);
            const std::size_t slash = full.find_last_of(L'\\');
            return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The Windows help viewer of this Windows (Vista and later ship only a
// stand-in that explains the old format, unless the user installed the viewer).
bool HelpViewerPresent() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH && IsFile(std::wstring(folder, length) + L"\\winhlp32.exe");
}

// True when the tests' record QUORVIN_HELP_LOG is set: `line` is appended to
// it in place of starting anything. A record that cannot be written shows as missing.
bool RecordedForTests(const std::string& line) {
    wchar_t log[MAX_PATH] = {};
    const DWORD logLength = GetEnvironmentVariableW(L"QUORVIN_HELP_LOG", log, MAX_PATH);
    if (logLength == 0 || logLength >= MAX_PATH) return false;
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    const std::string record = line + "\r\n";
    DWORD written = 0;
    static_cast<void>(WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr));
    static_cast<void>(CloseHandle(file));
    return true;
}

// Starts the viewer in `folder`, where the relative file name finds the
// file; a viewer that cannot start shows nothing.
void StartHelpViewer(const std::wstring& folder) {
    wchar_t commandLine[] = L"winhlp32 quorvin.hlp";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return;
    static_cast<void>(CloseHandle(process.hThread));
    static_cast<void>(CloseHandle(process.hProcess));
}

UserMessage HelpNotOpenedMessage(const std::wstring& guide) {
    return {"ﾍﾙﾌﾟを開けませんでした。\r\n" + win32::Narrow(guide.data(), guide.size()),
            ui::LoadText(IDS_APP_TITLE), MessageIcon::Exclamation, MessageButtons::Ok};
}

}  // namespace

bool RunHelpViewer(HWND owner) {
    const std::wstring folder = ProgramFolder();
    if (!folder.empty() && IsFile(folder + L"quorvin.hlp") && HelpViewerPresent()) {
        if (!RecordedForTests("winhlp32 quorvin.hlp")) StartHelpViewer(folder);
        return true;
    }
    const std::wstring guide = folder + L"help\\index.html";
    if (RecordedForTests("open " + win32::Narrow(guide.data(), guide.size()))) return true;
    if (!folder.empty() && IsFile(guide) && ui::ShellOpen(owner, guide)) return true;
    static_cast<void>(ui::ShowMessage(owner, HelpNotOpenedMessage(guide)));
    return false;
}

}  // namespace quorvin::app
