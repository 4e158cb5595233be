#include "workspace/embedded_files.h"

#include <utility>

#include "resources/resource.h"
#include "workspace/file_toolkit.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

struct EmbeddedFile {
    int id;
    const wchar_t* name;
};
// In this order: a failure stops the extraction, and the files after it are left alone.
constexpr EmbeddedFile kDriverPackage[] = {
    {IDR_DIFXAPI_DLL, L"DIFxAPI.dll"}, {IDR_DRIVER_X64_EXE, L"driver_x64.exe"}, {IDR_ROCKUSB_CAT, L"rockusb.cat"},
    {IDR_ROCKUSB_INF, L"rockusb.inf"}, {IDR_ROCKUSB_SYS, L"rockusb.sys"},
};

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// The carried file id at path, held open; empty when the resource is missing or the file differs.
UniqueFile PinEmbeddedFile(int id, const std::wstring& path) {
    ResourceBytes bytes;
    if (!LoadRcData(Self(), id, bytes)) return UniqueFile();
    return OpenHoldingExactly(path, bytes);
}

}  // namespace

bool ExtractDriverPackage() {
    // The base folder comes owner-only and labelled from GetWorkspaceBaseFolder.
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return false;
    ::EncryptFileW(base.c_str());  // result not examined: a volume without EFS leaves the files plain

    for (const EmbeddedFile& file : kDriverPackage)
        if (!WriteResourceToFile(Self(), file.id, base + file.name)) return false;
    return true;
}

std::wstring ExtractBuiltIn7za() {
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return {};
    const std::wstring target = base + L"7za.exe";
    ResourceBytes bytes;
    if (!LoadRcData(Self(), IDR_7ZA_EXE, bytes)) return {};
    if (OpenHoldingExactly(target, bytes)) return target;
    if (!WriteBytesToFile(target, bytes, FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN)) return {};
    // Drops the temporary attribute given at creation.
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return target;
}

bool PinDriverPackage(PinnedFiles& pinned) {
    const std::wstring base = GetWorkspaceBaseFolder();
    if (base.empty()) return false;
    PinnedFiles files;
    for (const EmbeddedFile& file : kDriverPackage) {
        UniqueFile held = PinEmbeddedFile(file.id, base + file.name);
        if (!held) return false;
        files.push_back(std::move(held));
    }
    for (UniqueFile& held : files) pinned.push_back(std::move(held));
    return true;
}

UniqueFile PinBuiltIn7za(const std::wstring& path) { return PinEmbeddedFile(IDR_7ZA_EXE, path); }

bool WriteResourceToFile(HMODULE module, int id, const std::wstring& target) {
    ResourceBytes bytes;
    if (!LoadRcData(module, id, bytes)) return false;
    // Left alone, attributes and times included, only when it already is the resource.
    if (OpenHoldingExactly(target, bytes)) return true;
    return WriteBytesToFile(target, bytes, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN);
}

}  // namespace vandrel
