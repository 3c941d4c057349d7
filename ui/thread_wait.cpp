#include "ui/thread_wait.h"

namespace quorvin::ui {

namespace {
DWORD WaitForThreadOrSentMessage(HANDLE thread) {
    return MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
}

// How long one look at the thread lasts when the message wait fails.
constexpr DWORD kWatchMs = 20;
}  // namespace

void WaitForThread(HANDLE thread, ThreadWaitFunction waitOnce) {
    if (waitOnce == nullptr) waitOnce = WaitForThreadOrSentMessage;
    for (;;) {
        const DWORD woke = waitOnce(thread);
        if (woke == WAIT_OBJECT_0) return;
        if (woke != WAIT_OBJECT_0 + 1) {
            const DWORD watched = WaitForSingleObject(thread, kWatchMs);
            if (watched == WAIT_OBJECT_0) return;
            if (watched == WAIT_FAILED) SleepEx(kWatchMs, FALSE);
        }
        MSG message{};
        // Peeking delivers the messages sent to this thread; nothing is taken from the queue.
        static_cast<void>(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE));
    }
}

}  // namespace quorvin::ui
