// The token for helpers that open untrusted input (7-Zip on the user's package): the tool's own user,
// without what elevation adds.
#pragma once

#include <windows.h>

#include <vector>

#include "common/unique_handle.h"

namespace vandrel {

// A primary token made from this process's own: the Administrators group deny-only, every privilege
// removed but the change-notify one that every account holds, the same user and integrity level. Objects
// its programs make are never owned by Administrators (the user instead), and their default access list
// admits the user and SYSTEM only.
// Empty when the system refuses; a program started with it can only touch what the user could already touch.
UniqueHandle MakeRestrictedToken();

// A block of the token's information of kind (TOKEN_USER, TOKEN_GROUPS, ...); empty when it cannot be read.
std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind);

}  // namespace vandrel
