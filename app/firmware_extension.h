// The extension that decides how a firmware file is treated.
#pragma once

#include <string>

namespace vandrel {

// The characters after the last "." of the whole path, ASCII lower-cased; empty without a ".".
// A dot in a folder name therefore yields an extension with a backslash in it, which matches nothing.
std::wstring FirmwareExtension(const std::wstring& path);

}  // namespace vandrel
