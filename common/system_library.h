// Functions of system DLLs that are not KnownDLLs (version.dll, bcrypt.dll), loaded at run time from
// System32 alone. Imported statically, they would be looked for in the executable's own folder first,
// before any code of the tool runs: a DLL planted in a Downloads folder would run with administrator
// rights.
#pragma once

#include <windows.h>

namespace vandrel {

// The named export of the system DLL, loaded once from System32 and kept for the process; null when the
// DLL or the export cannot be had.
FARPROC SystemProcAddress(const wchar_t* dll, const char* name);

template <class Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemProcAddress(dll, name)));
}

}  // namespace vandrel
