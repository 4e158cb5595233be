#include "standins/virtual-transmitter/device_store.h"

#include <setupapi.h>
#include <cfgmgr32.h>
#include <shlobj.h>

#include <algorithm>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel::standin {

namespace {

// DICD_GENERATE_ID turns this name into ROOT\VIRTUAL_TRANSMITTER\nnnn: the mark of our devices.
constexpr wchar_t kDeviceName[] = L"VIRTUAL_TRANSMITTER";
constexpr wchar_t kInstancePrefix[] = L"ROOT\\VIRTUAL_TRANSMITTER\\";
// GUID_DEVCLASS_USB, {36FC9E60-C465-11CF-8056-444553540000}.
constexpr GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

std::wstring Failed(std::wstring& error, const wchar_t* what, DWORD code) {
    error = Format(L"%s failed (error %lu)", what, code);
    return {};
}

bool IsVirtualInstance(const std::wstring& instanceId) {
    const size_t length = wcslen(kInstancePrefix);
    return instanceId.size() > length && AsciiUpper(instanceId.substr(0, length)) == kInstancePrefix;
}

std::wstring InstanceIdOf(HDEVINFO set, SP_DEVINFO_DATA& data) {
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set, &data, id, MAX_DEVICE_ID_LEN, nullptr)) return {};
    return id;
}

std::wstring ServiceOf(HDEVINFO set, SP_DEVINFO_DATA& data) {
    wchar_t service[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &data, SPDRP_SERVICE, nullptr,
                                             reinterpret_cast<BYTE*>(service), sizeof service - sizeof(wchar_t),
                                             nullptr))
        return {};
    return service;
}

// The device's own key (DIREG_DEV); SetupDiOpenDevRegKey reports failure as INVALID_HANDLE_VALUE.
UniqueRegKey OpenDeviceKey(HDEVINFO set, SP_DEVINFO_DATA& data, REGSAM access) {
    HKEY key = ::SetupDiOpenDevRegKey(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, access);
    return UniqueRegKey(key == INVALID_HANDLE_VALUE ? nullptr : key);
}

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return value;
}

std::wstring ReadString(HKEY key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return text;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteSettings(HKEY key, const DeviceSettings& s, const std::wstring& token) {
    return SetDword(key, L"VendorId", s.vendorId) && SetDword(key, L"ProductId", s.productId) &&
           SetDword(key, L"Mode", s.mode) && SetDword(key, L"Layer", s.layer) &&
           ::RegSetValueExW(key, L"VersionData", 0, REG_BINARY, s.version, sizeof s.version) == ERROR_SUCCESS &&
           SetDword(key, L"UpgradeMs", s.upgradeMs) && SetDword(key, L"FailUpgrade", s.failUpgrade) &&
           SetDword(key, L"FailRead", s.failRead) && SetString(key, L"Token", token);
}

void ReadSettings(HKEY key, VirtualDevice& device) {
    DeviceSettings& s = device.settings;
    s.vendorId = static_cast<uint16_t>(ReadDword(key, L"VendorId", 0));
    s.productId = static_cast<uint16_t>(ReadDword(key, L"ProductId", 0));
    s.mode = ReadDword(key, L"Mode", 0);
    s.layer = ReadDword(key, L"Layer", 0);
    DWORD size = sizeof s.version;
    if (::RegQueryValueExW(key, L"VersionData", nullptr, nullptr, s.version, &size) != ERROR_SUCCESS)
        std::fill(std::begin(s.version), std::end(s.version), 0);
    s.upgradeMs = ReadDword(key, L"UpgradeMs", 0);
    s.failUpgrade = ReadDword(key, L"FailUpgrade", 0) != 0;
    s.failRead = ReadDword(key, L"FailRead", 0) != 0;
    device.token = ReadString(key, L"Token");
    ULONGLONG written = 0;
    DWORD writtenSize = sizeof written;
    DWORD type = 0;
    device.written = ::RegQueryValueExW(key, L"WrittenSize", nullptr, &type, reinterpret_cast<BYTE*>(&written),
                                        &writtenSize) == ERROR_SUCCESS &&
                     type == REG_QWORD;
    device.writtenSize = device.written ? written : 0;
    device.writtenSha256 = device.written ? ReadString(key, L"WrittenSha256") : std::wstring();
}

// "USB\VID_vvvv&PID_pppp&REV_0100" and "USB\VID_vvvv&PID_pppp" as a multi-string.
std::wstring HardwareIds(const DeviceSettings& s) {
    const std::wstring base = Format(L"USB\\VID_%04X&PID_%04X", s.vendorId, s.productId);
    return base + L"&REV_0100" + std::wstring(1, L'\0') + base + std::wstring(2, L'\0');
}

// The settings and a fresh token; readers skip a node until its token is there.
bool StoreSettings(HDEVINFO set, SP_DEVINFO_DATA& data, const DeviceSettings& settings) {
    HKEY rawKey = ::SetupDiCreateDevRegKeyW(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (rawKey == INVALID_HANDLE_VALUE) return false;
    UniqueRegKey key(rawKey);
    const std::wstring token = NewNameDigits();
    return !token.empty() && WriteSettings(key.get(), settings, token);
}

uint32_t FreshLayer() {
    uint32_t highest = 0;
    for (const VirtualDevice& device : ListDevices()) highest = std::max(highest, device.settings.layer);
    return highest + 1;
}

// Opens our node by instance id in a set of its own; the key must still carry the plug's token.
UniqueRegKey OpenPluggedKey(const VirtualDevice& device, REGSAM access, UniqueDevInfo& set) {
    set.reset(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set) return UniqueRegKey();
    SP_DEVINFO_DATA data{sizeof data};
    if (!::SetupDiOpenDeviceInfoW(set.get(), device.instanceId.c_str(), nullptr, 0, &data)) return UniqueRegKey();
    UniqueRegKey key = OpenDeviceKey(set.get(), data, access);
    if (!key || ReadString(key.get(), L"Token") != device.token) return UniqueRegKey();
    return key;
}

}  // namespace

bool ServiceExists(const wchar_t* name) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    UniqueService service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

std::wstring PlugDevice(DeviceSettings settings, std::wstring& error) {
    if (settings.layer == 0) settings.layer = FreshLayer();
    UniqueDevInfo set(::SetupDiCreateDeviceInfoList(&kUsbClass, nullptr));
    if (!set) return Failed(error, L"SetupDiCreateDeviceInfoList", ::GetLastError());
    SP_DEVINFO_DATA data{sizeof data};
    if (!::SetupDiCreateDeviceInfoW(set.get(), kDeviceName, &kUsbClass, L"Virtual transmitter", nullptr,
                                    DICD_GENERATE_ID, &data))
        return Failed(error, L"SetupDiCreateDeviceInfoW", ::GetLastError());

    const std::wstring ids = HardwareIds(settings);
    if (!::SetupDiSetDeviceRegistryPropertyW(set.get(), &data, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(ids.data()),
                                             static_cast<DWORD>(ids.size() * sizeof(wchar_t))))
        return Failed(error, L"Setting the hardware ids", ::GetLastError());
    // Plug and Play binds an arriving device to a driver that is there; a later driver needs a replug.
    if (ServiceExists(kRockusbService) &&
        !::SetupDiSetDeviceRegistryPropertyW(set.get(), &data, SPDRP_SERVICE,
                                             reinterpret_cast<const BYTE*>(kRockusbService),
                                             sizeof kRockusbService))
        return Failed(error, L"Binding to rockusb", ::GetLastError());

    // The node's own key exists only once the node is registered; until then it is a phantom.
    if (!::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &data))
        return Failed(error, L"DIF_REGISTERDEVICE", ::GetLastError());
    if (!StoreSettings(set.get(), data, settings)) {
        const DWORD code = ::GetLastError();
        ::SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &data);  // no half-made device stays behind
        return Failed(error, L"Storing the device settings", code);
    }
    const std::wstring instanceId = InstanceIdOf(set.get(), data);
    if (instanceId.empty()) return Failed(error, L"SetupDiGetDeviceInstanceIdW", ::GetLastError());
    ::DeleteFileW(FlashPathOf(instanceId).c_str());  // an earlier device of the same id left no trace
    return instanceId;
}

bool UnplugDevice(const std::wstring& instanceId, std::wstring& error) {
    if (!IsVirtualInstance(instanceId)) {
        error = L"not a virtual transmitter: " + instanceId;
        return false;
    }
    UniqueDevInfo set(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set) {
        Failed(error, L"SetupDiCreateDeviceInfoList", ::GetLastError());
        return false;
    }
    SP_DEVINFO_DATA data{sizeof data};
    if (!::SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &data)) {
        error = L"no such device: " + instanceId;
        return false;
    }
    if (!::SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &data)) {
        Failed(error, L"DIF_REMOVE", ::GetLastError());
        return false;
    }
    ::DeleteFileW(FlashPathOf(instanceId).c_str());
    return true;
}

std::vector<VirtualDevice> ListDevices() {
    std::vector<VirtualDevice> devices;
    UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!set) return devices;
    SP_DEVINFO_DATA data{sizeof data};
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &data); ++index) {
        VirtualDevice device;
        device.instanceId = InstanceIdOf(set.get(), data);
        if (!IsVirtualInstance(device.instanceId)) continue;
        UniqueRegKey key = OpenDeviceKey(set.get(), data, KEY_READ);
        if (!key) continue;  // still being plugged or unplugged
        ReadSettings(key.get(), device);
        if (device.token.empty()) continue;
        device.service = ServiceOf(set.get(), data);
        devices.push_back(std::move(device));
    }
    return devices;
}

bool IsStillPlugged(const VirtualDevice& device) {
    UniqueDevInfo set;
    return static_cast<bool>(OpenPluggedKey(device, KEY_READ, set));
}

bool RecordWrite(const VirtualDevice& device, uint64_t size, const std::wstring& sha256) {
    UniqueDevInfo set;
    UniqueRegKey key = OpenPluggedKey(device, KEY_READ | KEY_SET_VALUE, set);
    const ULONGLONG value = size;
    return key &&
           ::RegSetValueExW(key.get(), L"WrittenSize", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS &&
           SetString(key.get(), L"WrittenSha256", sha256);
}

std::wstring FlashPathOf(const std::wstring& instanceId) {
    wchar_t common[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                  common)))
        return {};
    const std::wstring folder = std::wstring(common) + L"\\VirtualTransmitter\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);  // usually there already
    std::wstring name = instanceId;
    for (wchar_t& c : name)
        if (!iswalnum(c)) c = L'_';
    return folder + name + L".flash";
}

}  // namespace vandrel::standin
