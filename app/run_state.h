// What the main dialog is doing, and with it what the user can do: the one table that answers both.
#pragma once

#include <windows.h>

namespace vandrel {

enum class RunState {
    Starting,        // its initialisation: the driver is pre-installed, the library bound
    Idle,            // waiting for the user
    Preparing,       // Start Writing on the dialog's thread: workspace, unpacking, image, secure copy
    Writing,         // the worker writes the device and cleans up
    ReadingVersion,  // Confirming FW version
    Closing,         // the close sequence
};

// What a state lets the user do; the window shows exactly that.
struct StateRules {
    bool runControls;    // Select and the firmware path: a run can be prepared, the path changed
    bool deviceButtons;  // Start Writing and Confirming FW version, when a device is ready for them
    bool mayClose;       // a close request, Escape, the close box
    bool maySessionEnd;  // a logoff or shutdown (else the shutdown-block reason is shown)
    LPCWSTR cursor;      // over the window; null for the ordinary arrow
};

StateRules RulesOf(RunState state);

}  // namespace vandrel
