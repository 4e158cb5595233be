// The outside programs and files the tool carries as RT_RCDATA resources, written into the workspace
// base folder when they are needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vandrel {

// Writes DIFxAPI.dll, driver_x64.exe, rockusb.cat, rockusb.inf and rockusb.sys (resources 137 to 141)
// into the workspace base folder; true when all five are there, written now or left from before.
bool ExtractDriverPackage();
// Writes 7za.exe (resource 1012) into the workspace base folder; its full path, or empty.
std::wstring ExtractBuiltIn7za();

// Writes resource id of type from module to target; true when the target holds exactly the resource
// afterwards (a target with the same size and content is left untouched).
bool WriteResourceToFile(HMODULE module, int id, const wchar_t* type, const std::wstring& target);
// Writes the whole block to target (hidden and temporary); true when every byte was written.
bool WriteBufferToFile(const std::wstring& target, const void* data, DWORD size);
// The file's size, or all ones when its attributes cannot be read.
uint64_t QueryFileSize(const std::wstring& path);

}  // namespace vandrel
