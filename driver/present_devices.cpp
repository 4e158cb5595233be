#include "driver/present_devices.h"

#include <shlwapi.h>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

namespace {

// MAX_DEVICE_ID_LEN (cfgmgr32.h) and its terminator.
constexpr DWORD kInstanceIdChars = 201;

}  // namespace

bool ReadStringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, DWORD bytes,
                        std::vector<wchar_t>& buffer) {
    buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    return ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                               reinterpret_cast<BYTE*>(buffer.data()), bytes, nullptr) != FALSE;
}

bool AnyPresentDevice(const std::function<bool(HDEVINFO, SP_DEVINFO_DATA&)>& visit) {
    UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set) return false;
    SP_DEVINFO_DATA device{sizeof device};
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index)
        if (visit(set.get(), device)) return true;
    return false;
}

std::vector<std::wstring> DeviceInstancesOf(uint16_t vendorId, uint16_t productId) {
    const std::wstring fragment = Format(L"VID_%04X&PID_%04X", vendorId, productId);
    std::vector<std::wstring> instances;
    std::vector<wchar_t> ids;
    AnyPresentDevice([&](HDEVINFO set, SP_DEVINFO_DATA& device) {
        if (!ReadStringProperty(set, device, SPDRP_HARDWAREID, kHardwareIdBytes, ids)) return false;
        for (const wchar_t* id = ids.data(); *id != L'\0'; id += ::lstrlenW(id) + 1) {
            if (!::StrStrIW(id, fragment.c_str())) continue;
            wchar_t instance[kInstanceIdChars] = {};
            if (::SetupDiGetDeviceInstanceIdW(set, &device, instance, kInstanceIdChars, nullptr))
                instances.push_back(instance);
            break;
        }
        return false;
    });
    return instances;
}

}  // namespace vandrel
