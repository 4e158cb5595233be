#include "tests/driver/driver_test_support.h"

#include <setupapi.h>

#include "common/text.h"
#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "workspace/secure_workspace.h"
#include "resources/resource.h"

namespace vandrel::test {

namespace {

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int y) {
    return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 200, 20, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

}  // namespace

StatusWindow::StatusWindow() {
    window_ = ::CreateWindowExW(0, L"STATIC", L"status test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    Child(window_, L"BUTTON", L"Start Writing", BS_PUSHBUTTON, IDC_START_WRITING, 10);
    Child(window_, L"BUTTON", L"Confirming FW version", BS_PUSHBUTTON, IDC_CONFIRM_VERSION, 40);
    Child(window_, L"STATIC", L" Please connect the transmitter.", 0, IDC_CONNECT_HINT, 70);
    Child(window_, L"STATIC", L"Please install USB drivers", 0, IDC_DRIVER_HINT, 100);
    // Unsorted like the dialog's message list, so lines stay in the order they were added.
    ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VSCROLL | LBS_NOTIFY, 10, 130, 300, 100, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MESSAGE_LIST)), nullptr, nullptr);
}

StatusWindow::~StatusWindow() {
    if (window_) ::DestroyWindow(window_);
}

bool StatusWindow::Visible(int id) const { return (::GetWindowLongW(item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
bool StatusWindow::Enabled(int id) const { return (::GetWindowLongW(item(id), GWL_STYLE) & WS_DISABLED) == 0; }
std::vector<std::wstring> StatusWindow::Lines() const { return ListBoxLines(item(IDC_MESSAGE_LIST)); }
int StatusWindow::Selection() const { return static_cast<int>(::SendMessageW(item(IDC_MESSAGE_LIST), LB_GETCURSEL, 0, 0)); }

std::wstring X64BinFolder() { return BinFolder() + L"..\\x64\\bin\\"; }

const wchar_t* const kDriverFiles[5] = {L"DIFxAPI.dll", L"driver_x64.exe", L"rockusb.cat", L"rockusb.inf",
                                        L"rockusb.sys"};

bool CopyDriverFiles(const std::wstring& folder) {
    for (const wchar_t* name : kDriverFiles)
        if (!::CopyFileW((X64BinFolder() + name).c_str(), (folder + name).c_str(), FALSE)) return false;
    return true;
}

bool SetDeviceProperty(const std::wstring& instanceId, DWORD property, const std::wstring& value) {
    UniqueDevInfo set(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{sizeof device};
    if (!set || !::SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &device)) return false;
    // A plain string keeps its terminator; a multi-string brings its own.
    const DWORD bytes = static_cast<DWORD>((value.size() + (value.empty() || value.back() != L'\0')) *
                                           sizeof(wchar_t));
    return ::SetupDiSetDeviceRegistryPropertyW(set.get(), &device, property,
                                               reinterpret_cast<const BYTE*>(value.c_str()), bytes) != FALSE;
}

std::wstring MultiString(const std::vector<std::wstring>& items) {
    std::wstring joined;
    for (const std::wstring& item : items) joined += item + L'\0';
    return joined + L'\0';
}

int EndStartedDriverTools() {
    int ended = 0;
    for (DWORD id : ChildProcessIds(::GetCurrentProcessId(), L"driver_x64.exe")) {
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process && ::TerminateProcess(process.get(), 1)) {
            ::WaitForSingleObject(process.get(), 10000);
            ++ended;
        }
    }
    return ended;
}

std::wstring NativeDriversFolder() {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    // Only a 32-bit process on a 64-bit system is redirected from System32 (to SysWOW64).
    BOOL redirected = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &redirected);
    return std::wstring(windows) + (redirected ? L"\\Sysnative\\drivers\\" : L"\\System32\\drivers\\");
}

std::wstring ServiceBinaryPath(const wchar_t* service) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService handle(manager ? ::OpenServiceW(manager.get(), service, SERVICE_QUERY_CONFIG) : nullptr);
    if (!handle) return {};
    DWORD bytes = 0;
    ::QueryServiceConfigW(handle.get(), nullptr, 0, &bytes);
    std::vector<BYTE> buffer(bytes);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (bytes == 0 || !::QueryServiceConfigW(handle.get(), config, bytes, &bytes)) return {};
    return config->lpBinaryPathName ? config->lpBinaryPathName : L"";
}

}  // namespace vandrel::test
