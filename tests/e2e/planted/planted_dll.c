/* A DLL an attacker would plant beside the tool under the name of a system DLL (version.dll,
 * bcrypt.dll). It leaves marks beside itself: "<its path>.loaded" when it is loaded, and
 * "<its path>.called" when the tool's own code calls one of its functions. Each function then does what
 * the system DLL of the same name does, so that whatever else loads it keeps working. */
#include <windows.h>
#include <bcrypt.h>

static HMODULE self;

static void Mark(const wchar_t* suffix) {
    wchar_t path[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcpyW(path + length, suffix);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

/* Only the tool's executable counts: under Wine its own user32 and setupapi import version.dll too. */
static void MarkWhenCalledByTheTool(void* returnAddress) {
    HMODULE caller = NULL;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCWSTR)returnAddress, &caller) &&
        caller == GetModuleHandleW(NULL))
        Mark(L".called");
}

typedef void (*AnyFn)(void);

/* The function of the system DLL of this one's own name, by its full path. */
static AnyFn Real(const char* name) {
    wchar_t own[MAX_PATH], path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(self, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return NULL;
    const wchar_t* base = own;
    for (const wchar_t* c = own; *c; ++c)
        if (*c == L'\\' || *c == L'/') base = c + 1;
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    if (folder == 0 || folder >= MAX_PATH) return NULL;
    lstrcatW(path, L"\\");
    lstrcatW(path, base);
    HMODULE module = LoadLibraryW(path);
    return module ? (AnyFn)GetProcAddress(module, name) : NULL;
}

typedef DWORD(WINAPI* GetSizeFn)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* GetInfoFn)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryFn)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
typedef NTSTATUS(WINAPI* GenRandomFn)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);

DWORD WINAPI PlantedGetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    MarkWhenCalledByTheTool(__builtin_return_address(0));
    GetSizeFn real = (GetSizeFn)Real("GetFileVersionInfoSizeW");
    return real ? real(file, handle) : 0;
}

BOOL WINAPI PlantedGetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
    MarkWhenCalledByTheTool(__builtin_return_address(0));
    GetInfoFn real = (GetInfoFn)Real("GetFileVersionInfoW");
    return real ? real(file, handle, size, data) : FALSE;
}

BOOL WINAPI PlantedVerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    MarkWhenCalledByTheTool(__builtin_return_address(0));
    QueryFn real = (QueryFn)Real("VerQueryValueW");
    return real ? real(block, subBlock, buffer, length) : FALSE;
}

NTSTATUS WINAPI PlantedBCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG size, ULONG flags) {
    MarkWhenCalledByTheTool(__builtin_return_address(0));
    GenRandomFn real = (GenRandomFn)Real("BCryptGenRandom");
    return real ? real(algorithm, buffer, size, flags) : (NTSTATUS)0xC0000001L;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        Mark(L".loaded");
    }
    return TRUE;
}
