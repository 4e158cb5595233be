// Whether a Rockchip device is present and served by the RockUSB driver, read afresh from the service
// table and the list of present devices at every call.
#pragma once

#include <cstdint>
#include <string>

namespace vandrel {

enum class DriverStatus : int {
    NoDriverNoDevice = 0,
    DeviceWithoutDriver = 1,
    DriverWithoutDevice = 2,
    DeviceNotBound = 3,
    Ready = 4,
};

constexpr uint16_t kRockchipVendorId = 0x2207;
constexpr wchar_t kRockusbService[] = L"rockusb";

// The service "rockusb" and the devices of vendor 0x2207 judged together.
DriverStatus QueryDriverStatus();

// True when the service control manager knows a service of that name (its state is not asked).
bool IsServiceInstalled(const std::wstring& serviceName);

// True when a present device of any class has a hardware ID containing "VID_" and the id in four
// hexadecimal digits, letter case aside.
bool IsDevicePresentByVendorId(uint16_t vendorId);

// True when a present device of any class names the service as its function driver, letter case aside.
bool IsAnyDeviceBoundToService(const std::wstring& serviceName);

}  // namespace vandrel
