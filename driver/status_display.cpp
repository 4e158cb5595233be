#include "driver/status_display.h"

#include <dbt.h>

namespace vandrel {

namespace {

constexpr int kMessageList = 1003;
constexpr int kStartWriting = 1007;
constexpr int kConfirmVersion = 1011;
constexpr int kConnectHint = 1014;
constexpr int kDriverHint = 1015;

enum class Hint { Keep, Show, Hide };

struct StatusView {
    bool buttonsEnabled;
    Hint connectHint;
    Hint driverHint;
    const wchar_t* line;
};

// Indexed by the DriverStatus value.
constexpr StatusView kViews[] = {
    {false, Hint::Keep, Hint::Keep,
     L"[Status] RockUSB driver is not installed, and no device is detected."},
    {false, Hint::Keep, Hint::Keep,
     L"[Status] Rockchip device detected, but the RockUSB driver is not installed."},
    {false, Hint::Show, Hint::Hide,
     L"[Status] RockUSB driver is installed, but no device is currently connected."},
    {false, Hint::Hide, Hint::Show,
     L"[Status] RockUSB driver is installed and a device is present, but it is not bound to 'rockusb'."},
    {true, Hint::Hide, Hint::Hide, L"[Status] RockUSB is correctly bound. Ready."},
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
        ::EnableWindow(::GetDlgItem(dialog, kStartWriting), view.buttonsEnabled);
        ::EnableWindow(::GetDlgItem(dialog, kConfirmVersion), view.buttonsEnabled);
    }
    SetHint(dialog, kConnectHint, view.connectHint);
    SetHint(dialog, kDriverHint, view.driverHint);
}

}  // namespace

const wchar_t* StatusLine(DriverStatus status) {
    const StatusView* view = ViewOf(status);
    return view ? view->line : L"";
}

void ApplyDriverStatus(HWND dialog, DriverStatus status, bool busy) {
    const StatusView* view = ViewOf(status);
    if (!view) return;
    SetButtonsAndHints(dialog, *view, busy);
    const HWND list = ::GetDlgItem(dialog, kMessageList);
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(view->line));
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

void ShowDeviceStatusControls(HWND dialog, DriverStatus status) {
    const StatusView* view = ViewOf(status);
    if (view) SetButtonsAndHints(dialog, *view, false);
}

void ApplyInitialDriverStatus(HWND dialog, DriverStatus status) {
    if (status == DriverStatus::NoDriverNoDevice || status == DriverStatus::DeviceWithoutDriver) return;
    const StatusView* view = ViewOf(status);
    if (view) SetButtonsAndHints(dialog, *view, false);
}

bool IsDriverStatusEvent(UINT eventCode) {
    return eventCode == DBT_DEVNODES_CHANGED || eventCode == DBT_DEVICEARRIVAL ||
           eventCode == DBT_DEVICEREMOVECOMPLETE;
}

}  // namespace vandrel
