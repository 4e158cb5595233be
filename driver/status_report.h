// What a DriverStatus is called in the message list, and which device events call for a new evaluation.
#pragma once

#include <windows.h>

#include "driver/driver_status.h"

namespace vandrel {

// The device events that call for a new evaluation: DBT_DEVNODES_CHANGED, DBT_DEVICEARRIVAL and
// DBT_DEVICEREMOVECOMPLETE.
bool IsDriverStatusEvent(UINT eventCode);

// The "[Status]" line of a status (English in every language); empty for a value out of range.
const wchar_t* StatusLine(DriverStatus status);

}  // namespace vandrel
