#include "app/window_title.h"

#include <windows.h>

#include <vector>

#include "common/text.h"

namespace vandrel {

std::wstring VersionSuffix(const std::wstring& executablePath) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(executablePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(executablePath.c_str(), 0, size, block.data())) return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return {};
    return Format(L" v%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

}  // namespace vandrel
