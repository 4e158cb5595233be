#include "common/module_path.h"

#include <windows.h>

namespace vandrel {

std::wstring ExecutablePath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring ExecutableFolder() {
    const std::wstring path = ExecutablePath();
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace vandrel
