// The "rockusb" service entry on its own, without the driver behind it: enough for devices to bind.
#pragma once

#include <string>

namespace vandrel::standin {

// Creates the kernel-driver service "rockusb" (demand start); true also when it exists already.
bool InstallRockusbService(std::wstring& error);

// Deletes the service "rockusb"; true also when there is none.
bool RemoveRockusbService(std::wstring& error);

}  // namespace vandrel::standin
