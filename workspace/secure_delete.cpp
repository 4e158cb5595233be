#include "workspace/secure_delete.h"

namespace vandrel {

namespace {

// A file whose folder is gone is gone too: housekeeping may have removed the folder first.
bool IsAlreadyGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

bool DeleteFileWithRetry(const std::wstring& path, DWORD budgetMs) {
    if (path.empty()) return true;
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

void DeleteOrScheduleAtReboot(const std::wstring& path) {
    if (DeleteFileWithRetry(path, kDeleteBudgetMs)) return;
    // Result ignored: nothing more can be done, and nothing is shown to the user.
    ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace vandrel
