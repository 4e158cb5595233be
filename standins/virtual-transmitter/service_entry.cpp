#include "standins/virtual-transmitter/service_entry.h"

#include <windows.h>

#include "common/text.h"
#include "common/unique_handle.h"
#include "standins/virtual-transmitter/device_store.h"

namespace vandrel::standin {

namespace {

bool Failed(std::wstring& error, const wchar_t* what, DWORD code) {
    error = Format(L"%s failed (error %lu)", what, code);
    return false;
}

}  // namespace

bool InstallRockusbService(std::wstring& error) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) return Failed(error, L"OpenSCManagerW", ::GetLastError());
    UniqueService service(::CreateServiceW(manager.get(), kRockusbService, kRockusbService, SERVICE_ALL_ACCESS,
                                           SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           L"\\SystemRoot\\system32\\drivers\\rockusb.sys", nullptr, nullptr,
                                           nullptr, nullptr, nullptr));
    if (service) return true;
    const DWORD code = ::GetLastError();
    return code == ERROR_SERVICE_EXISTS || Failed(error, L"CreateServiceW", code);
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
