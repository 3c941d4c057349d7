// Every test program ends itself, naming the test, when one test runs longer
// than its allowance, instead of holding the test command until its time
// runs out: a GUI test whose program stopped answering waits in SendMessage
// for ever, and a console program waiting at a prompt never returns.
// QUORVIN_TEST_ALLOWANCE_S sets the allowance (300 s; 0 switches it off).

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#endif

namespace {

#ifdef _WIN32
// The programs this test program started (a GUI test's quorvin.exe): ended
// with it, so that they hold neither the display nor the test command's output.
void EndStartedPrograms() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != self) continue;
        HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (!child) continue;
        static_cast<void>(TerminateProcess(child, 3));
        static_cast<void>(CloseHandle(child));
    }
    static_cast<void>(CloseHandle(snapshot));
}
#else
void EndStartedPrograms() {}
#endif

// What the watching thread reads: made once and never freed, since the
// thread lives until the program ends, after GoogleTest deletes its listeners.
struct Watch {
    std::chrono::seconds allowance;
    std::mutex mutex;
    std::condition_variable changed;
    std::string running;
    std::chrono::steady_clock::time_point deadline;
};

[[noreturn]] void Guard(Watch& watch) {
    std::unique_lock<std::mutex> lock(watch.mutex);
    for (;;) {
        if (watch.running.empty()) {
            watch.changed.wait(lock);
            continue;
        }
        const std::string test = watch.running;
        if (watch.changed.wait_until(lock, watch.deadline, [&] { return watch.running != test; })) continue;
        if (std::chrono::steady_clock::now() < watch.deadline) continue;
        std::fprintf(stderr, "\n[  HUNG    ] %s: still running after %lld s; the test program ends here\n",
                     test.c_str(), static_cast<long long>(watch.allowance.count()));
        std::fflush(stderr);
        std::fflush(stdout);
        EndStartedPrograms();
        std::_Exit(3);
    }
}

class Watchdog : public ::testing::EmptyTestEventListener {
public:
    explicit Watchdog(Watch& watch) : watch_(watch) {}

private:
    void OnTestStart(const ::testing::TestInfo& test) override {
        const std::lock_guard<std::mutex> lock(watch_.mutex);
        watch_.running = std::string(test.test_suite_name()) + "." + test.name();
        watch_.deadline = std::chrono::steady_clock::now() + watch_.allowance;
        watch_.changed.notify_all();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::lock_guard<std::mutex> lock(watch_.mutex);
        watch_.running.clear();
        watch_.changed.notify_all();
    }

    Watch& watch_;
};

std::chrono::seconds Allowance() {
    const char* text = std::getenv("QUORVIN_TEST_ALLOWANCE_S");
    if (!text || !*text) return std::chrono::seconds(300);
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    return *end == '\0' && seconds >= 0 ? std::chrono::seconds(seconds) : std::chrono::seconds(300);
}

const bool registered = [] {
    const std::chrono::seconds allowance = Allowance();
    if (allowance.count() <= 0) return false;
    static Watch* const watch = new Watch{allowance, {}, {}, {}, {}};
    std::thread([] { Guard(*watch); }).detach();
    ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(*watch));
    return true;
}();

}  // namespace
