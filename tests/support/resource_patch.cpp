#include "tests/support/resource_patch.h"

#include <windows.h>

namespace vandrel::test {

bool CopyWithRcData(const std::wstring& source, const std::wstring& target, int id, const std::string& bytes) {
    if (bytes.empty() || !::CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
    HANDLE update = ::BeginUpdateResourceW(target.c_str(), FALSE);
    if (!update) return false;
    std::string copy = bytes;
    const BOOL changed = ::UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id),
                                           MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &copy[0],
                                           static_cast<DWORD>(copy.size()));
    return ::EndUpdateResourceW(update, !changed) && changed;
}

}  // namespace vandrel::test
