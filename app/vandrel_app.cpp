#include "app/vandrel_app.h"

#include "app/vandrel_dlg.h"
#include "app/window_title.h"
#include "common/dispatching_wait.h"
#include "common/module_path.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "resources/resource.h"
#include "upgrade/library_loader.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

CVandrelApp theApp;

// The running instance's full title: the template caption for this UI language plus the version.
std::wstring RunningInstanceTitle() { return CVandrelDlg::TemplateCaption() + VersionSuffix(ExecutablePath()); }

void RaiseRunningInstance() {
    HWND running = ::FindWindowW(nullptr, RunningInstanceTitle().c_str());
    if (!running) return;
    ::ShowWindow(running, SW_RESTORE);
    ::SetForegroundWindow(running);
    ::BringWindowToTop(running);
}

// Whether the running instance shows itself: its dialog exists (with or without the version in its title
// yet, hidden while it initialises) or it has said it is ready.
bool RunningInstanceAnswers(HANDLE ready) {
    if (ready && ::WaitForSingleObject(ready, 0) == WAIT_OBJECT_0) return true;
    return ::FindWindowW(nullptr, RunningInstanceTitle().c_str()) ||
           ::FindWindowW(nullptr, CVandrelDlg::TemplateCaption().c_str());
}

// A second start: raises the running instance once it is ready, and true; false when, after a few
// seconds, nothing answers to the mutex (another program made it).
bool WaitForRunningInstance(HANDLE ready) {
    const ULONGLONG started = ::GetTickCount64();
    // Looks at its message queue while it waits: a thread that retrieves no message for five seconds
    // counts as hung, and the box it shows next would at first be taken for a hung window's.
    DispatchingPump pump;
    while (!RunningInstanceAnswers(ready)) {
        if (::GetTickCount64() - started >= kInstanceLookMs) return false;
        pump.Pump();
        pump.Sleep(100);
    }
    if (ready) pump.Wait(ready, kReadyWaitMs);
    RaiseRunningInstance();
    return true;
}

void ShowInstanceLockHeld() {
    ::MessageBoxW(nullptr, Format(LoadText(IDS_INSTANCE_LOCK_HELD).c_str(), kSingletonMutexName).c_str(),
                  LoadText(IDS_CAPTION_ERROR).c_str(), MB_ICONERROR);
}

// A folder the tool would write into is on another computer.
void ShowRemoteLocation(const std::wstring& folder) {
    ::MessageBoxW(nullptr, Format(LoadText(IDS_LOCATION_REMOTE).c_str(), folder.c_str()).c_str(),
                  LoadText(IDS_CAPTION_ERROR).c_str(), MB_ICONERROR);
}

// Why the upgrade library could not be had, in traditional Chinese whatever the user's language (a
// remote temporary folder aside: that is the user's setting to change, in the user's language).
void ShowLibraryFailure(const LibraryLoadFailure& failure) {
    if (failure.step == LibraryLoadFailure::kRemote) {
        ShowRemoteLocation(failure.path);
        return;
    }
    const std::wstring text =
        failure.step == LibraryLoadFailure::kExtraction
            ? LoadText(IDS_LIBRARY_EXTRACTION_FAILED)
            : Format(LoadText(IDS_LIBRARY_LOAD_FAILED).c_str(), failure.path.c_str(),
                     static_cast<unsigned long>(failure.error), SystemErrorText(failure.error).c_str());
    ::MessageBoxW(nullptr, text.c_str(), LoadText(IDS_CAPTION_ERROR_CHINESE).c_str(), MB_ICONERROR);
}

void ShowUntrustedWorkspace() {
    if (WhyNoWorkspace() == WorkspaceRefusal::kRemote) {
        ShowRemoteLocation(WorkspaceParentFolder());
        return;
    }
    const std::wstring folder = WorkspaceParentFolder() + L"\\" + kWorkspaceFolderName + L"\\";
    ::MessageBoxW(nullptr, Format(LoadText(IDS_WORKSPACE_UNTRUSTED).c_str(), folder.c_str()).c_str(),
                  LoadText(IDS_CAPTION_ERROR).c_str(), MB_ICONERROR);
}

}  // namespace

BOOL CVandrelApp::InitInstance() {
    // The executable imports only DLLs that Windows takes from System32 whatever its folder (KnownDLLs,
    // and comctl32 through the manifest); everything else is loaded at run time, after this line, so that
    // nothing comes from the executable's folder (a Downloads folder, say), the current folder or the PATH.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Made before the mutex, so that a second start that finds the mutex always finds the event too.
    UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, kReadyEventName));
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kSingletonMutexName));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (!WaitForRunningInstance(ready.get())) {
            ShowInstanceLockHeld();
            exitCode_ = 1;
        }
        return FALSE;
    }
    // Left set by an instance that ended while a second start still held the event.
    if (ready) ::ResetEvent(ready.get());
    // A mutex that could not be made at all does not stop the start: the tool runs unprotected.
    // Everything the tool writes goes into its workspace: without one it can trust, it does not start.
    if (GetWorkspaceBaseFolder().empty()) {
        ShowUntrustedWorkspace();
        exitCode_ = 1;
        return FALSE;
    }
    LibraryLoadFailure failure;
    if (!LoadUpgradeLibrary(&failure)) {
        ShowLibraryFailure(failure);
        exitCode_ = 1;
        return FALSE;
    }
    {
        CVandrelDlg dialog;
        dialog.SetReadyEvent(ready.get());
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

}  // namespace vandrel
