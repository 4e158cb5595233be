// The per-user workspace base folder, the run folders inside it and the one current run folder.
#pragma once

#include <string>

namespace vandrel {

// The workspace base folder's name in %LOCALAPPDATA%. Earlier versions of the tool and the user guide
// name it so; alternatives beside it add a point and a digit.
constexpr wchar_t kWorkspaceFolderName[] = L"QuorraUpgrade";

// The workspace base folder (ending in a backslash): %LOCALAPPDATA%\QuorraUpgrade\, made at first use
// with its owner (the Administrators), owner-only access list and High no-write-up label in one step. A
// folder found there is trusted only when it is a real folder (no junction or symbolic link) that the
// tool made (folder_trust.h): one made beforehand by a program of the user is not. Otherwise the tool
// takes QuorraUpgrade.1\ to QuorraUpgrade.9\ beside it, on the same terms, and never touches or reads
// anything inside the refused one. The folder is held from then on without delete sharing, so that it
// cannot be renamed or replaced while the tool runs. Empty when no folder can be trusted, or when Local
// AppData is not on this machine's own disks (local_location.h): nothing may then be written.
std::wstring GetWorkspaceBaseFolder();

// Why GetWorkspaceBaseFolder gave no folder.
enum class WorkspaceRefusal { kNone, kUntrusted, kRemote };
WorkspaceRefusal WhyNoWorkspace();

// True when the platform kept neither the owner nor the label of a folder the tool made, so that folders
// found were judged by owner and access list only (as under Wine).
bool IsWorkspaceCheckPartial();

// The folder the base folder is made in: the user's Local AppData, as the shell names it now.
std::wstring WorkspaceParentFolder();

// Lets go of the base folder; the next GetWorkspaceBaseFolder looks for it again. For the end of the
// process, and for tests that move the folder aside.
void ForgetWorkspaceBaseFolder();

// The current run folder; makes a new owner-only, EFS-marked one when forceNew is set or none exists yet.
// A folder removed from disk meanwhile is not made again when forceNew is false. Empty without a base.
std::wstring GetRunFolder(bool forceNew);

// The current run folder when one was made, else empty; never makes one.
std::wstring CurrentRunFolder();

// True when path begins with the current run folder (ASCII letter case aside) and really lies there, as
// the file system resolves it (links and ".." included): false for an empty or missing path, and when no
// run folder was made.
bool IsInRunFolder(const std::wstring& path);

// True when path exists and really lies below the workspace base folder, as the file system resolves it;
// false before the base folder was looked for (this never looks for it).
bool IsInWorkspace(const std::wstring& path);
// The same for a final path (see real_path.h), as a handle's RealPathOf gives it.
bool IsRealPathInWorkspace(const std::wstring& realPath);

// 32 upper-case hex digits for a workspace name, empty when no GUID can be made.
std::wstring MakeNameDigits();

// Replaces the source of MakeNameDigits (NewNameDigits by default) and returns the previous one;
// lets a test reach the no-GUID branches and fixed names.
using NameDigitsSource = std::wstring (*)();
NameDigitsSource SetNameDigitsSource(NameDigitsSource source);

}  // namespace vandrel
