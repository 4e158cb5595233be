// The one way the tool handles file contents and folders: carried resources, writes and comparisons in
// blocks of 64 KiB, sizes, and walking a folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/message_pump.h"
#include "common/unique_handle.h"

namespace vandrel {

// Every read, write and copy moves at most this much at a time.
constexpr DWORD kFileBlockBytes = 65536;

// A carried RT_RCDATA resource's bytes; they live as long as the module is loaded.
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

// Present only when found, loaded and locked, and not empty.
bool LoadRcData(HMODULE module, int id, ResourceBytes& bytes);

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

// The bytes free for this user on the volume that holds folder; all ones when that cannot be told.
uint64_t FreeBytesOn(const std::wstring& folder);

// The file's size, or all ones when its attributes cannot be read.
uint64_t QueryFileSize(const std::wstring& path);
// True for an existing file (not a folder).
bool IsExistingFile(const std::wstring& path);

// path in its extended-length form ("\\?\C:\..." or "\\?\UNC\server\..."), so that what lies deeper than
// MAX_PATH characters (a package can bring such folders) can be listed, read and deleted. Normalised first
// ("." and ".." resolved); relative and device paths come back as they are, a trailing backslash stays.
std::wstring ExtendedPath(const std::wstring& path);

// Folder paths end in a backslash; RemoveDirectoryW wants none. Exactly one is added or dropped.
std::wstring WithTrailingBackslash(std::wstring folder);
std::wstring WithoutTrailingBackslash(std::wstring folder);

// Calls visit for every entry of folder (trailing backslash optional) whose name matches pattern, except
// "." and "..", in listing order; a folder that cannot be listed is skipped. An empty path lists nothing.
void ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit,
                  const wchar_t* pattern = L"*");
bool IsFolderEntry(const WIN32_FIND_DATAW& entry);
// A junction or directory symlink (an archive can bring one): never to be entered.
bool IsLinkEntry(const WIN32_FIND_DATAW& entry);

}  // namespace vandrel
