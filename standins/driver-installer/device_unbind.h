// Detaches present devices from their function driver, as an uninstall does before the driver goes.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel::standin {

// Clears the service of every present device (any class) that has one and whose hardware IDs contain
// the fragment, letter case aside. ERROR_SUCCESS, or the error of the first device that could not be
// changed.
DWORD UnbindDevices(const std::wstring& hardwareIdFragment);

}  // namespace vandrel::standin
