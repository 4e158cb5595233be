// The two entry points of the stand-in DIFxAPI.dll, declared from their documented signatures.
#pragma once

#include <windows.h>

#ifdef VANDREL_DIFXAPI_BUILD
#define VANDREL_DIFXAPI extern "C" __declspec(dllexport)
#else
#define VANDREL_DIFXAPI extern "C" __declspec(dllimport)
#endif

// Puts the package of the INF (a relative path counts from the current folder) into the system:
// copies its driver binary under system32\drivers and creates its kernel-driver service. ERROR_SUCCESS
// or a Win32 error code.
VANDREL_DIFXAPI DWORD WINAPI DriverPackagePreinstallW(PCWSTR driverPackageInfPath, DWORD flags);

// Takes the package out again: deletes its service and its driver binary. A package that is not in
// the system counts as taken out. installerInfo is not used; *needReboot (if given) is set to FALSE.
VANDREL_DIFXAPI DWORD WINAPI DriverPackageUninstallW(PCWSTR driverPackageInfPath, DWORD flags,
                                                    const void* installerInfo, BOOL* needReboot);

// Not part of DIFxAPI: a mark by which driver_x64.exe tells this stand-in from another DIFxAPI.dll
// (Wine carries a builtin one of its own). Returns 1.
VANDREL_DIFXAPI DWORD WINAPI VandrelStandInDifxApi();
