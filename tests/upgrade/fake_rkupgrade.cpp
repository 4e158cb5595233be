// A minimal library with the upgrade library's entry points and no device: the binding tests load
// it, and one build of it leaves out an entry point (VANDREL_LEAVE_OUT_UNLOCK).
#include <windows.h>

#include <cstdio>

#include "upgrade/rk_upgrade_api.h"

using vandrel::DeviceRecord;
using vandrel::InitializeBlock;
using vandrel::UpgradeOptions;

extern "C" {

__declspec(dllexport) BOOL __stdcall RK_InitializeW(InitializeBlock block, BOOL logging, const wchar_t* logFolder,
                                                    DWORD a, DWORD b) {
    // Records the thirteen arguments, so a test can check what the tool passed.
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%sfake_rkupgrade.log", logFolder ? logFolder : L"");
    if (FILE* log = _wfopen(path, L"a")) {
        for (unsigned w : block.words) fwprintf(log, L"%u ", w);
        fwprintf(log, L"%d %ls %lu %lu\n", logging, logFolder ? logFolder : L"(null)", a, b);
        fclose(log);
    }
    return TRUE;
}
__declspec(dllexport) BOOL __stdcall RK_Uninitialize() { return TRUE; }
__declspec(dllexport) BOOL __stdcall RK_WaitDevice(DWORD) { return FALSE; }
__declspec(dllexport) int __stdcall RK_ScanDeviceW(DeviceRecord** records) { return 0; }
__declspec(dllexport) BOOL __stdcall RKD_DownloadBoot_W(DWORD, const wchar_t*) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RKD_WriteLBA_W(DWORD, DWORD, const wchar_t*) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RKD_ReadLBA_W(DWORD, DWORD, DWORD, const wchar_t*) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_SetFirmwareW(const wchar_t*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_EraseFlash(DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_UpgradeW(UpgradeOptions*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadVendorRpmbData(DWORD, DWORD, BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadCustomData(DWORD, BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_WriteCustomData(DWORD, const BYTE*, DWORD, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadSN(BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_WriteSN(const BYTE*, DWORD, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadMAC(BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_WriteMAC(const BYTE*, DWORD, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadBT(BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_WriteBT(const BYTE*, DWORD, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ReadWifi(BYTE*, DWORD*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_WriteWifi(const BYTE*, DWORD, DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ClearAllInfo(DWORD) { return FALSE; }
__declspec(dllexport) BOOL __stdcall RK_ResetRockusb(DWORD) { return FALSE; }
#ifndef VANDREL_LEAVE_OUT_UNLOCK
__declspec(dllexport) BOOL __stdcall RK_UnlockDeviceW(DWORD, const wchar_t*) { return FALSE; }
#endif
}
