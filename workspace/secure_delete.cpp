#include "workspace/secure_delete.h"

#include "common/unique_handle.h"
#include "workspace/path_form.h"
#include "workspace/real_path.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

// A file whose folder is gone is gone too: housekeeping may have removed the folder first.
bool IsAlreadyGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// How much of a large file is given back at a time before it is deleted.
constexpr LONGLONG kReleaseStepBytes = 4LL << 20;

// Whether the open file is the workspace's own to shorten: it really lies inside the workspace (not
// reached through a link) and has no other name (a hard link elsewhere would lose its data too).
bool IsWorkspaceOwnFile(HANDLE file, LONGLONG& size) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    size = (static_cast<LONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return IsRealPathInWorkspace(RealPathOf(file));
}

// Freeing a large file's space at once stalls the file system for tens of milliseconds, and with it,
// under Wine, every window of the session; given back in steps, no stall is long. Only the workspace's
// own files: nothing the user owns is ever shortened. A file that cannot be opened is left to the deletion.
void ReleaseSpaceInSteps(const std::wstring& path, MessagePump& pump) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;  // path: extended already
    const LONGLONG listed = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (listed <= kReleaseStepBytes) return;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LONGLONG size = 0;
    // Judged on the handle that shortens the file: nothing can be swapped in between.
    if (!file || !IsWorkspaceOwnFile(file.get(), size)) return;
    while (size > 0) {
        size = size > kReleaseStepBytes ? size - kReleaseStepBytes : 0;
        LARGE_INTEGER end;
        end.QuadPart = size;
        if (!::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get())) return;
        pump.Pump();
    }
}

}  // namespace

bool DeleteFileWithRetry(const std::wstring& given, DWORD budgetMs, MessagePump& pump) {
    if (given.empty()) return true;
    const std::wstring path = ExtendedPath(given);
    ClearReadOnlyInWorkspace(path);
    ReleaseSpaceInSteps(path, pump);
    DWORD elapsed = 0;
    if (::DeleteFileW(path.c_str())) return true;
    for (;;) {
        if (IsAlreadyGone(::GetLastError())) return true;
        if (elapsed >= budgetMs) return false;
        // On the dialog's thread the window keeps answering while a locked file is waited for.
        pump.Sleep(kDeleteRetryStepMs);
        elapsed += kDeleteRetryStepMs;
        if (::DeleteFileW(path.c_str())) return true;
    }
}

void ClearReadOnlyInWorkspace(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
    const UniqueFile file(::CreateFileW(ExtendedPath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return;
    // Decided on the handle that changes the attributes, by where it really leads.
    if (!IsRealPathInWorkspace(RealPathOf(file.get()))) return;
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) return;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
}

void DeleteOrScheduleAtReboot(const std::wstring& path, DWORD budgetMs, MessagePump& pump) {
    if (DeleteFileWithRetry(path, budgetMs, pump)) return;
    // Result ignored: nothing more can be done, and nothing is shown to the user.
    ::MoveFileExW(ExtendedPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace vandrel
