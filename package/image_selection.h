// Choosing the image for the connected transmitter's hardware version from an unpacked package.
#pragma once

#include <string>
#include <vector>

#include "common/message_pump.h"

namespace vandrel {

// How the image for a hardware version was found among the candidates.
enum class ImageChoice {
    kChosen,     // one image: its full path is in imagePath
    kNone,       // no name carries the version's tag
    kAmbiguous,  // several names carry it and their contents differ: which one is meant cannot be told
};

// Collects the files below folder matching pattern and picks the image for the hardware version (see
// PickImageByVersionTag); imagePath is left untouched unless one was chosen.
ImageChoice FindImageForHardwareVersion(const std::wstring& folder, const std::wstring& pattern, int hardwareVersion,
                                        std::wstring& imagePath, std::vector<std::wstring>* conflicting = nullptr,
                                        MessagePump& pump = NoPump());

// Appends the full path (folder, one backslash, name) of every file below folder whose name matches
// pattern, depth-first in enumeration order. Links (reparse points) are neither descended into nor listed.
void CollectFilesRecursive(const std::wstring& folder, const std::wstring& pattern,
                           std::vector<std::wstring>& list);

// Picks from list the file whose name (ASCII upper-cased) carries the tag "V<version>" with no digit after
// it; when no name does, the file whose name carries the tag followed by digits (a V0 image named
// "fw_V01.img"). Several such files are one choice, the first listed, only when their contents are the
// same; otherwise the result is kAmbiguous and conflicting (when given) receives their paths.
ImageChoice PickImageByVersionTag(const std::vector<std::wstring>& list, int hardwareVersion, std::wstring& imagePath,
                                  std::vector<std::wstring>* conflicting = nullptr, MessagePump& pump = NoPump());

}  // namespace vandrel
