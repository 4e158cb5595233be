// What the stand-in DIFxAPI.dll reads of a driver package's INF.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel::standin {

struct DriverPackage {
    std::wstring folder;       // where the INF lies, with a trailing backslash
    std::wstring catalog;      // file name from [Version] CatalogFile, may be empty
    std::wstring service;      // AddService name
    DWORD serviceType = SERVICE_KERNEL_DRIVER;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    std::wstring binary;       // file name of ServiceBinary
};

// Reads the package of infPath (made absolute against the current folder) for x64: the first model of
// [Manufacturer]'s NTamd64 (or undecorated) models section, its install section's AddService and the
// service section. ERROR_SUCCESS or a Win32 error code.
DWORD ReadDriverPackage(const std::wstring& infPath, DriverPackage& package);

}  // namespace vandrel::standin
