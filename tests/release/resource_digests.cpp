// resource-digests FILE: prints "<id> <sha256>" for every RT_RCDATA resource of a Windows executable, of
// either architecture, so that a test can compare what a build embedded with the files it was given.
#include <windows.h>

#include <cstdio>

#include "common/sha256.h"

namespace {

BOOL CALLBACK PrintDigest(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    HRSRC resource = ::FindResourceW(module, name, type);
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return TRUE;
    vandrel::Sha256 hash;
    hash.Update(data, ::SizeofResource(module, resource));
    std::printf("%u %ls\n", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)), hash.FinishHex().c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::printf("usage: resource-digests FILE\n");
        return 2;
    }
    // As data: the file is never run, and its architecture need not be this program's.
    HMODULE module = ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        std::printf("resource-digests: cannot open %ls (error %lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    ::EnumResourceNamesW(module, RT_RCDATA, PrintDigest, 0);
    ::FreeLibrary(module);
    return 0;
}
