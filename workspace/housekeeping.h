// Emptying the workspace base folder, and the clean-up when the main dialog closes.
#pragma once

#include <string>

#include "common/message_pump.h"

namespace vandrel {

// Deletes every file and removes every folder tree directly under the workspace base folder (which stays),
// but for the workspace's Log folder (workspace_log_folder.h), which is kept with what it holds.
void CleanWorkspace(MessagePump& pump = NoPump());

// The same without waiting: each file gets one attempt, and one still held (by the upgrade library, a
// helper, the copy under way) is registered for deletion at restart at once. For the end of the session,
// when the process may be ended any moment.
void CleanWorkspaceAtOnce();

// Deletes folder's files and subfolders depth-first, then folder (trailing backslash optional; an empty
// path does nothing). Folder links (reparse points) are removed as links and never entered, so nothing
// outside the tree is touched. Folders that cannot be removed are left for a later housekeeping.
void RemoveFolderTree(const std::wstring& folder, MessagePump& pump = NoPump());

// Deletes every file and folder tree in folder except the file keep (a full path); the folder stays.
void EmptyFolderExcept(const std::wstring& folder, const std::wstring& keep, MessagePump& pump = NoPump());

// Removes folder only when it has no entries at all (trailing backslash optional; empty path: nothing).
void RemoveFolderIfEmpty(const std::wstring& folder);

// The close-time clean-up: CleanWorkspace (which keeps the workspace's Log folder, so the history and the
// library's log written there stay), then whatever it left of the secure image, the extractor (7z.exe,
// 7z.dll) and the current run folder.
void ExitCleanup(const std::wstring& secureImagePath, MessagePump& pump = NoPump());

}  // namespace vandrel
