// Wide-string helpers shared by every subsystem.
#pragma once

#include <string>

namespace vandrel {

// printf-style formatting into a wide string (msvcrt conventions: %s takes a wide string).
std::wstring Format(const wchar_t* format, ...);

// Folds only the ASCII letters; every other character stays as it is.
std::wstring AsciiLower(std::wstring text);
std::wstring AsciiUpper(std::wstring text);

// 32 upper-case hexadecimal digits of a fresh GUID, or an empty string when none can be made.
std::wstring NewNameDigits();

}  // namespace vandrel
