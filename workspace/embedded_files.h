// The outside programs and files the tool carries as RT_RCDATA resources, written into the workspace
// base folder when they are needed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace vandrel {

// The extractor's name in the workspace base folder. Earlier versions left it there under this name, and
// the exit clean-up deletes it by this name.
constexpr wchar_t kBuiltIn7zaName[] = L"7za.exe";
// The driver-install console tool's name: the vendor's own, shown to the user in the elevation prompt,
// and the name it is started by.
constexpr wchar_t kDriverToolName[] = L"driver_x64.exe";

// Writes DIFxAPI.dll, driver_x64.exe, rockusb.cat, rockusb.inf and rockusb.sys (IDR_DIFXAPI_DLL to
// IDR_ROCKUSB_SYS) into the workspace base folder; true when all five are there, written now or left from before.
bool ExtractDriverPackage();
// Writes 7za.exe (IDR_7ZA_EXE) into the workspace base folder; its full path, or empty.
std::wstring ExtractBuiltIn7za();

// Carried files held open for reading without write or delete sharing: while held, nobody can change,
// replace or delete them. The elevated helpers are held so from their check until their process runs.
using PinnedFiles = std::vector<UniqueFile>;

// Holds the five driver-package files in the workspace base folder, each checked to be exactly its
// resource; false (nothing added to pinned) when one is missing, open for writing elsewhere, or differs.
bool PinDriverPackage(PinnedFiles& pinned);
// Holds 7za.exe at path, checked to be exactly IDR_7ZA_EXE; empty when it is not.
UniqueFile PinBuiltIn7za(const std::wstring& path);

}  // namespace vandrel
