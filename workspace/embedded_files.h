// The outside programs and files the tool carries as RT_RCDATA resources, written into the workspace
// base folder when they are needed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace vandrel {

// The extractor's names in the workspace base folder: 7-Zip's console 7z.exe and the 7z.dll that it loads
// from its own folder. The exit clean-up deletes both by these names.
constexpr wchar_t kBuiltIn7zaName[] = L"7z.exe";
constexpr wchar_t kBuiltIn7zDllName[] = L"7z.dll";
// The driver-install console tool's name: the vendor's own, shown to the user in the elevation prompt,
// and the name it is started by.
constexpr wchar_t kDriverToolName[] = L"driver_x64.exe";

// Writes DIFxAPI.dll, driver_x64.exe, rockusb.cat, rockusb.inf and rockusb.sys (IDR_DIFXAPI_DLL to
// IDR_ROCKUSB_SYS) into the workspace base folder; true when all five are there, written now or left from before.
bool ExtractDriverPackage();
// Writes 7z.dll (IDR_7Z_DLL) and 7z.exe (IDR_7ZA_EXE) into the workspace base folder; the full path of
// 7z.exe, or empty unless both are there.
std::wstring ExtractBuiltIn7za();

// Carried files held open for reading without write or delete sharing: while held, nobody can change,
// replace or delete them. The elevated helpers are held so from their check until their process runs.
using PinnedFiles = std::vector<UniqueFile>;

// Holds the five driver-package files in the workspace base folder, each checked to be exactly its
// resource, after deleting every other file there but the extractor's (the driver tool looks for its DLLs
// beside itself); false (nothing added to pinned) when one is missing, open for writing elsewhere, or
// differs, or another file cannot be deleted.
bool PinDriverPackage(PinnedFiles& pinned);
// Holds 7z.exe at path and 7z.dll beside it, each checked to be exactly its resource; false (nothing
// added to pinned) when either is not. The DLL is loaded by the running extractor, after its start: both
// stay held until the extractor has ended.
bool PinBuiltIn7za(const std::wstring& path, PinnedFiles& pinned);

}  // namespace vandrel
