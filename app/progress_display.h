// The time-driven progress display: a bar that fills over 30 seconds while the library writes.
// The library reports no progress, so the bar measures time, not work.
#pragma once

#include <windows.h>

namespace vandrel {

class ProgressDisplay {
public:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTickMs = 100;
    static constexpr int kRange = 300;
    static constexpr DWORD kFullMs = 30000;

    // The dialog that owns the timer, the bar and the "Writing ..." label.
    void Attach(HWND dialog, HWND bar, HWND label);

    // WM_APP+1: starts the display unless it runs already; now is the tick count.
    void Start(DWORD now);
    // WM_APP+2: stops and hides the display; nothing when it is not running.
    void Stop();
    // WM_TIMER for timer 1: moves the bar to the elapsed tenths of a second, full and stopped at 30 s.
    void Tick(DWORD now);

    bool active() const { return active_; }
    UINT_PTR timer() const { return timer_; }

private:
    void SetRangeAndReset() const;

    HWND dialog_ = nullptr;
    HWND bar_ = nullptr;
    HWND label_ = nullptr;
    bool active_ = false;
    UINT_PTR timer_ = 0;
    DWORD start_ = 0;
};

}  // namespace vandrel
