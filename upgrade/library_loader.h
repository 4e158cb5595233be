// Writes RKUpgrade.dll out of the executable's resources into a private folder, loads it from there,
// and removes the copy when the process ends.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

constexpr int kUpgradeLibraryResourceId = 132;

// Extracts and loads the library once per process. On failure it tells the user why and ends the
// process with exit code 1; a call while a copy is loaded returns at once.
void LoadUpgradeLibrary();
// The loaded copy's path, or empty when none is loaded.
std::wstring UpgradeLibraryPath();
// Frees the copy and deletes it with its folder (or registers it for deletion at restart). Runs at exit.
void UnloadUpgradeLibrary();

// Makes a new private folder "<temp>YourApp-<pid>-<ticks>"; empty when the folder could not be
// created by this call (an existing folder is never reused: someone else may have filled it).
std::wstring MakePrivateTempFolder();
// Writes RT_RCDATA resource id of the executable to path; true when all of it was written.
bool WriteResourceBlob(int id, const std::wstring& path);
// The system's text for a Win32 error code, or empty.
std::wstring SystemErrorText(DWORD error);

}  // namespace vandrel
