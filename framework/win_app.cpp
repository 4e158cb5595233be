#include "framework/win_app.h"

#include <commctrl.h>

#include "common/module_path.h"

namespace {

CWinApp* g_app = nullptr;

std::wstring ModuleBaseName() {
    std::wstring name = vandrel::ExecutablePath();
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

const wchar_t* AfxGetAppName() { return g_app ? g_app->m_appName.c_str() : L""; }

HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : ::GetModuleHandleW(nullptr); }

// The framework's entry point: the application object was constructed as a global before this runs.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_appName = ModuleBaseName();

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
