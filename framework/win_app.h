// CWinApp: the one application object; the framework's entry point runs its InitInstance.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

// The framework's help command.
constexpr UINT ID_HELP = 0xE146;

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
    // The application's command handlers, reached by commands that no window handled.
    virtual bool OnCmdMsg(UINT id) { return false; }
    // The standard help handler; the tool ships no help content, so there is nothing to open.
    void OnHelp() {}

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // The executable's file name without its extension: the default caption of message boxes.
    std::wstring m_appName;
};

CWinApp* AfxGetApp();
const wchar_t* AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
