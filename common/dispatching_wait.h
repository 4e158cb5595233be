// The dialog thread's message pump: while it waits for a helper program, copies a large file or sleeps
// between deletion attempts, its windows still repaint and handle their messages.
#pragma once

#include <windows.h>

#include "common/message_pump.h"

namespace vandrel {

class DispatchingPump : public MessagePump {
public:
    // Dispatches the messages waiting for this thread, at most once every few milliseconds, so it costs
    // next to nothing between the blocks of a long loop.
    void Pump() override;
    DWORD Wait(HANDLE handle, DWORD timeoutMs) override;
    void Sleep(DWORD ms) override;
};

}  // namespace vandrel
