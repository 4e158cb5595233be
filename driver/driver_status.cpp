#include "driver/driver_status.h"

#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <vector>

#include "common/text.h"
#include "common/unique_handle.h"
#include "driver/present_devices.h"

namespace vandrel {

namespace {

constexpr DWORD kServiceNameBytes = 512;

}  // namespace

DriverStatus QueryDriverStatus() {
    // Both answers are always asked, in this order.
    const bool service = IsServiceInstalled(kRockusbService);
    const bool device = IsDevicePresentByVendorId(kRockchipVendorId);
    if (!service) return device ? DriverStatus::DeviceWithoutDriver : DriverStatus::NoDriverNoDevice;
    if (!device) return DriverStatus::DriverWithoutDevice;
    return IsAnyDeviceBoundToService(kRockusbService) ? DriverStatus::Ready : DriverStatus::DeviceNotBound;
}

bool IsServiceInstalled(const std::wstring& serviceName) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    UniqueService service(::OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

bool IsDevicePresentByVendorId(uint16_t vendorId) {
    wchar_t fragment[32] = {};
    ::wnsprintfW(fragment, 32, L"VID_%04X", vendorId);
    std::vector<wchar_t> ids;
    return AnyPresentDevice([&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        if (!ReadStringProperty(set, device, SPDRP_HARDWAREID, kHardwareIdBytes, ids) || ids[0] == L'\0')
            return false;
        for (const wchar_t* id = ids.data(); *id != L'\0'; id += ::lstrlenW(id) + 1)
            if (::StrStrIW(id, fragment)) return true;
        return false;
    });
}

bool IsAnyDeviceBoundToService(const std::wstring& serviceName) {
    const std::wstring wanted = AsciiLower(serviceName);
    std::vector<wchar_t> service;
    return AnyPresentDevice([&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        return ReadStringProperty(set, device, SPDRP_SERVICE, kServiceNameBytes, service) &&
               AsciiLower(service.data()) == wanted;
    });
}

}  // namespace vandrel
