#include "cli/terminal.h"

#include <cstring>

#include "cli/password.h"
#include "core/cp932.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <sys/resource.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace quorvin::cli {

namespace {
std::atomic<int>* g_stopFlag = nullptr;  // the flag Ctrl+C sets; set once before the run
std::atomic<bool> g_stopRequested{false};  // any stop request since; the run takes the flag back

// The stream that shows the prompt: the terminal the user looks at.
std::FILE* PromptStream() { return IsTerminal(stderr) ? stderr : IsTerminal(stdout) ? stdout : nullptr; }

// Reads bytes with `readByte` (1: a byte, 0: the end, -1: a failure) up to
// the line end, which is not kept, nor a CR before it: a line of `limit`
// bytes ending in CR LF is not too long.
template <class ReadByte>
LineRead ReadLineOf(ReadByte readByte, std::string& line, std::size_t limit) {
    line.clear();
    bool any = false;
    for (;;) {
        char c = 0;
        const int got = readByte(c);
        if (got < 0) return LineRead::kFailed;
        if (got == 0) return any ? LineRead::kRead : LineRead::kEnded;
        any = true;
        if (c == '\n') break;
        if (line.size() >= limit + (c == '\r' ? 1 : 0)) return LineRead::kTooLong;
        line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return LineRead::kRead;
}

// Feeds the keys of `readKey` (up to 4 bytes of UTF-8 a call; false: the
// input failed or ended) to TypeKey.
template <class ReadKey>
LineRead TypeLine(ReadKey readKey, std::string& line, std::size_t limit) {
    line.clear();
    char keys[4] = {};
    LineRead result = LineRead::kCancelled;
    for (bool more = true; more;) {
        std::size_t count = 0;
        if (!readKey(keys, count)) break;
        for (std::size_t i = 0; i < count && more; ++i) {
            const KeyResult key = TypeKey(line, static_cast<unsigned char>(keys[i]), limit);
            if (key == KeyResult::kMore) continue;
            more = false;
            if (key == KeyResult::kDone) result = line.size() > limit ? LineRead::kTooLong : LineRead::kRead;
        }
    }
    WipeBytes(keys, sizeof keys);
    return result;
}

}  // namespace

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

HANDLE g_runEnded = nullptr;  // set by RunEnded

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (!g_stopFlag) return FALSE;
    g_stopRequested.store(true);
    g_stopFlag->store(1);
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
    // Close, log-off, shutdown: the system ends the process when this
    // returns, or after its own time limit (5 s to 20 s) if it is first.
    if (g_runEnded) static_cast<void>(WaitForSingleObject(g_runEnded, 20000));
    return TRUE;
}

}  // namespace

void WriteText(std::FILE* stream, const std::string& cp932) { WriteWide(stream, text::ToUtf16(cp932)); }
void WriteUtf8(std::FILE* stream, const std::string& utf8) { WriteText(stream, text::Utf8ToCp932(utf8)); }

void WriteUtf8Data(std::FILE* stream, const std::string& utf8) {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), &mode)) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::u16string wide(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
        if (n > 0)
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                reinterpret_cast<wchar_t*>(wide.data()), n);
        WriteWide(stream, wide);
        return;
    }
    // A file or a pipe gets the bytes: LF stays LF.
    static const bool binary = _setmode(_fileno(stream), _O_BINARY) != -1;
    static_cast<void>(binary);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}
bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void StopOnInterrupt(std::atomic<int>& flag) {
    g_stopFlag = &flag;
    g_runEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE))
        WriteUtf8(stderr, "quorvin-cli: Ctrl+C cannot stop this run (no console handler)\n");
}

bool StopWasRequested() { return g_stopRequested.load(); }

void RunEnded() {
    if (g_runEnded) static_cast<void>(SetEvent(g_runEnded));
}

namespace {

// The console input and the mode it had, while a prompt runs.
HANDLE g_promptInput = nullptr;
DWORD g_promptMode = 0;

// Ctrl+Break and closing the console still end the program at the prompt
// (Ctrl+C comes as a key there): the mode is given back first, then the
// next handler (the system's) ends the process.
BOOL WINAPI GiveModeBackOnBreak(DWORD) {
    if (g_promptInput) static_cast<void>(SetConsoleMode(g_promptInput, g_promptMode));
    return FALSE;
}

// The console input's mode, given back however the prompt ends.
class ConsoleModeRestorer {
public:
    ConsoleModeRestorer(HANDLE input, DWORD mode) : input_(input), mode_(mode) {
        g_promptInput = input;
        g_promptMode = mode;
        // Without the handler a break leaves the console without echo, as before.
        static_cast<void>(SetConsoleCtrlHandler(GiveModeBackOnBreak, TRUE));
    }
    ~ConsoleModeRestorer() {
        if (!SetConsoleMode(input_, mode_)) WriteUtf8(stderr, "quorvin-cli: the console's echo could not be turned back on\n");
        static_cast<void>(SetConsoleCtrlHandler(GiveModeBackOnBreak, FALSE));
        g_promptInput = nullptr;
    }

private:
    HANDLE input_;
    DWORD mode_;
};

// One UTF-16 unit as UTF-8; a lone half of a pair (which CP932 cannot hold
// anyway) becomes U+FFFD.
std::size_t Utf8OfUnit(wchar_t unit, char* out) {
    unsigned u = static_cast<unsigned>(unit);
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    if (u < 0x80) {
        out[0] = static_cast<char>(u);
        return 1;
    }
    if (u < 0x800) {
        out[0] = static_cast<char>(0xC0 | (u >> 6));
        out[1] = static_cast<char>(0x80 | (u & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (u >> 12));
    out[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (u & 0x3F));
    return 3;
}

}  // namespace

LineRead ReadInputLine(std::string& utf8, std::size_t limit) {
    std::string bytes;
    const LineRead read = ReadLineOf([](char& c) { return _read(0, &c, 1); }, bytes, limit);
    if (read != LineRead::kRead || bytes.empty()) {
        utf8 = bytes;
        Wipe(bytes);
        return read;
    }
    // Bytes in the console's code page (the ANSI code page without a console), as the outputs are written.
    UINT codePage = GetConsoleCP();
    if (codePage == 0) codePage = GetACP();
    const int units = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(units > 0 ? static_cast<std::size_t>(units) : 0, L'\0');
    const bool converted =
        units > 0 && MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), units) == units;
    Wipe(bytes);
    utf8.clear();
    char unit[3];
    for (const wchar_t w : wide) utf8.append(unit, Utf8OfUnit(w, unit));
    WipeBytes(wide.data(), wide.size() * sizeof(wchar_t));
    WipeBytes(unit, sizeof unit);
    return converted ? LineRead::kRead : LineRead::kFailed;
}

LineRead ReadHiddenLine(const std::string& prompt, std::string& utf8, std::size_t limit, std::string& error) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &mode)) {
        return LineRead::kNoTerminal;
    }
    // Keys one by one, without echo; Ctrl+C comes as a key, not as a stop.
    if (!SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT))) {
        error = "the console's echo could not be turned off (error " + std::to_string(GetLastError()) + ")";
        return LineRead::kFailed;
    }
    std::FILE* shown = PromptStream();
    if (shown) WriteUtf8(shown, prompt);
    LineRead result = LineRead::kCancelled;
    {
        const ConsoleModeRestorer restorer(input, mode);
        result = TypeLine(
            [input](char* keys, std::size_t& count) {
                wchar_t unit = 0;
                DWORD read = 0;
                if (!ReadConsoleW(input, &unit, 1, &read, nullptr) || read != 1) return false;
                count = Utf8OfUnit(unit, keys);
                unit = 0;
                return true;
            },
            utf8, limit);
    }
    if (shown) WriteUtf8(shown, "\n");
    return result;
}

void KeepOutOfCoreDumps() {}

#else

// Terminals here speak UTF-8: arguments arrive in it and texts leave in it.
std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void WriteUtf8(std::FILE* stream, const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }
void WriteUtf8Data(std::FILE* stream, const std::string& utf8) { WriteUtf8(stream, utf8); }
void WriteText(std::FILE* stream, const std::string& cp932) { WriteUtf8(stream, text::Cp932ToUtf8(cp932)); }
bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

namespace {
void OnInterrupt(int) {
    g_stopRequested.store(true);
    if (g_stopFlag) g_stopFlag->store(1);
}
}  // namespace

void StopOnInterrupt(std::atomic<int>& flag) {
    g_stopFlag = &flag;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void RunEnded() {}

bool StopWasRequested() { return g_stopRequested.load(); }

namespace {

void IgnoreSignal(int) {}

// The terminal's mode, the signal actions and the signal mask, given back
// however the prompt ends. While the prompt lives, a signal that would end
// the program is held back and only let through while WaitForKey waits, so
// that it ends the wait (and the mode is restored first) whenever it comes:
// one that came before the wait began is let through when it begins.
class TerminalModeRestorer {
public:
    explicit TerminalModeRestorer(const termios& mode) : mode_(mode) {
        sigset_t held;
        sigemptyset(&held);
        struct sigaction action {};
        action.sa_handler = IgnoreSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals; ++i) {
            sigaddset(&held, kSignal[i]);
            sigaction(kSignal[i], &action, &old_[i]);
        }
        sigprocmask(SIG_BLOCK, &held, &oldMask_);
    }
    ~TerminalModeRestorer() {
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode_) != 0)
            WriteUtf8(stderr, "quorvin-cli: the terminal's echo could not be turned back on (stty echo)\n");
        // The mask first: a signal held back since the last wait goes to IgnoreSignal.
        sigprocmask(SIG_SETMASK, &oldMask_, nullptr);
        for (std::size_t i = 0; i < kSignals; ++i) sigaction(kSignal[i], &old_[i], nullptr);
    }

    // Waits for a key on standard input with the held signals let through;
    // false when one came (or the wait failed).
    bool WaitForKey() const {
        fd_set input;
        FD_ZERO(&input);
        FD_SET(STDIN_FILENO, &input);
        return pselect(STDIN_FILENO + 1, &input, nullptr, nullptr, nullptr, &oldMask_) > 0;
    }

private:
    static constexpr std::size_t kSignals = 4;
    static constexpr int kSignal[kSignals] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    termios mode_;
    struct sigaction old_[kSignals] {};
    sigset_t oldMask_{};
};

}  // namespace

LineRead ReadInputLine(std::string& utf8, std::size_t limit) {
    return ReadLineOf(
        [](char& c) {
            for (;;) {
                const ssize_t n = read(STDIN_FILENO, &c, 1);
                if (n >= 0 || errno != EINTR) return static_cast<int>(n);
            }
        },
        utf8, limit);
}

LineRead ReadHiddenLine(const std::string& prompt, std::string& utf8, std::size_t limit, std::string& error) {
    termios mode {};
    if (tcgetattr(STDIN_FILENO, &mode) != 0) return LineRead::kNoTerminal;
    LineRead result = LineRead::kCancelled;
    std::FILE* shown = PromptStream();
    {
        const TerminalModeRestorer restorer(mode);
        // Keys one by one, without echo; Ctrl+C comes as a key, not as a signal.
        termios hidden = mode;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
        hidden.c_cc[VMIN] = 1;
        hidden.c_cc[VTIME] = 0;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden) != 0) {
            error = std::string("the terminal's echo could not be turned off: ") + std::strerror(errno);
            return LineRead::kFailed;
        }
        if (shown) {
            WriteUtf8(shown, prompt);
            std::fflush(shown);
        }
        result = TypeLine(
            [&restorer](char* keys, std::size_t& count) {
                count = 1;
                return restorer.WaitForKey() && read(STDIN_FILENO, keys, 1) == 1;
            },
            utf8, limit);
    }
    if (shown) WriteUtf8(shown, "\n");
    return result;
}

void KeepOutOfCoreDumps() {
    // Lowering the limit is always allowed; should it fail, there is nothing else to do.
    const rlimit none{0, 0};
    static_cast<void>(setrlimit(RLIMIT_CORE, &none));
}

#endif

}  // namespace quorvin::cli
