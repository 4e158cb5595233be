#include "workspace/folder_walk.h"

#include <cwchar>

#include "common/unique_handle.h"
#include "workspace/path_form.h"

namespace vandrel {

void ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit,
                  const wchar_t* pattern) {
    if (folder.empty()) return;  // the pattern alone would list the current directory
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((ExtendedPath(WithTrailingBackslash(folder)) + pattern).c_str(), &entry));
    if (!find) return;
    do {
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0) visit(entry);
    } while (::FindNextFileW(find.get(), &entry));
}

bool IsFolderEntry(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsLinkEntry(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace vandrel
