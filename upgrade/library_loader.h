// The private copy of RKUpgrade.dll: written out of the executable's resources into a private folder
// under the temporary folder, loaded from there once, and removed when the process ends.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// Why the copy could not be had: the temporary folder is not on this machine's own disks (remote),
// written out (extraction), or loaded from where it was written.
struct LibraryLoadFailure {
    enum Step { kExtraction, kLoad, kRemote } step = kExtraction;
    std::wstring path;  // the copy's path; the temporary folder for kRemote
    DWORD error = 0;    // the loader's error code, for kLoad
};

// Writes out and loads the library once per process; a call while a copy is loaded returns true at once.
// False with what failed; the caller tells the user.
bool LoadUpgradeLibrary(LibraryLoadFailure* failure = nullptr);
// The loaded copy, or null.
HMODULE UpgradeLibraryModule();
// The loaded copy's path, or empty when none is loaded.
std::wstring UpgradeLibraryPath();
// Frees the copy and deletes it with its folder (or registers it for deletion at restart). Runs at exit.
void UnloadUpgradeLibrary();

// Makes a new private folder "<temp>YourApp-<pid>-<ticks>", owned by the Administrators, owner-only
// with the High no-write-up label from its creation; empty when the folder could not be created by this
// call (an existing folder is never reused: someone else may have filled it). held, when given, receives
// the folder open as made (READ_CONTROL).
std::wstring MakePrivateTempFolder(UniqueFile* held = nullptr);

}  // namespace vandrel
