// Where the running executable lies.
#pragma once

#include <string>

namespace vandrel {

// The executable's full path.
std::wstring ExecutablePath();
// Its folder, with a trailing backslash.
std::wstring ExecutableFolder();

}  // namespace vandrel
