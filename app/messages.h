// The dialog's own window messages, posted by the write run's worker.
#pragma once

#include <windows.h>

namespace vandrel {

enum : UINT {
    kMsgStartProgress = WM_APP + 1,  // 0x8001: start the progress display
    kMsgStopProgress = WM_APP + 2,   // 0x8002: stop it
    kMsgWriteEnded = WM_APP + 3,     // the write run is over (wParam: a WriteOutcome): back to idle
};

// How a write run ended, as kMsgWriteEnded carries it.
enum WriteOutcome : WPARAM { kWriteFailed = 0, kWriteSucceeded = 1, kWriteNotStarted = 2 };

}  // namespace vandrel
