// The one way anything outside the tool starts or drives it: the tests, the soak, the benchmark, the
// command-line remote and through it the scripts. It acts as a user would: it waits until the window
// can be used, clicks only what a user could click, picks files in the file dialog, reads and answers
// message boxes, and closes the tool.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <memory>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tool-driver/window_driver.h"

namespace vandrel::driving {

// The tool's main dialog among the top-level windows of processId (of any process when 0) on this
// thread's desktop, as soon as it exists (before it is shown); null when there is none.
HWND FindMainDialog(DWORD processId);

// Whether the main dialog can be used: shown, not behind a box, and its Select button can act.
bool IsReady(HWND dialog);

class ToolDriver {
public:
    // Starts exe (with this process's environment); running() tells whether that worked.
    explicit ToolDriver(const std::wstring& exe);
    // Starts exe and waits until its main dialog can be used; null when it did not become ready.
    static std::unique_ptr<ToolDriver> StartReady(const std::wstring& exe, DWORD timeoutMs = 30000);
    // The tool that runs already: the process whose main dialog is found within timeoutMs (processId 0:
    // any), or null.
    static std::unique_ptr<ToolDriver> Attach(DWORD processId, DWORD timeoutMs);
    ~ToolDriver();
    ToolDriver(const ToolDriver&) = delete;
    ToolDriver& operator=(const ToolDriver&) = delete;

    bool running() const;
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }
    HWND window() const { return window_; }
    HWND Control(int controlId) const { return ::GetDlgItem(window_, controlId); }

    // The main dialog as soon as it exists, shown or not; null after timeoutMs.
    HWND WaitForWindow(DWORD timeoutMs = 30000);
    // The main dialog once a user can work with it (see IsReady); null after timeoutMs.
    HWND WaitUntilReady(DWORD timeoutMs = 30000);

    // Puts path into the firmware path box as a pick in the file dialog would (the box is read-only).
    void SetFirmwarePath(const std::wstring& path) const;
    // Clicks Select and picks path in the file dialog; false with the reason in why when a step fails.
    bool PickFile(const std::wstring& path, std::wstring* why = nullptr) const;
    // Clicks control id as a user can (see Click in window_driver.h): false when it cannot be clicked.
    bool Click(int controlId) const;
    // Waits until the window is ready and control id can be clicked, as a user waits for a greyed
    // button, then clicks it; false when that did not come within timeoutMs.
    bool ClickWhenReady(int controlId, DWORD timeoutMs = 15000);
    // A command no user can give by clicking (see SendCommand in window_driver.h).
    void SendCommand(int controlId) const;
    // The next message box of the tool within timeoutMs, pressed OK unless told to leave it open.
    bool NextBox(MessageBoxInfo* box, DWORD timeoutMs, bool dismiss = true) const;
    // The lines of the hidden message list.
    std::vector<std::wstring> Lines() const;

    // The close request (the close box), once the window is ready for it; true with the exit code when
    // the tool ended within timeoutMs.
    bool Close(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    // The close request, and the end of the process when it does not end within timeoutMs.
    void CloseOrEnd(DWORD timeoutMs);
    void Kill();
    // The tool's memory counters; false when they cannot be read.
    bool ReadMemory(PROCESS_MEMORY_COUNTERS_EX* counters) const;

private:
    ToolDriver() = default;

    UniqueHandle process_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
    bool started_ = false;  // by this driver, which then ends it should it still run at the end
};

}  // namespace vandrel::driving
