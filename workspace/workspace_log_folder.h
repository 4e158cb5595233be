// The workspace's own Log folder: where the write history and the upgrade library's log go when the Log
// folder beside the tool cannot be trusted. Housekeeping keeps it, so what it holds outlives every run.
#pragma once

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// Its name in the workspace base folder.
constexpr wchar_t kWorkspaceLogFolderName[] = L"Log";

// Opens the workspace base folder's Log folder (made when missing, private with the High no-write-up
// label, so that only elevated programs can change it) without following a link; path receives it with
// its trailing backslash. Empty when there is no base folder or the folder is a link or no folder.
UniqueFile OpenWorkspaceLogFolder(std::wstring& path);

// Whether name (an entry of the workspace base folder, with its attributes) is that folder: a real
// folder of that name, letter case aside. A link of that name is not.
bool IsWorkspaceLogFolder(const std::wstring& name, unsigned long attributes);

}  // namespace vandrel
