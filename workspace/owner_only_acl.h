// The access list that shuts every account out of a workspace folder except LocalSystem and the current user.
#pragma once

#include <string>

#include "common/unique_handle.h"

namespace vandrel {

// A LocalAlloc'd copy of the process token's user SID; empty when the token cannot be read.
UniqueLocal GetCurrentUserSid();

// A fresh DACL (a PACL in LocalAlloc'd memory) with two access-allowed entries, LocalSystem then the
// current user, each GENERIC_ALL inherited by subfolders and files; empty on failure.
UniqueLocal BuildOwnerOnlyAcl();

// Sets the owner-only ACL on folder as a protected DACL (no inheritance from the parent); true when set.
bool ApplyOwnerOnlyAcl(const std::wstring& folder);

}  // namespace vandrel
