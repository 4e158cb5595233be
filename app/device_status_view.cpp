#include "app/device_status_view.h"

#include "driver/status_report.h"
#include "resources/resource.h"

namespace vandrel {

namespace {

enum class Hint { Keep, Show, Hide };

struct StatusView {
    bool buttonsEnabled;
    Hint connectHint;  // " Please connect the transmitter."
    Hint driverHint;   // "Please install USB drivers"
};

// Indexed by the DriverStatus value.
constexpr StatusView kViews[] = {
    {false, Hint::Keep, Hint::Keep},  // NoDriverNoDevice
    {false, Hint::Keep, Hint::Keep},  // DeviceWithoutDriver
    {false, Hint::Show, Hint::Hide},  // DriverWithoutDevice
    {false, Hint::Hide, Hint::Show},  // DeviceNotBound
    {true, Hint::Hide, Hint::Hide},   // Ready
};

const StatusView* ViewOf(DriverStatus status) {
    const int index = static_cast<int>(status);
    return index >= 0 && index < static_cast<int>(sizeof kViews / sizeof kViews[0]) ? &kViews[index] : nullptr;
}

void SetHint(HWND dialog, int id, Hint hint) {
    if (hint != Hint::Keep) ::ShowWindow(::GetDlgItem(dialog, id), hint == Hint::Show ? SW_SHOW : SW_HIDE);
}

void SetButtonsAndHints(HWND dialog, const StatusView& view, bool busy) {
    if (!busy) {
        ::EnableWindow(::GetDlgItem(dialog, IDC_START_WRITING), view.buttonsEnabled);
        ::EnableWindow(::GetDlgItem(dialog, IDC_CONFIRM_VERSION), view.buttonsEnabled);
    }
    SetHint(dialog, IDC_CONNECT_HINT, view.connectHint);
    SetHint(dialog, IDC_DRIVER_HINT, view.driverHint);
}

}  // namespace

void ApplyDriverStatus(HWND dialog, DriverStatus status, bool busy) {
    const StatusView* view = ViewOf(status);
    if (!view) return;
    SetButtonsAndHints(dialog, *view, busy);
    const HWND list = ::GetDlgItem(dialog, IDC_MESSAGE_LIST);
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(StatusLine(status)));
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

void ShowDeviceStatusControls(HWND dialog, DriverStatus status) {
    const StatusView* view = ViewOf(status);
    if (view) SetButtonsAndHints(dialog, *view, false);
}

void ApplyInitialDriverStatus(HWND dialog, DriverStatus status) {
    if (status == DriverStatus::NoDriverNoDevice || status == DriverStatus::DeviceWithoutDriver) return;
    ShowDeviceStatusControls(dialog, status);
}

}  // namespace vandrel
