#include "standins/virtual-transmitter/service_entry.h"

#include <windows.h>

#include "common/text.h"
#include "common/unique_handle.h"
#include "standins/virtual-transmitter/device_store.h"

namespace vandrel::standin {

namespace {

constexpr DWORD kMarkedForDeletionWaitMs = 5000;

bool Failed(std::wstring& error, const wchar_t* what, DWORD code) {
    error = Format(L"%s failed (error %lu)", what, code);
    return false;
}

}  // namespace

bool InstallRockusbService(std::wstring& error) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) return Failed(error, L"OpenSCManagerW", ::GetLastError());
    // A service just deleted stays marked for deletion until the last handle to it is closed, which the
    // service manager may do a moment after its holder has ended: wait for that, within reason.
    const ULONGLONG deadline = ::GetTickCount64() + kMarkedForDeletionWaitMs;
    for (;;) {
        UniqueService service(::CreateServiceW(manager.get(), kRockusbService, kRockusbService,
                                               SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                               SERVICE_ERROR_NORMAL, L"\\SystemRoot\\system32\\drivers\\rockusb.sys",
                                               nullptr, nullptr, nullptr, nullptr, nullptr));
        if (service) return true;
        const DWORD code = ::GetLastError();
        if (code == ERROR_SERVICE_EXISTS) return true;
        if (code != ERROR_SERVICE_MARKED_FOR_DELETE || ::GetTickCount64() >= deadline)
            return Failed(error, L"CreateServiceW", code);
        ::Sleep(50);
    }
}

bool RemoveRockusbService(std::wstring& error) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return Failed(error, L"OpenSCManagerW", ::GetLastError());
    UniqueService service(::OpenServiceW(manager.get(), kRockusbService, DELETE));
    if (!service) {
        const DWORD code = ::GetLastError();
        return code == ERROR_SERVICE_DOES_NOT_EXIST || Failed(error, L"OpenServiceW", code);
    }
    if (::DeleteService(service.get())) return true;
    const DWORD code = ::GetLastError();
    return code == ERROR_SERVICE_MARKED_FOR_DELETE || Failed(error, L"DeleteService", code);
}

}  // namespace vandrel::standin
