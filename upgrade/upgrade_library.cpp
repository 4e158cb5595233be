#include "upgrade/upgrade_library.h"

namespace vandrel {

namespace {

template <class Fn>
bool ResolveOne(HMODULE module, const char* name, Fn& slot, const char*& missing) {
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (!slot) missing = name;
    return slot != nullptr;
}

}  // namespace

UpgradeLibrary::UpgradeLibrary(const std::wstring& path, bool& loaded) : path_(path) {
    module_.reset(::LoadLibraryW(path.c_str()));
    loaded = module_ && Resolve();
}

UpgradeLibrary::~UpgradeLibrary() { Uninitialize(); }

bool UpgradeLibrary::Resolve() {
    HMODULE m = module_.get();
#define VANDREL_RESOLVE(name) ResolveOne(m, #name, name, missing_)
    // All 24 are required; the first missing one fails the binding.
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

BOOL UpgradeLibrary::Initialize(const std::wstring& logFolder) {
    initialised = RK_InitializeW(DefaultInitializeBlock(), TRUE, logFolder.c_str(), 0, 0);
    return initialised;
}

void UpgradeLibrary::Uninitialize() {
    if (!initialised || !RK_Uninitialize) return;
    RK_Uninitialize();
    initialised = FALSE;
}

int HardwareVersionOf(uint16_t productId) {
    switch (productId) {
    case 0x110B: return 1;
    case 0x110F: return 2;
    default: return 0;
    }
}

}  // namespace vandrel
