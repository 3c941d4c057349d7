// Waiting for a worker thread on the user-interface thread: the wait ends
// only once the thread has ended, and answers what the thread sends meanwhile.

#include "ui/thread_wait.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr UINT kAsk = WM_APP + 7;

// A message-only window of this thread that answers kAsk.
LRESULT CALLBACK Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kAsk) return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeAnsweringWindow() {
    WNDCLASSW kind{};
    kind.lpfnWndProc = Answer;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.lpszClassName = L"QuorvinThreadWaitTest";
    RegisterClassW(&kind);  // a second registration fails harmlessly
    return CreateWindowExW(0, kind.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, kind.hInstance, nullptr);
}

struct Worker {
    HWND window = nullptr;
    HANDLE release = nullptr;
    std::atomic<int> answers{0};
};

// Sends to the waiting thread's window ten times, then waits to be released.
DWORD WINAPI SendingWorker(void* parameter) {
    auto& worker = *static_cast<Worker*>(parameter);
    for (int i = 1; i <= 10; ++i)
        if (SendMessageW(worker.window, kAsk, static_cast<WPARAM>(i), 0) == i * 2) ++worker.answers;
    if (worker.release) WaitForSingleObject(worker.release, INFINITE);
    return 0;
}

TEST(WaitForThread, AnswersWhatTheThreadSendsUntilItEnds) {
    Worker worker;
    worker.window = MakeAnsweringWindow();
    ASSERT_NE(worker.window, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, SendingWorker, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    quorvin::ui::WaitForThread(thread);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(worker.answers.load(), 10);
    CloseHandle(thread);
    DestroyWindow(worker.window);
}

// The message wait fails every time; the second failure lets the thread go.
std::atomic<int> failedWaits{0};
HANDLE releaseOnSecondFailure = nullptr;
DWORD FailingWait(HANDLE) {
    if (++failedWaits == 2) SetEvent(releaseOnSecondFailure);
    return WAIT_FAILED;
}

TEST(WaitForThread, AFailingWaitNeverEndsBeforeTheThread) {
    Worker worker;
    worker.window = MakeAnsweringWindow();
    ASSERT_NE(worker.window, nullptr);
    worker.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(worker.release, nullptr);
    releaseOnSecondFailure = worker.release;
    HANDLE thread = CreateThread(nullptr, 0, SendingWorker, &worker, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    quorvin::ui::WaitForThread(thread, FailingWait);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_GE(failedWaits.load(), 2);
    // Its messages were answered all the same.
    EXPECT_EQ(worker.answers.load(), 10);
    // Should the wait have ended early, the thread ends before its data goes away.
    SetEvent(worker.release);
    while (WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
        MSG message{};
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    CloseHandle(worker.release);
    DestroyWindow(worker.window);
}

}  // namespace
