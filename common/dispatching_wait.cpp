#include "common/dispatching_wait.h"

#include <algorithm>

namespace vandrel {

namespace {

// How often Pump looks at the queue; well under what a user would notice.
constexpr ULONGLONG kDispatchIntervalMs = 15;

// Dispatches what is queued; false when WM_QUIT came (it is posted again for the loop that owns it).
bool DispatchQueued() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        // Keyboard navigation of a dialog, as its own modal loop does it.
        const HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && ::IsDialogMessageW(root, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace

DWORD DispatchingPump::Wait(HANDLE handle, DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    bool dispatching = true;
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = ::GetTickCount64() - start;
            if (elapsed >= timeoutMs) return ::WaitForSingleObject(handle, 0);
            remaining = static_cast<DWORD>(timeoutMs - elapsed);
        }
        const DWORD result = dispatching ? ::MsgWaitForMultipleObjectsEx(1, &handle, remaining, QS_ALLINPUT,
                                                                         MWMO_INPUTAVAILABLE)
                                         : ::WaitForSingleObject(handle, remaining);
        if (result != WAIT_OBJECT_0 + 1) return result;
        // After WM_QUIT only the handle is waited for: the quit belongs to an outer loop.
        dispatching = DispatchQueued();
    }
}

void DispatchingPump::Sleep(DWORD ms) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= ms) return;
        const DWORD remaining = static_cast<DWORD>(ms - elapsed);
        if (::MsgWaitForMultipleObjectsEx(0, nullptr, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0)
            return;  // the time is up
        if (!DispatchQueued()) {
            ::Sleep(static_cast<DWORD>(ms - std::min<ULONGLONG>(ms, ::GetTickCount64() - start)));
            return;
        }
    }
}

void DispatchingPump::Pump() {
    static thread_local ULONGLONG last = 0;
    const ULONGLONG now = ::GetTickCount64();
    if (now - last < kDispatchIntervalMs) return;
    last = now;
    DispatchQueued();
}

}  // namespace vandrel
