// The stand-in DIFxAPI.dll: pre-installs and uninstalls a driver package as a service entry and a
// driver binary under system32\drivers, which is all the tool and its tests look at.
#include "standins/driver-installer/difxapi.h"

#include <string>

#include "common/unique_handle.h"
#include "standins/driver-installer/inf_package.h"

namespace vandrel::standin {

namespace {

std::wstring DriversFolder() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(system) + L"\\drivers\\" : std::wstring();
}

DWORD CheckFilesBeside(const DriverPackage& package) {
    for (const std::wstring& name : {package.catalog, package.binary})
        if (!name.empty() && ::GetFileAttributesW((package.folder + name).c_str()) == INVALID_FILE_ATTRIBUTES)
            return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

DWORD CopyBinary(const DriverPackage& package) {
    const std::wstring drivers = DriversFolder();
    if (drivers.empty()) return ERROR_PATH_NOT_FOUND;
    ::CreateDirectoryW(drivers.c_str(), nullptr);  // there already on any real system
    if (!::CopyFileW((package.folder + package.binary).c_str(), (drivers + package.binary).c_str(), FALSE))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

DWORD CreateDriverService(const DriverPackage& package) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager) return ::GetLastError();
    // A relative ImagePath does not load; the binary lives where the INF's %12% puts it.
    const std::wstring image = L"\\SystemRoot\\system32\\drivers\\" + package.binary;
    UniqueService service(::CreateServiceW(manager.get(), package.service.c_str(), package.service.c_str(),
                                           SERVICE_ALL_ACCESS, package.serviceType, package.startType,
                                           package.errorControl, image.c_str(), nullptr, nullptr, nullptr,
                                           nullptr, nullptr));
    if (service) return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    return error == ERROR_SERVICE_EXISTS ? ERROR_SUCCESS : error;
}

DWORD DeleteDriverService(const DriverPackage& package) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    UniqueService service(::OpenServiceW(manager.get(), package.service.c_str(), DELETE));
    if (!service) {
        const DWORD error = ::GetLastError();
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? ERROR_SUCCESS : error;
    }
    if (::DeleteService(service.get())) return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    return error == ERROR_SERVICE_MARKED_FOR_DELETE ? ERROR_SUCCESS : error;
}

void DeleteBinary(const DriverPackage& package) {
    const std::wstring drivers = DriversFolder();
    if (drivers.empty()) return;
    const std::wstring path = drivers + package.binary;
    // A loaded driver cannot be deleted now; it goes at the next restart.
    if (!::DeleteFileW(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

}  // namespace vandrel::standin

using namespace vandrel::standin;

DWORD WINAPI DriverPackagePreinstallW(PCWSTR driverPackageInfPath, DWORD /*flags*/) {
    if (!driverPackageInfPath) return ERROR_INVALID_PARAMETER;
    DriverPackage package;
    DWORD error = ReadDriverPackage(driverPackageInfPath, package);
    if (error == ERROR_SUCCESS) error = CheckFilesBeside(package);
    if (error == ERROR_SUCCESS) error = CopyBinary(package);
    if (error == ERROR_SUCCESS) error = CreateDriverService(package);
    return error;
}

DWORD WINAPI DriverPackageUninstallW(PCWSTR driverPackageInfPath, DWORD /*flags*/, const void* /*installerInfo*/,
                                     BOOL* needReboot) {
    if (needReboot) *needReboot = FALSE;
    if (!driverPackageInfPath) return ERROR_INVALID_PARAMETER;
    DriverPackage package;
    DWORD error = ReadDriverPackage(driverPackageInfPath, package);
    if (error == ERROR_SUCCESS) error = DeleteDriverService(package);
    if (error == ERROR_SUCCESS) DeleteBinary(package);
    return error;
}

DWORD WINAPI VandrelStandInDifxApi() { return 1; }
