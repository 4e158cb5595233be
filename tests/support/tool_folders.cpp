#include "tests/support/tool_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "common/unique_handle.h"

namespace vandrel::test {

std::wstring WorkspaceBase() {
    wchar_t local[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\QuorraUpgrade\\";
}

std::vector<std::wstring> PrivateLibraryFolders() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((std::wstring(temp) + L"YourApp-*").c_str(), &entry));
    if (!find) return folders;
    do {
        folders.push_back(std::wstring(temp) + entry.cFileName);
    } while (::FindNextFileW(find.get(), &entry));
    return folders;
}

std::vector<std::wstring> NewLibraryFolders(const std::vector<std::wstring>& before) {
    std::vector<std::wstring> created;
    for (const auto& folder : PrivateLibraryFolders())
        if (std::find(before.begin(), before.end(), folder) == before.end()) created.push_back(folder);
    return created;
}

}  // namespace vandrel::test
