// The version suffix of the main window's title.
#pragma once

#include <string>

namespace vandrel {

// " v<a>.<b>.<c>.<d>" from the file version of the executable at path; empty when it cannot be read.
std::wstring VersionSuffix(const std::wstring& executablePath);

}  // namespace vandrel
