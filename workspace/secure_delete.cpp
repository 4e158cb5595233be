#include "workspace/secure_delete.h"

#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

// A file whose folder is gone is gone too: housekeeping may have removed the folder first.
bool IsAlreadyGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

bool DeleteFileWithRetry(const std::wstring& path, DWORD budgetMs) {
    if (path.empty()) return true;
    ClearReadOnlyInWorkspace(path);
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

void DeleteOrScheduleAtReboot(const std::wstring& path) {
    if (DeleteFileWithRetry(path, kDeleteBudgetMs)) return;
    // Result ignored: nothing more can be done, and nothing is shown to the user.
    ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace vandrel
