// Starting a helper console program hidden, with its output going nowhere.
#pragma once

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// Starts commandLine hidden, in folder, with NUL as its standard handles and no other handle of this
// process inherited; the process handle, or empty when it could not be started.
UniqueHandle StartHidden(const std::wstring& commandLine, const std::wstring& folder);

}  // namespace vandrel
