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
    // All 24 are required, the 18 the tool never calls too; the first missing one fails the binding.
#define VANDREL_RK_ENTRY(type, name) ResolveOne(m, #name, name, missing) &&
    return
#include "upgrade/rk_entry_points.inc"
        true;
#undef VANDREL_RK_ENTRY
}

bool UpgradeLibrary::Initialize(const std::wstring& logFolder) {
    // Without a folder the library logs nothing, rather than into a place of its own choosing.
    initialised_ = RK_InitializeW(DefaultInitializeBlock(), logFolder.empty() ? FALSE : TRUE, logFolder.c_str(), 0, 0) !=
                   FALSE;
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
