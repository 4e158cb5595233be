#include "app/window_title.h"

#include <windows.h>

#include <vector>

#include "common/system_library.h"
#include "common/text.h"

namespace vandrel {

namespace {

constexpr wchar_t kVersionDll[] = L"version.dll";

}  // namespace

std::wstring VersionSuffix(const std::wstring& executablePath) {
    const auto getSize = SystemFunction<decltype(&::GetFileVersionInfoSizeW)>(kVersionDll, "GetFileVersionInfoSizeW");
    const auto getInfo = SystemFunction<decltype(&::GetFileVersionInfoW)>(kVersionDll, "GetFileVersionInfoW");
    const auto query = SystemFunction<decltype(&::VerQueryValueW)>(kVersionDll, "VerQueryValueW");
    if (!getSize || !getInfo || !query) return {};
    DWORD ignored = 0;
    const DWORD size = getSize(executablePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!getInfo(executablePath.c_str(), 0, size, block.data())) return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return {};
    return Format(L" v%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

}  // namespace vandrel
