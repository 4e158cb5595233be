#include "workspace/real_path.h"

#include <vector>

#include "common/unique_handle.h"
#include "workspace/path_form.h"

namespace vandrel {

namespace {

// "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share".
std::wstring WithoutExtendedPrefix(std::wstring path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b, size_t length) {
    return ::CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring RealPathOf(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < buffer.size()) {
            std::wstring path = WithoutExtendedPrefix(std::wstring(buffer.data(), length));
            if (path.size() > 3 && path.back() == L'\\') path.pop_back();
            return path;
        }
        buffer.resize(length + 1);
    }
}

std::wstring RealPathOf(const std::wstring& path) {
    // Attributes only: no sharing conflict even with a file that someone holds unshared.
    const UniqueFile file(::CreateFileW(ExtendedPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file ? RealPathOf(file.get()) : std::wstring();
}

bool SameRealPath(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && EqualIgnoringCase(a.c_str(), b.c_str(), a.size());
}

bool LeadsElsewhere(const std::wstring& path) {
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == L'\\') trimmed.pop_back();
    const size_t slash = trimmed.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    const std::wstring realParent = RealPathOf(trimmed.substr(0, slash + 1));
    const std::wstring realPath = RealPathOf(trimmed);
    if (realParent.empty() || realPath.empty()) return false;  // unknown: nothing found to say so
    const std::wstring expected =
        (realParent.back() == L'\\' ? realParent : realParent + L"\\") + trimmed.substr(slash + 1);
    return !SameRealPath(realPath, expected);
}

bool IsRealPathWithin(const std::wstring& realPath, const std::wstring& realFolder) {
    if (realPath.empty() || realFolder.empty() || realPath.size() < realFolder.size()) return false;
    if (!EqualIgnoringCase(realPath.c_str(), realFolder.c_str(), realFolder.size())) return false;
    return realPath.size() == realFolder.size() || realPath[realFolder.size()] == L'\\' || realFolder.back() == L'\\';
}

}  // namespace vandrel
