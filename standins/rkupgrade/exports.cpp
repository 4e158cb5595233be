// The stand-in RKUpgrade.dll: the 24 entry points the tool binds, written from what the tool expects of
// them and backed by the virtual transmitters. Scanning, setting the image, upgrading and reading the
// version item work; every other entry point reports failure. Each call is logged with its arguments.
#include <windows.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "common/text.h"
#include "standins/rkupgrade/call_log.h"
#include "standins/rkupgrade/flash_write.h"
#include "standins/virtual-transmitter/device_store.h"
#include "upgrade/rk_upgrade_api.h"

using vandrel::DeviceRecord;
using vandrel::Format;
using vandrel::InitializeBlock;
using vandrel::UpgradeOptions;
using namespace vandrel::standin;

namespace {

constexpr DWORD kVersionItem = 103;
constexpr DWORD kVersionLength = 8;

struct LibraryState {
    std::mutex lock;
    bool initialised = false;
    std::wstring firmwarePath;
    std::vector<DeviceRecord> records;  // the array of the last scan, owned here
};

LibraryState& State() {
    static LibraryState state;
    return state;
}

bool IsInitialised() {
    std::lock_guard<std::mutex> guard(State().lock);
    return State().initialised;
}

// What the library can see: Rockchip devices served by rockusb, in device-tree order.
std::vector<VirtualDevice> ScannableDevices() {
    std::vector<VirtualDevice> devices;
    for (VirtualDevice& device : ListDevices())
        if (device.settings.vendorId == kRockchipVendorId && vandrel::AsciiLower(device.service) == kRockusbService)
            devices.push_back(std::move(device));
    return devices;
}

bool FindByLayer(DWORD layer, VirtualDevice& found) {
    for (VirtualDevice& device : ScannableDevices()) {
        if (device.settings.layer == layer) {
            found = std::move(device);
            return true;
        }
    }
    return false;
}

std::wstring Quoted(const wchar_t* text) { return text ? L"\"" + std::wstring(text) + L"\"" : L"null"; }
const wchar_t* Pointer(const void* p) { return p ? L"ptr" : L"null"; }

std::wstring OptionsHex(const UpgradeOptions* options) {
    if (!options) return L"null";
    std::wstring hex;
    const auto* bytes = reinterpret_cast<const BYTE*>(options);
    for (size_t i = 0; i < sizeof(UpgradeOptions); ++i) hex += Format(L"%02X", bytes[i]);
    return hex;
}

BOOL Unsupported(const std::wstring& call) {
    LogCall(call + L" -> 0 (not supported by the stand-in)");
    return FALSE;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL __stdcall RK_InitializeW(InitializeBlock block, BOOL logging, const wchar_t* logFolder,
                                                    DWORD reserved1, DWORD reserved2) {
    ConfigureCallLog(logging != FALSE, logFolder ? logFolder : L"");
    {
        std::lock_guard<std::mutex> guard(State().lock);
        State().initialised = true;
    }
    std::wstring words;
    for (uint32_t word : block.words) words += Format(L"%lu, ", static_cast<unsigned long>(word));
    LogCall(Format(L"RK_InitializeW(%s%d, %s, %lu, %lu) -> 1", words.c_str(), logging, Quoted(logFolder).c_str(),
                   reserved1, reserved2));
    return TRUE;
}

__declspec(dllexport) BOOL __stdcall RK_Uninitialize() {
    {
        std::lock_guard<std::mutex> guard(State().lock);
        State().initialised = false;
        State().firmwarePath.clear();
    }
    LogCall(L"RK_Uninitialize() -> 1");
    return TRUE;
}

__declspec(dllexport) int __stdcall RK_ScanDeviceW(DeviceRecord** records) {
    if (!records || !IsInitialised()) {
        LogCall(Format(L"RK_ScanDeviceW(%s) -> 0%s", Pointer(records), records ? L" (not initialized)" : L""));
        return 0;
    }
    const std::vector<VirtualDevice> devices = ScannableDevices();
    std::lock_guard<std::mutex> guard(State().lock);
    std::vector<DeviceRecord>& array = State().records;
    array.assign(devices.size(), DeviceRecord{});
    for (size_t i = 0; i < devices.size(); ++i) {
        array[i].vendorId = devices[i].settings.vendorId;
        array[i].productId = devices[i].settings.productId;
        array[i].layer = devices[i].settings.layer;
        array[i].mode = devices[i].settings.mode;
    }
    *records = array.empty() ? nullptr : array.data();
    const int count = static_cast<int>(array.size());
    LogCall(Format(L"RK_ScanDeviceW(ptr) -> %d", count));
    return count;
}

__declspec(dllexport) BOOL __stdcall RK_SetFirmwareW(const wchar_t* imagePath, DWORD reserved) {
    bool accepted = false;
    {
        std::lock_guard<std::mutex> guard(State().lock);
        accepted = State().initialised && imagePath;
        if (accepted) State().firmwarePath = imagePath;
    }
    LogCall(Format(L"RK_SetFirmwareW(%s, %lu) -> %d", Quoted(imagePath).c_str(), reserved, accepted));
    return accepted;
}

__declspec(dllexport) BOOL __stdcall RK_UpgradeW(UpgradeOptions* options, DWORD layer) {
    std::wstring imagePath;
    bool initialised = false;
    {
        std::lock_guard<std::mutex> guard(State().lock);
        initialised = State().initialised;
        imagePath = State().firmwarePath;
    }
    const std::wstring call = Format(L"RK_UpgradeW(%s, %lu)", OptionsHex(options).c_str(), layer);
    LogCall(call + L" started, image " + Quoted(imagePath.c_str()));
    VirtualDevice device;
    const bool written = initialised && options && !imagePath.empty() && FindByLayer(layer, device) &&
                         WriteImageIntoDevice(device, imagePath);
    LogCall(Format(L"%s -> %d", call.c_str(), written));
    return written;
}

__declspec(dllexport) BOOL __stdcall RK_ReadVendorRpmbData(DWORD item, DWORD offset, BYTE* buffer, DWORD* length,
                                                           DWORD layer) {
    const std::wstring call = Format(L"RK_ReadVendorRpmbData(%lu, %lu, %s, %s, %lu)", item, offset, Pointer(buffer),
                                     length ? std::to_wstring(*length).c_str() : L"null", layer);
    VirtualDevice device;
    const bool read = IsInitialised() && item == kVersionItem && offset == 0 && buffer && length &&
                      *length >= kVersionLength && FindByLayer(layer, device) && !device.settings.failRead;
    if (read) {
        std::memcpy(buffer, device.settings.version, kVersionLength);
        *length = kVersionLength;
    }
    LogCall(Format(L"%s -> %d", call.c_str(), read));
    return read;
}

__declspec(dllexport) BOOL __stdcall RK_WaitDevice(DWORD timeoutMs) {
    return Unsupported(Format(L"RK_WaitDevice(%lu)", timeoutMs));
}
__declspec(dllexport) BOOL __stdcall RKD_DownloadBoot_W(DWORD layer, const wchar_t* loaderPath) {
    return Unsupported(Format(L"RKD_DownloadBoot_W(%lu, %s)", layer, Quoted(loaderPath).c_str()));
}
__declspec(dllexport) BOOL __stdcall RKD_WriteLBA_W(DWORD layer, DWORD sector, const wchar_t* filePath) {
    return Unsupported(Format(L"RKD_WriteLBA_W(%lu, %lu, %s)", layer, sector, Quoted(filePath).c_str()));
}
__declspec(dllexport) BOOL __stdcall RKD_ReadLBA_W(DWORD layer, DWORD sector, DWORD count, const wchar_t* filePath) {
    return Unsupported(Format(L"RKD_ReadLBA_W(%lu, %lu, %lu, %s)", layer, sector, count, Quoted(filePath).c_str()));
}
__declspec(dllexport) BOOL __stdcall RK_EraseFlash(DWORD layer) {
    return Unsupported(Format(L"RK_EraseFlash(%lu)", layer));
}
__declspec(dllexport) BOOL __stdcall RK_ReadCustomData(DWORD offset, BYTE* buffer, DWORD* length, DWORD layer) {
    return Unsupported(Format(L"RK_ReadCustomData(%lu, %s, %s, %lu)", offset, Pointer(buffer), Pointer(length), layer));
}
__declspec(dllexport) BOOL __stdcall RK_WriteCustomData(DWORD offset, const BYTE* buffer, DWORD length, DWORD layer) {
    return Unsupported(Format(L"RK_WriteCustomData(%lu, %s, %lu, %lu)", offset, Pointer(buffer), length, layer));
}

#define VANDREL_READ_ITEM(name)                                                                 \
    __declspec(dllexport) BOOL __stdcall name(BYTE* buffer, DWORD* length, DWORD layer) {      \
        return Unsupported(Format(L"" #name "(%s, %s, %lu)", Pointer(buffer), Pointer(length), layer)); \
    }
#define VANDREL_WRITE_ITEM(name)                                                                 \
    __declspec(dllexport) BOOL __stdcall name(const BYTE* buffer, DWORD length, DWORD layer) {  \
        return Unsupported(Format(L"" #name "(%s, %lu, %lu)", Pointer(buffer), length, layer)); \
    }
VANDREL_READ_ITEM(RK_ReadSN)
VANDREL_WRITE_ITEM(RK_WriteSN)
VANDREL_READ_ITEM(RK_ReadMAC)
VANDREL_WRITE_ITEM(RK_WriteMAC)
VANDREL_READ_ITEM(RK_ReadBT)
VANDREL_WRITE_ITEM(RK_WriteBT)
VANDREL_READ_ITEM(RK_ReadWifi)
VANDREL_WRITE_ITEM(RK_WriteWifi)
#undef VANDREL_READ_ITEM
#undef VANDREL_WRITE_ITEM

__declspec(dllexport) BOOL __stdcall RK_ClearAllInfo(DWORD layer) {
    return Unsupported(Format(L"RK_ClearAllInfo(%lu)", layer));
}
__declspec(dllexport) BOOL __stdcall RK_ResetRockusb(DWORD layer) {
    return Unsupported(Format(L"RK_ResetRockusb(%lu)", layer));
}
__declspec(dllexport) BOOL __stdcall RK_UnlockDeviceW(DWORD layer, const wchar_t* key) {
    return Unsupported(Format(L"RK_UnlockDeviceW(%lu, %s)", layer, Pointer(key)));
}

}  // extern "C"

// Every entry point of the tool's list is exported, with exactly the type the binding calls it through.
namespace vandrel::rk {
#define VANDREL_RK_ENTRY(type, name) [[maybe_unused]] constexpr type k_##name = &::name;
#include "upgrade/rk_entry_points.inc"
#undef VANDREL_RK_ENTRY
}  // namespace vandrel::rk
