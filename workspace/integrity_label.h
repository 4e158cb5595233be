// The mandatory integrity labels of the tool's folders: the elevated helpers run from the workspace and
// the library copy's folder, so processes of the same user without elevation must not add or change
// files there; the run folders hold the firmware, which they must not read either.
#pragma once

#include <windows.h>

#include "common/unique_handle.h"

namespace vandrel {

// A fresh SACL (a PACL in LocalAlloc'd memory) with one mandatory label entry: High integrity with policy
// (SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, optionally with NO_READ_UP), inherited by subfolders and files;
// empty on failure.
UniqueLocal BuildHighIntegrityLabel(DWORD policy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP);

}  // namespace vandrel
