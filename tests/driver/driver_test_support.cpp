#include "tests/driver/driver_test_support.h"

#include <setupapi.h>

#include "common/text.h"
#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {

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
