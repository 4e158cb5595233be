// CWinApp: the one application object; the framework's entry point runs its InitInstance.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returning FALSE ends the application once it returns (there is then no message loop).
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // Runs the message loop for applications whose InitInstance returned TRUE.
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // The executable's file name without its extension: the default caption of message boxes.
    std::wstring m_appName;
};

CWinApp* AfxGetApp();
const wchar_t* AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
