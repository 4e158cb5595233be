// Choosing the image for the connected transmitter's hardware version from an unpacked package.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

// Collects the files below folder matching pattern and picks the first whose name carries the tag
// "V<version>" (not followed by a digit);
// true with its full path in imagePath, which is left untouched when false.
bool FindImageForHardwareVersion(const std::wstring& folder, const std::wstring& pattern, int hardwareVersion,
                                 std::wstring& imagePath);

// Appends the full path (folder, one backslash, name) of every file below folder whose name matches
// pattern, depth-first in enumeration order. Links (reparse points) are neither descended into nor listed.
void CollectFilesRecursive(const std::wstring& folder, const std::wstring& pattern,
                           std::vector<std::wstring>& list);

// Stores the first listed path whose file name, ASCII upper-cased, carries "V<version>" not followed by a
// digit; true when one did.
bool PickImageByVersionTag(const std::vector<std::wstring>& list, int hardwareVersion, std::wstring& imagePath);

}  // namespace vandrel
