#include "standins/driver-installer/device_unbind.h"

#include <setupapi.h>
#include <shlwapi.h>

#include <vector>

#include "common/unique_handle.h"

namespace vandrel::standin {

namespace {

// The property as text with room for the closing zeros; empty when it is missing.
std::vector<wchar_t> ReadProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD bytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &bytes);
    if (bytes == 0) return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                             reinterpret_cast<BYTE*>(text.data()), bytes, nullptr))
        return {};
    return text;
}

bool MatchesFragment(const std::vector<wchar_t>& ids, const std::wstring& fragment) {
    if (ids.empty()) return false;
    for (const wchar_t* id = ids.data(); *id != L'\0'; id += ::lstrlenW(id) + 1)
        if (::StrStrIW(id, fragment.c_str())) return true;
    return false;
}

}  // namespace

DWORD UnbindDevices(const std::wstring& hardwareIdFragment) {
    UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set) return ::GetLastError();
    SP_DEVINFO_DATA device{sizeof device};
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        const std::vector<wchar_t> service = ReadProperty(set.get(), device, SPDRP_SERVICE);
        if (service.empty() || service[0] == L'\0') continue;
        if (!MatchesFragment(ReadProperty(set.get(), device, SPDRP_HARDWAREID), hardwareIdFragment)) continue;
        if (!::SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_SERVICE, nullptr, 0))
            return ::GetLastError();
    }
    return ERROR_SUCCESS;
}

}  // namespace vandrel::standin
