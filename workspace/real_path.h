// Where a path really leads: links (junctions, symbolic links) and ".." resolved by the file system, not
// by comparing text. The tool decides with it whether something lies inside its own folders before it
// changes or deletes anything there.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

// The final path of an open file or folder ("C:\..." form, no trailing backslash); empty when unknown.
std::wstring RealPathOf(HANDLE handle);

// The final path of path (followed through links); empty when it cannot be opened.
std::wstring RealPathOf(const std::wstring& path);

// True when both name the same path, letter case aside (as the file system compares names).
bool SameRealPath(const std::wstring& a, const std::wstring& b);

// True when the folder or file at path leads elsewhere than its name says: its final path is not its
// parent's final path and its own name, so that it is a link (also where the attributes do not show
// one). False when that cannot be told (a path the system gives no final path for).
bool LeadsElsewhere(const std::wstring& path);

// True when realPath is realFolder itself or lies below it (ASCII letter case aside); false when either
// is empty.
bool IsRealPathWithin(const std::wstring& realPath, const std::wstring& realFolder);

}  // namespace vandrel
