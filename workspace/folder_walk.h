// Walking a folder's entries, the one way the tool lists folders.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vandrel {

// Calls visit for every entry of folder (trailing backslash optional) whose name matches pattern, except
// "." and "..", in listing order; a folder that cannot be listed is skipped. An empty path lists nothing.
void ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit,
                  const wchar_t* pattern = L"*");
bool IsFolderEntry(const WIN32_FIND_DATAW& entry);
// A junction or directory symlink (an archive can bring one): never to be entered.
bool IsLinkEntry(const WIN32_FIND_DATAW& entry);

}  // namespace vandrel
