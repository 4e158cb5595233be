#include "upgrade/library_loader.h"

#include <cstdlib>

#include "common/text.h"
#include "resources/resource.h"
#include "upgrade/library_copy.h"
#include "upgrade/stale_library_copies.h"
#include "workspace/carried_file.h"
#include "workspace/local_location.h"
#include "workspace/private_folder.h"
#include "workspace/secure_delete.h"

namespace vandrel {

namespace {

HMODULE g_module = nullptr;
std::wstring g_path;

void UnloadAtExit() { UnloadUpgradeLibrary(); }

constexpr DWORD kLibraryCopyAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

}  // namespace

std::wstring MakePrivateTempFolder(UniqueFile* held) {
    const std::wstring temp = TempFolder();
    // The pid in the name lets a later start tell the copies of processes that have ended (see
    // stale_library_copies.h); the ticks keep two folders of one process apart.
    const std::wstring folder = Format(L"%s%s%lu-%llu", temp.c_str(), kLibraryCopyFolderPrefix, ::GetCurrentProcessId(), ::GetTickCount64());
    // The library is loaded into an elevated process: it must come from a folder nobody else prepared,
    // and that nobody without elevation can write into, from the moment it exists.
    UniqueFile made = CreatePrivateFolderHeld(folder, FolderLabel::kHighNoWriteUp);
    if (!made) return {};
    if (held) *held = std::move(made);
    return folder;
}

bool LoadUpgradeLibrary(LibraryLoadFailure* failure) {
    if (g_module) return true;
    // A share is written by whoever administers its machine: the library is not loaded from there.
    const std::wstring temp = TempFolder();
    if (!IsLocalFolder(temp)) {
        if (failure) *failure = {LibraryLoadFailure::kRemote, temp, 0};
        return false;
    }
    UniqueFile madeNow;
    const std::wstring folder = MakePrivateTempFolder(&madeNow);
    // Judged against the folder just made: whatever the platform keeps of its security, so it keeps of
    // the tool's earlier folders.
    RemoveStaleLibraryCopies(madeNow.get());
    madeNow.reset();
    const std::wstring path = folder + L"\\" + kLibraryFileName;
    // Held from its first byte until it is loaded: what is loaded is exactly what the tool carries.
    UniqueFile held = folder.empty() ? UniqueFile() : WriteResourceToNewFileAndHold(::GetModuleHandleW(nullptr), IDR_RKUPGRADE_DLL, path,
                                                             kLibraryCopyAttributes);
    if (!held) {
        if (failure) *failure = {LibraryLoadFailure::kExtraction, path, 0};
        return false;
    }

    // The library's own dependencies come from its private folder and System32 only, never from the
    // current folder or the PATH. Loaded once: the binding uses this module.
    HMODULE module =
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    held.reset();
    if (!module) {
        const DWORD error = ::GetLastError();
        if (failure) *failure = {LibraryLoadFailure::kLoad, path, error};
        return false;
    }
    g_module = module;
    g_path = path;
    std::atexit(UnloadAtExit);
    return true;
}

HMODULE UpgradeLibraryModule() { return g_module; }

std::wstring UpgradeLibraryPath() { return g_path; }

void UnloadUpgradeLibrary() {
    if (g_module) {
        ::FreeLibrary(g_module);
        g_module = nullptr;
    }
    if (g_path.empty()) return;
    DeleteOrScheduleAtReboot(g_path, 0);  // one attempt: at exit nothing else holds it
    const size_t slash = g_path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0) ::RemoveDirectoryW(g_path.substr(0, slash).c_str());
    g_path.clear();
}

}  // namespace vandrel
