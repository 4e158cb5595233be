#include "workspace/carried_file.h"

namespace vandrel {

bool LoadRcData(HMODULE module, int id, ResourceBytes& bytes) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) return false;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded) return false;
    const void* data = ::LockResource(loaded);
    if (!data || size == 0) return false;
    bytes.data = data;
    bytes.size = size;
    return true;
}

bool WriteResourceToFile(HMODULE module, int id, const std::wstring& target, DWORD attributes, bool* written) {
    if (written) *written = false;
    ResourceBytes bytes;
    if (!LoadRcData(module, id, bytes)) return false;
    if (OpenHoldingExactly(target, bytes)) return true;
    if (!WriteBytesToFile(target, bytes, attributes)) return false;
    if (written) *written = true;
    return true;
}

UniqueFile WriteResourceToNewFileAndHold(HMODULE module, int id, const std::wstring& target, DWORD attributes) {
    ResourceBytes bytes;
    if (!LoadRcData(module, id, bytes)) return UniqueFile();
    return WriteNewFileAndHold(target, bytes, attributes);
}

}  // namespace vandrel
