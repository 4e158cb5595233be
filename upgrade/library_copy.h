// The names under which the tool puts its copy of the upgrade library: the loader makes them and the
// stale-copy clean-up of a later start finds them by them.
#pragma once

namespace vandrel {

// Start of the copy's folder name in %TEMP%: "YourApp-<pid>-<ticks>". Tools of earlier versions used it
// too, and their leftovers are recognised (and removed once their process has ended) only by it.
constexpr wchar_t kLibraryCopyFolderPrefix[] = L"YourApp-";

// The copy's own file name. The library keeps its name: the driver stack and the library's own log
// name it, and the clean-up deletes exactly this file and nothing else it finds in such a folder.
constexpr wchar_t kLibraryFileName[] = L"RKUpgrade.dll";

}  // namespace vandrel
