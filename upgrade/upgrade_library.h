// The binding to a loaded RKUpgrade.dll: its module reference and the table of its 24 entry points.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "upgrade/rk_upgrade_api.h"

namespace vandrel {

class UpgradeLibrary {
public:
    // Loads the library at path and resolves every entry point; loaded reports whether all 24 were found.
    UpgradeLibrary(const std::wstring& path, bool& loaded);
    // An initialised library is uninitialised before the module reference goes.
    ~UpgradeLibrary();
    UpgradeLibrary(const UpgradeLibrary&) = delete;
    UpgradeLibrary& operator=(const UpgradeLibrary&) = delete;

    const std::wstring& path() const { return path_; }
    // The name of the first entry point that was missing, for diagnostics; empty when all were found.
    const char* missingEntryPoint() const { return missing_; }

    // RK_InitializeW with the tool's arguments: the default block, logging on, the log folder.
    BOOL Initialize(const std::wstring& logFolder);
    // RK_Uninitialize when initialised; initialised is FALSE afterwards.
    void Uninitialize();

    // Result of the last RK_InitializeW; FALSE after RK_Uninitialize.
    BOOL initialised = FALSE;

    rk::InitializeW RK_InitializeW = nullptr;
    rk::Uninitialize RK_Uninitialize = nullptr;
    rk::WaitDevice RK_WaitDevice = nullptr;
    rk::ScanDeviceW RK_ScanDeviceW = nullptr;
    rk::DownloadBootW RKD_DownloadBoot_W = nullptr;
    rk::WriteLbaW RKD_WriteLBA_W = nullptr;
    rk::ReadLbaW RKD_ReadLBA_W = nullptr;
    rk::SetFirmwareW RK_SetFirmwareW = nullptr;
    rk::EraseFlash RK_EraseFlash = nullptr;
    rk::UpgradeW RK_UpgradeW = nullptr;
    rk::ReadVendorRpmbData RK_ReadVendorRpmbData = nullptr;
    rk::ReadCustomData RK_ReadCustomData = nullptr;
    rk::WriteCustomData RK_WriteCustomData = nullptr;
    rk::ReadItem RK_ReadSN = nullptr;
    rk::WriteItem RK_WriteSN = nullptr;
    rk::ReadItem RK_ReadMAC = nullptr;
    rk::WriteItem RK_WriteMAC = nullptr;
    rk::ReadItem RK_ReadBT = nullptr;
    rk::WriteItem RK_WriteBT = nullptr;
    rk::ReadItem RK_ReadWifi = nullptr;
    rk::WriteItem RK_WriteWifi = nullptr;
    rk::ClearAllInfo RK_ClearAllInfo = nullptr;
    rk::ResetRockusb RK_ResetRockusb = nullptr;
    rk::UnlockDeviceW RK_UnlockDeviceW = nullptr;

private:
    bool Resolve();

    UniqueModule module_;
    std::wstring path_;
    const char* missing_ = "";
};

// The hardware version of a product id: 1 for 0x110B, 2 for 0x110F, 0 for every other.
int HardwareVersionOf(uint16_t productId);

}  // namespace vandrel
