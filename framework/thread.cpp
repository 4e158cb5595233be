#include "framework/thread.h"

#include <process.h>

CWinThread::~CWinThread() {
    if (m_hThread) ::CloseHandle(m_hThread);
}

namespace {

unsigned __stdcall ThreadEntry(void* context) {
    auto* thread = static_cast<CWinThread*>(context);
    const UINT exitCode = thread->proc_(thread->param_);
    if (thread->m_bAutoDelete) delete thread;
    return exitCode;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security) {
    auto* thread = new CWinThread;
    thread->proc_ = proc;
    thread->param_ = param;
    // Start suspended so that the object is complete before the thread can delete it.
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(security, stackSize, ThreadEntry, thread, CREATE_SUSPENDED, &id);
    if (!handle) {
        delete thread;
        return nullptr;
    }
    thread->m_hThread = reinterpret_cast<HANDLE>(handle);
    thread->m_nThreadID = id;
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(thread->m_hThread);
    return thread;
}
