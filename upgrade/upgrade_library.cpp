#include "upgrade/upgrade_library.h"

#include <new>

namespace vandrel {

namespace {

template <class Fn>
bool ResolveOne(HMODULE module, const char* name, Fn& slot, std::string* missing) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (!slot && missing) *missing = name;
    return slot != nullptr;
}

}  // namespace

std::unique_ptr<UpgradeLibrary> UpgradeLibrary::Bind(HMODULE module, std::string* missing) {
    if (missing) missing->clear();
    std::unique_ptr<UpgradeLibrary> binding(new (std::nothrow) UpgradeLibrary());
    if (!module || !binding || !binding->Resolve(module, missing)) return nullptr;
    return binding;
}

UpgradeLibrary::~UpgradeLibrary() { Uninitialize(); }

bool UpgradeLibrary::Resolve(HMODULE m, std::string* missing) {
#define VANDREL_RESOLVE(name) ResolveOne(m, #name, name, missing)
    // All 24 are required, the 18 the tool never calls too; the first missing one fails the binding.
    return VANDREL_RESOLVE(RK_InitializeW) && VANDREL_RESOLVE(RK_Uninitialize) &&
           VANDREL_RESOLVE(RK_WaitDevice) && VANDREL_RESOLVE(RK_ScanDeviceW) &&
           VANDREL_RESOLVE(RKD_DownloadBoot_W) && VANDREL_RESOLVE(RKD_WriteLBA_W) &&
           VANDREL_RESOLVE(RKD_ReadLBA_W) && VANDREL_RESOLVE(RK_SetFirmwareW) &&
           VANDREL_RESOLVE(RK_EraseFlash) && VANDREL_RESOLVE(RK_UpgradeW) &&
           VANDREL_RESOLVE(RK_ReadVendorRpmbData) && VANDREL_RESOLVE(RK_ReadCustomData) &&
           VANDREL_RESOLVE(RK_WriteCustomData) && VANDREL_RESOLVE(RK_ReadSN) &&
           VANDREL_RESOLVE(RK_WriteSN) && VANDREL_RESOLVE(RK_ReadMAC) &&
           VANDREL_RESOLVE(RK_WriteMAC) && VANDREL_RESOLVE(RK_ReadBT) &&
           VANDREL_RESOLVE(RK_WriteBT) && VANDREL_RESOLVE(RK_ReadWifi) &&
           VANDREL_RESOLVE(RK_WriteWifi) && VANDREL_RESOLVE(RK_ClearAllInfo) &&
           VANDREL_RESOLVE(RK_ResetRockusb) && VANDREL_RESOLVE(RK_UnlockDeviceW);
#undef VANDREL_RESOLVE
}

bool UpgradeLibrary::Initialize(const std::wstring& logFolder) {
    initialised_ = RK_InitializeW(DefaultInitializeBlock(), TRUE, logFolder.c_str(), 0, 0) != FALSE;
    return initialised_;
}

void UpgradeLibrary::Uninitialize() {
    if (!initialised_) return;
    RK_Uninitialize();
    initialised_ = false;
}

DeviceList UpgradeLibrary::Scan() {
    DeviceRecord* records = nullptr;
    const int count = RK_ScanDeviceW(&records);
    if (count <= 0 || !records) return {};
    return {records, count};
}

void UpgradeLibrary::SetFirmware(const std::wstring& imagePath) { RK_SetFirmwareW(imagePath.c_str(), 0); }

bool UpgradeLibrary::Upgrade(uint32_t layer) {
    UpgradeOptions options{};
    options.word44 = 1;
    options.word48 = 1;
    return RK_UpgradeW(&options, layer) != FALSE;
}

bool UpgradeLibrary::ReadVendorData(DWORD item, BYTE* buffer, DWORD length, uint32_t layer) {
    // The library may write the length it read; the tool does not look at it.
    DWORD size = length;
    return RK_ReadVendorRpmbData(item, 0, buffer, &size, layer) != FALSE;
}

}  // namespace vandrel
