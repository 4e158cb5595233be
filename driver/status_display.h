// Shows a DriverStatus in the main dialog: the two action buttons, the two hints and a "[Status]" line.
#pragma once

#include <windows.h>

#include "driver/driver_status.h"

namespace vandrel {

// Sets buttons 1007/1011 and hints 1014/1015 for the status, appends its "[Status]" line to list box
// 1003 and selects that line. While busy (a write run is going on) the buttons are left as they are,
// so a device event cannot open the way to a second run or a version read before the run ends.
void ApplyDriverStatus(HWND dialog, DriverStatus status, bool busy);

// Sets buttons 1007/1011 and hints 1014/1015 for the status, without a line: at the end of a write run
// or a version read, when the run controls have been enabled, the buttons follow the device again.
void ShowDeviceStatusControls(HWND dialog, DriverStatus status);

// The first, silent showing at dialog start: values 2, 3 and 4 set buttons and hints as above; 0 and 1
// change nothing; no line is written.
void ApplyInitialDriverStatus(HWND dialog, DriverStatus status);

// The device events that call for a new evaluation: DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL and
// DBT_DEVICEREMOVECOMPLETE.
bool IsDriverStatusEvent(UINT eventCode);

// The "[Status]" line of a status.
const wchar_t* StatusLine(DriverStatus status);

}  // namespace vandrel
