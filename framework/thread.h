// AfxBeginThread: a worker thread that runs one function and cleans up after itself.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

class CWinThread {
public:
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;
    ~CWinThread();
    AFX_THREADPROC proc_ = nullptr;
    LPVOID param_ = nullptr;
};

// Starts a thread running proc(param). The thread object deletes itself when the thread ends, so
// the caller must not keep it. Returns null when the thread cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
