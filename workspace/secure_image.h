// The hidden, unshared copy of the firmware image in the current run folder that the upgrade library reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/message_pump.h"
#include "common/unique_handle.h"

namespace vandrel {

// Creates a new file "fw_<32 hex digits>.img" in the current run folder (CREATE_NEW: never overwrites).
// file is emptied first; on success it holds the open handle and path the file's path (else untouched).
bool CreateSecureImageFile(std::wstring& path, UniqueFile& file);

// What a copy did: whether it read and wrote without error, the bytes it moved and their CRC-32 (computed
// in the copy's own loop, so that proving the image whole costs no second pass), and the error of the
// failing call.
struct CopyOutcome {
    bool copied = false;
    uint64_t bytes = 0;
    uint32_t crc32 = 0;
    DWORD error = ERROR_SUCCESS;
};

// Copies the whole of source into destination from offset 0; destination stays open. A missing source
// leaves destination untouched.
CopyOutcome CopyFileToHandle(const std::wstring& source, HANDLE destination, MessagePump& pump = NoPump());

// Whether a copy failed for want of disk space.
bool IsDiskFull(DWORD error);

}  // namespace vandrel
