// The binding to the loaded RKUpgrade.dll: the table of its 24 entry points (upgrade/rk_entry_points.inc),
// all of which must resolve, behind the few calls the tool makes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "upgrade/rk_upgrade_api.h"

namespace vandrel {

// The devices a scan found: the library's own array, valid until the next scan; count 0 when none.
struct DeviceList {
    const DeviceRecord* records = nullptr;
    int count = 0;
};

class UpgradeLibrary {
public:
    // Binds module, which must stay loaded while the binding lives. Null when an entry point is missing;
    // its name then goes into missing.
    static std::unique_ptr<UpgradeLibrary> Bind(HMODULE module, std::string* missing = nullptr);
    // An initialised library is uninitialised first.
    ~UpgradeLibrary();
    UpgradeLibrary(const UpgradeLibrary&) = delete;
    UpgradeLibrary& operator=(const UpgradeLibrary&) = delete;

    // RK_InitializeW with the tool's thirteen arguments: the default block, logging on into logFolder, 0, 0;
    // logging off when logFolder is empty.
    bool Initialize(const std::wstring& logFolder);
    // RK_Uninitialize, when initialised.
    void Uninitialize();
    // The result of the last Initialize; false after Uninitialize.
    bool IsInitialized() const { return initialised_; }

    // RK_ScanDeviceW.
    DeviceList Scan();
    // RK_SetFirmwareW with the image and 0; its result is not looked at.
    void SetFirmware(const std::wstring& imagePath);
    // RK_UpgradeW with the tool's options (zero but the words at 44 and 48, both 1) for the device at layer;
    // true when the firmware was written.
    bool Upgrade(uint32_t layer);
    // RK_ReadVendorRpmbData of length bytes of item into buffer from the device at layer; true when read.
    bool ReadVendorData(DWORD item, BYTE* buffer, DWORD length, uint32_t layer);

private:
    UpgradeLibrary() = default;
    bool Resolve(HMODULE module, std::string* missing);

    bool initialised_ = false;
    // One member per entry point, named as the library exports it.
#define VANDREL_RK_ENTRY(type, name) rk::type name = nullptr;
#include "upgrade/rk_entry_points.inc"
#undef VANDREL_RK_ENTRY
};

}  // namespace vandrel
