// How the main dialog shows a DriverStatus: the two action buttons, the two hints and the "[Status]"
// line in the message list.
#pragma once

#include <windows.h>

#include "driver/driver_status.h"

namespace vandrel {

// Sets the Start Writing and Confirming FW version buttons (enabled only when Ready) and the two hints
// for the status, appends its "[Status]" line to the message list and selects that line. While busy (a
// write run is going on) the buttons are left as they are, so a device event cannot open the way to a
// second run or a version read before the run ends.
void ApplyDriverStatus(HWND dialog, DriverStatus status, bool busy);

// The buttons and hints as above, without a line: when a run or a version read has ended, the buttons
// follow the device again.
void ShowDeviceStatusControls(HWND dialog, DriverStatus status);

// The first, silent showing at dialog start: DriverWithoutDevice, DeviceNotBound and Ready set buttons
// and hints as above; the two statuses without the driver change nothing; no line is written.
void ApplyInitialDriverStatus(HWND dialog, DriverStatus status);

}  // namespace vandrel
