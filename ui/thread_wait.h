#pragma once
// Waiting on the user-interface thread for another thread to end.

#include <windows.h>

namespace quorvin::ui {

// One wait for `thread` or for a message sent to this thread:
// WAIT_OBJECT_0, WAIT_OBJECT_0 + 1 or WAIT_FAILED, as
// MsgWaitForMultipleObjects answers. Tests give their own.
using ThreadWaitFunction = DWORD (*)(HANDLE thread);

// Returns once `thread` has ended, and not before: the thread's data may
// live on the caller's stack. Meanwhile the messages other threads send to
// this one are answered, so a thread that sends to this thread's windows
// is never left blocked. Should the wait itself fail, the thread is
// watched with short waits instead.
void WaitForThread(HANDLE thread, ThreadWaitFunction waitOnce = nullptr);

}  // namespace quorvin::ui
