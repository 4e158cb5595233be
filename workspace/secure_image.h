// The hidden, unshared copy of the firmware image in the current run folder that the upgrade library reads.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// Creates a new file "fw_<32 hex digits>.img" in the current run folder (CREATE_NEW: never overwrites).
// file is emptied first; on success it holds the open handle and path the file's path (else untouched).
bool CreateSecureImageFile(std::wstring& path, UniqueFile& file);

// Copies the whole of source into destination from offset 0; destination stays open. A missing source
// leaves destination untouched.
bool CopyFileToHandle(const std::wstring& source, HANDLE destination);

}  // namespace vandrel
