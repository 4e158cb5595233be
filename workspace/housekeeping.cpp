#include "workspace/housekeeping.h"

#include <windows.h>

#include "common/text.h"
#include "workspace/embedded_files.h"
#include "workspace/file_facts.h"
#include "workspace/folder_walk.h"
#include "workspace/path_form.h"
#include "workspace/real_path.h"
#include "workspace/secure_delete.h"
#include "workspace/secure_workspace.h"
#include "workspace/workspace_log_folder.h"

namespace vandrel {

namespace {

// A junction or directory symlink (which an archive can bring): listing it would list its target.
// Asked without the trailing backslash, which would make Wine report the target's attributes; and, for
// links that the attributes do not show, by where the folder really leads.
bool IsFolderLink(const std::wstring& folderWithoutBackslash) {
    const DWORD attributes = ::GetFileAttributesW(ExtendedPath(folderWithoutBackslash).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing there to enter
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || LeadsElsewhere(folderWithoutBackslash);
}

void RemoveTree(const std::wstring& folder, DWORD budgetMs, MessagePump& pump) {
    if (folder.empty()) return;  // "*" alone would list the current directory
    const std::wstring tree = WithTrailingBackslash(folder);
    const std::wstring self = WithoutTrailingBackslash(folder);
    // Removing a link removes only the link; its target is never entered.
    if (!IsFolderLink(self)) {
        ForEachEntry(tree, [&](const WIN32_FIND_DATAW& entry) {
            if (IsFolderEntry(entry))
                RemoveTree(tree + entry.cFileName + L"\\", budgetMs, pump);
            else
                DeleteOrScheduleAtReboot(tree + entry.cFileName, budgetMs, pump);
        });
    }
    // Ignored on failure (a file waits for restart, or the folder is in use): a later housekeeping retries.
    ClearReadOnlyInWorkspace(self);
    ::RemoveDirectoryW(ExtendedPath(self).c_str());
}

void EmptyWorkspace(DWORD budgetMs, MessagePump& pump) {
    const std::wstring base = GetWorkspaceBaseFolder();
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (!IsFolderEntry(entry)) DeleteOrScheduleAtReboot(base + entry.cFileName, budgetMs, pump);
    });
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (!IsFolderEntry(entry)) return;
        // The one entry kept: the workspace's Log folder holds the write history and the library's log
        // when Log beside the tool is refused, and they must outlive every run. A link of that name goes
        // like any other entry.
        if (IsWorkspaceLogFolder(entry.cFileName, entry.dwFileAttributes) && !IsFolderLink(base + entry.cFileName))
            return;
        RemoveTree(base + entry.cFileName + L"\\", budgetMs, pump);
    });
}

}  // namespace

void CleanWorkspace(MessagePump& pump) { EmptyWorkspace(kDeleteBudgetMs, pump); }

void CleanWorkspaceAtOnce() { EmptyWorkspace(0, NoPump()); }

void RemoveFolderTree(const std::wstring& folder, MessagePump& pump) { RemoveTree(folder, kDeleteBudgetMs, pump); }

void EmptyFolderExcept(const std::wstring& folder, const std::wstring& keep, MessagePump& pump) {
    if (folder.empty()) return;
    const std::wstring tree = WithTrailingBackslash(folder);
    const std::wstring kept = AsciiLower(keep);
    ForEachEntry(tree, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring path = tree + entry.cFileName;
        if (IsFolderEntry(entry))
            RemoveFolderTree(path + L"\\", pump);
        else if (AsciiLower(path) != kept)
            DeleteOrScheduleAtReboot(path, kDeleteBudgetMs, pump);
    });
}

void RemoveFolderIfEmpty(const std::wstring& folder) {
    if (folder.empty()) return;
    bool empty = true;
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW&) { empty = false; });
    const std::wstring self = ExtendedPath(WithoutTrailingBackslash(folder));
    if (empty && ::GetFileAttributesW(self.c_str()) != INVALID_FILE_ATTRIBUTES) ::RemoveDirectoryW(self.c_str());
}

void ExitCleanup(const std::wstring& secureImagePath, MessagePump& pump) {
    CleanWorkspace(pump);
    if (IsInRunFolder(secureImagePath)) DeleteOrScheduleAtReboot(secureImagePath, kDeleteBudgetMs, pump);

    for (const wchar_t* name : {kBuiltIn7zaName, kBuiltIn7zDllName}) {
        const std::wstring extractor = GetWorkspaceBaseFolder() + name;
        if (IsExistingFile(extractor)) DeleteOrScheduleAtReboot(extractor, kDeleteBudgetMs, pump);
    }

    RemoveFolderIfEmpty(CurrentRunFolder());
}

}  // namespace vandrel
