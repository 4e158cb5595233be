// Unpacking a firmware package into the current run folder with the built-in 7za.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/dialog_output.h"
#include "common/message_pump.h"
#include "package/package_listing.h"

namespace vandrel {

// Exit code reported when 7za's exit code cannot be read; 7za itself never ends with it.
constexpr DWORD kUnknownExitCode = 0xFFFFFFFF;

// Runs 7za hidden on the package with the built-in password into the current run folder, and beside it
// 7za's listing of the package, and waits for both; true when both ended with 0, with the package's
// entries in listing (when given). Both runs get only the user's own rights, and the package is held
// open against writing, renaming and deletion from the start until both have ended. False after one
// "7z Extraction Failed" box on output (also when the package cannot be held so): the run folder
// then goes with whatever was unpacked, and a full disk (7za failed on a volume that had less free space
// than the package needs, or that it filled) is told as such, the exit code becoming a line of the
// message list.
bool UnpackPackage(const std::wstring& firmwarePath, DialogOutput& output,
                   std::vector<PackageEntry>* listing = nullptr, MessagePump& pump = NoPump());

// Replaces how the child's exit code is read (GetExitCodeProcess by default) and returns the previous
// one; lets a test make the query fail.
using ExitCodeQuery = BOOL(WINAPI*)(HANDLE process, DWORD* exitCode);
ExitCodeQuery SetExitCodeQuery(ExitCodeQuery query);

}  // namespace vandrel
