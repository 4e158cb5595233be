#include "workspace/local_location.h"

#include <windows.h>

#include <vector>

#include "common/unique_handle.h"
#include "workspace/path_form.h"
#include "workspace/real_path.h"

namespace vandrel {

namespace {

bool IsDriveLetterPath(const std::wstring& path) {
    return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && path[2] == L'\\';
}

// The root of the volume that holds path ("C:\", or the mount point's folder), empty when unknown.
std::wstring VolumeRootOf(const std::wstring& path) {
    std::vector<wchar_t> root(path.size() + MAX_PATH);
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) return {};
    return WithTrailingBackslash(root.data());
}

}  // namespace

bool IsLocalPath(const std::wstring& path) {
    const std::wstring plain = path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
    // Also "\\?\UNC\...", "\\.\..." and "\\server\share": never judged by a drive letter.
    if (!IsDriveLetterPath(plain)) return false;
    const std::wstring root = VolumeRootOf(plain);
    // A volume root that is itself a share (a mapped drive resolves to one on some systems).
    if (root.empty() || root.compare(0, 2, L"\\\\") == 0) return false;
    const UINT type = ::GetDriveTypeW(root.c_str());
    return type != DRIVE_REMOTE && type != DRIVE_NO_ROOT_DIR && type != DRIVE_UNKNOWN;
}

bool IsLocalFolder(const std::wstring& folder) {
    if (!IsLocalPath(folder)) return false;
    const UniqueFile opened(::CreateFileW(ExtendedPath(WithoutTrailingBackslash(folder)).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened) return true;  // not there (yet): judged by its name alone
    // A link or a mapped drive may lead to a share: "\\server\share\..." once resolved.
    const std::wstring real = RealPathOf(opened.get());
    return !real.empty() && IsLocalPath(real);
}

}  // namespace vandrel
