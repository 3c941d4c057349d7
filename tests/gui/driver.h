#pragma once
// Drives quorvin.exe from another process, as a user would, and reads its
// state back through the Win32 API.

#include <windows.h>

#include <string>

namespace quorvin::gui_test {

// Folder of the running test executable; quorvin.exe is built beside it.
std::wstring ExecutableFolder();

class Program {
public:
    // Starts quorvin.exe with the given arguments.
    explicit Program(const std::wstring& arguments = L"");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    // Waits until the process shows its main window; null after the timeout.
    HWND WaitForMainWindow(DWORD timeoutMs = 20000);
    // Waits until the process ends and returns its exit code (-1 on timeout).
    long WaitForExit(DWORD timeoutMs = 20000);
    DWORD ProcessId() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
};

std::wstring WindowText(HWND window);
// Polls until the window's text equals `expected` or the timeout passes.
bool WaitForWindowText(HWND window, const std::wstring& expected, DWORD timeoutMs = 10000);
std::wstring Wide(const std::string& cp932);

}  // namespace quorvin::gui_test
