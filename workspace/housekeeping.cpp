#include "workspace/housekeeping.h"

#include <windows.h>

#include "common/unique_handle.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
    return ::lstrcmpW(entry.cFileName, L".") == 0 || ::lstrcmpW(entry.cFileName, L"..") == 0;
}

bool IsFolder(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// RemoveDirectoryW wants no trailing backslash; exactly one is dropped.
std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// Listing and child paths need one: C:\dir* would list the parent's entries that begin with "dir".
std::wstring WithTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

// Calls visit for every entry of folder except "." and ".."; a folder that cannot be listed is skipped.
template <class Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return;
    do {
        if (!IsDotEntry(entry)) visit(entry);
    } while (::FindNextFileW(find.get(), &entry));
}

// A junction or directory symlink (which an archive can bring): listing it would list its target.
// Asked without the trailing backslash, which would make Wine report the target's attributes.
bool IsFolderLink(const std::wstring& folderWithoutBackslash) {
    const DWORD attributes = ::GetFileAttributesW(folderWithoutBackslash.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

void CleanWorkspace() {
    const std::wstring base = GetWorkspaceBaseFolder();
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (!IsFolder(entry)) DeleteOrScheduleAtReboot(base + entry.cFileName);
    });
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (IsFolder(entry)) RemoveFolderTree(base + entry.cFileName + L"\\");
    });
}

void RemoveFolderTree(const std::wstring& folder) {
    if (folder.empty()) return;  // "*" alone would list the current directory
    const std::wstring tree = WithTrailingBackslash(folder);
    const std::wstring self = WithoutTrailingBackslash(folder);
    // Removing a link removes only the link; its target is never entered.
    if (!IsFolderLink(self)) {
        ForEachEntry(tree, [&](const WIN32_FIND_DATAW& entry) {
            if (IsFolder(entry))
                RemoveFolderTree(tree + entry.cFileName + L"\\");
            else
                DeleteOrScheduleAtReboot(tree + entry.cFileName);
        });
    }
    // Ignored on failure (a file waits for restart, or the folder is in use): a later housekeeping retries.
    ClearReadOnlyInWorkspace(self);
    ::RemoveDirectoryW(self.c_str());
}

void RemoveFolderIfEmpty(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((WithTrailingBackslash(folder) + L"*").c_str(), &entry));
    if (!find) return;
    do {
        if (!IsDotEntry(entry)) return;
    } while (::FindNextFileW(find.get(), &entry));
    find.reset();
    ::RemoveDirectoryW(WithoutTrailingBackslash(folder).c_str());
}

void ExitCleanup(const std::wstring& secureImagePath) {
    CleanWorkspace();
    if (IsInRunFolder(secureImagePath)) DeleteOrScheduleAtReboot(secureImagePath);

    const std::wstring sevenZip = GetWorkspaceBaseFolder() + L"7za.exe";
    const DWORD attributes = ::GetFileAttributesW(sevenZip.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteOrScheduleAtReboot(sevenZip);

    RemoveFolderIfEmpty(GetRunFolder(false));
}

}  // namespace vandrel
