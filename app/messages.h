// The dialog's own window messages, posted by the write run's worker.
#pragma once

#include <windows.h>

namespace vandrel {

enum : UINT {
    kMsgStartProgress = WM_APP + 1,  // 0x8001: start the progress display
    kMsgStopProgress = WM_APP + 2,   // 0x8002: stop it
    kMsgWriteEnded = WM_APP + 3,     // the worker has ended its run: the session may end again
};

}  // namespace vandrel
