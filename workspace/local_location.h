// Whether a folder the tool writes into lies on this machine's own disks. A share on another machine is
// written by whoever administers that machine, and files there are not protected by the access lists
// and labels the tool sets: the library copy (%TEMP%) and the workspace (Local AppData) must not be there.
#pragma once

#include <string>

namespace vandrel {

// True when path is a drive-letter path ("C:\...", also as "\\?\C:\...") on a volume that GetDriveTypeW
// does not call DRIVE_REMOTE (nor DRIVE_NO_ROOT_DIR: no such volume). UNC paths ("\\server\share\...",
// "\\?\UNC\..."), device paths ("\\.\..."), relative and empty paths are not local.
bool IsLocalPath(const std::wstring& path);

// IsLocalPath of folder and, when it exists, of where it really leads (its final path, links and mapped
// drives resolved by the file system).
bool IsLocalFolder(const std::wstring& folder);

}  // namespace vandrel
