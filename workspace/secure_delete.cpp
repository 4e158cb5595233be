#include "workspace/secure_delete.h"

#include "common/dispatching_wait.h"
#include "common/unique_handle.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

// A file whose folder is gone is gone too: housekeeping may have removed the folder first.
bool IsAlreadyGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// How much of a large file is given back at a time before it is deleted.
constexpr LONGLONG kReleaseStepBytes = 4LL << 20;

// Freeing a large file's space at once stalls the file system for tens of milliseconds, and with it,
// under Wine, every window of the session; given back in steps, no stall is long. Only workspace files:
// nothing the user owns is ever shortened. A file that cannot be opened is left to the deletion.
void ReleaseSpaceInSteps(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
    LONGLONG size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size <= kReleaseStepBytes || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsInWorkspace(path)) return;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    while (size > 0) {
        size = size > kReleaseStepBytes ? size - kReleaseStepBytes : 0;
        LARGE_INTEGER end;
        end.QuadPart = size;
        if (!::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get())) return;
        DispatchPendingMessages();
    }
}

}  // namespace

bool DeleteFileWithRetry(const std::wstring& path, DWORD budgetMs) {
    if (path.empty()) return true;
    ClearReadOnlyInWorkspace(path);
    ReleaseSpaceInSteps(path);
    DWORD elapsed = 0;
    if (::DeleteFileW(path.c_str())) return true;
    for (;;) {
        if (IsAlreadyGone(::GetLastError())) return true;
        if (elapsed >= budgetMs) return false;
        ::Sleep(kDeleteRetryStepMs);
        elapsed += kDeleteRetryStepMs;
        if (::DeleteFileW(path.c_str())) return true;
    }
}

void ClearReadOnlyInWorkspace(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
    if (!IsInWorkspace(path)) return;
    constexpr DWORD kSettable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE;
    const DWORD kept = attributes & kSettable;
    ::SetFileAttributesW(path.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
}

void DeleteOrScheduleAtReboot(const std::wstring& path, DWORD budgetMs) {
    if (DeleteFileWithRetry(path, budgetMs)) return;
    // Result ignored: nothing more can be done, and nothing is shown to the user.
    ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace vandrel
