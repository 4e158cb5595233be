// Wide-string helpers shared by every subsystem.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

// printf-style formatting into a wide string (msvcrt conventions: %s takes a wide string).
std::wstring Format(const wchar_t* format, ...);

// Folds only the ASCII letters; every other character stays as it is.
std::wstring AsciiLower(std::wstring text);
std::wstring AsciiUpper(std::wstring text);

// String id of the executable's string table, in the user-interface language where the table has it;
// empty when it is missing.
std::wstring LoadText(UINT id);

// The system's text for a Win32 error code (its line break at the end included), or empty.
std::wstring SystemErrorText(DWORD error);

// 32 upper-case hexadecimal digits of a fresh GUID, or an empty string when none can be made.
std::wstring NewNameDigits();

}  // namespace vandrel
