#include "driver/driver_status.h"

#include <windows.h>
#include <setupapi.h>
#include <shlwapi.h>

#include <functional>
#include <vector>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

constexpr DWORD kHardwareIdBytes = 8192;
constexpr DWORD kServiceNameBytes = 512;

// Reads a string property into a zero-filled buffer of `bytes`; the buffer carries two more zero
// characters than the read may fill, so a property stored without its terminators still ends.
bool ReadStringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, DWORD bytes,
                        std::vector<wchar_t>& buffer) {
    buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    return ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                               reinterpret_cast<BYTE*>(buffer.data()), bytes, nullptr) != FALSE;
}

// Calls visit for every present device of every class until it answers true; false when the list
// cannot be had or no device satisfied it.
bool AnyPresentDevice(const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&)>& visit) {
    UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set) return false;
    SP_DEVINFO_DATA device{sizeof device};
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index)
        if (visit(set.get(), device)) return true;
    return false;
}

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
