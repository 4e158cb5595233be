#include "workspace/file_facts.h"

#include <windows.h>

#include "workspace/path_form.h"

namespace vandrel {

uint64_t FreeBytesOn(const std::wstring& folder) {
    ULARGE_INTEGER available{};
    return ::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) ? available.QuadPart : ~uint64_t{0};
}

uint64_t QueryFileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data)) return ~uint64_t{0};
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace vandrel
