// The files the tool carries as RT_RCDATA resources of its own executable, written to disk: the one
// resource writer.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "workspace/file_content.h"

namespace vandrel {

// A carried resource's bytes; present only when found, loaded and locked, and not empty. They live as
// long as the module is loaded.
bool LoadRcData(HMODULE module, int id, ResourceBytes& bytes);

// Writes resource id of module to target (created with attributes); true when the target holds exactly
// the resource afterwards. A target that already does is left untouched, attributes and times included
// (written says which of the two happened).
bool WriteResourceToFile(HMODULE module, int id, const std::wstring& target, DWORD attributes, bool* written = nullptr);

// Writes resource id of module to target, which must not exist yet, and hands it back held: nobody can
// change, replace or delete it while the handle lives, and it holds exactly the resource. Empty on failure.
UniqueFile WriteResourceToNewFileAndHold(HMODULE module, int id, const std::wstring& target, DWORD attributes);

}  // namespace vandrel
