// What a token grants, as the tests compare it: the Administrators group's state, the privileges left and
// the integrity level. Used by the tests and by the probe child that reports its own token.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel::test {

// One line: "administrators=<enabled|deny-only|disabled|absent> privileges=<names, comma-separated>
// integrity=<level's RID in hexadecimal>"; "unreadable" when the token cannot be read.
std::string TokenFacts(HANDLE token);

}  // namespace vandrel::test
