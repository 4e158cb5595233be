// Where the tool keeps its files, as the tests look at them from outside.
#pragma once

#include <string>
#include <vector>

namespace vandrel::test {

// The tool's workspace base folder, %LOCALAPPDATA%\QuorraUpgrade\ (with its trailing backslash).
std::wstring WorkspaceBase();

// The folders "YourApp-*" in the temporary folder: the private copies of the upgrade library.
std::vector<std::wstring> PrivateLibraryFolders();
// Those of them that were not among before.
std::vector<std::wstring> NewLibraryFolders(const std::vector<std::wstring>& before);

}  // namespace vandrel::test
