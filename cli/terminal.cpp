#include "cli/terminal.h"

#include "core/cp932.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>

#include <csignal>
#endif

namespace quorvin::cli {

namespace {
std::atomic<int>* g_stopFlag = nullptr;  // the flag Ctrl+C sets; set once before the run
}

#ifdef _WIN32

std::vector<std::string> Arguments(int, char**) {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return out;
    for (int i = 1; i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        out.push_back(arg);
    }
    LocalFree(wide);
    return out;
}

namespace {

void WriteWide(std::FILE* stream, const std::u16string& text) {
    std::fflush(stream);
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Redirected: bytes in the console's code page (the ANSI code page without a console).
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = GetACP();
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && g_stopFlag) {
        g_stopFlag->store(1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void WriteText(std::FILE* stream, const std::string& cp932) { WriteWide(stream, text::ToUtf16(cp932)); }
void WriteUtf8(std::FILE* stream, const std::string& utf8) { WriteText(stream, text::Utf8ToCp932(utf8)); }
bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void StopOnInterrupt(std::atomic<int>& flag) {
    g_stopFlag = &flag;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

#else

// Terminals here speak UTF-8: arguments arrive in it and texts leave in it.
std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void WriteUtf8(std::FILE* stream, const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }
void WriteText(std::FILE* stream, const std::string& cp932) { WriteUtf8(stream, text::Cp932ToUtf8(cp932)); }
bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

namespace {
void OnInterrupt(int) {
    if (g_stopFlag) g_stopFlag->store(1);
}
}  // namespace

void StopOnInterrupt(std::atomic<int>& flag) {
    g_stopFlag = &flag;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

#endif

}  // namespace quorvin::cli
