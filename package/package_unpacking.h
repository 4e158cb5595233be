// Unpacking a firmware package into the current run folder with the built-in 7za.
#pragma once

#include <windows.h>

#include <string>

#include "common/dialog_output.h"

namespace vandrel {

// Exit code reported when 7za's exit code cannot be read; 7za itself never ends with it.
constexpr DWORD kUnknownExitCode = 0xFFFFFFFF;

// Runs 7za hidden on the package with the built-in password into the current run folder and waits for it;
// true when 7za ended with 0, false after one "7z Extraction Failed" box on output. When 7za fails, the
// run folder goes with whatever it unpacked, and a full disk is told as such (the exit code then becomes
// a line of the message list).
bool UnpackPackage(const std::wstring& firmwarePath, DialogOutput& output);

// Replaces how the child's exit code is read (GetExitCodeProcess by default) and returns the previous
// one; lets a test make the query fail.
using ExitCodeQuery = BOOL(WINAPI*)(HANDLE process, DWORD* exitCode);
ExitCodeQuery SetExitCodeQuery(ExitCodeQuery query);

}  // namespace vandrel
