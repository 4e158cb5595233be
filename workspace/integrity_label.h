// The mandatory integrity label of the workspace base folder: the elevated helpers run from there, so
// processes of the same user without elevation must not add or change files in it.
#pragma once

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// A fresh SACL (a PACL in LocalAlloc'd memory) with one mandatory label entry: High integrity, no write
// up, inherited by subfolders and files; empty on failure.
UniqueLocal BuildHighIntegrityLabel();

// Sets that label on folder; true when set. Wine keeps no labels, so its answer there says nothing.
bool ApplyHighIntegrityLabel(const std::wstring& folder);

}  // namespace vandrel
