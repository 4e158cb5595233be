// The interface of RKUpgrade.dll: entry-point signatures and the records exchanged through them.
// One calling convention, __stdcall, on both sides; the exports carry undecorated names.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vandrel {

// One element of the device array that RK_ScanDeviceW returns; the library owns the array.
struct DeviceRecord {
    uint16_t vendorId;            // 0-1
    uint16_t productId;           // 2-3
    uint8_t reserved[524];        // 4-527
    uint32_t layer;               // 528-531: the device's location, handed back to the library
    uint32_t mode;                // 532-535: 1 or 2 can be upgraded
    uint8_t reserved2[8];         // 536-543
};
static_assert(sizeof(DeviceRecord) == 544, "DeviceRecord is 544 bytes");
static_assert(offsetof(DeviceRecord, productId) == 2, "product id at byte 2");
static_assert(offsetof(DeviceRecord, layer) == 528, "layer at byte 528");
static_assert(offsetof(DeviceRecord, mode) == 532, "mode at byte 532");

#pragma pack(push, 1)
// The options block of RK_UpgradeW: zero except the words at offsets 44 and 48.
struct UpgradeOptions {
    uint8_t reserved[44];
    uint32_t word44;
    uint32_t word48;
    uint16_t tail;
};
#pragma pack(pop)
static_assert(sizeof(UpgradeOptions) == 54, "UpgradeOptions is 54 bytes");
static_assert(offsetof(UpgradeOptions, word44) == 44 && offsetof(UpgradeOptions, word48) == 48,
              "option words at 44 and 48");

// The first nine arguments of RK_InitializeW: a block passed by value.
struct InitializeBlock {
    uint32_t words[9];
};
static_assert(sizeof(InitializeBlock) == 36, "InitializeBlock is 36 bytes");

// The block the tool passes: zero but the seventh and eighth words, both 30.
inline InitializeBlock DefaultInitializeBlock() {
    InitializeBlock block{};
    block.words[6] = 30;
    block.words[7] = 30;
    return block;
}

namespace rk {
using InitializeW = BOOL(__stdcall*)(InitializeBlock block, BOOL logging, const wchar_t* logFolder,
                                     DWORD reserved1, DWORD reserved2);
using Uninitialize = BOOL(__stdcall*)();
using WaitDevice = BOOL(__stdcall*)(DWORD timeoutMs);
using ScanDeviceW = int(__stdcall*)(DeviceRecord** records);
using DownloadBootW = BOOL(__stdcall*)(DWORD layer, const wchar_t* loaderPath);
using WriteLbaW = BOOL(__stdcall*)(DWORD layer, DWORD sector, const wchar_t* filePath);
using ReadLbaW = BOOL(__stdcall*)(DWORD layer, DWORD sector, DWORD count, const wchar_t* filePath);
using SetFirmwareW = BOOL(__stdcall*)(const wchar_t* imagePath, DWORD reserved);
using EraseFlash = BOOL(__stdcall*)(DWORD layer);
using UpgradeW = BOOL(__stdcall*)(UpgradeOptions* options, DWORD layer);
using ReadVendorRpmbData = BOOL(__stdcall*)(DWORD item, DWORD offset, BYTE* buffer, DWORD* length,
                                            DWORD layer);
using ReadCustomData = BOOL(__stdcall*)(DWORD offset, BYTE* buffer, DWORD* length, DWORD layer);
using WriteCustomData = BOOL(__stdcall*)(DWORD offset, const BYTE* buffer, DWORD length, DWORD layer);
using ReadItem = BOOL(__stdcall*)(BYTE* buffer, DWORD* length, DWORD layer);
using WriteItem = BOOL(__stdcall*)(const BYTE* buffer, DWORD length, DWORD layer);
using ClearAllInfo = BOOL(__stdcall*)(DWORD layer);
using ResetRockusb = BOOL(__stdcall*)(DWORD layer);
using UnlockDeviceW = BOOL(__stdcall*)(DWORD layer, const wchar_t* key);
}  // namespace rk

}  // namespace vandrel
