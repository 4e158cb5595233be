#include "workspace/embedded_files.h"

#include <windows.h>
#include <shlobj.h>

#include <utility>

#include <cstring>
#include <vector>

#include "common/unique_handle.h"
#include "workspace/integrity_label.h"
#include "workspace/owner_only_acl.h"
#include "workspace/secure_workspace.h"

namespace vandrel {

namespace {

constexpr int kSevenZipResource = 1012;  // IDR_7ZA_EXE
constexpr DWORD kWriteBlockBytes = 65536;

struct EmbeddedFile {
    int id;
    const wchar_t* name;
};
// In this order: a failure stops the extraction, and the files after it are left alone.
constexpr EmbeddedFile kDriverPackage[] = {
    {137, L"DIFxAPI.dll"}, {138, L"driver_x64.exe"}, {139, L"rockusb.cat"},
    {140, L"rockusb.inf"}, {141, L"rockusb.sys"},
};

// A resource's bytes; they live as long as the module is loaded.
struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

// Present only when found, loaded and locked, and not empty.
bool LoadRcData(HMODULE module, int id, const wchar_t* type, ResourceBytes& bytes) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
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

// Opens path for reading without write or delete sharing and checks that it holds exactly these bytes;
// the open handle, or empty. A matching size alone is not trusted: a file planted in the workspace with
// the right size would otherwise be run in place of ours. While the handle is held, nobody can change,
// replace or delete the file.
UniqueFile OpenHoldingExactly(const std::wstring& path, const ResourceBytes& bytes) {
    if (QueryFileSize(path) != bytes.size) return UniqueFile();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return UniqueFile();
    const char* expected = static_cast<const char*>(bytes.data);
    std::vector<char> block(kWriteBlockBytes);
    DWORD offset = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), kWriteBlockBytes, &read, nullptr)) return UniqueFile();
        if (read == 0) return offset == bytes.size ? std::move(file) : UniqueFile();
        if (read > bytes.size - offset || std::memcmp(block.data(), expected + offset, read) != 0)
            return UniqueFile();
        offset += read;
    }
}

bool HoldsExactly(const std::wstring& path, const ResourceBytes& bytes) {
    return static_cast<bool>(OpenHoldingExactly(path, bytes));
}

// The carried file id at path, held open; empty when the resource is missing or the file differs.
UniqueFile PinEmbeddedFile(int id, const std::wstring& path) {
    ResourceBytes bytes;
    if (!LoadRcData(::GetModuleHandleW(nullptr), id, RT_RCDATA, bytes)) return UniqueFile();
    return OpenHoldingExactly(path, bytes);
}

// Writes bytes from their start in blocks of at most 64 KiB; true when every block was written whole.
bool WriteInBlocks(HANDLE file, const ResourceBytes& bytes) {
    const char* data = static_cast<const char*>(bytes.data);
    for (DWORD offset = 0; offset < bytes.size;) {
        const DWORD block = bytes.size - offset < kWriteBlockBytes ? bytes.size - offset : kWriteBlockBytes;
        DWORD written = 0;
        if (!::WriteFile(file, data + offset, block, &written, nullptr) || written != block) return false;
        offset += block;
    }
    return true;
}

}  // namespace

bool ExtractDriverPackage() {
    const std::wstring base = GetWorkspaceBaseFolder();
    // Results not examined: the writes below report what matters.
    ::SHCreateDirectoryExW(nullptr, base.c_str(), nullptr);
    ApplyOwnerOnlyAcl(base);
    ApplyHighIntegrityLabel(base);
    ::EncryptFileW(base.c_str());

    HMODULE self = ::GetModuleHandleW(nullptr);
    for (const EmbeddedFile& file : kDriverPackage)
        if (!WriteResourceToFile(self, file.id, RT_RCDATA, base + file.name)) return false;
    return true;
}

std::wstring ExtractBuiltIn7za() {
    const std::wstring base = GetWorkspaceBaseFolder();
    const std::wstring target = base + L"7za.exe";
    ResourceBytes bytes;
    if (!LoadRcData(::GetModuleHandleW(nullptr), kSevenZipResource, RT_RCDATA, bytes)) return {};
    if (HoldsExactly(target, bytes)) return target;

    ApplyOwnerOnlyAcl(base);  // results not examined; never an EFS marking here
    ApplyHighIntegrityLabel(base);
    if (!WriteBufferToFile(target, bytes.data, bytes.size)) return {};
    // Drops the temporary attribute given at creation.
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return target;
}

bool PinDriverPackage(PinnedFiles& pinned) {
    const std::wstring base = GetWorkspaceBaseFolder();
    PinnedFiles files;
    for (const EmbeddedFile& file : kDriverPackage) {
        UniqueFile held = PinEmbeddedFile(file.id, base + file.name);
        if (!held) return false;
        files.push_back(std::move(held));
    }
    for (UniqueFile& held : files) pinned.push_back(std::move(held));
    return true;
}

UniqueFile PinBuiltIn7za(const std::wstring& path) { return PinEmbeddedFile(kSevenZipResource, path); }

bool WriteResourceToFile(HMODULE module, int id, const wchar_t* type, const std::wstring& target) {
    ResourceBytes bytes;
    if (!LoadRcData(module, id, type, bytes)) return false;
    // Left alone, attributes and times included, only when it already is the resource.
    if (HoldsExactly(target, bytes)) return true;

    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    // A partly written file keeps a wrong size or content, so the next call writes it again.
    const bool written = WriteInBlocks(file.get(), bytes);
    ::FlushFileBuffers(file.get());
    return written;
}

bool WriteBufferToFile(const std::wstring& target, const void* data, DWORD size) {
    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file) return false;
    DWORD written = 0;
    // No flush: the file is read back or run at once, from the cache, and deleted after use.
    return ::WriteFile(file.get(), data, size, &written, nullptr) && written == size;
}

uint64_t QueryFileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~uint64_t{0};
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace vandrel
