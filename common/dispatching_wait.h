// Waits that keep the calling thread's windows answering: while the dialog's thread waits for a helper
// program or copies a large file, it still repaints and handles its messages.
#pragma once

#include <windows.h>

namespace vandrel {

// Waits for handle at most timeoutMs (INFINITE for no limit) while dispatching this thread's messages;
// WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED, as WaitForSingleObject answers.
DWORD WaitDispatching(HANDLE handle, DWORD timeoutMs);

// Sleeps ms milliseconds while dispatching this thread's messages (a plain Sleep after WM_QUIT).
void SleepDispatching(DWORD ms);

// Dispatches the messages waiting for this thread, at most once every few milliseconds, so it costs next
// to nothing when called between the blocks of a long loop.
void DispatchPendingMessages();

// FlushFileBuffers on another thread while this one dispatches its messages (a flush of a large file can
// take seconds on a slow disk); inline when no thread can be started. Its result.
BOOL FlushDispatching(HANDLE file);

}  // namespace vandrel
