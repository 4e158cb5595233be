// The text of paths the tool composes: folder paths end in a backslash, and long ones are handed to the
// system in their extended-length form.
#pragma once

#include <string>

namespace vandrel {

// path in its extended-length form ("\\\\?\\C:\\..." or "\\\\?\\UNC\\server\\..."), so that what lies deeper than
// MAX_PATH characters (a package can bring such folders) can be listed, read and deleted. Normalised first
// ("." and ".." resolved); relative and device paths come back as they are, a trailing backslash stays.
std::wstring ExtendedPath(const std::wstring& path);

// Folder paths end in a backslash; RemoveDirectoryW wants none. Exactly one is added or dropped.
std::wstring WithTrailingBackslash(std::wstring folder);
std::wstring WithoutTrailingBackslash(std::wstring folder);

}  // namespace vandrel
