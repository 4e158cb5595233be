#include "driver/status_report.h"

#include <dbt.h>

namespace vandrel {

namespace {

// Indexed by the DriverStatus value.
constexpr const wchar_t* kLines[] = {
    L"[Status] RockUSB driver is not installed, and no device is detected.",
    L"[Status] Rockchip device detected, but the RockUSB driver is not installed.",
    L"[Status] RockUSB driver is installed, but no device is currently connected.",
    L"[Status] RockUSB driver is installed and a device is present, but it is not bound to 'rockusb'.",
    L"[Status] RockUSB is correctly bound. Ready.",
};

}  // namespace

bool IsDriverStatusEvent(UINT eventCode) {
    return eventCode == DBT_DEVNODES_CHANGED || eventCode == DBT_DEVICEARRIVAL ||
           eventCode == DBT_DEVICEREMOVECOMPLETE;
}

const wchar_t* StatusLine(DriverStatus status) {
    const int index = static_cast<int>(status);
    return index >= 0 && index < static_cast<int>(sizeof kLines / sizeof kLines[0]) ? kLines[index] : L"";
}

}  // namespace vandrel
