// The application object: one running instance per machine, then the main dialog.
#pragma once

#include "framework/afxwin.h"

namespace vandrel {

// The machine-wide mutex that lets a second start find the first.
constexpr wchar_t kSingletonMutexName[] = L"Global\\Olvast.Vandrel.Singleton";
// Set by the first instance once its dialog is ready: a second start waits for it before it raises
// the window, which would otherwise appear half made.
constexpr wchar_t kReadyEventName[] = L"Global\\Olvast.Vandrel.Ready";
// How long a second start waits for the first to be ready (its driver step may take 30 seconds).
constexpr DWORD kReadyWaitMs = 60000;
// How long a second start looks for the first instance's window before it takes the mutex for another
// program's: any program can make an object of that name, and the user must then be told, not left
// with a tool that vanishes.
constexpr DWORD kInstanceLookMs = 5000;

class CVandrelApp : public CWinApp {
public:
    // Raises a running instance and ends, or loads the upgrade library and runs the main dialog.
    // Always returns FALSE: the dialog has run by then (or the library failed) and the application ends.
    BOOL InitInstance() override;
    // 1 when the tool could not start (no workspace, no upgrade library, a lock held by another program).
    int ExitInstance() override { return exitCode_; }

private:
    int exitCode_ = 0;
};

}  // namespace vandrel
