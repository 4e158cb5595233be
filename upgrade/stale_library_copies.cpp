#include "upgrade/stale_library_copies.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "common/unique_handle.h"
#include "upgrade/library_copy.h"
#include "workspace/folder_walk.h"
#include "workspace/path_form.h"
#include "workspace/secure_delete.h"

namespace vandrel {

namespace {

// The process id in "YourApp-<pid>-<ticks>", or 0 when the name has another form.
DWORD ProcessIdOf(const wchar_t* name) {
    const size_t prefixLength = wcslen(kLibraryCopyFolderPrefix);
    if (wcsncmp(name, kLibraryCopyFolderPrefix, prefixLength) != 0) return 0;
    wchar_t* end = nullptr;
    const unsigned long pid = wcstoul(name + prefixLength, &end, 10);
    if (end == name + prefixLength || *end != L'-' || end[1] == L'\0') return 0;
    for (const wchar_t* digit = end + 1; *digit; ++digit)
        if (*digit < L'0' || *digit > L'9') return 0;
    return pid;
}

// Whether the process that made a folder at folderMade still runs. A process id is reused once its
// process has ended, so a process started after the folder was made is another one.
bool OwnerStillRuns(DWORD pid, const FILETIME& folderMade) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // no such process: ended
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process.get(), &exitCode) && exitCode != STILL_ACTIVE) return false;
    FILETIME started{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process.get(), &started, &exited, &kernel, &user)) return true;
    return ::CompareFileTime(&started, &folderMade) <= 0;
}

void RemoveCopyFolder(const std::wstring& folder) {
    const std::wstring copy = folder + L"\\" + kLibraryFileName;
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteOrScheduleAtReboot(copy, 0);  // one attempt: nothing holds the copy of an ended process
    ::RemoveDirectoryW(folder.c_str());  // fails, and the folder stays, when it holds anything else
}

}  // namespace

void RemoveStaleLibraryCopies() {
    wchar_t temp[MAX_PATH + 1] = {};
    if (!::GetTempPathW(MAX_PATH + 1, temp)) return;
    const std::wstring pattern = std::wstring(kLibraryCopyFolderPrefix) + L"*";
    ForEachEntry(
        temp,
        [&](const WIN32_FIND_DATAW& entry) {
            if (!IsFolderEntry(entry) || IsLinkEntry(entry)) return;
            const DWORD pid = ProcessIdOf(entry.cFileName);
            if (pid != 0 && !OwnerStillRuns(pid, entry.ftCreationTime))
                RemoveCopyFolder(WithTrailingBackslash(temp) + entry.cFileName);
        },
        pattern.c_str());
}

}  // namespace vandrel
