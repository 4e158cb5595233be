#include "common/system_library.h"

#include <map>
#include <mutex>
#include <string>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel {

FARPROC SystemProcAddress(const wchar_t* dll, const char* name) {
    // Modules stay loaded until the process ends: the functions taken from them may be kept anywhere.
    static std::mutex guard;
    static std::map<std::wstring, UniqueModule> loaded;
    const std::lock_guard<std::mutex> lock(guard);
    UniqueModule& module = loaded[AsciiLower(dll)];
    if (!module) {
        // By its full path: a bare name would also match a module of that name loaded from elsewhere.
        wchar_t system[MAX_PATH] = {};
        const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        const std::wstring path = std::wstring(system) + L"\\" + dll;
        module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    return module ? ::GetProcAddress(module.get(), name) : nullptr;
}

}  // namespace vandrel
