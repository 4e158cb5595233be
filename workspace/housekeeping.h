// Emptying the workspace base folder, and the clean-up when the main dialog closes.
#pragma once

#include <string>

#include "common/message_pump.h"

namespace vandrel {

// Deletes every file and removes every folder tree directly under the workspace base folder (which stays).
void CleanWorkspace(MessagePump& pump = NoPump());

// Deletes folder's files and subfolders depth-first, then folder (trailing backslash optional; an empty
// path does nothing). Folder links (reparse points) are removed as links and never entered, so nothing
// outside the tree is touched. Folders that cannot be removed are left for a later housekeeping.
void RemoveFolderTree(const std::wstring& folder, MessagePump& pump = NoPump());

// Deletes every file and folder tree in folder except the file keep (a full path); the folder stays.
void EmptyFolderExcept(const std::wstring& folder, const std::wstring& keep, MessagePump& pump = NoPump());

// Removes folder only when it has no entries at all (trailing backslash optional; empty path: nothing).
void RemoveFolderIfEmpty(const std::wstring& folder);

// The close-time clean-up: CleanWorkspace, then whatever it left of the secure image, the extractor
// (7z.exe, 7z.dll) and the current run folder.
void ExitCleanup(const std::wstring& secureImagePath, MessagePump& pump = NoPump());

}  // namespace vandrel
