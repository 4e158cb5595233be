// The system's list of present devices, walked one way for the driver status and for naming a device.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vandrel {

// The bytes of a device's hardware-id list that are read; a longer list is passed over.
constexpr DWORD kHardwareIdBytes = 8192;

// Reads a string property into a zero-filled buffer of `bytes`; the buffer carries two more zero
// characters than the read may fill, so a property stored without its terminators still ends.
bool ReadStringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, DWORD bytes,
                        std::vector<wchar_t>& buffer);

// Calls visit for every present device of every class until it answers true; false when the list
// cannot be had or no device satisfied it.
bool AnyPresentDevice(const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&)>& visit);

// The instance ids of the present devices with a hardware id that contains "VID_vvvv&PID_pppp" (letter
// case aside), in the system's order.
std::vector<std::wstring> DeviceInstancesOf(uint16_t vendorId, uint16_t productId);

}  // namespace vandrel
