// What the file system tells of a file or a volume: sizes, existence, free space.
#pragma once

#include <cstdint>
#include <string>

namespace vandrel {

// The bytes free for this user on the volume that holds folder; all ones when that cannot be told.
uint64_t FreeBytesOn(const std::wstring& folder);

// The file's size, or all ones when its attributes cannot be read.
uint64_t QueryFileSize(const std::wstring& path);
// True for an existing file (not a folder).
bool IsExistingFile(const std::wstring& path);

}  // namespace vandrel
