// Work done beside the dialog's thread, for the time of one step: it starts with the object and the
// object's end waits for it (answering the dialog's messages meanwhile), so it never outlives the step.
#pragma once

#include <functional>

#include "common/message_pump.h"
#include "common/unique_handle.h"

namespace vandrel {

class BackgroundWork {
public:
    // Starts work on a thread of its own; runs it at once, on this thread, when none can be started.
    BackgroundWork(std::function<void()> work, MessagePump& pump);
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

private:
    static DWORD WINAPI Run(LPVOID param);

    std::function<void()> work_;
    MessagePump& pump_;
    UniqueHandle thread_;
};

}  // namespace vandrel
