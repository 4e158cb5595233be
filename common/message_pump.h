// What keeps a thread's windows answering while the thread works or waits. The dialog's thread hands
// one that dispatches its messages down to the workspace, package and driver steps; other threads (the
// write run's worker, helpers, tests) hand NoPump(), which only waits.
#pragma once

#include <windows.h>

namespace vandrel {

class MessagePump {
public:
    virtual ~MessagePump() = default;
    // Lets the windows answer what waits for them; cheap enough to call between blocks of long work.
    virtual void Pump() = 0;
    // Waits for handle at most timeoutMs (INFINITE for no limit), pumping meanwhile; WAIT_OBJECT_0,
    // WAIT_TIMEOUT or WAIT_FAILED, as WaitForSingleObject answers.
    virtual DWORD Wait(HANDLE handle, DWORD timeoutMs) = 0;
    // Lets ms milliseconds pass, pumping meanwhile.
    virtual void Sleep(DWORD ms) = 0;
};

// Plain waits, nothing dispatched: for threads without windows.
MessagePump& NoPump();

// Runs FlushFileBuffers on another thread while pump waits for it (a flush of a large file can take
// seconds on a slow disk); inline when no thread can be started. Its result.
BOOL FlushPumping(HANDLE file, MessagePump& pump);

}  // namespace vandrel
