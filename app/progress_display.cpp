#include "app/progress_display.h"

#include <commctrl.h>

namespace vandrel {

void ProgressDisplay::Attach(HWND dialog, HWND bar, HWND label) {
    dialog_ = dialog;
    bar_ = bar;
    label_ = label;
}

void ProgressDisplay::SetRangeAndReset() const {
    ::SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, kRange));
    ::SendMessageW(bar_, PBM_SETPOS, 0, 0);
}

void ProgressDisplay::Start(DWORD now) {
    if (active_) return;
    active_ = true;
    SetRangeAndReset();
    ::ShowWindow(bar_, SW_SHOW);
    ::ShowWindow(label_, SW_SHOW);
    start_ = now;
    timer_ = ::SetTimer(dialog_, kTimerId, kTickMs, nullptr);
}

void ProgressDisplay::Tick(DWORD now) {
    if (!active_) return;
    const DWORD elapsed = now - start_;  // unsigned: the tick counter's wrap does no harm
    DWORD position = elapsed / kTickMs;
    if (position > static_cast<DWORD>(kRange)) position = kRange;
    ::SendMessageW(bar_, PBM_SETPOS, position, 0);
    if (elapsed >= kFullMs) {
        // Full: the bar stays full and visible until the worker says the write has ended.
        if (timer_) ::KillTimer(dialog_, timer_);
        timer_ = 0;
    }
}

void ProgressDisplay::Stop() {
    if (!active_) return;
    if (timer_) ::KillTimer(dialog_, timer_);
    timer_ = 0;
    active_ = false;
    ::ShowWindow(bar_, SW_HIDE);
    ::ShowWindow(label_, SW_HIDE);
}

}  // namespace vandrel
