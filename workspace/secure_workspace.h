// The per-user workspace base folder, the run folders inside it and the one current run folder.
#pragma once

#include <string>

namespace vandrel {

// %LOCALAPPDATA%\QuorraUpgrade\ (ending in a backslash), created when missing; no ACL or EFS here.
std::wstring GetWorkspaceBaseFolder();

// The current run folder; makes a new owner-only, EFS-marked one when forceNew is set or none exists yet.
// A folder removed from disk meanwhile is not made again when forceNew is false.
std::wstring GetRunFolder(bool forceNew);

// True when path begins with the current run folder (ASCII letter case aside); false for an empty path.
bool IsInRunFolder(const std::wstring& path);

// True when path lies below the workspace base folder (ASCII letter case aside) and climbs out of it
// nowhere (no ".." component).
bool IsInWorkspace(const std::wstring& path);

// 32 upper-case hex digits for a workspace name, empty when no GUID can be made.
std::wstring MakeNameDigits();

// Replaces the source of MakeNameDigits (NewNameDigits by default) and returns the previous one;
// lets a test reach the no-GUID branches and fixed names.
using NameDigitsSource = std::wstring (*)();
NameDigitsSource SetNameDigitsSource(NameDigitsSource source);

}  // namespace vandrel
