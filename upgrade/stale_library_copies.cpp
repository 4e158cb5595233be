#include "upgrade/stale_library_copies.h"

#include <cwchar>
#include <string>

#include "common/unique_handle.h"
#include "upgrade/library_copy.h"
#include "workspace/folder_trust.h"
#include "workspace/folder_walk.h"
#include "workspace/path_form.h"
#include "workspace/relative_file.h"

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

// The copy and then the folder, both by handle: the folder goes only once the copy has gone and nothing
// else is in it (a folder marked for deletion that is not empty stays).
void RemoveCopyFolder(HANDLE folder) {
    UniqueFile copy = OpenRelative(folder, kLibraryFileName, DELETE, 0, RelativeDisposition::kOpenExisting);
    if (copy) DeleteByHandle(copy.get());
    copy.reset();  // gone with its last handle: only then is the folder empty
    DeleteByHandle(folder);
}

}  // namespace

void RemoveStaleLibraryCopies(HANDLE madeNow) {
    wchar_t temp[MAX_PATH + 1] = {};
    if (!madeNow || !::GetTempPathW(MAX_PATH + 1, temp)) return;
    const FolderTrust trust(madeNow);
    const std::wstring pattern = std::wstring(kLibraryCopyFolderPrefix) + L"*";
    ForEachEntry(
        temp,
        [&](const WIN32_FIND_DATAW& entry) {
            if (!IsFolderEntry(entry) || IsLinkEntry(entry)) return;  // a first sieve; the handle decides
            const DWORD pid = ProcessIdOf(entry.cFileName);
            if (pid == 0) return;
            // From here on only this handle is used: a folder swapped for a link after the listing is
            // refused here, and one swapped after this open is not the one held.
            const UniqueFile folder =
                OpenFolderNoFollow(WithTrailingBackslash(temp) + entry.cFileName, DELETE | READ_CONTROL, FILE_SHARE_READ);
            if (!folder) return;
            BY_HANDLE_FILE_INFORMATION info{};
            if (!::GetFileInformationByHandle(folder.get(), &info)) return;
            if (OwnerStillRuns(pid, info.ftCreationTime) || !trust.IsToolsOwn(folder.get())) return;
            RemoveCopyFolder(folder.get());
        },
        pattern.c_str());
}

}  // namespace vandrel
