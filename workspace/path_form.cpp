#include "workspace/path_form.h"

#include <windows.h>

#include <vector>

namespace vandrel {

std::wstring ExtendedPath(const std::wstring& path) {
    if (path.size() < 3 || path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) return path;
    const bool drive = path[1] == L':' && path[2] == L'\\';
    const bool unc = path[0] == L'\\' && path[1] == L'\\';
    if (!drive && !unc) return path;
    std::vector<wchar_t> full(path.size() + MAX_PATH);
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    const std::wstring normalised(full.data(), length);
    if (normalised.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + normalised.substr(2);
    return L"\\\\?\\" + normalised;
}

std::wstring WithTrailingBackslash(std::wstring folder) {
    // Without it, "C:\dir*" would list the parent's entries that begin with "dir".
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

}  // namespace vandrel
