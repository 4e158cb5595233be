#include "app/vandrel_app.h"

#include "app/vandrel_dlg.h"
#include "app/window_title.h"
#include "common/unique_handle.h"
#include "upgrade/library_loader.h"

namespace vandrel {

namespace {

CVandrelApp theApp;

// The running instance's full title: the template caption for this UI language plus the version.
std::wstring RunningInstanceTitle() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return CVandrelDlg::TemplateCaption() + VersionSuffix(path);
}

void RaiseRunningInstance() {
    HWND running = ::FindWindowW(nullptr, RunningInstanceTitle().c_str());
    if (!running) return;
    ::ShowWindow(running, SW_RESTORE);
    ::SetForegroundWindow(running);
    ::BringWindowToTop(running);
}

}  // namespace

BOOL CVandrelApp::InitInstance() {
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kSingletonMutexName));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        RaiseRunningInstance();
        return FALSE;
    }
    // A mutex that could not be made at all does not stop the start: the tool runs unprotected.
    LoadUpgradeLibrary();
    {
        CVandrelDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

bool CVandrelApp::OnCmdMsg(UINT id) {
    if (id == ID_HELP) {
        OnHelp();
        return true;
    }
    return false;
}

}  // namespace vandrel
