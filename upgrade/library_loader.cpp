#include "upgrade/library_loader.h"

#include <cstdlib>
#include <fstream>

#include "common/text.h"
#include "common/unique_handle.h"
#include "upgrade/stale_library_copies.h"

namespace vandrel {

namespace {

HMODULE g_module = nullptr;
std::wstring g_path;

[[noreturn]] void FailExtraction() {
    ::MessageBoxW(nullptr, L"解壓 RKUpgrade.dll 失敗。", L"錯誤", MB_ICONERROR);
    std::exit(1);
}

[[noreturn]] void FailLoad(const std::wstring& path, DWORD error) {
    const std::wstring text = L"載入 RKUpgrade.dll 失敗\n\n路徑： " + path + L"\n錯誤碼： " +
                              std::to_wstring(error) + L"\n系統訊息： " + SystemErrorText(error) +
                              L"\n\n常見原因：\n 193：位元數不相容（x86/x64）\n 126：缺少次級相依 DLL\n 1114：DLL 初始化失敗\n";
    ::MessageBoxW(nullptr, text.c_str(), L"錯誤", MB_ICONERROR);
    std::exit(1);
}

void UnloadAtExit() { UnloadUpgradeLibrary(); }

}  // namespace

std::wstring MakePrivateTempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = Format(L"%sYourApp-%lu-%llu", temp, ::GetCurrentProcessId(), ::GetTickCount64());
    // The library is loaded into an elevated process: it must come from a folder nobody else prepared.
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return {};
    return folder;
}

bool WriteResourceBlob(int id, const std::wstring& path) {
    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!resource) return false;
    HGLOBAL loaded = ::LoadResource(nullptr, resource);
    const DWORD size = ::SizeofResource(nullptr, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return false;
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(static_cast<const char*>(bytes), size);
    return static_cast<bool>(out);
}

std::wstring SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocal owner(buffer);
    if (length == 0 || !buffer) return {};
    return std::wstring(buffer, length);
}

void LoadUpgradeLibrary() {
    if (g_module) return;
    RemoveStaleLibraryCopies();
    const std::wstring folder = MakePrivateTempFolder();
    if (folder.empty()) FailExtraction();
    const std::wstring path = folder + L"\\RKUpgrade.dll";
    if (!WriteResourceBlob(kUpgradeLibraryResourceId, path)) FailExtraction();
    ::SetFileAttributesW(path.c_str(),
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);

    // The library's own dependencies come only from the executable's folder, this folder and System32.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                               LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::AddDllDirectory(folder.c_str());

    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) FailLoad(path, ::GetLastError());
    g_module = module;
    g_path = path;
    std::atexit(UnloadAtExit);
}

std::wstring UpgradeLibraryPath() { return g_path; }

void UnloadUpgradeLibrary() {
    if (g_module) {
        ::FreeLibrary(g_module);
        g_module = nullptr;
    }
    if (g_path.empty()) return;
    if (!::DeleteFileW(g_path.c_str())) ::MoveFileExW(g_path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    const size_t slash = g_path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0) ::RemoveDirectoryW(g_path.substr(0, slash).c_str());
    g_path.clear();
}

}  // namespace vandrel
