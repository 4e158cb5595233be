#include "tool-driver/tool_driver.h"

#include <dlgs.h>

#include "resources/resource.h"

namespace vandrel::driving {

namespace {

constexpr wchar_t kFileDialogTitle[] = L"Select Firmware File";

// The file-name box of the open-file dialog: the edit edt1 of the classic dialog (Wine shows the
// Vista-style one so), or the edit inside the combo box cmb13 (Windows).
HWND FileNameBox(HWND picker) {
    if (HWND name = ::GetDlgItem(picker, edt1)) return name;
    return ::FindWindowExW(::GetDlgItem(picker, cmb13), nullptr, L"Edit", nullptr);
}

}  // namespace

HWND FindMainDialog(DWORD processId) {
    for (HWND w : TopLevelWindows(processId))
        if (::GetDlgItem(w, IDC_START_WRITING) && ::GetDlgItem(w, IDC_CONFIRM_VERSION) && ::GetDlgItem(w, IDC_SELECT))
            return w;
    return nullptr;
}

bool IsReady(HWND dialog) {
    const HWND select = ::GetDlgItem(dialog, IDC_SELECT);
    return dialog && IsShown(dialog) && ::IsWindowEnabled(dialog) && select && ::IsWindowEnabled(select);
}

ToolDriver::ToolDriver(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    ProcessHandles started(info);
    process_ = std::move(started.process);
    id_ = started.id;
    started_ = true;
}

std::unique_ptr<ToolDriver> ToolDriver::StartReady(const std::wstring& exe, DWORD timeoutMs) {
    auto tool = std::make_unique<ToolDriver>(exe);
    if (!tool->running() || !tool->WaitUntilReady(timeoutMs)) return nullptr;
    return tool;
}

std::unique_ptr<ToolDriver> ToolDriver::Attach(DWORD processId, DWORD timeoutMs) {
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = FindMainDialog(processId)) != nullptr; }, timeoutMs)) return nullptr;
    std::unique_ptr<ToolDriver> tool(new ToolDriver());
    ::GetWindowThreadProcessId(window, &tool->id_);
    tool->process_.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ |
                                           PROCESS_TERMINATE, FALSE, tool->id_));
    tool->window_ = window;
    return tool;
}

ToolDriver::~ToolDriver() {
    // Only a tool this driver started is ended with it; one it attached to runs on.
    if (started_ && running()) Kill();
}

bool ToolDriver::running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

HWND ToolDriver::WaitForWindow(DWORD timeoutMs) {
    WaitFor([&] { return (window_ = FindMainDialog(id_)) != nullptr; }, timeoutMs);
    return window_;
}

HWND ToolDriver::WaitUntilReady(DWORD timeoutMs) {
    const bool ready = WaitFor([&] {
        if (!window_ || !::IsWindow(window_)) window_ = FindMainDialog(id_);
        return window_ && IsReady(window_);
    }, timeoutMs);
    return ready ? window_ : nullptr;
}

void ToolDriver::SetFirmwarePath(const std::wstring& path) const {
    ::SendMessageW(Control(IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

bool ToolDriver::PickFile(const std::wstring& path, std::wstring* why) const {
    auto fail = [&](const wchar_t* reason) {
        if (why) *why = reason;
        return false;
    };
    if (!Click(IDC_SELECT)) return fail(L"Select cannot be clicked");
    HWND picker = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(id_))
                if (WindowText(w) == kFileDialogTitle && IsShown(w)) picker = w;
            return picker != nullptr;
        },
        15000);
    if (!picker) return fail(L"the file dialog did not open");
    const HWND name = FileNameBox(picker);
    if (!name) return fail(L"no file-name box in the file dialog");
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(picker, IDOK)));
    if (!WaitFor([&] { return WindowText(Control(IDC_FIRMWARE_PATH)) == path; }, 15000))
        return fail(L"the path did not arrive in the dialog");
    return true;
}

bool ToolDriver::Click(int controlId) const { return driving::Click(window_, controlId); }

bool ToolDriver::ClickWhenReady(int controlId, DWORD timeoutMs) {
    const bool clickable = WaitFor([&] {
        const HWND control = Control(controlId);
        return window_ && IsReady(window_) && control && IsShown(control) && ::IsWindowEnabled(control);
    }, timeoutMs);
    return clickable && Click(controlId);
}

void ToolDriver::SendCommand(int controlId) const { driving::SendCommand(window_, controlId); }

bool ToolDriver::NextBox(MessageBoxInfo* box, DWORD timeoutMs, bool dismiss) const {
    if (!WaitForMessageBox(id_, box, timeoutMs)) return false;
    if (!dismiss) return true;
    DismissMessageBox(box->window);
    return WaitFor([&] { return !::IsWindow(box->window); });
}

std::vector<std::wstring> ToolDriver::Lines() const { return ListBoxLines(Control(IDC_MESSAGE_LIST)); }

bool ToolDriver::Close(DWORD timeoutMs, DWORD* exitCode) {
    // As a user does: once the window can act on it (the close box is greyed while it cannot).
    WaitUntilReady(timeoutMs);
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs, exitCode);
}

bool ToolDriver::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(process_.get(), exitCode);
    return true;
}

void ToolDriver::CloseOrEnd(DWORD timeoutMs) {
    if (!Close(timeoutMs)) Kill();
}

void ToolDriver::Kill() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 255);
    ::WaitForSingleObject(process_.get(), 5000);
}

bool ToolDriver::ReadMemory(PROCESS_MEMORY_COUNTERS_EX* counters) const {
    *counters = {};
    counters->cb = sizeof *counters;
    return ::GetProcessMemoryInfo(process_.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(counters),
                                  sizeof *counters) != FALSE;
}

}  // namespace vandrel::driving
