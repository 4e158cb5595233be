// Helpers for the driver tests: a recording dialog output, the dialog's status controls,
// the stand-in driver files, device property edits and the environment that steers driver_x64.exe.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/recording_output.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/status_window.h"
#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {

// ${CMAKE_BINARY_DIR}/x64/bin: driver_x64.exe, DIFxAPI.dll and the rockusb package.
std::wstring X64BinFolder();
extern const wchar_t* const kDriverFiles[5];
// Copies the five driver files into folder (trailing backslash); true when all were copied.
bool CopyDriverFiles(const std::wstring& folder);

// Sets a registry property of a present device by instance id; bytes as stored (multi-strings with
// their terminators).
bool SetDeviceProperty(const std::wstring& instanceId, DWORD property, const std::wstring& value);
// The multi-string of ids in one piece, closing zeros included.
std::wstring MultiString(const std::vector<std::wstring>& items);

// Ends the driver_x64.exe processes that this process started (found by parent process id) and waits
// for them; the number ended.
int EndStartedDriverTools();

// The native system32\drivers folder as this process reaches it (through Sysnative from a 32-bit one).
std::wstring NativeDriversFolder();

// The ImagePath of a service, or empty when it cannot be read.
std::wstring ServiceBinaryPath(const wchar_t* service);

}  // namespace vandrel::test
