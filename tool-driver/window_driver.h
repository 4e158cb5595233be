// Drives a running program's windows from outside, as a user's clicks would: start it, find its
// windows, send what a click sends, read and dismiss its message boxes. The primitives under the tool
// driver (tool_driver.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace vandrel::driving {

// Polls predicate every 20 ms until it holds or timeoutMs passes; true when it held.
bool WaitFor(const std::function<bool()>& predicate, DWORD timeoutMs = 10000);

// The folder of the running test program, where every built program and DLL lies (trailing backslash).
std::wstring BinFolder();

// A started program. The destructor ends it if it still runs, so no test leaves one behind.
class Process {
public:
    // Starts exe with the command-line arguments; running() tells whether that worked.
    explicit Process(const std::wstring& exe, const std::wstring& arguments = L"");
    ~Process();
    Process(Process&&) = default;

    bool running() const;
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }
    // Waits for the end; true with the exit code when it ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    void Kill();

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// The ids of the running processes that parent started from a program named exe (case aside).
std::vector<DWORD> ChildProcessIds(DWORD parent, const wchar_t* exe);

// Top-level windows of a process (or of every process when processId is 0) with the class name.
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className = L"#32770");

std::wstring WindowText(HWND window);
bool IsShown(HWND window);
bool IsEnabled(HWND window);


struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};
// A message box of the process other than `except`: a top-level dialog with the static text 0xFFFF, read
// once it answers (its caption is not empty).
bool WaitForMessageBox(DWORD processId, MessageBoxInfo* box, DWORD timeoutMs = 15000, HWND except = nullptr);
// Presses the box's default button.
void DismissMessageBox(HWND box);

// Minimises a window as a click on its minimise box does; true once it is minimised. The request is
// repeated: under Xvfb without a window manager an early one is sometimes undone as the window settles.
bool Minimise(HWND window);

// Clicks the dialog's control id as a user can: only when the dialog and the control are shown and
// enabled (and no modal box stands over the dialog); then posts what the click sends and returns true at
// once. False, with nothing sent, otherwise.
bool Click(HWND dialog, int id);
// Posts the command of control id whatever its state: what no user can do by clicking (a disabled or
// hidden control, Enter, Escape), for tests that check the dialog refuses it.
void SendCommand(HWND dialog, int id);
// The lines of a list box, read across processes.
std::vector<std::wstring> ListBoxLines(HWND list);

}  // namespace vandrel::driving
