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

}  // namespace

void CleanWorkspace(MessagePump& pump) {
    const std::wstring base = GetWorkspaceBaseFolder();
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (!IsFolderEntry(entry)) DeleteOrScheduleAtReboot(base + entry.cFileName, kDeleteBudgetMs, pump);
    });
    ForEachEntry(base, [&](const WIN32_FIND_DATAW& entry) {
        if (IsFolderEntry(entry)) RemoveFolderTree(base + entry.cFileName + L"\\", pump);
    });
}

void RemoveFolderTree(const std::wstring& folder, MessagePump& pump) {
    if (folder.empty()) return;  // "*" alone would list the current directory
    const std::wstring tree = WithTrailingBackslash(folder);
    const std::wstring self = WithoutTrailingBackslash(folder);
    // Removing a link removes only the link; its target is never entered.
    if (!IsFolderLink(self)) {
        ForEachEntry(tree, [&](const WIN32_FIND_DATAW& entry) {
            if (IsFolderEntry(entry))
                RemoveFolderTree(tree + entry.cFileName + L"\\", pump);
            else
                DeleteOrScheduleAtReboot(tree + entry.cFileName, kDeleteBudgetMs, pump);
        });
    }
    // Ignored on failure (a file waits for restart, or the folder is in use): a later housekeeping retries.
    ClearReadOnlyInWorkspace(self);
    ::RemoveDirectoryW(ExtendedPath(self).c_str());
}

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
