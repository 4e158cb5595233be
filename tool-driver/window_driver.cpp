#include "tool-driver/window_driver.h"

#include <tlhelp32.h>

#include "common/module_path.h"

namespace vandrel::driving {

bool WaitFor(const std::function<bool()>& predicate, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (predicate()) return true;
        if (::GetTickCount64() >= deadline) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(20);
    }
}

std::wstring BinFolder() { return ExecutableFolder(); }

Process::Process(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &info)) {
        ProcessHandles started(info);
        process_ = std::move(started.process);
        id_ = started.id;
    }
}

Process::~Process() {
    if (running()) Kill();
}

bool Process::running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(process_.get(), exitCode);
    return true;
}

void Process::Kill() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 255);
    ::WaitForSingleObject(process_.get(), 5000);
}

namespace {

struct EnumContext {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* c = reinterpret_cast<EnumContext*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (c->processId && owner != c->processId) return TRUE;
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (!c->className || lstrcmpiW(name, c->className) == 0) c->found->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className) {
    std::vector<HWND> found;
    EnumContext context{processId, className, &found};
    // The calling thread's desktop, which may be a virtual desktop it moved to.
    ::EnumDesktopWindows(::GetThreadDesktop(::GetCurrentThreadId()), CollectWindow, reinterpret_cast<LPARAM>(&context));
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length);
    return text;
}

bool IsShown(HWND window) { return (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool IsEnabled(HWND window) { return (::GetWindowLongW(window, GWL_STYLE) & WS_DISABLED) == 0; }

std::vector<DWORD> ChildProcessIds(DWORD parent, const wchar_t* exe) {
    std::vector<DWORD> ids;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, exe) == 0) ids.push_back(entry.th32ProcessID);
    return ids;
}

bool WaitForMessageBox(DWORD processId, MessageBoxInfo* box, DWORD timeoutMs, HWND except) {
    return WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(processId)) {
                HWND text = ::GetDlgItem(w, 0xFFFF);
                if (w == except || !text || !IsShown(w)) continue;
                box->window = w;
                box->caption = WindowText(w);
                box->text = WindowText(text);
                // Every box has a caption. None read means the box's thread did not answer yet: Wine takes a
                // thread that waited long without looking at its queue for a hung one until its box runs.
                if (box->caption.empty()) continue;
                return true;
            }
            return false;
        },
        timeoutMs);
}

void DismissMessageBox(HWND box) { ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

bool Minimise(HWND window) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (WaitFor([&] { return ::IsIconic(window) != 0; }, 500)) return true;
    }
    return false;
}

bool Click(HWND dialog, int id) {
    const HWND control = ::GetDlgItem(dialog, id);
    if (!control || !::IsWindowVisible(dialog) || !::IsWindowEnabled(dialog) || !::IsWindowVisible(control) ||
        !::IsWindowEnabled(control))
        return false;
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return true;
}

void SendCommand(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::vector<std::wstring> ListBoxLines(HWND list) {
    std::vector<std::wstring> lines;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        ::SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length);
        std::wstring line(length + 1, L'\0');
        ::SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]), SMTO_ABORTIFHUNG, 5000, &length);
        line.resize(length);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vandrel::driving
