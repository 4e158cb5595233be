// The stand-in driver_x64.exe: "/i <inf>" pre-installs the driver package lying beside it, and
// "/u <hardware-ID fragment> <inf>" unbinds the matching devices and uninstalls the package, both
// through DIFxAPI.dll. Exit code 0 on success, 1 on failure, 2 for bad arguments.
// Tests steer it through the environment it inherits:
//   VANDREL_DRIVER_STUB_EXIT_CODE=<n>  end at once with exit code n, doing nothing
//   VANDREL_DRIVER_STUB_HANG=1         never end
//   VANDREL_DRIVER_STUB_FAIL_WHILE=<path>  end with exit code 2 while that file exists (so a test can
//                                      make one step of a running tool fail and the next succeed)
//   VANDREL_DRIVER_STUB_WAIT_WHILE=<path>  wait while that file exists, then do the work (so a test can
//                                      act while a tool is in its driver step)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/unique_handle.h"
#include "standins/driver-installer/device_unbind.h"
#include "standins/driver-installer/difxapi.h"

namespace {

std::wstring Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return L"";
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, &value[0], size);
    value.resize(length < size ? length : 0);
    return value;
}

// Wine carries a builtin DIFxAPI.dll and by default loads it in place of the one beside this program
// (an environment override does not reach a program started from another Windows program). Then this
// program records Wine's per-program override for itself and runs itself once more. Never on Windows.
bool StandInLoaded() {
    const HMODULE library = ::GetModuleHandleW(L"DIFxAPI.dll");
    return library && ::GetProcAddress(library, "VandrelStandInDifxApi");
}

bool PreferDifxApiBesideMe() {
    vandrel::UniqueRegKey key;
    const wchar_t path[] = L"Software\\Wine\\AppDefaults\\driver_x64.exe\\DllOverrides";
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    const wchar_t native[] = L"native";
    return ::RegSetValueExW(key.get(), L"difxapi", 0, REG_SZ, reinterpret_cast<const BYTE*>(native),
                            sizeof native) == ERROR_SUCCESS;
}

int RunAgainWithStandIn() {
    if (Environment(L"VANDREL_DRIVER_STUB_AGAIN") == L"1" || !PreferDifxApiBesideMe()) {
        fwprintf(stderr, L"driver_x64: the stand-in DIFxAPI.dll was not loaded\n");
        return 1;
    }
    ::SetEnvironmentVariableW(L"VANDREL_DRIVER_STUB_AGAIN", L"1");
    wchar_t self[MAX_PATH] = {};
    if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) return 1;
    std::wstring commandLine = ::GetCommandLineW();
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    const vandrel::ProcessHandles started(process);
    const vandrel::UniqueHandle& child = started.process;
    DWORD code = 1;
    ::WaitForSingleObject(child.get(), INFINITE);
    return ::GetExitCodeProcess(child.get(), &code) ? static_cast<int>(code) : 1;
}

int Report(const wchar_t* step, DWORD error) {
    if (error == ERROR_SUCCESS) return 0;
    fwprintf(stderr, L"driver_x64: %ls failed (error %lu)\n", step, error);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring exitCode = Environment(L"VANDREL_DRIVER_STUB_EXIT_CODE");
    if (!exitCode.empty()) return static_cast<int>(wcstoul(exitCode.c_str(), nullptr, 0));
    if (Environment(L"VANDREL_DRIVER_STUB_HANG") == L"1")
        for (;;) ::Sleep(INFINITE);
    const std::wstring failWhile = Environment(L"VANDREL_DRIVER_STUB_FAIL_WHILE");
    if (!failWhile.empty() && ::GetFileAttributesW(failWhile.c_str()) != INVALID_FILE_ATTRIBUTES) return 2;
    const std::wstring waitWhile = Environment(L"VANDREL_DRIVER_STUB_WAIT_WHILE");
    while (!waitWhile.empty() && ::GetFileAttributesW(waitWhile.c_str()) != INVALID_FILE_ATTRIBUTES) ::Sleep(50);
    if (!StandInLoaded()) return RunAgainWithStandIn();

    if (argc == 3 && _wcsicmp(argv[1], L"/i") == 0)
        return Report(L"DriverPackagePreinstallW", DriverPackagePreinstallW(argv[2], 0));
    if (argc == 4 && _wcsicmp(argv[1], L"/u") == 0) {
        const int unbound = Report(L"Unbinding the devices", vandrel::standin::UnbindDevices(argv[2]));
        if (unbound != 0) return unbound;
        BOOL needReboot = FALSE;
        return Report(L"DriverPackageUninstallW", DriverPackageUninstallW(argv[3], 0, nullptr, &needReboot));
    }
    fwprintf(stderr, L"usage: driver_x64 /i <inf> | /u <hardware-ID fragment> <inf>\n");
    return 2;
}
