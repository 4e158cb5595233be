// Helpers for the package tests: a dialog output that records instead of showing, and packages made
// at run time with the real 7za.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "package/package_password.h"
#include "tests/support/recording_output.h"

namespace vandrel::test {

// Relative path (backslashes; folders are made as needed) to content.
using FileTree = std::map<std::wstring, std::string>;

// Writes the tree below folder (which ends in a backslash).
bool WriteTree(const std::wstring& folder, const FileTree& tree);

// Runs a hidden program in folder and waits for it; its exit code, or -1 when it could not be run.
int RunInFolder(const std::wstring& commandLine, const std::wstring& folder, DWORD timeoutMs);

// Packs everything in folder into package with 7za (7z format, encrypted names, password, and any
// further switches); 7za's exit code, or -1 when it could not be run.
int MakePackage(const std::wstring& folder, const std::wstring& package, const std::wstring& password,
                const std::wstring& switches = L"");

// Every file below folder as relative path to content.
FileTree ReadTree(const std::wstring& folder);

}  // namespace vandrel::test
