// Writing, holding and comparing file contents, in blocks of 64 KiB.
#pragma once

#include <windows.h>

#include <string>

#include "common/message_pump.h"
#include "common/unique_handle.h"

namespace vandrel {

// Every read, write and copy moves at most this much at a time.
constexpr DWORD kFileBlockBytes = 65536;

// Bytes in memory that a file is written from or checked against (a carried resource, say).
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

// Writes bytes to target (created anew, unshared, with attributes) in blocks of at most 64 KiB; true when
// every block was written whole. A partly written file stays: its size or content then differs.
bool WriteBytesToFile(const std::wstring& target, const ResourceBytes& bytes, DWORD attributes);

// Writes bytes to target, which must not exist yet, and hands it back as OpenHoldingExactly holds it: from
// its creation until the handle goes, nobody else can change, replace or delete it. Empty on failure (a
// partly written file then stays).
UniqueFile WriteNewFileAndHold(const std::wstring& target, const ResourceBytes& bytes, DWORD attributes);

// path opened for reading without write or delete sharing, when it holds exactly bytes; else empty. While
// the handle is held, nobody can change, replace or delete the file. The size alone is never trusted.
UniqueFile OpenHoldingExactly(const std::wstring& path, const ResourceBytes& bytes);

// True when both files can be read and hold the same bytes.
bool HaveSameContents(const std::wstring& a, const std::wstring& b, MessagePump& pump = NoPump());

}  // namespace vandrel
